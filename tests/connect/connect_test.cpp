// The main window's connection handling on a scripted port and a fake clock:
// the unit search of a network, Prev/Next, connect and disconnect rules, the
// connection label, the pointer, the menu options and the display choice.
#include "ui/app/topform.h"
#include "common/testsupport.h"
#include "ui/display/histogramview.h"
#include "ui/display/trendwindow.h"
#include "engine/engine.h"
#include "engine/session.h"
#include "serial/commportdriver.h"
#include "services/store.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace dxu::test {
namespace {

using Lines = std::vector<std::string>;

class ConnectWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        clearStore();
        port.open = false;
    }
    void TearDown() override
    {
        if (top)
            top->setCommPort(nullptr);
    }
    TTopForm& form()
    {
        if (!top) {
            top = std::make_unique<TTopForm>();
            top->setCommPort(&port);
            top->setPortCheck([](int) { return true; });
        }
        return *top;
    }
    DxuState& st() { return form().state(); }
    void click(const char* name) { clickControl(form().control(name), name); }
    QString text(const char* name) { return controlText(form().control(name)); }
    void reply(const char* line) { form().CommPortReceiveData(line, static_cast<int32_t>(std::strlen(line))); }
    Lines sent() { return port.take(); }
    // A network whose members sit in the given slots (slot, address).
    void network(std::initializer_list<std::pair<int, char>> members)
    {
        click("MultiDrop1");
        form().setChecked("MultiDrop1", true);
        int unit = 0;
        for (auto [slot, address] : members) {
            st().networkSlots[static_cast<size_t>(slot)] = address;
            st().unit(++unit).address = static_cast<unsigned char>(address);
        }
        st().networkCount = unit;
    }
    // Runs the connect sequence of a unit that does not measure.
    void connectUnit(const std::string& frame)
    {
        click("pbConnect");
        ASSERT_EQ(sent(), Lines{frame + "US\r"});
        reply((frame + "US,0\r").c_str());
        ASSERT_EQ(sent(), Lines{frame + "SV\r"});
        reply((frame + "SV,DXU v1.0.5 build 7\r").c_str());
        ASSERT_EQ(st().connected, 1);
        ASSERT_EQ(sent(), Lines{frame + "SV\r"}); // the read has begun
    }

    FakeClockScope clock;
    ScriptedMessages messages;
    FakePort port;
    std::unique_ptr<TTopForm> top;
};

TEST_F(ConnectWindow, NextAssignedAddressSearchesTheSlotsBothWays)
{
    struct Case {
        char address;
        int direction, unitBefore;
        char found;
        int unitAfter;
    };
    const Case cases[] = {
        {0, 1, 0, 'f', 1},   {'f', 1, 1, 'j', 2}, {'j', 1, 2, 0, 2},   {'j', 2, 2, 'f', 1},
        {'f', 2, 1, 0, 1},   {'f', 3, 1, 0, 1},   {'x', 1, 0, 'f', 1}, // an address not in the list: from the start
        {'j', 2, 1, 'f', 1}, // unit 1 is the lowest
    };
    network({{5, 'f'}, {9, 'j'}});
    for (const Case& c : cases) {
        st().currentUnit = c.unitBefore;
        EXPECT_EQ(form().session().nextAssignedAddress(c.address, c.direction), c.found) << c.address << c.direction;
        EXPECT_EQ(st().currentUnit, c.unitAfter) << c.address << c.direction;
    }
}

TEST_F(ConnectWindow, ConnectInNetworkModeNeedsMembers)
{
    network({});
    click("pbConnect");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Error");
    EXPECT_EQ(messages.shown[0].text, "There are no DXU units assigned to this network.");
    EXPECT_EQ(port.connects, 0);
    EXPECT_TRUE(sent().empty());
}

TEST_F(ConnectWindow, SingleMemberNetworkShowsBothStepButtonsDisabled)
{
    network({{0, 'a'}});
    connectUnit("#a");
    EXPECT_TRUE(form().isVisible("pbPrevDXU"));
    EXPECT_TRUE(form().isVisible("pbNextDXU"));
    EXPECT_FALSE(form().isEnabled("pbPrevDXU"));
    EXPECT_FALSE(form().isEnabled("pbNextDXU"));
    EXPECT_EQ(text("lblViewing"), "Viewing: 1 of 1");
    EXPECT_EQ(text("lblDXUAddress"), "Address: a");
}

// Slots 5 and 9: Next and Prev show a unit read in this connection at once and
// connect to one that was not.
TEST_F(ConnectWindow, PrevAndNextShowReadUnitsWithoutTrafficAndConnectToOthers)
{
    network({{5, 'f'}, {9, 'j'}});
    connectUnit("#f");
    EXPECT_EQ(text("lblViewing"), "Viewing: 1 of 2");
    EXPECT_FALSE(form().isEnabled("pbPrevDXU"));
    EXPECT_TRUE(form().isEnabled("pbNextDXU"));

    // j not read yet: a new connect to j.
    st().queue.queueState = QueueIdle;
    const int disconnects = port.disconnects;
    click("pbNextDXU");
    EXPECT_EQ(st().currentUnit, 2);
    EXPECT_EQ(st().switchingUnit, 1);
    EXPECT_EQ(port.disconnects, disconnects + 1);
    EXPECT_EQ(sent(), Lines{"#jUS\r"});
    EXPECT_FALSE(form().isEnabled("pbNextDXU"));
    EXPECT_TRUE(form().isEnabled("pbPrevDXU"));

    // Both read: stepping sends nothing.
    st().unit(1).settingsRead = 1;
    st().unit(2).settingsRead = 1;
    st().queue.queueState = QueueIdle;
    click("pbPrevDXU");
    EXPECT_EQ(st().currentUnit, 1);
    EXPECT_EQ(text("lblViewing"), "Viewing: 1 of 2");
    EXPECT_EQ(text("lblDXUAddress"), "Address: f");
    click("pbNextDXU");
    EXPECT_EQ(text("lblViewing"), "Viewing: 2 of 2");
    EXPECT_EQ(text("lblDXUAddress"), "Address: j");
    EXPECT_TRUE(sent().empty());
    click("pbNextDXU"); // already the last
    EXPECT_EQ(st().currentUnit, 2);

    // A new connection reads every unit again.
    st().queue.queueState = QueueIdle;
    click("pbConnect"); // disconnect
    click("pbConnect");
    EXPECT_EQ(st().unit(1).settingsRead, 0);
    EXPECT_EQ(st().unit(2).settingsRead, 0);
    EXPECT_EQ(sent(), Lines{"#fUS\r"});
}

// Stepping to a unit read before shows its own settings and bin size.
TEST_F(ConnectWindow, PrevAndNextShowTheSettingsOfTheUnitSteppedTo)
{
    network({{5, 'f'}, {9, 'j'}});
    connectUnit("#f");
    UnitRecord& f = st().unit(1);
    f.measureMode = 1;
    f.prfAveraging = 2000;
    f.pulsesAveraging = 200;
    f.continuousOutput = 1;
    UnitRecord& j = st().unit(2);
    j.measureMode = 2;
    j.units = 0;
    j.prfBinning = 500;
    j.pulsesBinning = 50;
    j.binSize = 3;
    j.continuousOutput = 0;
    f.settingsRead = j.settingsRead = 1;
    st().queue.queueState = QueueIdle;
    st().binOffset = 0;

    click("pbNextDXU");
    EXPECT_EQ(form().text("cmbPRF"), "500");
    EXPECT_EQ(form().text("edPulsesperMeasure"), "50");
    EXPECT_TRUE(form().isVisible("pnlBinning"));
    EXPECT_FALSE(form().isVisible("pnlAveraging"));
    EXPECT_TRUE(form().isVisible("pbSingleMeasure"));
    EXPECT_NEAR(st().binOffset, 1.0 / 3, 1e-6);

    click("pbPrevDXU");
    EXPECT_EQ(form().text("cmbPRF"), "2000");
    EXPECT_EQ(form().itemCount("cmbPRF"), 9);
    EXPECT_TRUE(form().isVisible("pnlAveraging"));
    EXPECT_FALSE(form().isVisible("pbSingleMeasure"));
    EXPECT_TRUE(sent().empty());
}

TEST_F(ConnectWindow, DisconnectAsksWhenSettingsAreUnsavedAndFreesTheModeChoice)
{
    connectUnit("$");
    // Nothing unsaved: the button looks like any disabled button.
    auto* save = qobject_cast<QWidget*>(form().control("pbSaveSettings"));
    EXPECT_EQ(save->palette().color(QPalette::Disabled, QPalette::ButtonText),
              QApplication::palette(save).color(QPalette::Disabled, QPalette::ButtonText));
    form().controlLooks().showSaveState(true);
    messages.answerNext(MsgAnswer::No);
    click("pbConnect");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "The most recent changes to DXU settings are not saved,\nand will be lost after "
                                      "cycling the power.\nDo you want to disconnect DXU?");
    EXPECT_TRUE(port.open);
    EXPECT_EQ(text("pbConnect"), "Dis&connect");

    messages.answerNext(MsgAnswer::Yes);
    click("pbConnect");
    EXPECT_FALSE(port.open);
    EXPECT_TRUE(sent().empty()); // nothing is sent to the unit
    EXPECT_EQ(text("pbConnect"), "&Connect");
    EXPECT_EQ(text("Connect1"), "Co&nnect");
    EXPECT_EQ(text("lblConnectionType"), "");
    EXPECT_FALSE(form().pollTimer()->isActive());
    EXPECT_EQ(st().connected, 0);
    for (const char* off : {"CurrentLoopOn1", "DisableFaultCurrent1", "SetRanges1", "Calibrate1", "pbRead"})
        EXPECT_FALSE(form().isEnabled(off)) << off;
    // The mode can be changed now.
    click("MultiDrop1");
    EXPECT_TRUE(form().isChecked("MultiDrop1"));
    EXPECT_EQ(st().networkMode(), 1);
}

TEST_F(ConnectWindow, ConnectOpensThePortItChecked)
{
    // The PC port was changed while the link was open: the store and record 0
    // hold COM5, the driver still the old number. The next connect checks
    // COM5 and must open COM5 too.
    int checked = 0;
    form().setPortCheck([&](int com) { checked = com; return true; });
    st().unitTable[0].port232 = 4;
    form().session().openAndConnect();
    EXPECT_EQ(checked, 5);
    EXPECT_EQ(form().driver().ComPort(), pnCOM5);

    // In network mode the RS-485 port is the one.
    form().session().connectClicked(); // disconnect
    st().unitTable[0].port485 = 8;
    network({{0, 'a'}});
    form().session().openAndConnect();
    EXPECT_EQ(checked, 9);
    EXPECT_EQ(form().driver().ComPort(), pnCOM9);
}

TEST_F(ConnectWindow, ConnectionTypeLabel)
{
    struct Case {
        int portInUse, port232, port485, currentPort;
        const char* text;
    };
    const Case cases[] = {
        {1, 0, 3, 0, "RS232:COM1->Configuration"},
        {1, 4, 3, 1, "RS232:COM5->Universal"},
        {2, 0, 3, 2, "RS485:COM4->Universal"},
        {2, 0, 11, 0, "RS485:COM12->Configuration"},
    };
    for (const Case& c : cases) {
        UnitRecord& pc = st().unitTable[0];
        pc.portInUse = c.portInUse;
        pc.port232 = c.port232;
        pc.port485 = c.port485;
        st().currentUnit = 1;
        st().unit(1).currentPort = c.currentPort;
        form().session().updateConnectionTypeLabel();
        EXPECT_EQ(text("lblConnectionType"), c.text);
    }
}

TEST_F(ConnectWindow, PointerCaptionIsItsStateAcrossADisconnect)
{
    connectUnit("$");
    sent();
    click("pbPointer");
    EXPECT_EQ(text("pbPointer"), "&Pointer Off");
    EXPECT_EQ(sent(), Lines{"$PT,1\r"});
    st().queue.queueState = QueueIdle;
    click("pbConnect");
    EXPECT_EQ(text("pbPointer"), "&Pointer Off");
    connectUnit("$");
    sent();
    click("pbPointer");
    EXPECT_EQ(text("pbPointer"), "&Pointer On");
    click("pbSingleMeasure");
    EXPECT_EQ(port.lines(), (Lines{"$PT,0\r", "$BM\r"}));
}

TEST_F(ConnectWindow, StatusRequestsFollowTheLinkInUse)
{
    struct Case {
        bool network;
        int members;
        Lines expected;
    };
    const Case cases[] = {
        {false, 0, {"$US\r"}}, // the unit on the cable, no network list stored
        {true, 0, {}},
    };
    for (const Case& c : cases) {
        st().connected = 0;
        if (c.network)
            network({});
        ASSERT_EQ(st().networkMode(), c.network ? 1 : 0);
        port.open = true;
        st().connected = 1;
        st().networkCount = c.members;
        st().pollingInterval = 0;
        st().queue.resetQueue();
        st().queue.queueState = QueueIdle;
        st().lastSendTick = 0;
        form().PollTimerTimer();
        form().PollTimerTimer();
        EXPECT_EQ(sent(), c.expected) << c.network;
    }
}

TEST_F(ConnectWindow, StoredMenuOptionsFollowTheirCheckMarks)
{
    struct Case {
        const char* item;
        const char* value;
        int32_t DxuState::*flag;
    };
    const Case cases[] = {{"DXUStatusRequests1", "Status Requests", &DxuState::statusRequests},
                          {"CaptureAll1", "Log All", &DxuState::logAll}};
    for (const Case& c : cases) {
        const int32_t before = st().*c.flag;
        click(c.item);
        EXPECT_EQ(st().*c.flag, before ? 0 : 1) << c.item;
        int stored = -1;
        EXPECT_TRUE(Store::readInt(QString::fromLatin1(c.value), stored));
        EXPECT_EQ(stored, st().*c.flag) << c.value;
        click(c.item);
        EXPECT_EQ(st().*c.flag, before) << c.item;
    }
}

TEST_F(ConnectWindow, DisplayChoiceEnablesUploadAndBlanksTheResult)
{
    for (const char* button : {"rbIntensity", "rbBothNumbers", "rbDistance"}) {
        form().setEnabled("pbUpload", false);
        form().setText("lblResult", "12.345 M");
        form().setText("lblIntensity", "1.5");
        click(button);
        EXPECT_TRUE(form().isEnabled("pbUpload")) << button;
        EXPECT_TRUE(form().isChecked(button));
        EXPECT_EQ(text("lblResult"), "");
        EXPECT_EQ(text("lblIntensity"), "");
    }
}

// A unit switch that succeeded must not make a later connect behave like one:
// the first unit's silence walks on to the next member.
TEST_F(ConnectWindow, ConnectAfterASwitchWalksOnFromASilentUnit)
{
    network({{5, 'f'}, {9, 'j'}});
    connectUnit("#f");
    st().queue.queueState = QueueIdle;
    st().lastSendTick = 0;
    click("pbNextDXU");
    ASSERT_EQ(sent(), Lines{"#jUS\r"});
    reply("#jUS,0\r");
    ASSERT_EQ(sent(), Lines{"#jSV\r"});
    reply("#jSV,DXU v1.0.5 build 7\r");
    ASSERT_EQ(st().connected, 1);
    ASSERT_EQ(st().currentUnit, 2);
    sent();
    st().queue.queueState = QueueIdle;

    click("pbConnect"); // disconnect
    click("pbConnect");
    ASSERT_EQ(sent(), Lines{"#fUS\r"});
    clock.advance(2500);
    form().PollTimerTimer();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(sent(), Lines{"#jUS\r"});
    EXPECT_EQ(st().currentUnit, 2);
}

// While a list for the unit on screen is answered, Prev and Next wait: the
// rest of a read, an upload or a restart of measuring must not go to the unit
// stepped to. A switch whose connect failed can be stepped on from at once.
TEST_F(ConnectWindow, StepButtonsWaitForTheListInFlight)
{
    network({{5, 'f'}, {9, 'j'}});
    connectUnit("#f"); // the read of f is in flight
    st().unit(2).settingsRead = 1;
    click("pbNextDXU");
    EXPECT_EQ(st().currentUnit, 1);
    EXPECT_EQ(text("lblViewing"), "Viewing: 1 of 2");
    reply("#fSV,DXU v1.0.5 build 7\r");
    EXPECT_EQ(sent(), Lines{"#fUA\r"});

    // Measuring restarts on f after an upload: still f.
    st().queue.queueState = QueueUpload;
    click("pbNextDXU");
    EXPECT_EQ(st().currentUnit, 1);

    // The list has ended: Next steps to j, which was read, without traffic.
    st().queue.queueState = QueueIdle;
    click("pbNextDXU");
    EXPECT_EQ(st().currentUnit, 2);
    EXPECT_EQ(text("lblViewing"), "Viewing: 2 of 2");
    EXPECT_TRUE(sent().empty());

    // A switch back to f (not read now) whose connect is unanswered.
    st().unit(1).settingsRead = 0;
    click("pbPrevDXU");
    ASSERT_EQ(sent(), Lines{"#fUS\r"});
    click("pbNextDXU"); // the connect of f is in flight
    EXPECT_EQ(st().currentUnit, 1);
    EXPECT_TRUE(sent().empty());
    clock.advance(2500);
    form().PollTimerTimer();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Cannot connect to DXU 1: Address: f");
    click("pbNextDXU"); // the failed switch: step on
    EXPECT_EQ(st().currentUnit, 2);
    EXPECT_EQ(text("lblDXUAddress"), "Address: j");
}

// A unit switch closes the port and opens it again. When it cannot be opened
// again, the window must not go on looking connected to a closed port.
TEST_F(ConnectWindow, SwitchThatCannotReopenThePortShowsTheDisconnectedLook)
{
    struct Case {
        bool checkPasses, opens;
        size_t messages;
    };
    for (const Case c : {Case{false, true, 1u}, Case{true, false, 0u}}) {
        messages.shown.clear();
        form().setPortCheck([](int) { return true; });
        port.openable = true;
        if (st().networkMode() == 0)
            network({{5, 'f'}, {9, 'j'}});
        connectUnit("#f");
        st().queue.queueState = QueueIdle;
        st().lastSendTick = 0;
        form().setPortCheck([&](int) { return c.checkPasses; });
        port.openable = c.opens;
        click("pbNextDXU");
        EXPECT_EQ(messages.shown.size(), c.messages) << c.checkPasses;
        EXPECT_FALSE(port.open);
        EXPECT_EQ(st().connected, 0);
        EXPECT_EQ(st().switchingUnit, 0);
        EXPECT_FALSE(form().pollTimer()->isActive());
        EXPECT_EQ(text("pbConnect"), "&Connect");
        EXPECT_EQ(text("Connect1"), "Co&nnect");
        EXPECT_FALSE(form().isVisible("pbNextDXU"));
        EXPECT_TRUE(form().isEnabled("MultiDrop1"));
        EXPECT_TRUE(sent().empty());
    }
}

// A port that opens but is no serial device is named as such, not as one
// another program holds.
TEST_F(ConnectWindow, PortThatIsNoSerialDeviceIsNamedAsSuch)
{
    form().setPortCheck(portIsFree);
    for (const char* device : {"/tmp", "/dev/null"}) {
        messages.shown.clear();
        qputenv("DXU_COM1", device);
        click("pbConnect");
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text,
                  QString("Serial port: COM1 (%1) is not a serial device.\nPlease select another serial port").arg(device));
        EXPECT_FALSE(port.open);
    }
    qunsetenv("DXU_COM1");
}

// A unit that freezes while measuring: its last reading must not look live
// for long, nor after Stop; a new result is live at once.
TEST_F(ConnectWindow, LastReadingTurnsStaleWhenResultsStop)
{
    connectUnit("$");
    st().queue.queueState = QueueIdle;
    st().lastSendTick = 0;
    st().current().measureMode = 1;
    st().current().displayMode = 1;
    st().current().units = 1;
    click("pbContinuous");
    reply("$OK\r");
    reply("$US,2\r");
    const auto live = [&] { return form().isEnabled("lblResult") && form().hint("lblResult").empty(); };
    const auto tick = [&](int seconds) {
        for (int i = 0; i < seconds; ++i) {
            clock.advance(1000);
            form().PollTimerTimer();
        }
    };
    reply("$BM,12.345\r");
    EXPECT_TRUE(live());
    tick(2);
    EXPECT_TRUE(live()) << "within the reply time-out a reading is live";
    tick(1);
    EXPECT_FALSE(live()) << "three seconds without a result";
    EXPECT_EQ(form().hint("lblResult"), "Last result 3 s ago");
    const QPalette& look = qobject_cast<QWidget*>(form().control("lblResult"))->palette();
    EXPECT_NE(look.color(QPalette::Disabled, QPalette::WindowText), look.color(QPalette::Active, QPalette::WindowText))
        << "a stale result looks different";
    EXPECT_EQ(text("lblResult"), "12.345 M") << "the value stays";
    reply("$BM,12.346\r");
    EXPECT_TRUE(live());

    click("pbContinuous"); // Stop
    reply("$OK\r");
    reply("$US,0\r");
    ASSERT_EQ(st().current().laserOn, 0);
    tick(1);
    EXPECT_FALSE(live());
    EXPECT_EQ(form().hint("lblResult"), "Last result 1 s ago");
    EXPECT_EQ(text("lblResult"), "12.346 M");
}

// Closing the window ends the heartbeat: no time-out of the connect in flight
// may show a message after the window has gone.
TEST_F(ConnectWindow, ClosingWhileConnectingStopsThePollTimer)
{
    click("pbConnect");
    ASSERT_TRUE(form().pollTimer()->isActive());
    form().close();
    EXPECT_FALSE(form().pollTimer()->isActive());
    EXPECT_FALSE(port.open);
}

TEST_F(ConnectWindow, ResetSendsTheResetLineThenReconnects)
{
    connectUnit("$");
    st().queue.queueState = QueueIdle;
    const uint64_t waitedBefore = clock.waited();
    click("pbReset");
    EXPECT_EQ(sent(), (Lines{"$CD,30\r", "$US\r"}));
    EXPECT_EQ(clock.waited() - waitedBefore, 2000u);
    EXPECT_EQ(st().queue.queueState, QueueConnect);
    EXPECT_EQ(st().queue.items[0].retriesLeft, 150);
    EXPECT_FALSE(form().isEnabled("pbUpload"));
}

// Results reach the trend window as the display shows them: both lines where
// the display mode gives an intensity, the chosen target in Binning; a jump
// shows in the standard deviation at once.
TEST_F(ConnectWindow, TrendTakesTheResultsTheDisplayShows)
{
    connectUnit("$");
    click("Trend1");
    auto* trend = form().findChild<TfrmTrend*>();
    ASSERT_NE(trend, nullptr);
    UnitRecord& r = st().current();
    r.measureMode = 1;
    r.displayMode = 2;
    r.units = 1;
    for (int i = 0; i < 10; ++i) {
        clock.advance(100);
        reply("$BM,12.345,1500\r");
    }
    EXPECT_EQ(text("lblResult"), "12.345 M");
    auto d = trend->stats().distance();
    EXPECT_EQ(d.values, 10u);
    EXPECT_DOUBLE_EQ(d.stdDev, 0.0);
    EXPECT_NEAR(d.rate, 10.0, 1e-9);
    EXPECT_NEAR(trend->stats().intensity().mean, 1.5, 1e-6);
    clock.advance(100);
    reply("$BM,14.345,1500\r");
    d = trend->stats().distance();
    EXPECT_NEAR(d.max, 14.345, 1e-5);
    EXPECT_GT(d.stdDev, 0.5);

    // Binning: the nearest target (FA 0) is the result and the trend's value;
    // a click on a bar changes the result but adds no result to the trend.
    r.measureMode = 2;
    r.binSize = 3;
    trend->pbTrendClearClick();
    clock.advance(100);
    reply("$BM,0,2,9.000,10\r$BM,1,2,4.000,40\r");
    EXPECT_EQ(text("lblResult"), "4.000 M");
    EXPECT_EQ(text("lblTargetCount"), "2");
    EXPECT_EQ(trend->stats().distance().values, 1u);
    EXPECT_FLOAT_EQ(static_cast<float>(trend->stats().distance().mean), 4.0f);
    auto* img = form().findChild<HistogramView*>();
    const auto& bar = img->histogram().picture().lines[3]; // entry 0, at 9 m
    QTest::mouseClick(img, Qt::LeftButton, {}, QPoint(bar.x1, bar.y1 - 6));
    EXPECT_EQ(text("lblResult"), "9.000 M");
    EXPECT_EQ(trend->stats().distance().values, 1u);

    // Paused, nothing is taken.
    trend->findChild<QAbstractButton*>(QStringLiteral("pbTrendPause"))->click();
    reply("$BM,0,1,7.000,10\r");
    EXPECT_EQ(trend->stats().distance().values, 1u);
}

} // namespace
} // namespace dxu::test
