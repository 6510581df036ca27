// Changing settings against the dxu-sim process: what only a real line
// shows, the unit's rate changing under the PC and the settings a restarted
// unit comes back with.
#include "e2e/e2efixture.h"

#include "ui/ports/commsetup.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>

namespace dxu::test {
namespace {

// Sets the unit's configuration port (the one the RS-232 link runs through)
// to 9600 bit/s.
void setUnitRate(TfrmCommSetup& setup)
{
    auto* list = setup.findChild<QComboBox*>(QStringLiteral("cmbDXUConfigRate"));
    ASSERT_NE(list, nullptr);
    list->setCurrentIndex(3);
    setup.pbConfigBaudRateClick();
}

TEST_F(EndToEnd, PcFollowsTheUnitsNewRateOrIsOfferedItWhenTheUnitFallsSilent)
{
    for (const bool follow : {true, false}) {
        SCOPED_TRACE(follow ? "PC follows" : "PC stays");
        windows.reset();
        clearStore(); // the PC rate of the round before
        startSim();
        connectAndRead();
        messages.shown.clear();
        // "Change the PC rate accordingly?"; when No, the unit is lost and the
        // program offers the unit's new rate.
        messages.answerNext(follow ? MsgAnswer::Yes : MsgAnswer::No);
        if (!follow)
            messages.answerNext(MsgAnswer::Yes);
        setUnitRate(*top().windows().commSetup);
        ASSERT_TRUE(waitFor([&] { return readDone() && st().current().port0Baud == 9600; }, 20000))
            << sim.logText();
        EXPECT_EQ(countReceived("$BR,0,9600"), 1);
        EXPECT_EQ(st().unitTable[0].port232RateIndex, 3);
        EXPECT_EQ(st().connected, 1);
        ASSERT_EQ(messages.shown.size(), follow ? 1u : 2u);
        if (!follow) {
            EXPECT_EQ(messages.shown[1].text.toStdString(),
                      "The DXU does not answer at 115200 Baud.\n\n"
                      "Do you want to set the PC to 9600 Baud and read the DXU settings again?\n"
                      "(No disconnects the DXU.)");
        }
        sim.stop();
    }
}

TEST_F(EndToEnd, SavedSettingsComeBackAfterTheUnitRestartsUnsavedOnesDoNot)
{
    QTemporaryDir dir;
    const QStringList state{QStringLiteral("--state"), dir.filePath(QStringLiteral("unit.state"))};
    startSim(state);
    connectAndRead();
    auto* minIntensity = qobject_cast<QLineEdit*>(top().control("edMinIntensity"));
    ASSERT_NE(minIntensity, nullptr);
    minIntensity->setText(QStringLiteral("12"));
    click("pbUpload");
    ASSERT_TRUE(waitFor([&] { return readDone() && top().isEnabled("pbSaveSettings"); }, 5000)) << sim.logText();
    click("pbSaveSettings");
    ASSERT_TRUE(waitFor([&] { return readDone() && countReceived("$SU") == 1; }, 5000)) << sim.logText();
    minIntensity->setText(QStringLiteral("13"));
    click("pbUpload");
    ASSERT_TRUE(waitFor([&] { return readDone() && st().current().minIntensity == 13; }, 5000)) << sim.logText();

    // Exit now asks first: 13 is not saved in the unit.
    messages.answerNext(MsgAnswer::No);
    EXPECT_FALSE(top().unsavedChangesPrompt(UnsavedMoment::Exit));

    windows.reset();
    startSim(state);
    connectAndRead();
    EXPECT_EQ(st().current().minIntensity, 12);
    EXPECT_EQ(text("edMinIntensity"), "12");
}

} // namespace
} // namespace dxu::test
