#include "settings/gather.h"

#include "protocol/settingcodes.h"
#include "services/locale.h"
#include "services/messages.h"
#include "settings/moderules.h"
#include "settings/setupfile.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>
#include <string_view>

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

// The caption a refused number is named by, as the panel labels its box.
QString captionOf(const char* control)
{
    static constexpr struct {
        const char* control;
        const char* caption;
    } kCaptions[] = {
        {"edShortGate", "Short Gate"},
        {"edLongGate", "Long Gate"},
        {"edOffsetDistance", "Offset Distance"},
        {"edMinIntensity", "Intensity Rejection Min"},
        {"edMaxIntensity", "Intensity Rejection Max"},
        {"cmbPRF", "PRF"},
        {"edPulsesperMeasure", "Pulses/Measure"},
        {"edPulsesRequired", "Required Dither Pulses"},
        {"edAverageBounds", "Average Bounds"},
        {"edInitialLock", "Initial Lock"},
        {"edBinHits", "Bin Hits"},
        {"edTripPoint", "Trip Point"},
        {"edMaxFalsePulses", "Max False Pulses"},
        {"edMinTripPulses", "Min Trip Pulses"},
        {"edFlyerTrap", "Flyer Trap"},
        {"edTripTimeout", "Trip Timeout"},
        {"edCosineFactor", "Cosine Factor"},
        {"edErrorRangeDifference", "Error Range Difference"},
        {"edWindowWidth", "Window Width"},
        {"edNumberofSamples", "Number of Samples"},
        {"edNumberofErrors", "Number of Errors"},
        {"edErrorTimeout", "Error Timeout"},
    };
    for (const auto& c : kCaptions)
        if (std::string_view(c.control) == control)
            return QLatin1String(c.caption);
    return {};
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

    // 1 when something is to be written, 0 when nothing differs, -1 when a
    // value could not be read or a check failed (the user has been told).
    // With file, the file's settings that the panel does not show count too.
    int run(const UnitRecord* file = nullptr)
    {
        const int result = runPanel();
        if (result < 0 || !file)
            return result;
        takeUnshown(*file);
        return (changed_ || forced_) ? 1 : 0;
    }

private:
    int runPanel();
    // Stores a value in editRecord and flags the field when it differs from
    // the unit's record.
    void set(int32_t R::*field, int32_t value) { set(field, value, changedFlagOf(field)); }
    void set(int32_t R::*field, int32_t value, int32_t R::*flag)
    {
        seen_.push_back(flag);
        edit_.*field = value;
        if (value != unit_.*field)
            flag_(flag);
    }
    void set(float R::*field, float value)
    {
        seen_.push_back(changedFlagOf(field));
        edit_.*field = value;
        if (floatDiffers(value, unit_.*field))
            flag_(changedFlagOf(field));
    }
    // The settings of a file that the panel does not show (another mode's,
    // the current loop's) where they differ from the unit.
    void takeUnshown(const UnitRecord& file);
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
            bool ok = false;
            if constexpr (std::is_same_v<T, float>)
                ok = textToFloat(text, out, captionOf(name));
            else
                ok = textToInt(text, out, captionOf(name));
            if (!ok)
                ui_.setFocus(name); // marked in bold until corrected
            return ok;
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
    std::vector<int32_t R::*> seen_; // the changed flags of the settings the panel showed
};

void Gathering::takeUnshown(const UnitRecord& file)
{
    at_ = nullptr;
    for (const SettingCode& row : settingCodes()) {
        if (!carriedByFile(row))
            continue;
        for (int i = 0; i < row.fieldCount(); ++i) {
            const SettingField& f = row.fields[static_cast<size_t>(i)];
            if (std::find(seen_.begin(), seen_.end(), f.changed) != seen_.end())
                continue;
            const bool differs = f.intField ? file.*f.intField != unit_.*f.intField
                                            : floatDiffers(file.*f.floatField, unit_.*f.floatField);
            if (!differs)
                continue;
            if (f.intField)
                edit_.*f.intField = file.*f.intField;
            else
                edit_.*f.floatField = file.*f.floatField;
            flag_(f.changed);
            if (f.intField == &R::prfDetection) {
                // The unit takes the trip timeout as a count of these pulses.
                edit_.tripTimeout = file.tripTimeout;
                flag_(changedFlagOf(&R::tripTimeout));
            }
        }
    }
}

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
    // The distance of a gate that is off is not on the panel.
    if (!isOn && !(emptyIsZero && empty(edit)))
        return true;
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
            ui_.setFocus("edBinHits");
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
        seen_.push_back(changedFlagOf(&R::prfDetection));
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

int Gathering::runPanel()
{
    edit_ = unit_;
    at_ = "cbUnitsMeters";
    set(&R::units, checked("cbUnitsMeters") ? 1 : 0);
    if (!gate(&R::shortGateOn, &R::shortGate, "cbShortGate", "edShortGate", true)
        || !gate(&R::longGateOn, &R::longGate, "cbLongGate", "edLongGate", false))
        return -1;
    setChecked(&R::checkGate, "cbCheckGate");

    if (!marks_ && empty("edOffsetDistance")) {
        const bool metres = edit_.units == 1;
        ui_.setText("edOffsetDistance", st_.decimalComma ? (metres ? "0,000" : "0,00") : (metres ? "0.000" : "0.00"));
    }
    if (!gather(&R::offsetDistance, "edOffsetDistance"))
        return -1;

    if (const int power = radio({"rbHigh", "rbMedium", "rbLow"}); power >= 0)
        set(&R::powerLevel, power);
    setChecked(&R::cooperativeTarget, "cbTarget");
    setChecked(&R::termination, "cbTermination");
    if (!gatherInts({{&R::minIntensity, "edMinIntensity"}, {&R::maxIntensity, "edMaxIntensity"}}))
        return -1;

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
        return -1;
    if (!marks_) {
        checkPrf(ui_, prf, mode);
        if (!read("cmbPRF", prf))
            return -1;
    } else if (maxPrf(mode) != 0) {
        prf = std::clamp(prf, MinPrf, maxPrf(mode));
    }
    at_ = "cmbPRF";
    if (!modeSettings(mode, prf))
        return -1;

    setChecked(&R::cosineOn, "cbCosineOn");
    if (!gather(&R::cosineFactor, "edCosineFactor"))
        return -1;
    if (const int processing = radio({"rbProcessingOff", "rbWindowingOn", "rbDampeningOn"}); processing >= 0)
        set(&R::outputProcessing, processing);
    if (!gather(&R::dampErrorRange, "edErrorRangeDifference") || !gather(&R::windowWidth, "edWindowWidth")
        || !gatherInts({{&R::dampSamples, "edNumberofSamples"}, {&R::dampErrorTimeout, "edNumberofErrors"}}))
        return -1;
    float cycles = 0;
    if (!read("edErrorTimeout", cycles))
        return -1;
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

int gatherSettings(DxuState& state, Ui& ui, const UnitRecord* file)
{
    return Gathering(state, ui, state.current(), state.editRecord).run(file);
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
