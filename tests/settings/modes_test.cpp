// The panel arranged for the unit's measurement mode: which panels show, the
// PRF list, the processing panels, the detection reference, dithering, the
// units texts, the bin size and the limits of old firmware.
#include "settings/panelfixture.h"

#include <cmath>

namespace dxu::test {
namespace {

TEST_F(PanelTest, EachModeShowsItsPanelsAndPrfList)
{
    struct Row {
        int mode, modeItem;
        bool averaging, lastTarget, binning, detection, processing, pulses, image;
        int prfItems;
        const char* lastPrf;
    };
    const Row rows[] = {
        {1, 0, true, false, false, false, true, true, false, 9, "4000"},
        {4, 1, false, true, false, false, true, true, false, 9, "4000"},
        {2, 2, false, false, true, false, true, true, true, 6, "1000"},
        {3, 3, false, false, false, true, false, false, false, 10, "4500"},
    };
    for (const Row& r : rows) {
        showMode(r.mode);
        EXPECT_EQ(ui.itemIndex("cmbMeasureMode"), r.modeItem) << r.mode;
        EXPECT_EQ(ui.isVisible("pnlAveraging"), r.averaging) << r.mode;
        EXPECT_EQ(ui.isVisible("pnlLastTarget"), r.lastTarget) << r.mode;
        EXPECT_EQ(ui.isVisible("pnlBinning"), r.binning) << r.mode;
        EXPECT_EQ(ui.isVisible("pnlDetectionMode"), r.detection) << r.mode;
        EXPECT_EQ(ui.isVisible("pnlDetectionParameters"), r.detection) << r.mode;
        EXPECT_EQ(ui.isVisible("pnlOutputProcessing"), r.processing) << r.mode;
        EXPECT_EQ(ui.isVisible("edPulsesperMeasure"), r.pulses) << r.mode;
        EXPECT_EQ(ui.isVisible("lblPulses"), r.pulses) << r.mode;
        EXPECT_EQ(ui.isVisible("imgBinning"), r.image) << r.mode;
        EXPECT_EQ(ui.itemCount("cmbPRF"), r.prfItems) << r.mode;
        EXPECT_EQ(ui.itemText("cmbPRF", 0), "10") << r.mode;
        EXPECT_EQ(lastItem("cmbPRF"), r.lastPrf) << r.mode;
        // Only the averaging and last-target views offer the display choice.
        EXPECT_EQ(ui.isVisible("rgDisplay"), r.mode == 1 || r.mode == 4) << r.mode;
    }
}

TEST_F(PanelTest, PrfListFollowsEveryModeChange)
{
    struct Step {
        int mode, items;
        const char* last;
    };
    const Step steps[] = {{3, 10, "4500"}, {1, 9, "4000"}, {2, 6, "1000"}, {3, 10, "4500"},
                          {4, 9, "4000"},  {3, 10, "4500"}, {2, 6, "1000"}, {1, 9, "4000"}};
    for (const Step& s : steps) {
        showMode(s.mode);
        EXPECT_EQ(ui.itemCount("cmbPRF"), s.items) << "mode " << s.mode;
        EXPECT_EQ(lastItem("cmbPRF"), s.last) << "mode " << s.mode;
    }
}

TEST_F(PanelTest, ModeViewShowsTheModesValues)
{
    UnitRecord& r = rec();
    r.prfAveraging = 2000;
    r.pulsesAveraging = 200;
    r.ditherPulses = 50;
    r.prfBinning = 500;
    r.pulsesBinning = 25;
    r.binHits = 10;
    r.binSize = 3;
    r.units = 1;
    r.prfDetection = 1000;
    r.tripPoint = 5;
    showMode(1);
    EXPECT_EQ(ui.text("cmbPRF"), "2000");
    EXPECT_EQ(ui.text("edPulsesperMeasure"), "200");
    EXPECT_EQ(ui.text("edPulsesRequired"), "50");
    EXPECT_EQ(ui.text("lblRate"), "10.0 Hz");
    showMode(2);
    EXPECT_EQ(ui.text("cmbPRF"), "500");
    EXPECT_EQ(ui.text("edPulsesperMeasure"), "25");
    EXPECT_EQ(ui.text("edBinHits"), "10");
    EXPECT_EQ(ui.itemIndex("cmbBinSize"), 3);
    EXPECT_FLOAT_EQ(st.binOffset, 0.104f);
    EXPECT_FALSE(ui.isVisible("lblIntensity"));
    showMode(3);
    EXPECT_EQ(ui.text("cmbPRF"), "1000");
    EXPECT_EQ(ui.text("edTripPoint"), "5.000");
    EXPECT_EQ(ui.text("lblRate"), "");
    EXPECT_TRUE(ui.isVisible("lblIntensity"));
}

TEST_F(PanelTest, AModeTheProgramDoesNotKnowOnlyEmptiesTheRate)
{
    showMode(1);
    ui.setText("lblRate", "10.0 Hz");
    showMode(7);
    EXPECT_EQ(ui.text("lblRate"), "");
    EXPECT_TRUE(ui.isVisible("pnlAveraging"));
    EXPECT_EQ(ui.itemCount("cmbPRF"), 9);
    EXPECT_EQ(ui.itemIndex("cmbMeasureMode"), 0);
}

TEST_F(PanelTest, LastTargetClosesTheMoreAveragingPanelAndDisablesDithering)
{
    showMode(1);
    panel->pbMoreClick();
    EXPECT_TRUE(ui.isVisible("pnlMoreAveraging"));
    EXPECT_EQ(ui.text("pbMore"), "<<&Less");
    showMode(4);
    EXPECT_FALSE(ui.isVisible("pnlMoreAveraging"));
    EXPECT_EQ(ui.text("pbMore"), "&More>>");
    for (const char* n : {"edPulsesRequired", "cbDither", "cmbDitherSteps"})
        EXPECT_FALSE(ui.isEnabled(n)) << n;
    EXPECT_EQ(ui.text("lblRequired"), "Minimum");
    EXPECT_EQ(ui.text("lblDitherPulses"), "Good Pulses");
    showMode(1);
    for (const char* n : {"edPulsesRequired", "cbDither"})
        EXPECT_TRUE(ui.isEnabled(n)) << n;
}

TEST_F(PanelTest, RelativeDetectionTakesTheShortGateAwayAndAbsoluteGivesItBack)
{
    rec().shortGateOn = 1;
    panel->showSetting("EG");
    rec().detectionReference = 0;
    showMode(3);
    EXPECT_TRUE(ui.isChecked("rbRelative"));
    EXPECT_FALSE(ui.isChecked("cbShortGate"));
    EXPECT_FALSE(ui.isEnabled("cbShortGate"));
    EXPECT_FALSE(ui.isEnabled("edShortGate"));
    EXPECT_FALSE(ui.isVisible("edShortGate"));
    EXPECT_FALSE(ui.isVisible("lblShortUnits"));
    EXPECT_EQ(ui.text("lblDetectionLine2"), "reference minus trip point");

    ui.setChecked("rbAbsolute", true);
    EXPECT_TRUE(ui.isEnabled("cbShortGate"));
    EXPECT_TRUE(ui.isEnabled("edShortGate"));
    EXPECT_EQ(ui.text("lblDetectionLine1"), "Detection if range is less than");
    EXPECT_EQ(ui.text("lblDetectionLine2"), "trip point");
    EXPECT_TRUE(uploadEnabled());

    // Outside detection the reference leaves the short gate alone.
    showMode(1);
    ui.setChecked("cbShortGate", true);
    ui.setChecked("rbRelative", true);
    EXPECT_TRUE(ui.isChecked("cbShortGate"));
    EXPECT_TRUE(ui.isEnabled("cbShortGate"));
}

TEST_F(PanelTest, EveryRangingModeGivesTheShortGateBackAfterRelativeDetection)
{
    for (int mode : {1, 4, 2}) {
        rec().detectionReference = 0;
        ui.setChecked("rbAbsolute", true);
        showMode(3);
        ASSERT_FALSE(ui.isEnabled("cbShortGate"));
        showMode(mode);
        EXPECT_TRUE(ui.isEnabled("cbShortGate")) << mode;
        EXPECT_TRUE(ui.isEnabled("edShortGate")) << mode;
    }
}

TEST_F(PanelTest, ProcessingPanelsFollowTheCheckedButton)
{
    struct Row {
        int processing;
        bool off, windowing, dampening;
    };
    const Row rows[] = {{1, false, true, false}, {2, false, false, true}, {0, true, false, false}};
    showMode(1);
    for (const Row& r : rows) {
        rec().outputProcessing = r.processing;
        panel->showSetting("OP");
        EXPECT_EQ(ui.isVisible("pnlOff"), r.off) << r.processing;
        EXPECT_EQ(ui.isVisible("pnlWindowing"), r.windowing) << r.processing;
        EXPECT_EQ(ui.isVisible("pnlDampening"), r.dampening) << r.processing;
    }
    clearUpload();
    ui.setChecked("rbDampeningOn", true);
    EXPECT_TRUE(ui.isVisible("pnlDampening"));
    EXPECT_FALSE(ui.isVisible("pnlOff"));
    EXPECT_TRUE(uploadEnabled());

    // Detection mode has no processing panels: choosing one shows nothing.
    showMode(3);
    ui.setChecked("rbWindowingOn", true);
    EXPECT_FALSE(ui.isVisible("pnlWindowing"));
    EXPECT_FALSE(ui.isVisible("pnlDampening"));
}

TEST_F(PanelTest, DampeningSamplesAboveTenAreRefused)
{
    ui.setText("edNumberofSamples", "11");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Error");
    EXPECT_EQ(messages.shown[0].text, "Maximum of 10 Samples allowed.");
    EXPECT_FALSE(uploadEnabled());
    EXPECT_EQ(ui.text("edNumberofSamples"), "11");

    // Any box of the dampening panel checks the samples again.
    ui.setText("edNumberofErrors", "3");
    EXPECT_EQ(messages.shown.size(), 2u);
    EXPECT_FALSE(uploadEnabled());

    ui.setText("edNumberofSamples", "10");
    EXPECT_EQ(messages.shown.size(), 2u);
    EXPECT_TRUE(uploadEnabled());

    clearUpload();
    ui.setText("edNumberofSamples", "");
    ui.setText("edNumberofSamples", "1x");
    EXPECT_EQ(messages.shown.size(), 2u);
    EXPECT_FALSE(uploadEnabled());

    // A unit that reports more samples is told while its settings are shown.
    rec().dampSamples = 12;
    panel->showSetting("DS");
    EXPECT_EQ(messages.shown.size(), 3u);
}

TEST_F(PanelTest, DitherLabelsAndHintsFollowTheRecord)
{
    struct Row {
        int steps;
        bool on;
        int item;
        const char *required, *pulses, *pulsesHint, *requiredHint;
    };
    const Row rows[] = {
        {4, true, 3, "Required", "Dither Pulses", "Must be greater than Required Dither Pulses",
         "Multiples of 32.\nMust be smaller than Pulses/Measure"},
        {16, true, 5, "Required", "Dither Pulses", "Must be greater than Required Dither Pulses",
         "Multiples of 32.\nMust be smaller than Pulses/Measure"},
        {0, false, 0, "Minimum", "Good Pulses", "Must be greater than or equal to Minimum Good Pulses",
         "Must be smaller than Pulses/Measure"},
        {3, true, 0, "Required", "Dither Pulses", "Must be greater than Required Dither Pulses",
         "Multiples of 32.\nMust be smaller than Pulses/Measure"},
    };
    for (const Row& r : rows) {
        rec().ditherSteps = r.steps;
        panel->showSetting("DD");
        EXPECT_EQ(rec().ditherOn, r.on ? 1 : 0) << r.steps;
        EXPECT_EQ(ui.isChecked("cbDither"), r.on) << r.steps;
        EXPECT_EQ(ui.isEnabled("cmbDitherSteps"), r.on) << r.steps;
        EXPECT_EQ(ui.itemIndex("cmbDitherSteps"), r.item) << r.steps;
        EXPECT_EQ(ui.text("lblRequired"), r.required) << r.steps;
        EXPECT_EQ(ui.text("lblDitherPulses"), r.pulses) << r.steps;
        EXPECT_EQ(ui.hint("edPulsesperMeasure"), r.pulsesHint) << r.steps;
        EXPECT_EQ(ui.hint("edPulsesRequired"), r.requiredHint) << r.steps;
    }
}

TEST_F(PanelTest, DitheringSwitchedByTheUserPicksStepsOrTheBlankItem)
{
    ui.setItemIndex("cmbDitherSteps", 0);
    ui.setChecked("cbDither", true);
    EXPECT_EQ(ui.itemIndex("cmbDitherSteps"), 1);
    EXPECT_TRUE(ui.isEnabled("cmbDitherSteps"));
    EXPECT_EQ(ui.text("lblRequired"), "Required");
    ui.setItemIndex("cmbDitherSteps", 4);
    ui.setChecked("cbDither", false);
    ui.setChecked("cbDither", true);
    EXPECT_EQ(ui.itemIndex("cmbDitherSteps"), 1);
    ui.setItemIndex("cmbDitherSteps", 4);
    panel->cbDitherClick();
    EXPECT_EQ(ui.itemIndex("cmbDitherSteps"), 4);
    ui.setChecked("cbDither", false);
    EXPECT_EQ(ui.itemIndex("cmbDitherSteps"), 0);
    EXPECT_FALSE(ui.isEnabled("cmbDitherSteps"));
    EXPECT_EQ(ui.text("lblDitherPulses"), "Good Pulses");
    EXPECT_TRUE(uploadEnabled());
}

TEST_F(PanelTest, UnitsTextsInMetresFeetAndWithDecimalComma)
{
    struct Row {
        int units;
        bool comma;
        const char *letter, *binUnits, *item0, *item4, *item7;
    };
    const Row rows[] = {
        {1, false, "M", "cm (M)", "    2.5      (13)", "  40.8    (208)", "325.1  (1664)"},
        {1, true, "M", "cm (M)", "    2,5      (13)", "  40,8    (208)", "325,1  (1664)"},
        {0, false, "F", "inches (F)", "    1         (42)", "  16       (672)", "128     (5376)"},
        {0, true, "F", "inches (F)", "    1         (42)", "  16       (672)", "128     (5376)"},
    };
    for (const Row& r : rows) {
        st.decimalComma = r.comma;
        rec().units = r.units;
        rec().binSize = 6;
        ui.setItemIndex("cmbBinSize", 1);
        panel->showSetting("MU");
        for (const char* n : {"lblShortUnits", "lblLongUnits", "lblODUnits", "lblALUnits", "lblAHUnits",
                              "lblDetectionModeUnits", "lblErrorRangeUnits", "lblWindowWidthUnits"})
            EXPECT_EQ(ui.text(n), r.letter) << n;
        EXPECT_EQ(ui.text("lblBinUnits"), r.binUnits);
        EXPECT_EQ(ui.itemCount("cmbBinSize"), 8);
        EXPECT_EQ(ui.itemText("cmbBinSize", 0), r.item0);
        EXPECT_EQ(ui.itemText("cmbBinSize", 4), r.item4);
        EXPECT_EQ(ui.itemText("cmbBinSize", 7), r.item7);
        EXPECT_EQ(ui.itemIndex("cmbBinSize"), 6);
    }
}

TEST_F(PanelTest, BinOffsetBySizeAndUnits)
{
    struct Row {
        int units, index;
        float expected;
    };
    const Row rows[] = {{1, 0, 0.013f}, {1, 3, 0.104f}, {1, 7, 1.664f},
                        {0, 0, 1.0f / 24}, {0, 3, 1.0f / 3}, {0, 7, 16.0f / 3}};
    for (const Row& r : rows) {
        st.binOffset = -1;
        rec().units = r.units;
        ui.setItemIndex("cmbBinSize", r.index);
        panel->updateBinOffset();
        EXPECT_NEAR(st.binOffset, r.expected, 1e-6) << r.units << " " << r.index;
    }
    // Without a choice the bin size stays what it was.
    st.binOffset = 0.5f;
    ui.setItemIndex("cmbBinSize", -1);
    panel->updateBinOffset();
    EXPECT_EQ(st.binOffset, 0.5f);
    float out = 2;
    EXPECT_FALSE(SettingsPanel::binOffset(8, true, out));
    EXPECT_EQ(out, 2);
}

TEST_F(PanelTest, OldFirmwareGetsFixedValuesAndLockedControls)
{
    const char* locked[] = {"rbRelative",     "rbAbsolute",        "cbCheckGate",  "edMaxIntensity", "pbMore",
                            "cbDither",       "cmbDitherSteps",    "pnlOutputProcessing", "pnlDampening",
                            "cmbTargetSelector", "edFlyerTrap",    "edMaxFalsePulses", "edMinTripPulses"};
    rec().firmwareVersion = 105;
    panel->applyOldFirmwareLimits();
    for (const char* n : locked)
        EXPECT_TRUE(ui.isEnabled(n)) << n;
    EXPECT_EQ(ui.itemIndex("cmbTargetSelector"), -1);

    ui.setChecked("rbWindowingOn", true);
    ui.setChecked("rbAbsolute", true);
    rec().firmwareVersion = 104;
    panel->applyOldFirmwareLimits();
    for (const char* n : locked)
        EXPECT_FALSE(ui.isEnabled(n)) << n;
    EXPECT_EQ(ui.text("edMaxIntensity"), "6000");
    EXPECT_EQ(ui.text("edFlyerTrap"), "2500");
    EXPECT_EQ(ui.text("edMinTripPulses"), "30");
    EXPECT_EQ(ui.text("edMaxFalsePulses"), "5");
    EXPECT_EQ(ui.itemIndex("cmbTargetSelector"), 3);
    EXPECT_TRUE(ui.isChecked("rbProcessingOff"));
    EXPECT_FALSE(ui.isChecked("rbWindowingOn"));
    EXPECT_TRUE(ui.isChecked("rbRelative"));
    EXPECT_FALSE(ui.isChecked("rbAbsolute"));

    // The averaging view gives dithering back; the rest stays locked.
    showMode(1);
    EXPECT_TRUE(ui.isEnabled("cbDither"));
    EXPECT_FALSE(ui.isEnabled("edMaxIntensity"));
}

// A read answers MM before MU and BS: the bin size that binning distances
// are corrected by is the unit's own once its settings are shown.
TEST_F(PanelTest, BinOffsetFollowsTheUnitsAndBinSizeReadAfterTheMode)
{
    showMode(2);
    EXPECT_NEAR(st.binOffset, 1.0f / 24, 1e-6);
    rec().units = 1;
    panel->showSetting("MU");
    EXPECT_NEAR(st.binOffset, 0.013f, 1e-6);
    rec().binSize = 3;
    panel->showSetting("BS");
    EXPECT_NEAR(st.binOffset, 0.104f, 1e-6);
    // The user's choice waits for the next mode view.
    ui.setItemIndex("cmbBinSize", 5);
    EXPECT_NEAR(st.binOffset, 0.104f, 1e-6);
}

} // namespace
} // namespace dxu::test
