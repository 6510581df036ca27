// What goes wrong on a real line: silent units, on their own and on a network,
// a port someone else holds or that is not there, a unit that stops answering
// and a device that disappears in the middle of a stream.
#include "e2e/e2efixture.h"

#include "ui/network/networkedit.h"
#include "ports/portsettings.h"
#include "ui/services/cursor.h"
#include "services/store.h"

#include <fcntl.h>
#include <set>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace dxu::test {
namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
           + static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Stores a network of the given addresses and selects network mode.
void storeNetwork(const char* addresses)
{
    DxuState st;
    for (const char* a = addresses; *a; ++a)
        st.networkSlots[static_cast<size_t>(addressPosition(*a))] = *a;
    rebuildUnitAddresses(st);
    saveNetworkSlots(st);
    saveCount(st);
    Store::writeInt(QStringLiteral("Network Mode"), 1);
}

TEST_F(EndToEnd, SilentRs232UnitCannotBeConnected)
{
    startSim({"--silent", "a"});
    // Not looking at the other rates.
    messages.answerNext(MsgAnswer::No);
    click("pbConnect");
    EXPECT_EQ(statusPanel(3), " Connecting");
    ASSERT_TRUE(waitFor([&] { return messages.shown.size() >= 2; }, 4000));
    EXPECT_EQ(messages.shown[1].caption, "Error");
    EXPECT_EQ(messages.shown[1].text, "Cannot Connect to DXU");
    EXPECT_EQ(statusPanel(3), "");
    EXPECT_EQ(text("pbConnect"), "&Connect");
    EXPECT_FALSE(top().driver().Connected());
    EXPECT_FALSE(busyCursor());
    EXPECT_TRUE(top().isEnabled("Single1"));
    EXPECT_EQ(sim.received(), Lines{"$US"});
}

// A network of three whose first unit is silent: the connect walks on to the
// next, logs the silent one, and Prev/Next step through the list.
TEST_F(EndToEnd, NetworkWalksPastSilentUnitAndStepsThroughTheUnits)
{
    storeNetwork("abc");
    startSim({"--units", "a,b,c", "--silent", "a"});
    messages.answerNext(MsgAnswer::No); // the errors question at the end of the read
    connectAndRead(10000);

    EXPECT_EQ(sim.received(), concat({"#aUS", "#bUS", "#bSV"}, readLines("#b")));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "1 errors encountered.\n\nDo you want to view errors?");
    EXPECT_EQ(text("lblViewing"), "Viewing: 2 of 3");
    EXPECT_EQ(text("lblDXUAddress"), "Address: b");
    EXPECT_EQ(text("lblConnectionType"), "RS485:COM1->Universal");
    EXPECT_TRUE(top().isVisible("pbPrevDXU"));
    EXPECT_TRUE(top().isEnabled("pbPrevDXU"));
    EXPECT_TRUE(top().isEnabled("pbNextDXU"));

    // Next: c has not been read yet, so it is connected and read.
    size_t before = sim.received().size();
    click("pbNextDXU");
    ASSERT_TRUE(waitFor([&] { return readDone() && st().currentUnit == 3; }, 8000));
    Lines all = sim.received();
    EXPECT_EQ(Lines(all.begin() + static_cast<long>(before), all.end()),
              concat({"#cUS", "#cSV"}, readLines("#c")));
    EXPECT_EQ(text("lblViewing"), "Viewing: 3 of 3");
    EXPECT_EQ(text("lblDXUAddress"), "Address: c");
    EXPECT_FALSE(top().isEnabled("pbNextDXU"));

    // Prev: b was read before; its settings show without a word on the line.
    before = sim.received().size();
    click("pbPrevDXU");
    EXPECT_EQ(st().currentUnit, 2);
    EXPECT_EQ(text("lblViewing"), "Viewing: 2 of 3");
    EXPECT_EQ(text("lblDXUAddress"), "Address: b");
    EXPECT_EQ(sim.received().size(), before);

    // Prev again: a stays silent; the port stays open for the next step.
    click("pbPrevDXU");
    ASSERT_TRUE(waitFor([&] { return messages.shown.size() == 2; }, 4000));
    EXPECT_EQ(messages.shown[1].caption, "Error");
    EXPECT_EQ(messages.shown[1].text, "Cannot connect to DXU 1: Address: a");
    EXPECT_EQ(text("lblDXUAddress"), "Address: ?");
    EXPECT_TRUE(top().isVisible("pbPrevDXU"));
    EXPECT_TRUE(top().isVisible("pbNextDXU"));
    EXPECT_TRUE(top().driver().Connected());
    EXPECT_EQ(sim.received().back(), "#aUS");
}

struct BlockedPortCase {
    const char* name;
    bool held; // held by another process; otherwise the device is missing
    const char* message;
};

class BlockedPort : public EndToEnd, public ::testing::WithParamInterface<BlockedPortCase> {};

TEST_P(BlockedPort, IsReportedAndNothingIsOpened)
{
    const BlockedPortCase& c = GetParam();
    startSim();
    int ready[2] = {-1, -1};
    pid_t holder = -1;
    if (c.held) {
        ASSERT_EQ(pipe(ready), 0);
        holder = fork();
        if (holder == 0) {
            const int fd = ::open(sim.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            const char ok = (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) ? 1 : 0;
            (void)!write(ready[1], &ok, 1);
            pause();
            _exit(0);
        }
        char ok = 0;
        ASSERT_EQ(read(ready[0], &ok, 1), 1);
        ASSERT_EQ(ok, 1);
    } else {
        setenv("DXU_COM1", "/dev/dxu-test-no-such-port", 1);
    }

    click("pbConnect");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "DXU Interface");
    EXPECT_EQ(messages.shown[0].text, c.message);
    EXPECT_FALSE(top().driver().Connected());
    EXPECT_FALSE(top().pollTimer()->isActive());
    EXPECT_EQ(statusPanel(3), "");
    EXPECT_EQ(text("pbConnect"), "&Connect");

    if (holder > 0) {
        kill(holder, SIGKILL);
        waitpid(holder, nullptr, 0);
        close(ready[0]);
        close(ready[1]);
    }
    EXPECT_TRUE(sim.received().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Ports, BlockedPort,
    ::testing::Values(BlockedPortCase{"HeldByAnotherProcess", true,
                                      "Serial port: COM1 is in use by other program.\nPlease select another serial port"},
                      BlockedPortCase{"Missing", false,
                                      "Serial port: COM1 (/dev/dxu-test-no-such-port) was not found.\n"
                                      "Please select another serial port"}),
    [](const auto& info) { return std::string(info.param.name); });

// While measuring: the unit stops answering (the line stays open), then comes
// back; later the device goes away altogether and a new one takes its place.
TEST_F(EndToEnd, UnitFallsSilentWhileMeasuringThenItsDeviceDisappears)
{
    startSim();
    connectAndRead();
    click("pbContinuous");
    ASSERT_TRUE(waitFor([&] { return st().queue.queueState == QueueIdle && text("lblRx") == "BM"; }, 3000));

    // The unit stops answering: the result lamp goes out after 2 s and the
    // status requests go on, each one unanswered, without a word to the user.
    sim.pause(true);
    std::set<uint32_t> requestStamps;
    ASSERT_TRUE(waitFor(
        [&] {
            if (st().lastSendTick != 0)
                requestStamps.insert(st().lastSendTick);
            return requestStamps.size() >= 2 && text("lblRx").isEmpty();
        },
        6000));
    EXPECT_TRUE(text("lblRx").isEmpty()); // no results for more than 2 s
    EXPECT_EQ(st().connected, 1);
    sim.pause(false);
    ASSERT_TRUE(waitFor([&] { return st().queue.queueState == QueueIdle && text("lblRx") == "BM"; }, 3000));
    EXPECT_GE(countReceived("$US"), 4); // connect, after GO, and the two unanswered
    EXPECT_TRUE(messages.shown.empty());

    // The device disappears: the connection ends at once, clearly, and the
    // program stays idle.
    sim.kill();
    ASSERT_TRUE(waitFor([&] { return !messages.shown.empty(); }, 2000));
    EXPECT_EQ(messages.shown[0].caption, "DXU Interface");
    EXPECT_EQ(messages.shown[0].text,
              "Serial port: COM1 is no longer available.\nCheck the cable or adapter, then connect again.");
    EXPECT_EQ(text("pbConnect"), "&Connect");
    EXPECT_EQ(statusPanel(3), "");
    EXPECT_FALSE(top().driver().Connected());
    EXPECT_FALSE(top().pollTimer()->isActive());
    const double cpuBefore = cpuSeconds();
    QTest::qWait(2000);
    EXPECT_LT(cpuSeconds() - cpuBefore, 0.2) << "busy while disconnected";

    // A new device under the same COM number: a plain connect works again.
    startSim();
    messages.shown.clear();
    connectAndRead();
    EXPECT_EQ(sim.received(), concat({"$US", "$SV"}, readLines("$")));
    EXPECT_TRUE(messages.shown.empty());
}

} // namespace
} // namespace dxu::test
