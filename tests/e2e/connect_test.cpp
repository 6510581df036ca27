// Connecting to a simulated unit on RS-232 and working with it: the connect
// sequence and the full read on the wire, the periodic status requests,
// measuring, and a unit that was left measuring.
#include "e2e/e2efixture.h"

#include "ui/diagnostics/terminal.h"
#include "ui/services/cursor.h"

namespace dxu::test {
namespace {

const QColor kGreen(0, 128, 0), kSilver(192, 192, 192), kRed(255, 0, 0), kLime(0, 255, 0);

TEST_F(EndToEnd, Rs232ConnectReadsEverySettingInOrderThenAsksForStatus)
{
    startSim();
    EXPECT_EQ(text("lblConnectionType"), "");
    connectAndRead();

    // Status request, firmware version, then the 50 queries of the read.
    EXPECT_EQ(sim.received(), concat({"$US", "$SV"}, readLines("$")));

    EXPECT_EQ(statusPanel(3), " Connected");
    EXPECT_EQ(text("pbConnect"), "Dis&connect");
    EXPECT_EQ(text("Connect1"), "Disco&nnect");
    EXPECT_EQ(lamp("lblConnected"), kGreen);
    EXPECT_EQ(text("lblConnectionType"), "RS232:COM1->Configuration");
    EXPECT_FALSE(top().isEnabled("Single1"));
    EXPECT_FALSE(top().isEnabled("MultiDrop1"));
    for (const char* usable : {"pbRead", "pbContinuous", "pbPointer", "pbReset", "pbSingleMeasure"})
        EXPECT_TRUE(top().isEnabled(usable)) << usable;
    EXPECT_FALSE(top().isEnabled("pbUpload"));
    EXPECT_FALSE(top().isEnabled("pbSaveSettings"));
    // The simulated unit averages (MM 1): its panels are the ones shown,
    // with its values (PF 2000, PO 200), and it streams (CO 1), so no single
    // measurement is offered.
    EXPECT_TRUE(top().isVisible("pnlAveraging"));
    EXPECT_FALSE(top().isVisible("pnlBinning"));
    EXPECT_EQ(top().text("cmbPRF"), "2000");
    EXPECT_EQ(top().text("edPulsesperMeasure"), "200");
    EXPECT_EQ(text("lblRate"), "10.0 Hz");
    EXPECT_FALSE(top().isVisible("pbSingleMeasure"));
    EXPECT_TRUE(windows->top().windows().terminal->sendEnabled());
    EXPECT_FALSE(busyCursor());
    EXPECT_TRUE(messages.shown.empty());

    // Every second tick the unit is asked for its status, with no network
    // list stored at all.
    const int before = static_cast<int>(sim.received().size());
    ASSERT_TRUE(waitFor([&] { return static_cast<int>(sim.received().size()) > before; }, 3500));
    EXPECT_EQ(sim.received().back(), "$US");
    ASSERT_TRUE(waitFor([&] { return static_cast<int>(sim.received().size()) > before + 1; }, 3500));
    EXPECT_EQ(sim.received().back(), "$US");
}

// Every reply comes one byte at a time with pauses between, and the unit
// checks that no command starts sooner than the default turnaround at
// 115200 bit/s (one character plus 2 ms) after the last byte of its reply.
TEST_F(EndToEnd, RepliesInSingleBytesAreOneReplyEachAndTheTurnaroundHolds)
{
    TCommPortDriver rate;
    startSim({"--reply-delay", "0", "--split", "64", "--split-gap", "2", "--min-turnaround-us",
              QString::number(rate.TurnaroundMicros())});
    connectAndRead(15000);
    EXPECT_EQ(sim.received(), concat({"$US", "$SV"}, readLines("$")));
    EXPECT_EQ(sim.logText().find(" TURN! "), std::string::npos) << sim.logText();
    EXPECT_TRUE(messages.shown.empty());
}

// Start, results streaming in, a single measurement and the pointer while
// measuring, stop, and disconnect.
TEST_F(EndToEnd, MeasuresAndStopsThenDisconnects)
{
    startSim();
    connectAndRead();
    const size_t afterRead = sim.received().size();

    click("pbContinuous");
    EXPECT_EQ(text("pbContinuous"), "&Stop");
    // The simulated unit is 12.345 m away and reports in metres.
    ASSERT_TRUE(waitFor([&] { return text("lblResult").startsWith("12.3") && text("lblResult").endsWith(" M"); },
                        3000))
        << text("lblResult").toStdString();
    EXPECT_EQ(lamp("lblRx"), kLime);
    EXPECT_EQ(text("lblRx"), "BM");
    ASSERT_TRUE(waitFor([&] { return lamp("lblLaserOn") == kRed; }, 2000));
    EXPECT_FALSE(top().isEnabled("Calibrate1"));

    click("pbSingleMeasure");
    click("pbPointer");
    EXPECT_EQ(text("pbPointer"), "&Pointer Off");
    click("pbPointer");
    EXPECT_EQ(text("pbPointer"), "&Pointer On");
    ASSERT_TRUE(waitFor([&] { return countReceived("$PT,0") == 1; }, 2000));

    click("pbContinuous");
    EXPECT_EQ(text("pbContinuous"), "Measurement &Start");
    ASSERT_TRUE(waitFor([&] { return lamp("lblLaserOn") == kSilver; }, 2000));
    EXPECT_FALSE(top().isEnabled("pbSingleMeasure"));
    EXPECT_TRUE(top().isEnabled("Calibrate1"));

    const Lines all = sim.received();
    Lines sent(all.begin() + static_cast<long>(afterRead), all.end());
    sent.erase(std::remove(sent.begin(), sent.end(), std::string("$US")), sent.end());
    EXPECT_EQ(sent, (Lines{"$GO", "$BM", "$PT,1", "$PT,0", "$ST"}));

    // After the stop the results stop and the result lamp goes out.
    ASSERT_TRUE(waitFor([&] { return text("lblRx").isEmpty(); }, 4000));

    click("pbConnect");
    EXPECT_EQ(text("pbConnect"), "&Connect");
    EXPECT_EQ(text("Connect1"), "Co&nnect");
    EXPECT_EQ(statusPanel(3), "");
    EXPECT_FALSE(top().driver().Connected());
    EXPECT_FALSE(top().pollTimer()->isActive());
    EXPECT_FALSE(windows->top().windows().terminal->sendEnabled());
    EXPECT_FALSE(top().isVisible("pnlBasicSetup"));
    EXPECT_FALSE(top().isEnabled("pbContinuous"));
    EXPECT_EQ(lamp("lblConnected"), kSilver);
    // The mode can be chosen again.
    EXPECT_TRUE(top().isEnabled("Single1"));
    click("MultiDrop1");
    EXPECT_TRUE(top().isChecked("MultiDrop1"));
    EXPECT_TRUE(messages.shown.empty());
}

} // namespace
} // namespace dxu::test
