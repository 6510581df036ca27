// Showing settings: every setting of the record lands in its control, in
// the units and decimal separator the panel uses, and showing a value has the
// effects of a user's change.
#include "settings/panelfixture.h"

#include <functional>

namespace dxu::test {
namespace {

struct ShowRow {
    const char* what;
    std::function<void(UnitRecord&)> set;
    const char* code; // the setting shown
    const char* control;
    const char* text; // expected text, or nullptr
    int checked;      // expected check state, or -1
};

TEST_F(PanelTest, EachSettingShownWritesItsRecordValueIntoItsControl)
{
    const ShowRow rows[] = {
        {"MP", [](UnitRecord& r) { r.minIntensity = 120; }, "MP", "edMinIntensity", "120", -1},
        {"XP", [](UnitRecord& r) { r.maxIntensity = 6500; }, "XP", "edMaxIntensity", "6500", -1},
        {"AW", [](UnitRecord& r) { r.ditherPulses = 64; }, "AW", "edPulsesRequired", "64", -1},
        {"AB", [](UnitRecord& r) { r.averageBounds = 500; }, "AB", "edAverageBounds", "500", -1},
        {"IL", [](UnitRecord& r) { r.initialLock = -3; }, "IL", "edInitialLock", "-3", -1},
        {"BH", [](UnitRecord& r) { r.binHits = 255; }, "BH", "edBinHits", "255", -1},
        {"FT", [](UnitRecord& r) { r.flyerTrap = 2500; }, "FT", "edFlyerTrap", "2500", -1},
        {"MX", [](UnitRecord& r) { r.maxFalsePulses = 7; }, "MX", "edMaxFalsePulses", "7", -1},
        {"CT", [](UnitRecord& r) { r.minTripPulses = 30; }, "CT", "edMinTripPulses", "30", -1},
        {"CV", [](UnitRecord& r) { r.cosineFactor = 866; }, "CV", "edCosineFactor", "866", -1},
        {"WT", [](UnitRecord& r) { r.windowErrorTimeout = 12; }, "WT", "edErrorTimeout", "12", -1},
        {"DS", [](UnitRecord& r) { r.dampSamples = 4; }, "DS", "edNumberofSamples", "4", -1},
        {"DR count", [](UnitRecord& r) { r.dampErrorTimeout = 9; }, "DR", "edNumberofErrors", "9", -1},
        {"SG m", [](UnitRecord& r) { r.shortGate = 12.5f; }, "SG", "edShortGate", "12.500", -1},
        {"LG m", [](UnitRecord& r) { r.longGate = 1700; }, "LG", "edLongGate", "1700.000", -1},
        {"OF m", [](UnitRecord& r) { r.offsetDistance = -0.25f; }, "OF", "edOffsetDistance", "-0.250", -1},
        {"TP m", [](UnitRecord& r) { r.tripPoint = 5; }, "TP", "edTripPoint", "5.000", -1},
        {"WV m", [](UnitRecord& r) { r.windowWidth = 0.5f; }, "WV", "edWindowWidth", "0.500", -1},
        {"DR range m", [](UnitRecord& r) { r.dampErrorRange = 0.125f; }, "DR", "edErrorRangeDifference",
         "0.125", -1},
        {"AL m", [](UnitRecord& r) { r.analogLow = 1.5f; }, "AL", "edAnalogLow", "1.500", -1},
        {"AH m", [](UnitRecord& r) { r.analogHigh = 100; }, "AH", "edAnalogHigh", "100.000", -1},
        {"AF", [](UnitRecord& r) { r.faultCurrent = 3.6f; }, "AF", "edFaultIndication", "3.6", -1},
        {"AT", [](UnitRecord& r) { r.faultTimeout = 5; }, "AT", "edFaultTimeout", "5.0", -1},
        {"TT", [](UnitRecord& r) { r.tripTimeout = 2.5f; }, "TT", "edTripTimeout", "2.5", -1},
        {"UA", [](UnitRecord& r) { r.address = 'k'; }, "UA", "lblCurrAddress", "k", -1},
        {"CG on", [](UnitRecord& r) { r.checkGate = 1; }, "CG", "cbCheckGate", nullptr, 1},
        {"TE any non-zero", [](UnitRecord& r) { r.termination = 7; }, "TE", "cbTermination", nullptr, 1},
        {"TB", [](UnitRecord& r) { r.outputTBE = 1; }, "TB", "cbOutputTBE", nullptr, 1},
        {"CE", [](UnitRecord& r) { r.cosineOn = 1; }, "CE", "cbCosineOn", nullptr, 1},
        {"MA", [](UnitRecord& r) { r.autostart = 1; }, "MA", "cbAutostart", nullptr, 1},
        {"FL", [](UnitRecord& r) { r.cooperativeTarget = 1; }, "FL", "cbTarget", nullptr, 1},
        {"CL bit 0", [](UnitRecord& r) { r.currentLoopFlags = 1; }, "CL", "CurrentLoopOn1", nullptr, 1},
        {"CL bit 1", [](UnitRecord& r) { r.currentLoopFlags = 2; }, "CL", "DisableFaultCurrent1", nullptr, 1},
        {"CL bit 1 only", [](UnitRecord& r) { r.currentLoopFlags = 2; }, "CL", "CurrentLoopOn1", nullptr, 0},
        {"PL 0", [](UnitRecord& r) { r.powerLevel = 0; }, "PL", "rbHigh", nullptr, 1},
        {"PL 2", [](UnitRecord& r) { r.powerLevel = 2; }, "PL", "rbLow", nullptr, 1},
        {"LA 1", [](UnitRecord& r) { r.detectionReference = 1; }, "LA", "rbAbsolute", nullptr, 1},
        {"LA 0", [](UnitRecord& r) { r.detectionReference = 0; }, "LA", "rbRelative", nullptr, 1},
    };
    for (const ShowRow& row : rows) {
        DxuState fresh;
        st = fresh;
        rec().units = 1;
        ui.setChecked("cbUnitsMeters", true);
        // Every control starts from another value, so a row cannot pass by
        // leaving the control alone.
        ui.setText(row.control, "?");
        if (row.checked >= 0)
            ui.setChecked(row.control, row.checked == 0);
        row.set(rec());
        panel->showSetting(row.code);
        if (row.text) {
            EXPECT_EQ(ui.text(row.control), row.text) << row.what;
        }
        if (row.checked >= 0) {
            EXPECT_EQ(ui.isChecked(row.control), row.checked == 1) << row.what;
        }
    }
}

TEST_F(PanelTest, DistancesFollowTheUnitsBoxAndTheDecimalComma)
{
    struct Row {
        bool metres, comma;
        float value;
        const char* text;
    };
    const Row rows[] = {
        {true, false, 12.5f, "12.500"},
        {true, true, 12.5f, "12,500"},
        {false, false, 41.01f, "41.01"},
        {false, true, 41.01f, "41,01"},
        {false, false, 0.006f, "0.01"},
    };
    for (const Row& r : rows) {
        st.decimalComma = r.comma;
        ui.setChecked("cbUnitsMeters", r.metres);
        rec().windowWidth = r.value;
        panel->showSetting("WV");
        EXPECT_EQ(ui.text("edWindowWidth"), r.text) << r.value << (r.metres ? " m" : " ft");
    }
    st.decimalComma = 1;
    rec().tripTimeout = 2.5f;
    panel->showSetting("TT");
    EXPECT_EQ(ui.text("edTripTimeout"), "2,5");
}

TEST_F(PanelTest, OutOfRangeChoicesChangeNothing)
{
    ui.setChecked("rbMedium", true);
    rec().powerLevel = 3;
    panel->showSetting("PL");
    EXPECT_TRUE(ui.isChecked("rbMedium"));
    ui.setChecked("rbAbsolute", true);
    rec().detectionReference = 2;
    panel->showSetting("LA");
    EXPECT_TRUE(ui.isChecked("rbAbsolute"));
    EXPECT_FALSE(ui.isChecked("rbRelative"));
}

TEST_F(PanelTest, PrfAndPulsesShowTheFieldsOfTheUnitsMode)
{
    struct Row {
        int mode;
        const char *prf, *pulses, *hint;
    };
    const Row rows[] = {{1, "2000", "200", "Allowed 10..4000"},
                        {4, "2000", "200", "Allowed 10..4000"},
                        {2, "500", "50", "Allowed 10..1000"},
                        {3, "1000", "?", "Allowed 10..4500"}};
    UnitRecord& r = rec();
    r.prfAveraging = 2000;
    r.prfBinning = 500;
    r.prfDetection = 1000;
    r.pulsesAveraging = 200;
    r.pulsesBinning = 50;
    for (const Row& row : rows) {
        ui.setText("cmbPRF", "?");
        ui.setText("edPulsesperMeasure", "?");
        r.measureMode = row.mode;
        panel->showSetting("PF");
        panel->showSetting("PO");
        EXPECT_EQ(ui.text("cmbPRF"), row.prf) << row.mode;
        EXPECT_EQ(ui.hint("cmbPRF"), row.hint) << row.mode;
        EXPECT_EQ(ui.text("edPulsesperMeasure"), row.pulses) << row.mode;
    }
    EXPECT_EQ(ui.text("lblRate"), "");
    r.measureMode = 1;
    panel->showSetting("PO");
    EXPECT_EQ(ui.text("lblRate"), "10.0 Hz");
    // A unit that has not told its mode yet shows no rate.
    ui.setText("cmbPRF", "?");
    r.measureMode = 0;
    panel->showSetting("PF");
    EXPECT_EQ(ui.text("cmbPRF"), "?");
}

// The read shows one value after another; each write acts like the user's.
TEST_F(PanelTest, ShowingAWholeRecordActsLikeTheUsersChanges)
{
    UnitRecord& r = rec();
    r.measureMode = 1;
    r.units = 0;
    r.shortGateOn = 1;
    r.shortGate = 3.25f;
    r.powerLevel = 1;
    r.ditherSteps = 8;
    r.prfAveraging = 3000;
    r.pulsesAveraging = 100;
    r.outputProcessing = 2;
    r.dampSamples = 5;
    r.displayMode = 2;
    r.binSize = 4;
    r.firmwareVersion = 105;
    panel->showSettings();

    EXPECT_TRUE(uploadEnabled());
    EXPECT_TRUE(ui.isChecked("cbUnitsFeet"));
    EXPECT_FALSE(ui.isChecked("cbUnitsMeters"));
    EXPECT_EQ(st.editRecord.units, 0);
    EXPECT_EQ(ui.text("lblShortUnits"), "F");
    EXPECT_TRUE(ui.isVisible("edShortGate"));
    EXPECT_EQ(ui.text("edShortGate"), "3.25");
    EXPECT_TRUE(ui.isChecked("rbMedium"));
    EXPECT_EQ(r.ditherOn, 1);
    EXPECT_EQ(ui.itemIndex("cmbDitherSteps"), 4);
    EXPECT_EQ(ui.text("cmbPRF"), "3000");
    EXPECT_EQ(ui.text("lblRate"), "30.0 Hz");
    EXPECT_TRUE(ui.isVisible("pnlDampening"));
    EXPECT_FALSE(ui.isVisible("pnlOff"));
    EXPECT_TRUE(ui.isChecked("rbBothNumbers"));
    EXPECT_EQ(ui.get("lblF").color, colors::Silver);
    EXPECT_TRUE(ui.isVisible("pbSingleMeasure"));
    EXPECT_EQ(ui.itemIndex("cmbBinSize"), 4);
    EXPECT_EQ(ui.itemText("cmbBinSize", 4), "  16       (672)");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PanelTest, GateCheckBoxesShowTheRecordsGateAgainAndFollowTheirBox)
{
    struct Row {
        const char *check, *edit, *unitLabel;
        float UnitRecord::*field;
    };
    const Row rows[] = {{"cbShortGate", "edShortGate", "lblShortUnits", &UnitRecord::shortGate},
                        {"cbLongGate", "edLongGate", "lblLongUnits", &UnitRecord::longGate}};
    for (const Row& row : rows) {
        rec().units = 1;
        rec().*row.field = 7.5f;
        ui.setText(row.edit, "9,999");
        ui.setChecked(row.check, true);
        EXPECT_EQ(ui.text(row.edit), "7.500") << row.check;
        EXPECT_TRUE(ui.isVisible(row.edit)) << row.check;
        EXPECT_TRUE(ui.isVisible(row.unitLabel)) << row.check;

        // Decimals by the record's units, not by the units box.
        rec().units = 0;
        ui.setChecked("cbUnitsMeters", true);
        ui.setText(row.edit, "1");
        clearUpload();
        ui.setChecked(row.check, false);
        EXPECT_EQ(ui.text(row.edit), "7.50") << row.check;
        EXPECT_FALSE(ui.isVisible(row.edit)) << row.check;
        EXPECT_FALSE(ui.isVisible(row.unitLabel)) << row.check;
        EXPECT_TRUE(uploadEnabled()) << row.check;
    }
}

TEST_F(PanelTest, UnitBoxesActAsAPair)
{
    ui.setChecked("cbUnitsMeters", true);
    EXPECT_EQ(st.editRecord.units, 1);
    clearUpload();
    ui.setChecked("cbUnitsFeet", true);
    EXPECT_FALSE(ui.isChecked("cbUnitsMeters"));
    EXPECT_EQ(st.editRecord.units, 0);
    EXPECT_TRUE(uploadEnabled());
    // Unchecking the checked one leaves both clear and changes nothing else.
    clearUpload();
    ui.setChecked("cbUnitsFeet", false);
    EXPECT_FALSE(ui.isChecked("cbUnitsMeters"));
    EXPECT_EQ(st.editRecord.units, 0);
    EXPECT_FALSE(uploadEnabled());
}

} // namespace
} // namespace dxu::test
