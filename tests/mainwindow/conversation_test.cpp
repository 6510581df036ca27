// Whole conversations of the main window with simulated units, over the
// in-process simulated line on the fake clock.
#include "mainwindow/fixture.h"

#include "common/simlink.h"
#include "engine/session.h"
#include "network/networkconfig.h"
#include "protocol/settingcodes.h"

#include <algorithm>
#include <functional>

namespace dxu::test {
namespace {

class Conversation : public MainWindowTest {
protected:
    void attach(SimLink& link)
    {
        form().setPortCheck([](int) { return true; });
        form().setCommPort(&link);
        link.onReceive = [this](const char* data, int32_t size) { form().CommPortReceiveData(data, size); };
    }
    // ms of fake time in 10 ms steps, the poll timer's tick every second,
    // until done holds.
    bool runUntil(SimLink& link, const std::function<bool()>& done, int ms = 10000)
    {
        for (int t = 10; t <= ms && !done(); t += 10) {
            clock.advance(10);
            link.pump();
            if (t % 1000 == 0)
                form().PollTimerTimer();
        }
        return done();
    }
    bool readDone()
    {
        const DxuState& s = form().state();
        return s.connected == 1 && s.current().settingsRead == 1 && s.queue.queueState == QueueIdle;
    }
    long count(const SimLink& link, const std::string& line)
    {
        return std::count(link.received.begin(), link.received.end(), line);
    }

    FakeClockScope clock;
};

// A unit kept in binning mode without continuous output: the read shows its
// binning values and offers the single measurement.
TEST_F(Conversation, ReadShowsAUnitsOwnModeAndOffersSingleMeasurementWithoutContinuousOutput)
{
    SimLink link({}, {{"MM", {2}}, {"CO", {0}}, {"PF", {2000, 750, 1000}}, {"PO", {200, 25}}, {"BS", {3}}});
    attach(link);
    form().session().connectClicked();
    ASSERT_TRUE(runUntil(link, [&] { return readDone(); }));

    EXPECT_TRUE(form().isVisible("pnlBinning"));
    EXPECT_FALSE(form().isVisible("pnlAveraging"));
    EXPECT_EQ(form().text("cmbPRF"), "750");
    EXPECT_EQ(form().itemCount("cmbPRF"), 6);
    EXPECT_EQ(form().text("edPulsesperMeasure"), "25");
    EXPECT_EQ(text("lblRate"), "30.0 Hz");
    EXPECT_TRUE(form().isVisible("pbSingleMeasure"));
    EXPECT_FLOAT_EQ(form().state().binOffset, 0.104f);
    // Showing the values enabled Upload; the end of the read disabled it.
    EXPECT_FALSE(form().isEnabled("pbUpload"));
    EXPECT_TRUE(messages.shown.empty());
}

// A unit found measuring is stopped for the read and measures again after it;
// the program learns it from the unit, having been disconnected meanwhile.
TEST_F(Conversation, UnitLeftMeasuringIsStoppedForTheReadAndRestarted)
{
    SimLink link;
    attach(link);
    form().session().connectClicked();
    ASSERT_TRUE(runUntil(link, [&] { return readDone(); }));
    form().session().continuousClicked();
    ASSERT_TRUE(runUntil(link, [&] { return count(link, "$US") >= 2 && link.unit(0).measuring(); }));
    form().session().connectClicked(); // the unit goes on measuring
    ASSERT_FALSE(form().commPort()->Connected());
    const std::size_t before = link.received.size();

    form().session().connectClicked();
    ASSERT_TRUE(runUntil(link, [&] { return readDone() && count(link, "$GO") == 2; }));
    const std::vector<std::string> second(link.received.begin() + static_cast<long>(before), link.received.end());
    // Connect, stop the unit, then the whole read; measuring restarts after it.
    const auto firstSv = std::find(second.begin(), second.end(), "$SV");
    ASSERT_NE(firstSv, second.end());
    EXPECT_EQ(second.front(), "$US");
    EXPECT_NE(std::find(second.begin(), firstSv, "$ST"), firstSv);
    const auto go = std::find(firstSv, second.end(), "$GO");
    ASSERT_NE(go, second.end());
    EXPECT_EQ(*(go - 1), "$DM"); // the last query of the read
    EXPECT_EQ(form().text("pbContinuous"), "&Stop");
    EXPECT_TRUE(runUntil(link, [&] { return form().state().current().measurementSeen == 1; }));
}

// The settings read after Connect shows how far it is beside the status
// panels, and the progress goes when the read ends or the line goes away.
TEST_F(Conversation, SettingsReadShowsItsProgressUntilItEnds)
{
    SimLink link;
    attach(link);
    auto* bar = get<QWidget>("StatusBar1ProgressBar");
    const QString half = QStringLiteral("Reading settings %1 of %2").arg(SettingsReadCount / 2).arg(SettingsReadCount);
    form().session().connectClicked();
    ASSERT_TRUE(runUntil(link, [&] { return text("StatusBar1ProgressText") == half; }));
    EXPECT_TRUE(bar->isVisibleTo(&form()));
    EXPECT_EQ(text("StatusBar1Panel3"), " Connected");
    ASSERT_TRUE(runUntil(link, [&] { return readDone(); }));
    EXPECT_FALSE(bar->isVisibleTo(&form()));

    // Read again, and lose the line halfway.
    form().session().readSettings();
    ASSERT_TRUE(runUntil(link, [&] { return text("StatusBar1ProgressText") == half; }));
    EXPECT_TRUE(bar->isVisibleTo(&form()));
    form().session().portLost(1);
    EXPECT_FALSE(bar->isVisibleTo(&form()));
    EXPECT_FALSE(get<QWidget>("StatusBar1ProgressText")->isVisibleTo(&form()));
}

// Members added to the network while disconnected have their continuous
// output switched off (and saved) at the first connect to each of them, so
// that none streams onto the shared line.
TEST_F(Conversation, MemberAddedWhileDisconnectedHasContinuousOutputSwitchedOffAtItsConnect)
{
    dxusim::Options network;
    network.network = true;
    network.addresses = {'a', 'b'};
    SimLink link(network, {{"CO", {1}}});
    attach(link);
    choose("MultiDrop1");
    for (char address : {'a', 'b'})
        ASSERT_TRUE(addNetworkMember(form().state(), form(), form().hooks(), {}, addressPosition(address)));

    form().session().connectClicked();
    ASSERT_TRUE(runUntil(link, [&] { return readDone(); }));
    EXPECT_EQ(count(link, "#aCO,0"), 1);
    EXPECT_EQ(count(link, "#aSU"), 1);
    EXPECT_EQ(link.unit(0).saved().getInt("CO"), 0);
    EXPECT_EQ(count(link, "#bCO,0"), 0); // not connected to yet

    form().session().switchUnit(StepNext);
    ASSERT_TRUE(runUntil(link, [&] { return readDone() && form().state().currentUnit == 2; }));
    EXPECT_EQ(link.unit(1).saved().getInt("CO"), 0);
    EXPECT_EQ(count(link, "#aCO,0"), 1); // only once
    EXPECT_FALSE(form().isChecked("cbContinuousOutput"));
}

} // namespace
} // namespace dxu::test
