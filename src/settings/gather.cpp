#include "settings/gather.h"

#include "protocol/settingcodes.h"
#include "services/locale.h"
#include "services/messages.h"
#include "settings/moderules.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>

namespace dxu {
namespace {

using R = UnitRecord;

// The changed flag of a record field, from the setting-code table.
template <typename T>
int32_t R::*changedFlagOf(T R::*field)
{
    for (const SettingCode& c : settingCodes())
        for (const SettingField& f : c.fields) {
            if constexpr (std::is_same_v<T, float>) {
                if (f.floatField == field)
                    return f.changed;
            } else {
                if (f.intField == field)
                    return f.changed;
            }
        }
    return nullptr;
}

class Gathering {
public:
    // Flags go to flags, values to edit. With marks the gathering is a quiet
    // look: it shows no message, writes no control and lists the controls
    // whose value differs from the unit (or cannot be read) in marks.
    Gathering(DxuState& st, Ui& ui, UnitRecord& flags, UnitRecord& edit, std::vector<std::string>* marks = nullptr)
        : st_(st), ui_(ui), unit_(st.current()), flags_(flags), edit_(edit), marks_(marks)
    {
    }

    int run();

private:
    // Stores a value in editRecord and flags the field when it differs from
    // the unit's record.
    void set(int32_t R::*field, int32_t value) { set(field, value, changedFlagOf(field)); }
    void set(int32_t R::*field, int32_t value, int32_t R::*flag)
    {
        edit_.*field = value;
        if (value != unit_.*field)
            flag_(flag);
    }
    void set(float R::*field, float value)
    {
        edit_.*field = value;
        if (floatDiffers(value, unit_.*field))
            flag_(changedFlagOf(field));
    }
    void flag_(int32_t R::*flag)
    {
        if (flag)
            flags_.*flag = 1;
        changed_ = true;
        mark(at_);
    }
    void mark(const char* control)
    {
        if (marks_ && control)
            marks_->emplace_back(control);
    }
    bool checked(const char* name) const { return ui_.isChecked(name); }
    void setChecked(int32_t R::*field, const char* box)
    {
        at_ = box;
        set(field, checked(box) ? 1 : 0);
    }
    // Index of the first checked radio button of names; -1 for none.
    int radio(std::initializer_list<const char*> names)
    {
        int i = 0;
        for (const char* n : names) {
            if (checked(n)) {
                at_ = n;
                return i;
            }
            ++i;
        }
        return -1;
    }
    bool empty(const char* name) const { return ui_.text(name).empty(); }
    void fillEmpty(const char* name, const char* text)
    {
        if (!marks_ && empty(name))
            ui_.setText(name, text);
    }
    // A number typed in a control. Quietly, a text that is not one marks the
    // control and leaves out as it was.
    template <typename T>
    bool read(const char* name, T& out)
    {
        at_ = name;
        const QString text = QString::fromStdString(ui_.text(name));
        if (!marks_) {
            if constexpr (std::is_same_v<T, float>)
                return textToFloat(text, out);
            else
                return textToInt(text, out);
        }
        QString t = text.trimmed();
        bool ok = false;
        T v{};
        if constexpr (std::is_same_v<T, float>)
            v = t.replace(decimalSeparator(), QLatin1Char('.')).toFloat(&ok);
        else
            v = t.toInt(&ok, 10);
        if (ok)
            out = v;
        else
            mark(name);
        return true;
    }
    template <typename T>
    bool gather(T R::*field, const char* box)
    {
        T v = edit_.*field;
        if (!read(box, v))
            return false;
        set(field, v);
        return true;
    }
    bool gatherInts(std::initializer_list<std::pair<int32_t R::*, const char*>> rows)
    {
        for (const auto& [field, box] : rows)
            if (!gather(field, box))
                return false;
        return true;
    }
    bool gate(int32_t R::*on, float R::*distance, const char* box, const char* edit, bool emptyIsZero);
    bool modeSettings(int32_t mode, int32_t prf);
    void dither();

    DxuState& st_;
    Ui& ui_;
    UnitRecord& unit_;
    UnitRecord& flags_;
    UnitRecord& edit_;
    std::vector<std::string>* marks_;
    const char* at_ = nullptr; // the control being gathered
    bool changed_ = false;
    bool forced_ = false;
};

bool Gathering::gate(int32_t R::*on, float R::*distance, const char* box, const char* edit, bool emptyIsZero)
{
    const bool isOn = checked(box);
    float value = edit_.*distance;
    if (isOn && !read(edit, value))
        return false;
    if (emptyIsZero && empty(edit))
        value = 0;
    at_ = box;
    set(on, isOn ? 1 : 0);
    at_ = edit;
    set(distance, value);
    return true;
}

void Gathering::dither()
{
    static constexpr int32_t kSteps[] = {0, 1, 2, 4, 8, 16};
    int32_t on = checked("cbDither") ? 1 : 0;
    int32_t steps = edit_.ditherSteps;
    const int item = ui_.itemIndex("cmbDitherSteps");
    if (on && item >= 1 && item <= 5)
        steps = kSteps[item];
    int32_t R::*flag = changedFlagOf(&R::ditherSteps); // one flag for both
    at_ = "cbDither";
    set(&R::ditherOn, on, flag);
    set(&R::ditherSteps, steps, flag);
}

bool Gathering::modeSettings(int32_t mode, int32_t prf)
{
    switch (mode) {
    case 1:
        set(&R::prfAveraging, prf);
        if (!gatherInts({{&R::pulsesAveraging, "edPulsesperMeasure"}, {&R::ditherPulses, "edPulsesRequired"}}))
            return false;
        fillEmpty("edInitialLock", "0");
        dither();
        return gatherInts({{&R::averageBounds, "edAverageBounds"}, {&R::initialLock, "edInitialLock"}});
    case 4:
        set(&R::prfAveraging, prf);
        if (!gatherInts({{&R::pulsesAveraging, "edPulsesperMeasure"}, {&R::ditherPulses, "edPulsesRequired"}}))
            return false;
        setChecked(&R::successiveGate, "cbSuccessiveGate");
        return true;
    case 2: {
        set(&R::prfBinning, prf);
        if (!gather(&R::pulsesBinning, "edPulsesperMeasure"))
            return false;
        at_ = "cmbBinSize";
        set(&R::binSize, ui_.itemIndex("cmbBinSize"));
        int hits = edit_.binHits;
        if (!read("edBinHits", hits))
            return false;
        if (hits > 255 && marks_) {
            mark("edBinHits");
        } else if (hits > 255) {
            showMessage(QStringLiteral("Error"), QStringLiteral("Bin Hits cannot excced 255"));
            return false;
        }
        set(&R::binHits, hits);
        const int selector = ui_.itemIndex("cmbTargetSelector");
        at_ = "cmbTargetSelector";
        set(&R::targetSelector, selector < 0 ? 0 : selector);
        // Without a choice the selector is written as "First" in any case.
        forced_ = forced_ || selector < 0;
        return true;
    }
    case 3: {
        edit_.prfDetection = prf;
        if (prf != unit_.prfDetection) {
            // The trip timeout goes to the unit as a count of these pulses.
            flag_(changedFlagOf(&R::prfDetection));
            flag_(changedFlagOf(&R::tripTimeout));
        }
        const int reference = radio({"rbRelative", "rbAbsolute"});
        if (reference >= 0)
            set(&R::detectionReference, reference);
        if (!gather(&R::tripPoint, "edTripPoint"))
            return false;
        if (!gatherInts({{&R::maxFalsePulses, "edMaxFalsePulses"},
                         {&R::minTripPulses, "edMinTripPulses"},
                         {&R::flyerTrap, "edFlyerTrap"}}))
            return false;
        if (!gather(&R::tripTimeout, "edTripTimeout"))
            return false;
        setChecked(&R::outputTBE, "cbOutputTBE");
        return true;
    }
    default:
        return true;
    }
}

int Gathering::run()
{
    edit_ = unit_;
    at_ = "cbUnitsMeters";
    set(&R::units, checked("cbUnitsMeters") ? 1 : 0);
    if (!gate(&R::shortGateOn, &R::shortGate, "cbShortGate", "edShortGate", true)
        || !gate(&R::longGateOn, &R::longGate, "cbLongGate", "edLongGate", false))
        return 0;
    setChecked(&R::checkGate, "cbCheckGate");

    if (!marks_ && empty("edOffsetDistance")) {
        const bool metres = edit_.units == 1;
        ui_.setText("edOffsetDistance", st_.decimalComma ? (metres ? "0,000" : "0,00") : (metres ? "0.000" : "0.00"));
    }
    if (!gather(&R::offsetDistance, "edOffsetDistance"))
        return 0;

    if (const int power = radio({"rbHigh", "rbMedium", "rbLow"}); power >= 0)
        set(&R::powerLevel, power);
    setChecked(&R::cooperativeTarget, "cbTarget");
    setChecked(&R::termination, "cbTermination");
    if (!gatherInts({{&R::minIntensity, "edMinIntensity"}, {&R::maxIntensity, "edMaxIntensity"}}))
        return 0;

    static constexpr int32_t kModeOfItem[] = {1, 4, 2, 3};
    const int item = ui_.itemIndex("cmbMeasureMode");
    const int32_t mode = kModeOfItem[item >= 0 && item <= 3 ? item : 0];
    at_ = "cmbMeasureMode";
    set(&R::measureMode, mode);

    fillEmpty("edPulsesperMeasure", "32");
    fillEmpty("edTripPoint", "1");
    fillEmpty("edBinHits", "4");

    int prf = 0;
    if (!read("cmbPRF", prf))
        return 0;
    if (!marks_) {
        checkPrf(ui_, prf, mode);
        if (!read("cmbPRF", prf))
            return 0;
    } else if (maxPrf(mode) != 0) {
        prf = std::clamp(prf, MinPrf, maxPrf(mode));
    }
    at_ = "cmbPRF";
    if (!modeSettings(mode, prf))
        return 0;

    setChecked(&R::cosineOn, "cbCosineOn");
    if (!gather(&R::cosineFactor, "edCosineFactor"))
        return 0;
    if (const int processing = radio({"rbProcessingOff", "rbWindowingOn", "rbDampeningOn"}); processing >= 0)
        set(&R::outputProcessing, processing);
    if (!gather(&R::dampErrorRange, "edErrorRangeDifference") || !gather(&R::windowWidth, "edWindowWidth")
        || !gatherInts({{&R::dampSamples, "edNumberofSamples"}, {&R::dampErrorTimeout, "edNumberofErrors"}}))
        return 0;
    float cycles = 0;
    if (!read("edErrorTimeout", cycles))
        return 0;
    set(&R::windowErrorTimeout, static_cast<int32_t>(std::trunc(cycles)));
    const int output = ui_.itemIndex("cmbMeasureOutput");
    at_ = "cmbMeasureOutput";
    set(&R::measureOutput, output < 0 ? 0 : output);
    setChecked(&R::continuousOutput, "cbContinuousOutput");
    setChecked(&R::autostart, "cbAutostart");
    at_ = nullptr; // the menu's check marks
    set(&R::currentLoopFlags, (checked("CurrentLoopOn1") ? 1 : 0) + 2 * (checked("DisableFaultCurrent1") ? 1 : 0));
    static constexpr int32_t kDisplayOfButton[] = {1, 3, 2};
    if (const int display = radio({"rbDistance", "rbIntensity", "rbBothNumbers"}); display >= 0)
        set(&R::displayMode, kDisplayOfButton[display]);

    return (changed_ || forced_) ? 1 : 0;
}

} // namespace

int gatherSettings(DxuState& state, Ui& ui)
{
    return Gathering(state, ui, state.current(), state.editRecord).run();
}

std::vector<std::string> controlsDifferingFromUnit(DxuState& state, Ui& ui)
{
    std::vector<std::string> marks;
    UnitRecord flags = state.current(), edit;
    Gathering(state, ui, flags, edit, &marks).run();
    return marks;
}

void markChangedControls(DxuState& state, Ui& ui, std::vector<std::string>& marked)
{
    std::vector<std::string> now;
    if (state.connected && state.current().settingsRead)
        now = controlsDifferingFromUnit(state, ui);
    for (const std::string& name : marked)
        if (std::find(now.begin(), now.end(), name) == now.end())
            ui.setFontStyle(name, false, false, nullptr);
    for (const std::string& name : now)
        ui.setFontStyle(name, true, false, nullptr);
    marked = std::move(now);
}

} // namespace dxu
