// Connecting to a simulated unit on RS-232 and working with it: the connect
// sequence and the full read on the wire, the periodic status requests,
// measuring, and a unit that was left measuring.
#include "e2e/e2efixture.h"

#include "diagnostics/terminal.h"
#include "services/cursor.h"

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
    // The simulated unit averages (MM 1): its panels are the ones shown.
    EXPECT_TRUE(top().isVisible("pnlAveraging"));
    EXPECT_FALSE(top().isVisible("pnlBinning"));
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

} // namespace
} // namespace dxu::test
