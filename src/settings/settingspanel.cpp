#include "settings/settingspanel.h"

#include "protocol/settingcodes.h"

#include "services/locale.h"
#include "services/messages.h"

#include <QString>

#include <algorithm>
#include <array>

namespace dxu {
namespace {

// The PRF range of each mode, also the hint of the PRF box.
const char* prfHint(int32_t mode)
{
    switch (mode) {
    case 1:
    case 4:
        return "Allowed 10..4000";
    case 2:
        return "Allowed 10..1000";
    case 3:
        return "Allowed 10..4500";
    default:
        return nullptr;
    }
}

// Bin-size texts: bin width (cm or inches) and, in brackets, the axis span.
constexpr std::array<const char*, 8> kBinSizeMetres = {
    "    2.5      (13)", "    5.1      (26)", "  10.2      (52)", "  20.4    (104)",
    "  40.8    (208)",   "  81.6    (416)",   "163.2    (832)",   "325.1  (1664)"};
constexpr std::array<const char*, 8> kBinSizeFeet = {
    "    1         (42)", "    2         (84)", "    4       (168)", "    8       (336)",
    "  16       (672)",   "  32     (1344)",   "  64     (2688)",   "128     (5376)"};

constexpr std::array<const char*, 8> kUnitLetterLabels = {
    "lblShortUnits", "lblLongUnits",          "lblODUnits",         "lblALUnits",
    "lblAHUnits",    "lblDetectionModeUnits", "lblErrorRangeUnits", "lblWindowWidthUnits"};

// Dither steps by item of cmbDitherSteps (item 0 is the blank one).
constexpr std::array<int32_t, 6> kDitherSteps = {0, 1, 2, 4, 8, 16};

constexpr std::array<const char*, 6> kPrfItems = {"10", "50", "100", "200", "500", "1000"};

std::string commaText(const QString& text, bool decimalComma)
{
    std::string out = text.toStdString();
    toDecimalComma(out.data(), decimalComma);
    return out;
}

} // namespace

void watchSettingChanges(Ui& ui, const std::function<void()>& changed)
{
    for (const char* n : {"edMaxFalsePulses", "edMinTripPulses", "edFlyerTrap", "edTripTimeout", "edErrorTimeout",
                          "edWindowWidth", "edCosineFactor", "edAverageBounds", "edInitialLock", "edTripPoint",
                          "edBinHits", "edPulsesRequired", "edShortGate", "edLongGate", "edOffsetDistance",
                          "edMaxIntensity", "edMinIntensity", "edPulsesperMeasure", "cmbBinSize",
                          "cmbTargetSelector", "cmbDitherSteps", "cmbMeasureOutput", "cmbPRF", "cbOutputTBE",
                          "cbCosineOn", "cbSuccessiveGate", "cbTarget", "cbTermination", "cbCheckGate",
                          "cbContinuousOutput", "cbAutostart"})
        ui.onChange(n, changed);
}

SettingsPanel::SettingsPanel(DxuState& state, Ui& ui) : st_(state), ui_(ui), display_(state, ui)
{
    wireHandlers();
}

void SettingsPanel::wireHandlers()
{
    auto onChange = [this](const char* name, void (SettingsPanel::*handler)()) {
        ui_.onChange(name, [this, handler] { (this->*handler)(); });
    };
    // A radio button's handler runs when it becomes the checked one.
    auto onChecked = [this](const char* name, void (SettingsPanel::*handler)()) {
        ui_.onChange(name, [this, name, handler] {
            if (ui_.isChecked(name))
                (this->*handler)();
        });
    };
    onChange("cbUnitsFeet", &SettingsPanel::cbUnitsFeetClick);
    onChange("cbUnitsMeters", &SettingsPanel::cbUnitsMetersClick);
    onChange("cbShortGate", &SettingsPanel::cbShortGateClick);
    onChange("cbLongGate", &SettingsPanel::cbLongGateClick);
    onChange("cbDither", &SettingsPanel::cbDitherClick);
    onChecked("rbHigh", &SettingsPanel::rbHighClick);
    onChecked("rbMedium", &SettingsPanel::rbMediumClick);
    onChecked("rbLow", &SettingsPanel::rbLowClick);
    onChecked("rbProcessingOff", &SettingsPanel::rbProcessingOffClick);
    onChecked("rbWindowingOn", &SettingsPanel::rbWindowingOnClick);
    onChecked("rbDampeningOn", &SettingsPanel::rbDampeningOnClick);
    onChecked("rbAbsolute", &SettingsPanel::rbAbsoluteClick);
    onChecked("rbRelative", &SettingsPanel::rbRelativeClick);
    // The sample limit is checked whenever any box of the dampening panel changes.
    for (const char* n : {"edNumberofSamples", "edNumberofErrors", "edErrorRangeDifference"})
        onChange(n, &SettingsPanel::edNumberofSamplesChange);
}

// ----------------------------------------------------------------------------
// Writing values

std::string SettingsPanel::distanceText(float value, bool metres) const
{
    return commaText(QString::number(static_cast<double>(value), 'f', metres ? 3 : 2), st_.decimalComma != 0);
}

void SettingsPanel::setInt(const char* name, int32_t value) { ui_.setText(name, std::to_string(value)); }

void SettingsPanel::setDistance(const char* name, float value)
{
    ui_.setText(name, distanceText(value, ui_.isChecked("cbUnitsMeters")));
}

void SettingsPanel::setTenths(const char* name, float value)
{
    ui_.setText(name, commaText(QString::number(static_cast<double>(value), 'f', 1), st_.decimalComma != 0));
}

void SettingsPanel::selectRadio(std::initializer_list<const char*> names, int32_t index)
{
    if (index < 0 || index >= static_cast<int32_t>(names.size()))
        return;
    const char* chosen = names.begin()[index];
    ui_.setChecked(chosen, true);
    for (const char* n : names)
        if (n != chosen)
            ui_.setChecked(n, false);
}

void SettingsPanel::resetDisplay()
{
    pendingFile_.reset();
    const bool metres = rec().units != 0;
    const std::string zero = distanceText(0, metres);
    ui_.setText("edOffsetDistance", zero);
    ui_.setText("edShortGate", zero);
    // The longest range of the unit: 1700 m, 5576 ft.
    ui_.setText("edLongGate", distanceText(metres ? 1700.0f : 5576.0f, metres));

    ui_.setChecked("cbUnitsFeet", false);
    ui_.setChecked("cbUnitsMeters", true);
    ui_.setChecked("cbShortGate", false);
    ui_.setChecked("cbLongGate", false);

    show({"edShortGate", "edLongGate", "edOffsetDistance", "lblShortUnits", "lblLongUnits", "pnlBasicSetup",
          "pnlMode", "pnlBinning", "pnlAveraging", "pnlLastTarget", "pnlDetectionMode", "pnlDetectionParameters",
          "pnlOutputSetup", "pnlOutputProcessing", "pnlOff", "pnlDampening", "pnlWindowing"},
         false);

    for (const char* lampName : {"lblConnected", "lblLaserOn", "lblG", "lblF", "lblO"})
        ui_.setColor(lampName, colors::Silver);
    ui_.setVisible("lblCurrent", false);
    ui_.setButtonFace("lblRx");
    ui_.setText("lblRx", "");

    ui_.setText("lblResult", "");
    ui_.setText("lblIntensity", "");
    ui_.setText("lblError", "");
    ui_.setVisible("imgBinning", false);
    ui_.setEnabled("pbUpload", false);
}

void SettingsPanel::showModeGroups()
{
    struct ModeRow {
        int mode;
        bool averaging, lastTarget, binning, detection, processing;
    };
    static constexpr ModeRow rows[] = {
        {1, true, false, false, false, true},
        {4, false, true, false, false, true},
        {2, false, false, true, false, true},
        {3, false, false, false, true, false},
    };
    const int mode = rec().measureMode;
    for (const ModeRow& r : rows) {
        if (r.mode != mode)
            continue;
        if (mode != 3)
            ui_.setVisible("lblRate", true);
        ui_.setVisible("pnlAveraging", r.averaging);
        ui_.setVisible("pnlLastTarget", r.lastTarget);
        ui_.setVisible("pnlBinning", r.binning);
        show({"pnlDetectionMode", "pnlDetectionParameters"}, r.detection);
        show({"pnlOutputProcessing", "pnlOff"}, r.processing);
    }
}

void SettingsPanel::show(std::initializer_list<const char*> names, bool shown) { showEach(ui_, names, shown); }

void SettingsPanel::enable(std::initializer_list<const char*> names, bool enabled) { enableEach(ui_, names, enabled); }

void SettingsPanel::SettingChanged() { ui_.setEnabled("pbUpload", true); }

// ----------------------------------------------------------------------------
// Show functions

// In the order of the setting-code table, which lets later ones rely on
// earlier ones (MM before PF and PO, MU before every distance).
void SettingsPanel::showSettings()
{
    for (const SettingCode& code : settingCodes())
        for (ShowFunction show : code.show)
            if (show)
                (this->*show)();
}

void SettingsPanel::showPendingFile(const UnitRecord& file)
{
    // The show functions show the current unit's record: the file stands in
    // for it while they run.
    UnitRecord& unit = st_.current();
    const UnitRecord read = unit;
    unit = file;
    showSettings();
    unit = read;
    pendingFile_ = file;
}

void SettingsPanel::showUA()
{
    const char address = rec().addressChar();
    if (address == 0)
        return;
    ui_.setText("lblCurrAddress", std::string(1, address));
    ui_.repaint("frmAssignAddress");
}

void SettingsPanel::showMM()
{
    // Every read and every showing of a unit's settings passes here.
    pendingFile_.reset();
    refreshModeView();
}

void SettingsPanel::showMU()
{
    ui_.setChecked(rec().units == 1 ? "cbUnitsMeters" : "cbUnitsFeet", true);
    showUnits();
    // A read shows the mode before the units and the bin size: the bin
    // size that binning distances are corrected by follows the unit's own.
    updateBinOffset();
}

void SettingsPanel::showEG()
{
    ui_.setChecked("cbShortGate", rec().shortGateOn != 0);
    ui_.setChecked("cbLongGate", rec().longGateOn != 0);
    ui_.setChecked("cbSuccessiveGate", rec().successiveGate != 0);
}

void SettingsPanel::showSG() { setDistance("edShortGate", rec().shortGate); }
void SettingsPanel::showLG() { setDistance("edLongGate", rec().longGate); }
void SettingsPanel::showCG() { ui_.setChecked("cbCheckGate", rec().checkGate != 0); }
void SettingsPanel::showOF() { setDistance("edOffsetDistance", rec().offsetDistance); }
void SettingsPanel::showPL() { selectRadio({"rbHigh", "rbMedium", "rbLow"}, rec().powerLevel); }

void SettingsPanel::showFL()
{
    const bool on = rec().cooperativeTarget != 0;
    ui_.setChecked("cbTarget", on);
    ui_.setColor("lblF", on ? colors::Green : colors::Silver);
}

void SettingsPanel::showMP() { setInt("edMinIntensity", rec().minIntensity); }
void SettingsPanel::showXP() { setInt("edMaxIntensity", rec().maxIntensity); }
void SettingsPanel::showTE() { ui_.setChecked("cbTermination", rec().termination != 0); }

void SettingsPanel::showPF()
{
    const UnitRecord& r = rec();
    const char* hint = prfHint(r.measureMode);
    if (!hint)
        return;
    const int32_t prf = r.measureMode == 2 ? r.prfBinning : r.measureMode == 3 ? r.prfDetection : r.prfAveraging;
    setInt("cmbPRF", prf);
    ui_.setHint("cmbPRF", hint);
}

void SettingsPanel::showPO()
{
    const UnitRecord& r = rec();
    if (r.measureMode == 1 || r.measureMode == 4)
        setInt("edPulsesperMeasure", r.pulsesAveraging);
    else if (r.measureMode == 2)
        setInt("edPulsesperMeasure", r.pulsesBinning);
    display_.showRate();
}

void SettingsPanel::showAW() { setInt("edPulsesRequired", rec().ditherPulses); }

void SettingsPanel::showDD()
{
    UnitRecord& r = st_.current();
    r.ditherOn = r.ditherSteps != 0 ? 1 : 0;
    showDitherLabels();
}

void SettingsPanel::showAB() { setInt("edAverageBounds", rec().averageBounds); }
void SettingsPanel::showIL() { setInt("edInitialLock", rec().initialLock); }
void SettingsPanel::showFA() { ui_.setItemIndex("cmbTargetSelector", rec().targetSelector); }
void SettingsPanel::showBH() { setInt("edBinHits", rec().binHits); }
void SettingsPanel::showBS()
{
    ui_.setItemIndex("cmbBinSize", rec().binSize);
    updateBinOffset();
}

void SettingsPanel::showLA()
{
    const int32_t reference = rec().detectionReference;
    if (reference == 1 || reference == 0)
        selectRadio({"rbRelative", "rbAbsolute"}, reference);
}

void SettingsPanel::showTP() { setDistance("edTripPoint", rec().tripPoint); }
void SettingsPanel::showTT() { setTenths("edTripTimeout", rec().tripTimeout); }
void SettingsPanel::showFT() { setInt("edFlyerTrap", rec().flyerTrap); }
void SettingsPanel::showMX() { setInt("edMaxFalsePulses", rec().maxFalsePulses); }
void SettingsPanel::showCT() { setInt("edMinTripPulses", rec().minTripPulses); }
void SettingsPanel::showTB() { ui_.setChecked("cbOutputTBE", rec().outputTBE != 0); }

void SettingsPanel::showOP()
{
    selectRadio({"rbProcessingOff", "rbWindowingOn", "rbDampeningOn"}, rec().outputProcessing);
    refreshProcessingPanels();
}

void SettingsPanel::showCE() { ui_.setChecked("cbCosineOn", rec().cosineOn != 0); }
void SettingsPanel::showCV() { setInt("edCosineFactor", rec().cosineFactor); }
void SettingsPanel::showWT() { setInt("edErrorTimeout", rec().windowErrorTimeout); }
void SettingsPanel::showWV() { setDistance("edWindowWidth", rec().windowWidth); }
void SettingsPanel::showDRRange() { setDistance("edErrorRangeDifference", rec().dampErrorRange); }
void SettingsPanel::showDS() { setInt("edNumberofSamples", rec().dampSamples); }
void SettingsPanel::showDR() { setInt("edNumberofErrors", rec().dampErrorTimeout); }

// The current-loop values live in the current-loop settings window; a name
// that no window has is simply not written.
void SettingsPanel::showAL() { setDistance("edAnalogLow", rec().analogLow); }
void SettingsPanel::showAH() { setDistance("edAnalogHigh", rec().analogHigh); }
void SettingsPanel::showAF() { setTenths("edFaultIndication", rec().faultCurrent); }
void SettingsPanel::showAT() { setTenths("edFaultTimeout", rec().faultTimeout); }

void SettingsPanel::showCL()
{
    ui_.setChecked("CurrentLoopOn1", (rec().currentLoopFlags & 1) != 0);
    ui_.setChecked("DisableFaultCurrent1", (rec().currentLoopFlags & 2) != 0);
}

void SettingsPanel::showMO()
{
    const int32_t port = rec().measureOutput;
    if (port >= 0 && port <= 2)
        ui_.setItemIndex("cmbMeasureOutput", port);
}

void SettingsPanel::showCO()
{
    ui_.setChecked("cbContinuousOutput", rec().continuousOutput != 0);
    ui_.setVisible("pbSingleMeasure", !ui_.isChecked("cbContinuousOutput"));
}

void SettingsPanel::showMA() { ui_.setChecked("cbAutostart", rec().autostart != 0); }

void SettingsPanel::showDM()
{
    switch (rec().displayMode) {
    case 1:
        display_.rbDistanceClick();
        break;
    case 2:
        display_.rbBothNumbersClick();
        break;
    case 3:
        display_.rbIntensityClick();
        break;
    default:
        break;
    }
    display_.showResultWidgets();
}

// ----------------------------------------------------------------------------
// Units, gates, laser power and dithering

void SettingsPanel::showUnits()
{
    const std::string letter = rec().units == 1 ? "M" : "F";
    for (const char* n : kUnitLetterLabels)
        ui_.setText(n, letter);

    const bool metres = ui_.isChecked("cbUnitsMeters");
    ui_.setText("lblBinUnits", metres ? "cm (M)" : "inches (F)");
    const auto& texts = metres ? kBinSizeMetres : kBinSizeFeet;
    for (int i = 0; i < static_cast<int>(texts.size()); ++i)
        ui_.setItemText("cmbBinSize", i, metres ? commaText(QString::fromLatin1(texts[static_cast<size_t>(i)]),
                                                            st_.decimalComma != 0)
                                                : std::string(texts[static_cast<size_t>(i)]));
    const int32_t size = rec().binSize;
    ui_.setItemIndex("cmbBinSize", size >= 0 && size < static_cast<int32_t>(texts.size()) ? size : -1);
}

void SettingsPanel::cbUnitsFeetClick()
{
    if (!ui_.isChecked("cbUnitsFeet"))
        return;
    st_.editRecord.units = 0;
    ui_.setChecked("cbUnitsMeters", false);
    SettingChanged();
}

void SettingsPanel::cbUnitsMetersClick()
{
    if (!ui_.isChecked("cbUnitsMeters"))
        return;
    ui_.setChecked("cbUnitsFeet", false);
    st_.editRecord.units = 1;
    SettingChanged();
}

void SettingsPanel::gateClicked(const char* check, const char* edit, const char* unitLabel, float value)
{
    SettingChanged();
    const bool on = ui_.isChecked(check);
    ui_.setVisible(edit, on);
    ui_.setVisible(unitLabel, on);
    ui_.setText(edit, distanceText(value, rec().units == 1));
}

void SettingsPanel::cbShortGateClick() { gateClicked("cbShortGate", "edShortGate", "lblShortUnits", rec().shortGate); }
void SettingsPanel::cbLongGateClick() { gateClicked("cbLongGate", "edLongGate", "lblLongUnits", rec().longGate); }

void SettingsPanel::selectPower(const char* button)
{
    ui_.setChecked(button, true);
    for (const char* n : {"rbHigh", "rbMedium", "rbLow"})
        if (std::string_view(n) != button)
            ui_.setChecked(n, false);
    SettingChanged();
}

void SettingsPanel::cbDitherClick()
{
    SettingChanged();
    if (ui_.isChecked("cbDither")) {
        ui_.setText("lblRequired", "Required");
        ui_.setText("lblDitherPulses", "Dither Pulses");
        ui_.setEnabled("cmbDitherSteps", true);
        if (ui_.itemIndex("cmbDitherSteps") == 0)
            ui_.setItemIndex("cmbDitherSteps", 1);
    } else {
        ui_.setText("lblRequired", "Minimum");
        ui_.setText("lblDitherPulses", "Good Pulses");
        ui_.setEnabled("cmbDitherSteps", false);
        ui_.setItemIndex("cmbDitherSteps", 0);
    }
}

void SettingsPanel::showDitherLabels()
{
    const UnitRecord& r = rec();
    const bool on = r.ditherOn != 0;
    ui_.setChecked("cbDither", on);
    ui_.setEnabled("cmbDitherSteps", on);
    ui_.setText("lblRequired", on ? "Required" : "Minimum");
    ui_.setText("lblDitherPulses", on ? "Dither Pulses" : "Good Pulses");
    ui_.setHint("edPulsesperMeasure", on ? "Must be greater than Required Dither Pulses"
                                         : "Must be greater than or equal to Minimum Good Pulses");
    ui_.setHint("edPulsesRequired", on ? "Multiples of 32.\nMust be smaller than Pulses/Measure"
                                       : "Must be smaller than Pulses/Measure");
    int item = 0;
    for (size_t i = 1; i < kDitherSteps.size(); ++i)
        if (kDitherSteps[i] == r.ditherSteps)
            item = static_cast<int>(i);
    ui_.setItemIndex("cmbDitherSteps", item);
}

void SettingsPanel::applyOldFirmwareLimits()
{
    if (rec().firmwareVersion >= 105)
        return;
    ui_.setText("edMaxIntensity", "6000");
    ui_.setText("edFlyerTrap", "2500");
    ui_.setText("edMinTripPulses", "30");
    ui_.setText("edMaxFalsePulses", "5");
    ui_.setItemIndex("cmbTargetSelector", 3);
    selectRadio({"rbProcessingOff", "rbWindowingOn", "rbDampeningOn"}, 0);
    selectRadio({"rbRelative", "rbAbsolute"}, 0);
    enable({"rbRelative", "rbAbsolute", "cbCheckGate", "edMaxIntensity", "pbMore", "cbDither", "cmbDitherSteps",
            "pnlOutputProcessing", "pnlDampening", "cmbTargetSelector", "edFlyerTrap", "edMaxFalsePulses",
            "edMinTripPulses"},
           false);
}

void SettingsPanel::pbMoreClick()
{
    if (ui_.isVisible("pnlMoreAveraging")) {
        ui_.setVisible("pnlMoreAveraging", false);
        ui_.setText("pbMore", "&More>>");
    } else {
        ui_.setVisible("pnlMoreAveraging", true);
        ui_.setText("pbMore", "<<&Less");
    }
}

// ----------------------------------------------------------------------------
// Measurement modes

void SettingsPanel::emptyResultTexts()
{
    ui_.setText("lblResult", "");
    ui_.setText("lblIntensity", "");
}

void SettingsPanel::showProcessingPanel(int32_t processing)
{
    if (processing < 0 || processing > 2)
        return;
    ui_.setVisible("pnlOff", processing == 0);
    ui_.setVisible("pnlWindowing", processing == 1);
    ui_.setVisible("pnlDampening", processing == 2);
}

void SettingsPanel::showRangingMode(int mode, int modeItem, std::string_view modePanel, int32_t prf, int32_t pulses)
{
    ui_.setVisible("lblRate", true);
    fillPrfList(mode);
    ui_.setItemIndex("cmbMeasureMode", modeItem);
    emptyResultTexts();
    show({"lblPulses", "lblMeasure"}, true);
    ui_.setVisible("imgBinning", mode == 2);
    for (const char* p : {"pnlAveraging", "pnlLastTarget", "pnlBinning"})
        ui_.setVisible(p, p == modePanel);
    show({"pnlDetectionMode", "pnlDetectionParameters"}, false);
    ui_.setVisible("pnlOutputProcessing", true);
    // The short gate is free in every ranging mode; a relative detection
    // view before may have disabled its check box.
    enable({"cbShortGate", "edShortGate"}, true);
    ui_.setVisible("edPulsesperMeasure", true);
    showProcessingPanel(rec().outputProcessing);
    setInt("cmbPRF", prf);
    setInt("edPulsesperMeasure", pulses);
}

void SettingsPanel::refreshModeView()
{
    display_.showRate();
    const UnitRecord& r = rec();
    switch (r.measureMode) {
    case 1:
        showRangingMode(1, 0, "pnlAveraging", r.prfAveraging, r.pulsesAveraging);
        enable({"edPulsesRequired", "cbDither", "cmbDitherSteps"}, true);
        setInt("edPulsesRequired", r.ditherPulses);
        showDitherLabels();
        break;
    case 4:
        if (ui_.isVisible("pnlMoreAveraging"))
            pbMoreClick();
        showRangingMode(4, 1, "pnlLastTarget", r.prfAveraging, r.pulsesAveraging);
        enable({"edPulsesRequired", "cbDither", "cmbDitherSteps"}, false);
        ui_.setText("lblRequired", "Minimum");
        ui_.setText("lblDitherPulses", "Good Pulses");
        break;
    case 2:
        ui_.setHint("edPulsesperMeasure", "Must be greater than Required Dither Pulses");
        ui_.setHint("edPulsesRequired", "Must be smaller than Pulses/Measure");
        showRangingMode(2, 2, "pnlBinning", r.prfBinning, r.pulsesBinning);
        ui_.setVisible("lblIntensity", false);
        ui_.setButtonFace("imgBinning");
        setInt("edBinHits", r.binHits);
        ui_.setItemIndex("cmbBinSize", r.binSize >= 0 && r.binSize < 8 ? r.binSize : -1);
        updateBinOffset();
        break;
    case 3:
        fillPrfList(3);
        ui_.setHint("edPulsesperMeasure", "Must be greater than Required Dither Pulses");
        ui_.setHint("edPulsesRequired", "Must be smaller than Pulses/Measure");
        ui_.setItemIndex("cmbMeasureMode", 3);
        emptyResultTexts();
        ui_.setVisible("lblIntensity", true);
        show({"lblPulses", "lblMeasure", "imgBinning", "pnlAveraging", "pnlLastTarget", "pnlBinning",
              "pnlOutputProcessing", "pnlWindowing", "pnlDampening", "pnlOff"},
             false);
        show({"pnlDetectionMode", "pnlDetectionParameters"}, true);
        ui_.setVisible("edPulsesperMeasure", false);
        selectRadio({"rbRelative", "rbAbsolute"}, r.detectionReference != 0 ? 1 : 0);
        setInt("cmbPRF", r.prfDetection);
        ui_.setText("edTripPoint", distanceText(r.tripPoint, r.units != 0));
        break;
    default:
        break;
    }
    display_.showResultWidgets();
}

void SettingsPanel::fillPrfList(int mode)
{
    const char* box = "cmbPRF";
    for (int i = 0; i < static_cast<int>(kPrfItems.size()); ++i)
        ui_.setItemText(box, std::min(i, ui_.itemCount(box)), kPrfItems[static_cast<size_t>(i)]);
    auto append = [&](std::initializer_list<const char*> items) {
        for (const char* t : items)
            ui_.setItemText(box, ui_.itemCount(box), t);
    };
    auto trimTo = [&](int count) {
        while (ui_.itemCount(box) > count)
            ui_.removeItem(box, ui_.itemCount(box) - 1);
    };
    switch (mode) {
    case 1:
    case 4:
        if (ui_.itemCount(box) == 6)
            append({"2000", "3000", "4000"});
        else
            trimTo(9);
        break;
    case 2:
        trimTo(6);
        break;
    case 3:
        if (ui_.itemCount(box) == 6)
            append({"2000", "3000", "4000", "4500"});
        else if (ui_.itemCount(box) == 9)
            append({"4500"});
        break;
    default:
        break;
    }
}

void SettingsPanel::refreshProcessingPanels()
{
    if (rec().measureMode == 3)
        return;
    if (ui_.isChecked("rbProcessingOff"))
        showProcessingPanel(0);
    else if (ui_.isChecked("rbWindowingOn"))
        showProcessingPanel(1);
    if (ui_.isChecked("rbDampeningOn"))
        showProcessingPanel(2);
}

void SettingsPanel::processingClicked()
{
    SettingChanged();
    refreshProcessingPanels();
}

void SettingsPanel::rbAbsoluteClick()
{
    SettingChanged();
    if (rec().measureMode == 3)
        enable({"cbShortGate", "edShortGate"}, true);
    ui_.setText("lblDetectionLine1", "Detection if range is less than");
    ui_.setText("lblDetectionLine2", "trip point");
}

void SettingsPanel::rbRelativeClick()
{
    if (rec().measureMode == 3) {
        ui_.setChecked("cbShortGate", false);
        enable({"cbShortGate", "edShortGate"}, false);
    }
    ui_.setText("lblDetectionLine1", "Detection if range is less than");
    ui_.setText("lblDetectionLine2", "reference minus trip point");
    SettingChanged();
}

void SettingsPanel::edNumberofSamplesChange()
{
    const QString text = QString::fromStdString(ui_.text("edNumberofSamples")).trimmed();
    if (text.isEmpty())
        return;
    bool ok = false;
    const int samples = text.toInt(&ok, 10);
    // A box that does not hold a number yet (the user is still typing) is
    // reported when the settings are gathered for the upload.
    if (!ok)
        return;
    if (samples <= 10)
        SettingChanged();
    else
        showMessage(QStringLiteral("Error"), QStringLiteral("Maximum of 10 Samples allowed."));
}

bool SettingsPanel::binOffset(int index, bool metres, float& out)
{
    if (index < 0 || index > 7)
        return false;
    const float unit = metres ? 0.013f : 1.0f / 24.0f;
    out = unit * static_cast<float>(1 << index);
    return true;
}

void SettingsPanel::updateBinOffset()
{
    float offset = 0;
    if (binOffset(ui_.itemIndex("cmbBinSize"), rec().units != 0, offset))
        st_.binOffset = offset;
}

} // namespace dxu
