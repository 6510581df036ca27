// Network configuration: stored values and their defaults, the numbering of
// members, the mode selections, the member list dialog and the polling interval.
#include "common/testsupport.h"
#include "ui/network/netsetup.h"
#include "ports/portsettings.h"
#include "services/store.h"
#include "services/store.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace dxu;
using namespace dxu::test;

namespace {

// The members of a slot string, in slot order; "!" for a slot out of place.
std::string members(const SlotString& s)
{
    std::string out;
    for (int p = 0; p < SlotCount; ++p)
        if (s[p] != EmptySlot)
            out += p < AddressCount && s[p] == AddressAlphabet[p] ? s[p] : '!';
    return out;
}

class NullPort : public PcPort {
public:
    bool Connect() override { return true; }
    void Disconnect() override {}
    bool Connected() const override { return false; }
    void setComPort(int n) override { comPort = n; }
    void setRateIndex(int i) override { rateIndex = i; }
    int comPort = -1, rateIndex = -1;
};

struct Net : ::testing::Test {
    void SetUp() override { clearStore(); }
    bool add(char c) { return addNetworkMember(st, ui, hooks, sender, addressPosition(c)); }
    bool remove(char c) { return removeNetworkMember(st, ui, hooks, addressPosition(c)); }
    FakeClockScope clk;
    ScriptedMessages msgs;
    DxuState st;
    FakeUi ui;
    RecordingHooks hooks;
    NullPort port;
    std::vector<std::string> sent;
    NetworkSender sender{[this](const char* code, int32_t v) { sent.push_back(code + ("," + std::to_string(v))); },
                         [this] { sent.push_back("SU"); }};
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
    for (int bad : {0, -5}) {
        Store::writeInt(QStringLiteral("Polling"), bad);
        loadPollingInterval(st);
        EXPECT_EQ(st.pollingInterval, 10) << bad;
    }
}

TEST_F(Net, EditedSlotStringsAreReadSafely)
{
    QByteArray placed(65, '\x01');
    placed[2] = 'c', placed[10] = 'k';
    QByteArray foreign = placed;
    foreign[3] = '#', foreign[62] = '!', foreign[64] = ' ';
    const std::pair<QByteArray, std::string> cases[] = {
        {placed, "ck"},
        {QByteArray("\x01\x01" "c"), "c"},                       // shorter
        {QByteArray(), ""},
        {placed + QByteArray(40, '\x01') + "Z", "ckZ"},          // longer
        {foreign, "ck"},                                         // characters outside the alphabet
        {QByteArray("k,c , 0"), "ck0"},                          // a plain list
        {QByteArray("kkc"), "ck"},                               // out of place and twice
        {QByteArray("\xe9\xff" "b"), "b"},
    };
    for (const auto& [stored, want] : cases) {
        SCOPED_TRACE(stored.toHex().toStdString());
        clearStore();
        Store::writeString(QStringLiteral("Network"), stored);
        Store::writeString(QStringLiteral("Assigned"), stored);
        Store::writeInt(QStringLiteral("Count"), 40);
        DxuState s;
        loadNetworkSettings(s);
        EXPECT_EQ(members(s.networkSlots), want);
        EXPECT_EQ(members(s.assignedSlots), want);
        EXPECT_EQ(s.networkCount, static_cast<int>(want.size()));
        for (size_t k = 0; k < want.size(); ++k)
            EXPECT_EQ(s.unitTable[k + 1].addressChar(), want[k]);
    }
}

TEST_F(Net, MembersAreNumberedInAlphabetOrder)
{
    for (char c : {'c', 'a', '0', 'Z', 'b'})
        ASSERT_TRUE(add(c));
    const char want[] = "abcZ0";
    for (int k = 1; k <= 5; ++k)
        EXPECT_EQ(st.unitTable[k].addressChar(), want[k - 1]) << k;
    EXPECT_EQ(storedInt("Count"), 5);
    EXPECT_EQ(storedString("Network"), slotsToStored(st.networkSlots));

    // Adding a member again changes nothing but still saves.
    const SlotString before = st.networkSlots;
    clearStore();
    ASSERT_TRUE(add('Z'));
    EXPECT_EQ(st.networkSlots, before);
    EXPECT_EQ(storedInt("Count"), 5);
    EXPECT_EQ(storedString("Network"), slotsToStored(before));
}

TEST_F(Net, RemovingTheOnlyMemberEmptiesTheNetwork)
{
    st.currentUnit = 1;
    ASSERT_TRUE(add('m'));
    EXPECT_EQ(ui.text("lblViewing"), "Viewing: 1 of 1");
    EXPECT_EQ(ui.text("lblDXUAddress"), "Address: m");
    ASSERT_TRUE(remove('m'));
    EXPECT_EQ(st.networkCount, 0);
    EXPECT_EQ(storedInt("Count"), 0);
    EXPECT_EQ(networkListTexts(st.networkSlots).filter(" *").size(), 0);
    EXPECT_EQ(ui.text("lblViewing"), "Viewing: 1 of 0"); // the unit viewed is not changed
    EXPECT_EQ(hooks.count("updatePrevNextButtons"), 2);
}

TEST_F(Net, JoiningUnitHasContinuousOutputSwitchedOff)
{
    struct Case {
        int connected, co;
        std::vector<std::string> sent;
        uint64_t waited;
    };
    const Case cases[] = {
        {1, 1, {"CO,0", "SU"}, 1000},
        {1, 0, {}, 0},
        {0, 1, {}, 0}, // nothing to send to, but the next upload carries CO 0
    };
    for (const Case& c : cases) {
        st = DxuState();
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
        EXPECT_EQ(ui.get("cbContinuousOutput").checked, c.co == 0);
        EXPECT_EQ(ui.get("pbUpload").enabled, c.co != 0);
    }
}

TEST_F(Net, ModeSelections)
{
    UnitRecord& r = st.unitTable[0];
    r.port232 = 1, r.port232RateIndex = 3, r.port485 = 6, r.port485RateIndex = 5;
    st.pollTickCount = 4;
    for (bool network : {true, false}) {
        SCOPED_TRACE(network);
        ASSERT_TRUE(network ? selectNetworkMode(st, ui, port) : selectPointToPointMode(st, ui, port));
        EXPECT_EQ(ui.get("MultiDrop1").checked, network);
        EXPECT_EQ(ui.get("Single1").checked, !network);
        EXPECT_EQ(ui.get("ViewNetworkStatus1").visible, network);
        EXPECT_EQ(st.networkMode(), network ? 1 : 0);
        EXPECT_EQ(st.currentUnit, network ? 1 : 0);
        EXPECT_EQ(st.pollTickCount, 0);
        EXPECT_EQ(r.portInUse, network ? 2 : 1);
        EXPECT_EQ(port.comPort, network ? 6 : 1);
        EXPECT_EQ(port.rateIndex, network ? 5 : 3);
        EXPECT_EQ(storedInt("Network Mode"), network ? 1 : 0);
    }
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
    }
    void click(const char* name) { dlg.findChild<QPushButton*>(QLatin1String(name))->click(); }
    TfrmNetSetup dlg;
    QComboBox* list = dlg.findChild<QComboBox*>(QStringLiteral("cmbNetworkList"));
    QLineEdit* edit = dlg.findChild<QLineEdit*>(QStringLiteral("edPolling"));
};

TEST_F(NetDialog, ListKeepsItsItemsAndMarksMembers)
{
    EXPECT_EQ(dlg.windowTitle(), "RS-485 Netowrk Setup");
    for (int round = 0; round < 3; ++round) {
        for (int p : {10, 0, 61, 10}) {
            list->setCurrentIndex(p);
            click("pbAddDXU");
            EXPECT_EQ(list->currentIndex(), p);
        }
        EXPECT_EQ(list->itemText(10), "k *");
        EXPECT_EQ(list->itemText(61), "9 *");
        EXPECT_EQ(list->itemText(11), "l");
        list->setCurrentIndex(10);
        click("pbRemoveDXU");
        EXPECT_EQ(list->itemText(10), "k");
        ASSERT_EQ(list->count(), 62);
    }
    EXPECT_EQ(st.networkCount, 2);
    dlg.hide();
    st.networkSlots[5] = 'f'; // a member the count has not seen yet
    dlg.show();
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(list->itemText(5), "f *");
    EXPECT_EQ(st.networkCount, 3) << "the list's marks give the count";

    list->setCurrentIndex(-1);
    click("pbAddDXU");
    click("pbRemoveDXU");
    ASSERT_EQ(msgs.shown.size(), 2u);
    EXPECT_EQ(msgs.shown[0].text, "No DXU selected.");
    EXPECT_EQ(msgs.shown[1].text, "No Unit selected.");
    EXPECT_EQ(st.networkCount, 3);
}

TEST_F(NetDialog, PollingIntervalOnExit)
{
    const char* interval = "Polling Interval has to be greater than 0.";
    const std::pair<const char*, const char*> cases[] = {
        {"0", interval}, {"-3", interval}, {"", interval}, {"  ", interval},
        {"abc", "'abc' is not a valid integer value"},
        {"2.5", "'2.5' is not a valid integer value"},
        {"99999999999", "'99999999999' is not a valid integer value"},
        {"7", nullptr},
    };
    EXPECT_EQ(edit->text(), "10") << "nothing stored: the interval in force";
    for (const auto& [text, message] : cases) {
        SCOPED_TRACE(text);
        msgs.shown.clear();
        dlg.show();
        edit->setText(QString::fromLatin1(text));
        click("pbExit");
        ASSERT_EQ(msgs.shown.size(), message ? 1u : 0u);
        if (message) {
            EXPECT_EQ(msgs.shown[0].text, message);
        }
        EXPECT_EQ(dlg.isVisible(), message != nullptr);
        EXPECT_EQ(st.pollingInterval, message ? 10 : 7);
        EXPECT_EQ(storedInt("Polling"), message ? Absent : 7);
    }
    dlg.show();
    EXPECT_EQ(edit->text(), "7"); // the text typed last survives
    // Exit without typing keeps what is stored.
    dlg.hide();
    Store::writeInt(QStringLiteral("Polling"), 12);
    dlg.show();
    EXPECT_EQ(edit->text(), "12");
    click("pbExit");
    EXPECT_EQ(storedInt("Polling"), 12);
}

} // namespace
