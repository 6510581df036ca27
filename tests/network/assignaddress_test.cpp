// Address assignment through its window, over the simulated line: the UA
// write, the stored "Assigned" slots and the unit answering at its new address.
#include "common/simwindow.h"
#include "ui/network/assignaddress.h"
#include "ui/network/networkedit.h"
#include "services/store.h"

#include <QLabel>

namespace dxu::test {
namespace {

class AssignAddress : public SimWindowTest {
protected:
    // A unit at address b, listed as handed out, on RS-232.
    void SetUp() override
    {
        SimWindowTest::SetUp();
        QByteArray held(65, '\x01');
        held[1] = 'b';
        Store::writeString(QStringLiteral("Assigned"), held);
        attach(quick(), {{"UA", {double('b')}}});
        connect();
        top().windows().assignAddress->show();
    }
    // The same unit b on an RS-485 line with unit c, both network members.
    void connectNetwork()
    {
        top().windows().assignAddress->hide();
        attachLine({'b', 'c'});
        connect();
        top().windows().assignAddress->show();
    }
    void TearDown() override
    {
        top().windows().assignAddress->hide();
        SimWindowTest::TearDown();
    }
    QByteArray stored()
    {
        QByteArray s;
        Store::readString(QStringLiteral("Assigned"), s);
        return s;
    }
    // What the line answers to a version query addressed to a.
    std::string answerAt(char a)
    {
        std::string got;
        link->onReceive = [&](const char* data, int32_t size) { got.append(data, static_cast<size_t>(size)); };
        const std::string line = std::string("#") + a + "SV\r";
        link->SendData(line.data(), static_cast<int32_t>(line.size()));
        clock.advance(100);
        link->pump();
        link->onReceive = [this](const char* data, int32_t size) { top().CommPortReceiveData(data, size); };
        return got;
    }
};

TEST_F(AssignAddress, NewAddressFreesTheOldOneAndTheUnitAnswersOnlyThere)
{
    auto* list = get<QComboBox>("cmbAddressList");
    EXPECT_EQ(get<QLabel>("lblCurrAddress")->text(), "b");
    EXPECT_EQ(list->itemText(1), "b *");

    list->setCurrentIndex(10);
    click("pbSetAddress");
    ASSERT_TRUE(runUntil([this] { return idle(); }));

    EXPECT_EQ(sent("$UA,k"), 1);
    QByteArray expected(65, '\x01');
    expected[10] = 'k';
    EXPECT_EQ(stored(), expected);
    EXPECT_EQ(list->itemText(10), "k *");
    EXPECT_EQ(list->itemText(1), "b");
    EXPECT_EQ(list->currentIndex(), 10);
    EXPECT_EQ(top().state().unitTable[0].addressChar(), 'k'); // read back
    EXPECT_NE(answerAt('k'), "");
    EXPECT_EQ(answerAt('b'), "");
}

// On a network the write goes to the unit's old address; the read-back, the
// list, the numbering and the unit on screen follow it to the new one.
TEST_F(AssignAddress, OnTheNetworkTheProgramFollowsTheUnit)
{
    connectNetwork();
    get<QComboBox>("cmbAddressList")->setCurrentIndex(10);
    click("pbSetAddress");
    ASSERT_TRUE(runUntil([this] { return idle(); }));

    EXPECT_EQ(sent("#bUA,k"), 1);
    EXPECT_EQ(sent("#kUA"), 1); // read back at k, answered at once
    EXPECT_EQ(sent("#bUA"), 0);
    EXPECT_TRUE(messages.shown.empty());
    const DxuState& st = top().state();
    EXPECT_EQ(st.networkSlots[1], EmptySlot);
    EXPECT_EQ(st.networkSlots[10], 'k');
    EXPECT_EQ(st.current().addressChar(), 'k');
    EXPECT_EQ(st.currentUnit, 2); // after c
    EXPECT_EQ(st.unitTable[1].addressChar(), 'c');
    EXPECT_EQ(get<QLabel>("lblDXUAddress")->text(), "Address: k");
    EXPECT_NE(answerAt('k'), "");
}

// The address the unit has already, or none chosen: nothing sent, nothing stored.
TEST_F(AssignAddress, SameAddressOrNoneSendsNothing)
{
    const QByteArray before = stored();
    auto* list = get<QComboBox>("cmbAddressList");
    list->setCurrentIndex(1);
    click("pbSetAddress");
    list->setCurrentIndex(-1);
    click("pbSetAddress");
    runUntil([] { return false; }, 3000);

    EXPECT_EQ(sent("$UA,b"), 0);
    EXPECT_EQ(stored(), before);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Error");
    EXPECT_EQ(messages.shown[0].text, "No address selected.");
    list->setCurrentIndex(1);
    EXPECT_EQ(list->itemText(1), "b *");
}

} // namespace
} // namespace dxu::test
