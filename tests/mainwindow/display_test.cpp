// The fixed control sets, the More button, the upload trigger and the access
// to controls by name.
#include "fixture.h"
#include "services/locale.h"
#include "ui/settings/settingspanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

using namespace dxu;
using namespace dxu::test;

namespace {

struct ResetCase {
    QChar separator;
    int units;
    const char *offset, *shortGate, *longGate;
};

class ResetTexts : public MainWindowTest, public ::testing::WithParamInterface<ResetCase> {};

TEST_P(ResetTexts, FollowUnitsAndDecimalSeparator)
{
    const ResetCase& c = GetParam();
    setDecimalSeparatorOverride(c.separator);
    TTopForm& top = form();
    top.state().current().units = c.units;
    top.setChecked("cbUnitsFeet", true);
    top.setChecked("cbShortGate", true);
    top.setColor("lblConnected", colors::Green);
    top.setColor("lblRx", colors::Lime);
    top.setText("lblRx", "BM");
    top.setText("lblError", "Laser failure");
    top.setEnabled("pbUpload", true);

    top.settingsPanel().resetDisplay();

    EXPECT_EQ(text("edOffsetDistance"), c.offset);
    EXPECT_EQ(text("edShortGate"), c.shortGate);
    EXPECT_EQ(text("edLongGate"), c.longGate);
    EXPECT_FALSE(top.isChecked("cbUnitsFeet"));
    EXPECT_TRUE(top.isChecked("cbUnitsMeters"));
    EXPECT_FALSE(top.isChecked("cbShortGate"));
    EXPECT_FALSE(top.isChecked("cbLongGate"));
    EXPECT_EQ(get("lblConnected")->palette().color(QPalette::Window), QColor(192, 192, 192));
    EXPECT_NE(get("lblRx")->palette().color(QPalette::Window), QColor(0, 255, 0));
    EXPECT_EQ(text("lblRx"), "");
    EXPECT_EQ(text("lblError"), "");
    EXPECT_FALSE(top.isEnabled("pbUpload"));
    for (const char* n : {"edShortGate", "edLongGate", "edOffsetDistance", "lblShortUnits", "lblLongUnits",
                          "imgBinning", "pnlWindowing", "pnlDampening", "pnlOff", "pnlOutputProcessing"})
        EXPECT_FALSE(top.isVisible(n)) << n;
}

INSTANTIATE_TEST_SUITE_P(Locale, ResetTexts,
                         ::testing::Values(ResetCase{QLatin1Char('.'), 0, "0.00", "0.00", "5576.00"},
                                           ResetCase{QLatin1Char('.'), 1, "0.000", "0.000", "1700.000"},
                                           ResetCase{QLatin1Char(','), 0, "0,00", "0,00", "5576,00"},
                                           ResetCase{QLatin1Char(','), 1, "0,000", "0,000", "1700,000"},
                                           // The short gate box is written again by its check box's
                                           // handler, which, like the unit letters, takes only 1 as metres.
                                           ResetCase{QLatin1Char(','), 7, "0,000", "0,00", "1700,000"}));

struct ModeCase {
    int mode;
    bool rateBefore;
    bool rate, averaging, lastTarget, binning, detection, processing;
};

class ConnectedLook : public MainWindowTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(ConnectedLook, ShowsTheGroupsOfTheUnitsMode)
{
    const ModeCase& c = GetParam();
    TTopForm& top = form();
    // Start from the opposite of what the mode wants, so every change shows.
    top.setVisible("lblRate", c.rateBefore);
    top.setVisible("pnlAveraging", !c.averaging);
    top.setVisible("pnlLastTarget", !c.lastTarget);
    top.setVisible("pnlBinning", !c.binning);
    top.setVisible("pnlDetectionMode", !c.detection);
    top.setVisible("pnlDetectionParameters", !c.detection);
    top.setVisible("pnlOutputProcessing", !c.processing);
    top.setVisible("pnlOff", !c.processing);
    top.state().current().measureMode = c.mode;

    top.showConnectedControls();

    EXPECT_EQ(top.isVisible("lblRate"), c.rate);
    EXPECT_EQ(top.isVisible("pnlAveraging"), c.averaging);
    EXPECT_EQ(top.isVisible("pnlLastTarget"), c.lastTarget);
    EXPECT_EQ(top.isVisible("pnlBinning"), c.binning);
    EXPECT_EQ(top.isVisible("pnlDetectionMode"), c.detection);
    EXPECT_EQ(top.isVisible("pnlDetectionParameters"), c.detection);
    EXPECT_EQ(top.isVisible("pnlOutputProcessing"), c.processing);
    EXPECT_EQ(top.isVisible("pnlOff"), c.processing);
    for (const char* n : {"pnlBasicSetup", "pnlMode", "pnlOutputSetup", "edOffsetDistance"})
        EXPECT_TRUE(top.isVisible(n)) << n;
    for (const char* n : {"pbReset", "pbRead", "pbPointer", "pbContinuous", "pbSingleMeasure", "Open1",
                          "AssignAddress1"})
        EXPECT_TRUE(top.isEnabled(n)) << n;
    // RS-232: the network navigation stays hidden.
    for (const char* n : {"lblViewing", "lblDXUAddress", "pbPrevDXU", "pbNextDXU"})
        EXPECT_FALSE(top.isVisible(n)) << n;

    // And back to the disconnected look.
    top.showDisconnectedControls();
    for (const char* n : {"pnlBasicSetup", "pnlMode", "pnlOutputSetup", "pnlAveraging", "pnlBinning",
                          "pnlLastTarget", "pnlDetectionMode", "pnlDetectionParameters", "lblRate",
                          "pbSingleMeasure"})
        EXPECT_FALSE(top.isVisible(n)) << n;
    EXPECT_FALSE(top.isEnabled("pbSingleMeasure"));
    EXPECT_FALSE(top.isEnabled("AssignAddress1"));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ConnectedLook,
    ::testing::Values(ModeCase{1, false, true, true, false, false, false, true},
                      ModeCase{4, false, true, false, true, false, false, true},
                      ModeCase{2, false, true, false, false, true, false, true},
                      ModeCase{3, false, false, false, false, false, true, false},
                      ModeCase{3, true, true, false, false, false, true, false}));

TEST_F(MainWindowTest, UnknownModeLeavesTheGroupsAsTheyAre)
{
    TTopForm& top = form();
    top.setVisible("pnlBinning", true);
    top.setVisible("pnlAveraging", false);
    top.setVisible("lblRate", false);
    top.state().current().measureMode = 0;
    top.showConnectedControls();
    EXPECT_TRUE(top.isVisible("pnlBinning"));
    EXPECT_FALSE(top.isVisible("pnlAveraging"));
    EXPECT_FALSE(top.isVisible("lblRate"));
    EXPECT_TRUE(top.isVisible("pnlMode"));
}

TEST_F(MainWindowTest, NetworkModeShowsTheUnitNavigation)
{
    TTopForm& top = form();
    top.setChecked("MultiDrop1", true);
    top.state().current().measureMode = 1;
    top.showConnectedControls();
    for (const char* n : {"lblViewing", "lblDXUAddress", "pbPrevDXU", "pbNextDXU"})
        EXPECT_TRUE(top.isVisible(n)) << n;
}

TEST_F(MainWindowTest, MoreButtonTogglesTheExtraAveragingPanel)
{
    auto* more = get<QPushButton>("pbMore");
    ASSERT_NE(more, nullptr);
    EXPECT_FALSE(form().isVisible("pnlMoreAveraging"));
    more->click();
    EXPECT_TRUE(form().isVisible("pnlMoreAveraging"));
    EXPECT_EQ(more->text(), "<<&Less");
    more->click();
    EXPECT_FALSE(form().isVisible("pnlMoreAveraging"));
    EXPECT_EQ(more->text(), "&More>>");
}

// How a control is changed the way a user or a show function changes it.
void touch(QObject* o)
{
    if (auto* e = qobject_cast<QLineEdit*>(o))
        e->setText(e->text() + QLatin1Char('1'));
    else if (auto* b = qobject_cast<QAbstractButton*>(o))
        b->click();
    else if (auto* c = qobject_cast<QComboBox*>(o)) {
        c->setCurrentIndex(c->count() - 1);
        emit c->activated(c->count() - 1);
    }
}

TEST_F(MainWindowTest, SettingChangesEnableUploadOnlyForTheSettingControls)
{
    const char* triggers[] = {
        "edMaxFalsePulses", "edMinTripPulses", "edFlyerTrap", "edTripTimeout", "edErrorTimeout", "edWindowWidth",
        "edCosineFactor", "edAverageBounds", "edInitialLock", "edTripPoint", "edBinHits", "edPulsesRequired",
        "edShortGate", "edLongGate", "edOffsetDistance", "edMaxIntensity", "edMinIntensity", "edPulsesperMeasure",
        "cmbBinSize", "cmbTargetSelector", "cmbDitherSteps", "cmbMeasureOutput", "cmbPRF", "cbOutputTBE",
        "cbCosineOn", "cbSuccessiveGate", "cbTarget", "cbTermination", "cbCheckGate", "cbContinuousOutput",
        "cbAutostart",
        // These have handlers of their own that count as a change too.
        "cbUnitsFeet", "cbUnitsMeters", "cbShortGate", "cbLongGate", "rbHigh", "cbDither", "edNumberofSamples",
        "rbProcessingOff", "rbAbsolute"};
    // The mode is written to the unit at once; More only opens a panel.
    const char* others[] = {"cmbMeasureMode", "pbMore"};
    TTopForm& top = form();
    for (const char* n : triggers) {
        top.setEnabled("pbUpload", false);
        touch(top.control(n));
        EXPECT_TRUE(top.isEnabled("pbUpload")) << n;
    }
    for (const char* n : others) {
        top.setEnabled("pbUpload", false);
        touch(top.control(n));
        EXPECT_FALSE(top.isEnabled("pbUpload")) << n;
    }
    // A choice made from code is not a change.
    top.setEnabled("pbUpload", false);
    get<QComboBox>("cmbBinSize")->setCurrentIndex(2);
    EXPECT_FALSE(top.isEnabled("pbUpload"));
}

TEST_F(MainWindowTest, ControlsByNameReachEveryKindOfControl)
{
    TTopForm& top = form();
    Ui& ui = top;

    ui.setText("lblRate", "31.3 Hz");
    ui.setText("pbPointer", "&Pointer Off");
    ui.setText("edBinHits", "12");
    ui.setText("cmbPRF", "4000");
    ui.setText("Connect1", "Disco&nnect");
    EXPECT_EQ(text("lblRate"), "31.3 Hz");
    EXPECT_EQ(text("pbPointer"), "&Pointer Off");
    EXPECT_EQ(text("edBinHits"), "12");
    EXPECT_EQ(get<QComboBox>("cmbPRF")->currentText(), "4000");
    EXPECT_EQ(text("Connect1"), "Disco&nnect");

    ui.setColor("lblLaserOn", colors::Red);
    EXPECT_EQ(get("lblLaserOn")->palette().color(QPalette::Window), QColor(255, 0, 0));
    ui.setColor("pbSaveSettings", colors::Yellow);
    EXPECT_EQ(get("pbSaveSettings")->palette().color(QPalette::Button), QColor(255, 255, 0));
    ui.setButtonFace("pbSaveSettings");
    EXPECT_NE(get("pbSaveSettings")->palette().color(QPalette::Button), QColor(255, 255, 0));

    ui.setChecked("CurrentLoopOn1", true);
    EXPECT_TRUE(ui.isChecked("CurrentLoopOn1"));
    ui.setVisible("ViewNetworkStatus1", true);
    EXPECT_TRUE(ui.isVisible("ViewNetworkStatus1"));

    // A control inside a hidden panel keeps its own state.
    ui.setVisible("edTripPoint", true);
    ui.setEnabled("edTripPoint", true);
    EXPECT_FALSE(ui.isVisible("pnlDetectionMode"));
    EXPECT_TRUE(ui.isVisible("edTripPoint"));
    EXPECT_TRUE(ui.isEnabled("edTripPoint"));

    // Unknown names are ignored.
    ui.setText("lblNoSuchThing", "x");
    ui.setColor("lblNoSuchThing", colors::Red);
    ui.setFontStyle("lblNoSuchThing", true, true, nullptr);
    ui.repaint("lblNoSuchThing");
    EXPECT_FALSE(ui.isVisible("lblNoSuchThing"));
    EXPECT_FALSE(ui.isEnabled("lblNoSuchThing"));
    EXPECT_FALSE(ui.isChecked("lblNoSuchThing"));

    // The out-of-sight analog group is never the target of a name.
    ui.setText("edAnalogLow", "12.5");
    auto* analog = top.findChild<QGroupBox*>(QStringLiteral("GroupBox1"));
    ASSERT_NE(analog, nullptr);
    EXPECT_EQ(analog->findChild<QLineEdit*>(QStringLiteral("edAnalogLow"))->text(), "");
}

} // namespace
