// Whole conversations of the main window with simulated units, over the
// in-process simulated line on the fake clock.
#include "common/simwindow.h"
#include "engine/session.h"
#include "ui/network/networkedit.h"
#include "protocol/settingcodes.h"
#include "ui/diagnostics/about.h"
#include "ui/diagnostics/terminal.h"

#include <QDialog>
#include <QLabel>

#include <algorithm>
#include <functional>

namespace dxu::test {
namespace {

class Conversation : public SimWindowTest {
protected:
    bool readDone()
    {
        const DxuState& s = top().state();
        return s.connected == 1 && s.current().settingsRead == 1 && s.queue.queueState == QueueIdle;
    }
};

// A unit kept in binning mode without continuous output: the read shows its
// binning values and offers the single measurement.
TEST_F(Conversation, ReadShowsAUnitsOwnModeAndOffersSingleMeasurementWithoutContinuousOutput)
{
    attach({}, {{"MM", {2}}, {"CO", {0}}, {"PF", {2000, 750, 1000}}, {"PO", {200, 25}}, {"BS", {3}}});
    top().session().connectClicked();
    ASSERT_TRUE(runUntil([&] { return readDone(); }));

    EXPECT_TRUE(top().isVisible("pnlBinning"));
    EXPECT_FALSE(top().isVisible("pnlAveraging"));
    EXPECT_EQ(top().text("cmbPRF"), "750");
    EXPECT_EQ(top().itemCount("cmbPRF"), 6);
    EXPECT_EQ(top().text("edPulsesperMeasure"), "25");
    EXPECT_EQ(text("lblRate"), "30.0 Hz");
    EXPECT_TRUE(top().isVisible("pbSingleMeasure"));
    EXPECT_FLOAT_EQ(top().state().binOffset, 0.104f);
    // Showing the values enabled Upload; the end of the read disabled it.
    EXPECT_FALSE(top().isEnabled("pbUpload"));
    EXPECT_TRUE(messages.shown.empty());
}

// A unit found measuring is stopped for the read and measures again after it;
// the program learns it from the unit, having been disconnected meanwhile.
TEST_F(Conversation, UnitLeftMeasuringIsStoppedForTheReadAndRestarted)
{
    attach(dxusim::Options{});
    top().session().connectClicked();
    ASSERT_TRUE(runUntil([&] { return readDone(); }));
    top().session().continuousClicked();
    ASSERT_TRUE(runUntil([&] { return sent("$US") >= 2 && link->unit(0).measuring(); }));
    top().session().connectClicked(); // the unit goes on measuring
    ASSERT_FALSE(top().commPort()->Connected());
    const std::size_t before = link->received.size();

    top().session().connectClicked();
    ASSERT_TRUE(runUntil([&] { return readDone() && sent("$GO") == 2; }));
    const std::vector<std::string> second(link->received.begin() + static_cast<long>(before), link->received.end());
    // Connect, stop the unit, then the whole read; measuring restarts after it.
    const auto firstSv = std::find(second.begin(), second.end(), "$SV");
    ASSERT_NE(firstSv, second.end());
    EXPECT_EQ(second.front(), "$US");
    EXPECT_NE(std::find(second.begin(), firstSv, "$ST"), firstSv);
    const auto go = std::find(firstSv, second.end(), "$GO");
    ASSERT_NE(go, second.end());
    EXPECT_EQ(*(go - 1), "$DM"); // the last query of the read
    EXPECT_EQ(top().text("pbContinuous"), "&Stop");
    EXPECT_TRUE(runUntil([&] { return top().state().current().measurementSeen == 1; }));
}

// The settings read after Connect shows how far it is beside the status
// panels, and the progress goes when the read ends or the line goes away.
TEST_F(Conversation, SettingsReadShowsItsProgressUntilItEnds)
{
    attach(dxusim::Options{});
    auto* bar = get<QWidget>("StatusBar1ProgressBar");
    const QString half = QStringLiteral("Reading settings %1 of %2").arg(SettingsReadCount / 2).arg(SettingsReadCount);
    top().session().connectClicked();
    ASSERT_TRUE(runUntil([&] { return text("StatusBar1ProgressText") == half; }));
    EXPECT_TRUE(bar->isVisibleTo(&top()));
    EXPECT_EQ(text("StatusBar1Panel3"), " Connected");
    ASSERT_TRUE(runUntil([&] { return readDone(); }));
    EXPECT_FALSE(bar->isVisibleTo(&top()));

    // Read again, and lose the line halfway.
    top().session().readSettings();
    ASSERT_TRUE(runUntil([&] { return text("StatusBar1ProgressText") == half; }));
    EXPECT_TRUE(bar->isVisibleTo(&top()));
    top().session().portLost(1);
    EXPECT_FALSE(bar->isVisibleTo(&top()));
    EXPECT_FALSE(get<QWidget>("StatusBar1ProgressText")->isVisibleTo(&top()));
}

// Members added to the network while disconnected have their continuous
// output switched off (and saved) at the first connect to each of them, so
// that none streams onto the shared line.
TEST_F(Conversation, MemberAddedWhileDisconnectedHasContinuousOutputSwitchedOffAtItsConnect)
{
    attachLine({'a', 'b'}, dxusim::Options{}, {{"CO", {1}}});

    top().session().connectClicked();
    ASSERT_TRUE(runUntil([&] { return readDone(); }));
    EXPECT_EQ(sent("#aCO,0"), 1);
    EXPECT_EQ(sent("#aSU"), 1);
    EXPECT_EQ(link->unit(0).saved().getInt("CO"), 0);
    EXPECT_EQ(sent("#bCO,0"), 0); // not connected to yet

    top().session().switchUnit(StepNext);
    ASSERT_TRUE(runUntil([&] { return readDone() && top().state().currentUnit == 2; }));
    EXPECT_EQ(link->unit(1).saved().getInt("CO"), 0);
    EXPECT_EQ(sent("#aCO,0"), 1); // only once
    EXPECT_FALSE(top().isChecked("cbContinuousOutput"));
    EXPECT_EQ(text("StatusBar1Panel1"), " Settings saved in the unit (address b)");
}

// Stepping to a network member that does not answer shows no other unit's
// settings and offers nothing to do to it; stepping back to the unit read
// before brings its settings and controls back.
TEST_F(Conversation, ASilentUnitIsNotShownWithAnotherUnitsSettings)
{
    dxusim::Options network;
    network.silent = {'b'};
    attachLine({'a', 'b'}, network);
    top().session().connectClicked();
    ASSERT_TRUE(runUntil([&] { return readDone(); }));

    const char* const unitControls[] = {"pbContinuous", "pbRead", "pbPointer", "pbReset", "Save1"};
    top().session().switchUnit(StepNext);
    ASSERT_TRUE(runUntil([&] { return !messages.shown.empty(); }));
    EXPECT_EQ(text("lblDXUAddress"), QStringLiteral("Address: ?"));
    EXPECT_FALSE(top().isVisible("pnlBasicSetup"));
    for (const char* name : unitControls)
        EXPECT_FALSE(top().isEnabled(name)) << name;
    EXPECT_TRUE(top().isVisible("pbPrevDXU"));
    runUntil([] { return false; }, 5000); // the polls that follow change none of it
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_FALSE(top().isVisible("pnlBasicSetup"));
    EXPECT_FALSE(top().isEnabled("pbRead"));

    top().session().switchUnit(StepPrevious);
    top().PollTimerTimer();
    EXPECT_EQ(top().state().current().addressChar(), 'a');
    EXPECT_TRUE(top().isVisible("pnlBasicSetup"));
    for (const char* name : unitControls)
        EXPECT_TRUE(top().isEnabled(name)) << name;
}

// Start-up makes no window but the main one and no file dialog, and neither do
// a connect, its read and measuring; a window opened afterwards shows what it
// was told meanwhile (the unit's version, Send enabled while connected).
TEST_F(Conversation, WindowsAndFileDialogsAreMadeWhenFirstOpenedWithWhatTheyWereTold)
{
    attach();
    const auto windowsMade = [this] {
        return top().findChildren<QDialog*>().size() + top().findChildren<QMainWindow*>().size();
    };
    EXPECT_EQ(windowsMade(), 0);
    connect();
    top().session().continuousClicked();
    ASSERT_TRUE(runUntil([&] { return text("lblResult").contains(QLatin1String("12.3")); }));
    EXPECT_EQ(windowsMade(), 0);

    click("About1");
    const TTopForm::Windows& w = top().windows();
    ASSERT_NE(top().state().versionText[0], 0);
    EXPECT_EQ(w.about->findChild<QLabel*>(QStringLiteral("lblDXUVersion"))->text(),
              QString::fromLatin1(top().state().versionText));
    EXPECT_TRUE(w.terminal->sendEnabled());
}

} // namespace
} // namespace dxu::test
