#include "ui/settings/settingspanel.h"

#include "protocol/settingcodes.h"
#include "services/locale.h"
#include "ui/services/messages.h"
#include "ui/settings/moderules.h"
#include "ui/settings/panelbinding.h"

#include <QString>

#include <algorithm>
#include <array>

namespace dxu {
namespace {

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

std::string commaText(const QString& text, bool decimalComma)
{
    std::string out = text.toStdString();
    toDecimalComma(out.data(), decimalComma);
    return out;
}

// The row of the setting-code table that binds a control; nullptr for none.
const SettingCode* rowOfControl(std::string_view control)
{
    for (const SettingCode& row : settingCodes())
        for (const SettingField& f : row.fields)
            for (const char* c : bindingOf(f).controls)
                if (c && control == c)
                    return &row;
    return nullptr;
}

std::vector<const char*> controlsOf(const SettingCode& row)
{
    std::vector<const char*> controls;
    for (const SettingField& f : row.fields)
        for (const char* c : bindingOf(f).controls)
            if (c && std::find(controls.begin(), controls.end(), std::string_view(c)) == controls.end())
                controls.push_back(c);
    return controls;
}

} // namespace

SettingsPanel::SettingsPanel(DxuState& state, Ui& ui) : st_(state), ui_(ui), display_(state, ui), marks_(state, ui)
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
    // Every other setting: Upload usable, the control marked while it differs.
    for (const char* n : {"edMaxFalsePulses", "edMinTripPulses", "edFlyerTrap", "edTripTimeout", "edErrorTimeout",
                          "edWindowWidth", "edCosineFactor", "edAverageBounds", "edInitialLock", "edTripPoint",
                          "edBinHits", "edPulsesRequired", "edShortGate", "edLongGate", "edOffsetDistance",
                          "edMaxIntensity", "edMinIntensity", "edPulsesperMeasure", "cmbBinSize",
                          "cmbTargetSelector", "cmbDitherSteps", "cmbMeasureOutput", "cmbPRF", "cbOutputTBE",
                          "cbCosineOn", "cbSuccessiveGate", "cbTarget", "cbTermination", "cbCheckGate",
                          "cbContinuousOutput", "cbAutostart"})
        ui_.onChange(n, [this, n] { settingChanged(n); });
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

void SettingsPanel::resetDisplay()
{
    pendingFile_.reset();
    marks_.clear();
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
    const ModeView* view = modeView(rec().measureMode);
    if (!view)
        return;
    const bool detection = view->mode == 3;
    if (!detection)
        ui_.setVisible("lblRate", true);
    showModePanel(view->panel);
    show({"pnlDetectionMode", "pnlDetectionParameters"}, detection);
    show({"pnlOutputProcessing", "pnlOff"}, !detection);
}

void SettingsPanel::showModePanel(const char* panel)
{
    for (const int32_t mode : {1, 4, 2})
        ui_.setVisible(modeView(mode)->panel, panel && std::string_view(panel) == modeView(mode)->panel);
}

void SettingsPanel::show(std::initializer_list<const char*> names, bool shown) { showEach(ui_, names, shown); }

void SettingsPanel::enable(std::initializer_list<const char*> names, bool enabled) { enableEach(ui_, names, enabled); }

void SettingsPanel::settingChanged(const char* control)
{
    ui_.setEnabled("pbUpload", !offline_);
    remark(control);
}

void SettingsPanel::remark(const char* control)
{
    if (showingAll_)
        return;
    const SettingCode* row = control ? rowOfControl(control) : nullptr;
    if (row)
        marks_.remark(controlsOf(*row));
    else if (control)
        marks_.remark({&control, 1});
}

// ----------------------------------------------------------------------------
// Show functions

// In the order of the setting-code table, which lets later ones rely on
// earlier ones (MM before PF and PO, MU before every distance).
void SettingsPanel::showSettings()
{
    showingAll_ = true;
    for (const SettingCode& row : settingCodes())
        if (onPanel(row))
            showSetting(row);
    showingAll_ = false;
    marks_.remarkAll();
}

void SettingsPanel::showSetting(const SettingCode& row)
{
    static constexpr struct {
        const char* code;
        void (SettingsPanel::*show)();
    } kRules[] = {{"UA", &SettingsPanel::showUA}, {"MM", &SettingsPanel::showMM}, {"MU", &SettingsPanel::showMU},
                  {"FL", &SettingsPanel::showFL}, {"PF", &SettingsPanel::showPF}, {"PO", &SettingsPanel::showPO},
                  {"DD", &SettingsPanel::showDD}, {"BS", &SettingsPanel::showBS}, {"OP", &SettingsPanel::showOP},
                  {"CO", &SettingsPanel::showCO}, {"DM", &SettingsPanel::showDM}};
    for (const auto& rule : kRules)
        if (std::string_view(rule.code) == row.code) {
            (this->*rule.show)();
            return;
        }
    // The settings without rules of their own. The current-loop values live
    // in the current-loop settings window; a name that no window has is
    // simply not written.
    showRow(row.code);
}

void SettingsPanel::showSetting(std::string_view code)
{
    for (const SettingCode& row : settingCodes())
        if (code == row.code) {
            showSetting(row);
            return;
        }
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
    marks_.remarkAll();
}

// One loop shows every plain field of a row, as the panel's binding binds
// it; a field whose control another field of the row shares (PO) shows in its
// own modes only. The row's controls are marked again after.
void SettingsPanel::showRow(const char* code)
{
    const SettingCode& row = *findSetting(code);
    for (int i = 0; i < row.fieldCount(); ++i) {
        const SettingField& f = row.fields[static_cast<size_t>(i)];
        const FieldBinding& b = bindingOf(f);
        if (!b.plain())
            continue;
        const bool shared = std::any_of(row.fields.begin(), row.fields.end(), [&](const SettingField& g) {
            const char* other = bindingOf(g).controls[0];
            return &g != &f && other && std::string_view(other) == b.controls[0];
        });
        if (shared && !b.editedIn(rec().measureMode))
            continue;
        showValue(f, f.intField ? rec().*f.intField : rec().*f.floatField);
    }
    if (!showingAll_)
        marks_.remark(controlsOf(row));
}

void SettingsPanel::showValue(const SettingField& f, double value)
{
    const int32_t whole = f.intField ? static_cast<int32_t>(value) : 0; // exact for every int32_t
    const FieldBinding& b = bindingOf(f);
    const char* control = b.controls[0];
    const auto buttons = static_cast<int32_t>(std::count_if(b.controls.begin(), b.controls.end(), [](auto c) { return c; }));
    switch (b.look) {
    case Look::Number:
    case Look::Cycles:
        return setInt(control, whole);
    case Look::Distance:
        return setDistance(control, static_cast<float>(value));
    case Look::Tenths:
        return setTenths(control, static_cast<float>(value));
    case Look::Check:
        return ui_.setChecked(control, whole != 0);
    case Look::Choice:
        if (whole >= 0 && whole < ui_.itemCount(control))
            ui_.setItemIndex(control, whole);
        return;
    case Look::Radio:
    case Look::Bits:
        if (b.look == Look::Radio && (whole < 0 || whole >= buttons))
            return;
        for (int32_t i = 0; i < buttons; ++i)
            ui_.setChecked(b.controls[static_cast<size_t>(i)], b.look == Look::Radio ? i == whole : ((whole >> i) & 1) != 0);
        return;
    default:
        return;
    }
}

// The settings with rules of their own.

void SettingsPanel::showUA()
{
    showRow("UA");
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
    // Another mode edits other settings.
    if (!showingAll_)
        marks_.remarkAll();
}

void SettingsPanel::showMU()
{
    ui_.setChecked(rec().units == 1 ? "cbUnitsMeters" : "cbUnitsFeet", true);
    showUnits();
    // A read shows the mode before the units and the bin size: the bin
    // size that binning distances are corrected by follows the unit's own.
    updateBinOffset();
    showRow("MU");
}

void SettingsPanel::showFL()
{
    showRow("FL");
    ui_.setColor("lblF", rec().cooperativeTarget != 0 ? colors::Green : colors::Silver);
}

void SettingsPanel::showPF()
{
    const SettingField* prf = fieldOfMode(*findSetting("PF"), rec().measureMode);
    if (!prf)
        return;
    setInt("cmbPRF", rec().*prf->intField);
    ui_.setHint("cmbPRF", prfHint(rec().measureMode));
    showRow("PF");
}

void SettingsPanel::showPO()
{
    showRow("PO");
    display_.showRate();
}

void SettingsPanel::showDD()
{
    UnitRecord& r = st_.current();
    r.ditherOn = r.ditherSteps != 0 ? 1 : 0;
    showDitherLabels();
    showRow("DD");
}

void SettingsPanel::showBS()
{
    showRow("BS");
    updateBinOffset();
}

void SettingsPanel::showOP()
{
    showRow("OP");
    refreshProcessingPanels();
}

void SettingsPanel::showCO()
{
    showRow("CO");
    ui_.setVisible("pbSingleMeasure", !ui_.isChecked("cbContinuousOutput"));
}

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
    showRow("DM");
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
    settingChanged("cbUnitsFeet");
}

void SettingsPanel::cbUnitsMetersClick()
{
    if (!ui_.isChecked("cbUnitsMeters"))
        return;
    ui_.setChecked("cbUnitsFeet", false);
    st_.editRecord.units = 1;
    settingChanged("cbUnitsMeters");
}

void SettingsPanel::gateClicked(const char* check, const char* edit, const char* unitLabel, float value)
{
    settingChanged(check);
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
    settingChanged(button);
}

void SettingsPanel::cbDitherClick()
{
    settingChanged("cbDither");
    const bool on = ui_.isChecked("cbDither");
    ditherLabels(on);
    ui_.setEnabled("cmbDitherSteps", on);
    if (!on || ui_.itemIndex("cmbDitherSteps") == 0)
        ui_.setItemIndex("cmbDitherSteps", on ? 1 : 0);
}

void SettingsPanel::ditherLabels(bool on)
{
    ui_.setText("lblRequired", on ? "Required" : "Minimum");
    ui_.setText("lblDitherPulses", on ? "Dither Pulses" : "Good Pulses");
}

void SettingsPanel::showDitherLabels()
{
    const UnitRecord& r = rec();
    const bool on = r.ditherOn != 0;
    ui_.setChecked("cbDither", on);
    ui_.setEnabled("cmbDitherSteps", on);
    ditherLabels(on);
    ui_.setHint("edPulsesperMeasure", on ? "Must be greater than Required Dither Pulses"
                                         : "Must be greater than or equal to Minimum Good Pulses");
    ui_.setHint("edPulsesRequired", on ? "Multiples of 32.\nMust be smaller than Pulses/Measure"
                                       : "Must be smaller than Pulses/Measure");
    // The items of cmbDitherSteps are the choices of the steps, the first blank.
    const std::span<const Choice> steps = findSetting("DD")->fields[0].choices;
    int item = 0;
    for (size_t i = 1; i < steps.size(); ++i)
        if (steps[i].value == r.ditherSteps)
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
    showValue(findSetting("OP")->fields[0], 0);
    showValue(findSetting("LA")->fields[0], 0);
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

void SettingsPanel::showRangingMode(int mode)
{
    const ModeView& view = *modeView(mode);
    ui_.setVisible("lblRate", true);
    fillPrfList(mode);
    ui_.setItemIndex("cmbMeasureMode", view.item);
    emptyResultTexts();
    show({"lblPulses", "lblMeasure"}, true);
    ui_.setVisible("imgBinning", mode == 2);
    showModePanel(view.panel);
    show({"pnlDetectionMode", "pnlDetectionParameters"}, false);
    ui_.setVisible("pnlOutputProcessing", true);
    // The short gate is free in every ranging mode; a relative detection
    // view before may have disabled its check box.
    enable({"cbShortGate", "edShortGate"}, true);
    ui_.setVisible("edPulsesperMeasure", true);
    showProcessingPanel(rec().outputProcessing);
    const UnitRecord& r = rec();
    setInt("cmbPRF", r.*fieldOfMode(*findSetting("PF"), mode)->intField);
    setInt("edPulsesperMeasure", r.*fieldOfMode(*findSetting("PO"), mode)->intField);
}

void SettingsPanel::refreshModeView()
{
    display_.showRate();
    const UnitRecord& r = rec();
    switch (r.measureMode) {
    case 1:
        showRangingMode(1);
        enable({"edPulsesRequired", "cbDither", "cmbDitherSteps"}, true);
        setInt("edPulsesRequired", r.ditherPulses);
        showDitherLabels();
        break;
    case 4:
        if (ui_.isVisible("pnlMoreAveraging"))
            pbMoreClick();
        showRangingMode(4);
        enable({"edPulsesRequired", "cbDither", "cmbDitherSteps"}, false);
        ditherLabels(false);
        break;
    case 2:
        ui_.setHint("edPulsesperMeasure", "Must be greater than Required Dither Pulses");
        ui_.setHint("edPulsesRequired", "Must be smaller than Pulses/Measure");
        showRangingMode(2);
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
        ui_.setItemIndex("cmbMeasureMode", modeView(3)->item);
        emptyResultTexts();
        ui_.setVisible("lblIntensity", true);
        show({"lblPulses", "lblMeasure", "imgBinning", "pnlAveraging", "pnlLastTarget", "pnlBinning",
              "pnlOutputProcessing", "pnlWindowing", "pnlDampening", "pnlOff"},
             false);
        show({"pnlDetectionMode", "pnlDetectionParameters"}, true);
        ui_.setVisible("edPulsesperMeasure", false);
        showValue(findSetting("LA")->fields[0], r.detectionReference != 0 ? 1 : 0);
        setInt("cmbPRF", r.prfDetection);
        ui_.setText("edTripPoint", distanceText(r.tripPoint, r.units != 0));
        break;
    default:
        break;
    }
    display_.showResultWidgets();
}

// The standard rates up to the mode's highest; a mode the program does not
// know leaves the list as it is.
void SettingsPanel::fillPrfList(int mode)
{
    const char* box = "cmbPRF";
    const int count = prfItemCount(mode);
    if (count == 0)
        return;
    for (int i = 0; i < count; ++i)
        ui_.setItemText(box, std::min(i, ui_.itemCount(box)), prfItem(i));
    while (ui_.itemCount(box) > count)
        ui_.removeItem(box, ui_.itemCount(box) - 1);
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
    settingChanged("rbProcessingOff");
    refreshProcessingPanels();
}

void SettingsPanel::rbAbsoluteClick()
{
    settingChanged("rbAbsolute");
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
    settingChanged("rbRelative");
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
        settingChanged("edNumberofSamples");
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
