// Network configuration: stored values and their defaults, the numbering of
// members, the mode selections, the member list dialog and the polling interval.
#include "common/testsupport.h"
#include "network/netsetup.h"
#include "network/networkconfig.h"
#include "ports/portsettings.h"
#include "ports/storedvalues.h"
#include "services/store.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dxu;
using dxu::test::FakeClockScope;
using dxu::test::FakeUi;
using dxu::test::RecordingHooks;
using dxu::test::ScriptedMessages;
using dxu::test::clearStore;
using dxu::test::storedInt;
using dxu::test::storedString;

namespace {

// The members of a slot string, in slot order.
std::string members(const SlotString& s)
{
    std::string out;
    for (char c : s)
        if (c != EmptySlot)
            out += c;
    return out;
}

bool wellFormed(const SlotString& s)
{
    for (int p = 0; p < SlotCount; ++p)
        if (s[p] != EmptySlot && (p >= AddressCount || s[p] != AddressAlphabet[p]))
            return false;
    return true;
}

class NullPort : public PcPort {
public:
    bool Connect() override { return open = true; }
    void Disconnect() override { open = false; }
    bool Connected() const override { return open; }
    void setComPort(int n) override { comPort = n; }
    void setRateIndex(int i) override { rateIndex = i; }
    bool open = false;
    int comPort = -1, rateIndex = -1;
};

struct Net : ::testing::Test {
    void SetUp() override { clearStore(); }
    FakeClockScope clk;
    ScriptedMessages msgs;
    DxuState st;
    FakeUi ui;
    RecordingHooks hooks;
    NullPort port;
    std::vector<std::string> sent;
    NetworkSender sender{[this](const char* code, int32_t v) { sent.push_back(std::string(code) + "," + std::to_string(v)); },
                         [this] { sent.push_back("SU"); }};
    bool add(char c) { return addNetworkMember(st, ui, hooks, sender, addressPosition(c)); }
    bool remove(char c) { return removeNetworkMember(st, ui, hooks, addressPosition(c)); }
};

TEST_F(Net, NothingStoredGivesPointToPointAndAnEmptyNetwork)
{
    loadPortSettings(st, port);
    loadNetworkSettings(st);
    loadPollingInterval(st);
    EXPECT_EQ(st.networkMode(), 0);
    EXPECT_EQ(st.networkCount, 0);
    EXPECT_EQ(slotsToStored(st.networkSlots), QByteArray(65, '\x01'));
    EXPECT_EQ(slotsToStored(st.assignedSlots), QByteArray(65, '\x01'));
    EXPECT_EQ(st.pollingInterval, 10);
    EXPECT_EQ(storedString("Network"), "<absent>"); // nothing written back
}

TEST_F(Net, StoredValuesAreReadAndCountComesFromTheSlots)
{
    SlotString s;
    s.fill(EmptySlot);
    s[5] = 'f';
    s[61] = '9';
    Store::writeString(QStringLiteral("Network"), slotsToStored(s));
    Store::writeString(QStringLiteral("Assigned"), slotsToStored(s));
    Store::writeInt(QStringLiteral("Count"), 7);
    Store::writeInt(QStringLiteral("Polling"), 3);
    loadNetworkSettings(st);
    loadPollingInterval(st);
    EXPECT_EQ(st.networkSlots, s);
    EXPECT_EQ(st.assignedSlots, s);
    EXPECT_EQ(st.networkCount, 2);
    EXPECT_EQ(st.unitTable[1].addressChar(), 'f');
    EXPECT_EQ(st.unitTable[2].addressChar(), '9');
    EXPECT_EQ(st.pollingInterval, 3);

    for (int bad : {0, -5}) {
        Store::writeInt(QStringLiteral("Polling"), bad);
        loadPollingInterval(st);
        EXPECT_EQ(st.pollingInterval, 10) << bad;
    }
}

TEST_F(Net, EditedSlotStringsAreReadSafely)
{
    struct Case {
        const char* name;
        QByteArray stored;
        std::string members;
    };
    const QByteArray empty(65, '\x01');
    QByteArray placed = empty;
    placed[2] = 'c';
    placed[10] = 'k';
    QByteArray longer = placed + QByteArray(40, '\x01') + "Z";
    QByteArray foreign = placed;
    foreign[3] = '#';
    foreign[62] = '!';
    foreign[64] = ' ';
    const Case cases[] = {
        {"well formed", placed, "ck"},
        {"shorter", QByteArray("\x01\x01" "c"), "c"},
        {"empty", QByteArray(), ""},
        {"longer", longer, "ckZ"},
        {"characters outside the alphabet", foreign, "ck"},
        {"a plain list", QByteArray("k,c , 0"), "ck0"},
        {"out of place and twice", QByteArray("kkc"), "ck"},
        {"all blanks", QByteArray(80, ' '), ""},
        {"high bytes", QByteArray("\xe9\xff" "b"), "b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clearStore();
        Store::writeString(QStringLiteral("Network"), c.stored);
        Store::writeString(QStringLiteral("Assigned"), c.stored);
        Store::writeInt(QStringLiteral("Count"), 40);
        DxuState s;
        loadNetworkSettings(s);
        EXPECT_TRUE(wellFormed(s.networkSlots));
        EXPECT_TRUE(wellFormed(s.assignedSlots));
        EXPECT_EQ(members(s.networkSlots), c.members);
        EXPECT_EQ(members(s.assignedSlots), c.members);
        EXPECT_EQ(s.networkCount, static_cast<int>(c.members.size()));
        for (size_t k = 0; k < c.members.size(); ++k)
            EXPECT_EQ(s.unitTable[k + 1].addressChar(), c.members[k]);
    }
}

TEST_F(Net, MembersAreNumberedInAlphabetOrder)
{
    for (char c : {'c', 'a', '0', 'Z', 'b'})
        ASSERT_TRUE(add(c));
    EXPECT_EQ(st.networkCount, 5);
    const char want[] = "abcZ0";
    for (int k = 1; k <= 5; ++k)
        EXPECT_EQ(st.unitTable[k].addressChar(), want[k - 1]) << k;
    EXPECT_EQ(storedInt("Count"), 5);
    EXPECT_EQ(members(slotsFromStored(storedString("Network"))), "abcZ0");
    EXPECT_EQ(storedString("Network").size(), 65);
}

TEST_F(Net, AddingAMemberAgainChangesNothingButStillSaves)
{
    ASSERT_TRUE(add('k'));
    const SlotString before = st.networkSlots;
    clearStore();
    ASSERT_TRUE(add('k'));
    EXPECT_EQ(st.networkSlots, before);
    EXPECT_EQ(st.networkCount, 1);
    EXPECT_EQ(storedInt("Count"), 1);
    EXPECT_EQ(storedString("Network"), slotsToStored(before));
}

TEST_F(Net, RemovingTheOnlyMemberEmptiesTheNetwork)
{
    ASSERT_TRUE(add('m'));
    ASSERT_TRUE(remove('m'));
    EXPECT_EQ(st.networkCount, 0);
    EXPECT_EQ(storedInt("Count"), 0);
    for (const QString& t : networkListTexts(st.networkSlots))
        EXPECT_FALSE(t.endsWith(" *")) << t.toStdString();
    ASSERT_TRUE(remove('q')); // not a member: nothing changes
    EXPECT_EQ(st.networkCount, 0);
}

TEST_F(Net, AddAndRemoveUpdateTheMainWindow)
{
    st.currentUnit = 2;
    ASSERT_TRUE(add('b'));
    ASSERT_TRUE(add('x'));
    EXPECT_EQ(ui.text("lblViewing"), "Viewing: 2 of 2");
    EXPECT_EQ(ui.text("lblDXUAddress"), "Address: x");
    EXPECT_EQ(hooks.count("updatePrevNextButtons"), 2);
    ASSERT_TRUE(remove('b'));
    EXPECT_EQ(ui.text("lblViewing"), "Viewing: 2 of 1"); // the unit viewed is not changed
    EXPECT_EQ(hooks.count("updatePrevNextButtons"), 3);
}

TEST_F(Net, JoiningUnitHasContinuousOutputSwitchedOff)
{
    struct Case {
        int connected, co;
        std::vector<std::string> sent;
        uint64_t waited;
        bool unchecked;
    };
    const Case cases[] = {
        {1, 1, {"CO,0", "SU"}, 1000, true},
        {1, 0, {}, 0, false},
        {0, 1, {}, 0, true}, // nothing to send to, but the next upload carries CO 0
    };
    for (const Case& c : cases) {
        SetUp();
        DxuState s;
        st = s;
        sent.clear();
        ui.c("cbContinuousOutput").checked = true;
        ui.c("pbUpload").enabled = false;
        st.connected = c.connected;
        st.editRecord.continuousOutput = 1;
        st.unitTable[1].continuousOutput = c.co;
        const uint64_t before = clk.waited();
        ASSERT_TRUE(add('d'));
        EXPECT_EQ(sent, c.sent);
        EXPECT_EQ(clk.waited() - before, c.waited);
        EXPECT_EQ(st.editRecord.continuousOutput, 0);
        EXPECT_EQ(ui.get("cbContinuousOutput").checked, !c.unchecked);
        EXPECT_EQ(ui.get("pbUpload").enabled, c.unchecked);
    }
}

TEST_F(Net, ModeSelections)
{
    loadPortSettings(st, port);
    st.unitTable[0].port232 = 1;
    st.unitTable[0].port232RateIndex = 3;
    st.unitTable[0].port485 = 6;
    st.unitTable[0].port485RateIndex = 5;
    st.pollTickCount = 4;

    ASSERT_TRUE(selectNetworkMode(st, ui, port));
    EXPECT_TRUE(ui.get("MultiDrop1").checked);
    EXPECT_FALSE(ui.get("Single1").checked);
    EXPECT_TRUE(ui.get("ViewNetworkStatus1").visible);
    EXPECT_EQ(st.networkMode(), 1);
    EXPECT_EQ(st.currentUnit, 1);
    EXPECT_EQ(st.pollTickCount, 0);
    EXPECT_EQ(st.unitTable[0].portInUse, 2);
    EXPECT_EQ(port.comPort, 6);
    EXPECT_EQ(port.rateIndex, 5);
    EXPECT_EQ(storedInt("Network Mode"), 1);

    ASSERT_TRUE(selectPointToPointMode(st, ui, port));
    EXPECT_FALSE(ui.get("MultiDrop1").checked);
    EXPECT_TRUE(ui.get("Single1").checked);
    EXPECT_FALSE(ui.get("ViewNetworkStatus1").visible);
    EXPECT_EQ(st.networkMode(), 0);
    EXPECT_EQ(st.currentUnit, 0);
    EXPECT_EQ(st.unitTable[0].portInUse, 1);
    EXPECT_EQ(port.comPort, 1);
    EXPECT_EQ(port.rateIndex, 3);
    EXPECT_EQ(storedInt("Network Mode"), 0);

    st.connected = 1;
    EXPECT_FALSE(selectNetworkMode(st, ui, port));
    EXPECT_EQ(st.networkMode(), 0);
}

// --- the dialog -----------------------------------------------------------

struct NetDialog : Net {
    void SetUp() override
    {
        Net::SetUp();
        dlg.bind(st, ui, hooks, sender);
        dlg.show();
        list = dlg.findChild<QComboBox*>(QStringLiteral("cmbNetworkList"));
        edit = dlg.findChild<QLineEdit*>(QStringLiteral("edPolling"));
    }
    void click(const char* name) { dlg.findChild<QPushButton*>(QLatin1String(name))->click(); }
    TfrmNetSetup dlg;
    QComboBox* list = nullptr;
    QLineEdit* edit = nullptr;
};

TEST_F(NetDialog, ListKeepsItsItemsAndMarksMembers)
{
    EXPECT_EQ(dlg.windowTitle(), "RS-485 Netowrk Setup");
    ASSERT_EQ(list->count(), 62);
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(edit->text(), "5");
    for (int round = 0; round < 3; ++round) {
        for (int p : {10, 0, 61, 10}) {
            list->setCurrentIndex(p);
            click("pbAddDXU");
            EXPECT_EQ(list->currentIndex(), p);
        }
        EXPECT_EQ(list->itemText(10), "k *");
        EXPECT_EQ(list->itemText(61), "9 *");
        EXPECT_EQ(list->itemText(11), "l");
        EXPECT_EQ(st.networkCount, 3);
        list->setCurrentIndex(10);
        click("pbRemoveDXU");
        EXPECT_EQ(list->itemText(10), "k");
        EXPECT_EQ(list->currentIndex(), 10);
        ASSERT_EQ(list->count(), 62);
    }
    for (int p = 0; p < 62; ++p)
        EXPECT_EQ(list->itemText(p).at(0).toLatin1(), AddressAlphabet[p]);

    // Showing again selects the first item.
    dlg.hide();
    dlg.show();
    EXPECT_EQ(list->currentIndex(), 0);
}

TEST_F(NetDialog, NoSelectionIsRefused)
{
    list->setCurrentIndex(-1);
    click("pbAddDXU");
    click("pbRemoveDXU");
    ASSERT_EQ(msgs.shown.size(), 2u);
    EXPECT_EQ(msgs.shown[0].caption, "Error");
    EXPECT_EQ(msgs.shown[0].text, "No DXU selected.");
    EXPECT_EQ(msgs.shown[1].text, "No Unit selected.");
    EXPECT_EQ(storedInt("Count"), dxu::test::Absent);
}

TEST_F(NetDialog, PollingIntervalOnExit)
{
    struct Case {
        const char* text;
        const char* message; // nullptr: accepted
    };
    const char* interval = "Polling Interval has to be greater than 0.";
    const Case cases[] = {
        {"0", interval},
        {"-3", interval},
        {"", interval},
        {"  ", interval},
        {"abc", "'abc' is not a valid integer value"},
        {"2.5", "'2.5' is not a valid integer value"},
        {"99999999999", "'99999999999' is not a valid integer value"},
        {"7", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        msgs.shown.clear();
        st.pollingInterval = 10;
        dlg.show();
        edit->setText(QString::fromLatin1(c.text));
        click("pbExit");
        if (c.message) {
            ASSERT_EQ(msgs.shown.size(), 1u);
            EXPECT_EQ(msgs.shown[0].caption, "Error");
            EXPECT_EQ(msgs.shown[0].text, c.message);
            EXPECT_TRUE(dlg.isVisible());
            EXPECT_EQ(st.pollingInterval, 10);
            EXPECT_EQ(storedInt("Polling"), dxu::test::Absent);
        } else {
            EXPECT_TRUE(msgs.shown.empty());
            EXPECT_FALSE(dlg.isVisible());
            EXPECT_EQ(dlg.result(), QDialog::Accepted);
            EXPECT_EQ(st.pollingInterval, 7);
            EXPECT_EQ(storedInt("Polling"), 7);
        }
    }
    // The text typed last survives the next showing.
    dlg.show();
    EXPECT_EQ(edit->text(), "7");
}

} // namespace
