#include "settings/gather.h"

#include "protocol/settingcodes.h"
#include "services/messages.h"
#include "settings/moderules.h"

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
    Gathering(DxuState& st, Ui& ui) : st_(st), ui_(ui), unit_(st.current()), edit_(st.editRecord) {}

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
            unit_.*flag = 1;
        changed_ = true;
    }
    bool checked(const char* name) const { return ui_.isChecked(name); }
    void setChecked(int32_t R::*field, const char* box) { set(field, checked(box) ? 1 : 0); }
    // Index of the first checked radio button of names; -1 for none.
    int radio(std::initializer_list<const char*> names) const
    {
        int i = 0;
        for (const char* n : names) {
            if (checked(n))
                return i;
            ++i;
        }
        return -1;
    }
    bool empty(const char* name) const { return ui_.text(name).empty(); }
    void fillEmpty(const char* name, const char* text)
    {
        if (empty(name))
            ui_.setText(name, text);
    }
    bool readInt(const char* name, int& out) const
    {
        return textToInt(QString::fromStdString(ui_.text(name)), out);
    }
    bool readFloat(const char* name, float& out) const
    {
        return textToFloat(QString::fromStdString(ui_.text(name)), out);
    }
    bool gatherInt(int32_t R::*field, const char* box)
    {
        int v = 0;
        if (!readInt(box, v))
            return false;
        set(field, v);
        return true;
    }
    bool gatherFloat(float R::*field, const char* box)
    {
        float v = 0;
        if (!readFloat(box, v))
            return false;
        set(field, v);
        return true;
    }
    bool gatherInts(std::initializer_list<std::pair<int32_t R::*, const char*>> rows)
    {
        for (const auto& [field, box] : rows)
            if (!gatherInt(field, box))
                return false;
        return true;
    }
    bool gate(int32_t R::*on, float R::*distance, const char* box, const char* edit, bool emptyIsZero);
    bool modeSettings(int32_t mode, int32_t prf);
    void dither();

    DxuState& st_;
    Ui& ui_;
    UnitRecord& unit_;
    UnitRecord& edit_;
    bool changed_ = false;
    bool forced_ = false;
};

bool Gathering::gate(int32_t R::*on, float R::*distance, const char* box, const char* edit, bool emptyIsZero)
{
    const bool isOn = checked(box);
    float value = edit_.*distance;
    if (isOn && !readFloat(edit, value))
        return false;
    if (emptyIsZero && empty(edit))
        value = 0;
    set(on, isOn ? 1 : 0);
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
        if (!gatherInt(&R::pulsesBinning, "edPulsesperMeasure"))
            return false;
        set(&R::binSize, ui_.itemIndex("cmbBinSize"));
        int hits = 0;
        if (!readInt("edBinHits", hits))
            return false;
        if (hits > 255) {
            showMessage(QStringLiteral("Error"), QStringLiteral("Bin Hits cannot excced 255"));
            return false;
        }
        set(&R::binHits, hits);
        const int selector = ui_.itemIndex("cmbTargetSelector");
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
        if (!gatherFloat(&R::tripPoint, "edTripPoint"))
            return false;
        if (!gatherInts({{&R::maxFalsePulses, "edMaxFalsePulses"},
                         {&R::minTripPulses, "edMinTripPulses"},
                         {&R::flyerTrap, "edFlyerTrap"}}))
            return false;
        if (!gatherFloat(&R::tripTimeout, "edTripTimeout"))
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
    set(&R::units, checked("cbUnitsMeters") ? 1 : 0);
    if (!gate(&R::shortGateOn, &R::shortGate, "cbShortGate", "edShortGate", true)
        || !gate(&R::longGateOn, &R::longGate, "cbLongGate", "edLongGate", false))
        return 0;
    setChecked(&R::checkGate, "cbCheckGate");

    if (empty("edOffsetDistance")) {
        const bool metres = edit_.units == 1;
        ui_.setText("edOffsetDistance", st_.decimalComma ? (metres ? "0,000" : "0,00") : (metres ? "0.000" : "0.00"));
    }
    if (!gatherFloat(&R::offsetDistance, "edOffsetDistance"))
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
    set(&R::measureMode, mode);

    fillEmpty("edPulsesperMeasure", "32");
    fillEmpty("edTripPoint", "1");
    fillEmpty("edBinHits", "4");

    int prf = 0;
    if (!readInt("cmbPRF", prf))
        return 0;
    checkPrf(ui_, prf, mode);
    if (!readInt("cmbPRF", prf))
        return 0;
    if (!modeSettings(mode, prf))
        return 0;

    setChecked(&R::cosineOn, "cbCosineOn");
    if (!gatherInt(&R::cosineFactor, "edCosineFactor"))
        return 0;
    if (const int processing = radio({"rbProcessingOff", "rbWindowingOn", "rbDampeningOn"}); processing >= 0)
        set(&R::outputProcessing, processing);
    if (!gatherFloat(&R::dampErrorRange, "edErrorRangeDifference") || !gatherFloat(&R::windowWidth, "edWindowWidth")
        || !gatherInts({{&R::dampSamples, "edNumberofSamples"}, {&R::dampErrorTimeout, "edNumberofErrors"}}))
        return 0;
    float cycles = 0;
    if (!readFloat("edErrorTimeout", cycles))
        return 0;
    set(&R::windowErrorTimeout, static_cast<int32_t>(std::trunc(cycles)));
    const int output = ui_.itemIndex("cmbMeasureOutput");
    set(&R::measureOutput, output < 0 ? 0 : output);
    setChecked(&R::continuousOutput, "cbContinuousOutput");
    setChecked(&R::autostart, "cbAutostart");
    set(&R::currentLoopFlags, (checked("CurrentLoopOn1") ? 1 : 0) + 2 * (checked("DisableFaultCurrent1") ? 1 : 0));
    static constexpr int32_t kDisplayOfButton[] = {1, 3, 2};
    if (const int display = radio({"rbDistance", "rbIntensity", "rbBothNumbers"}); display >= 0)
        set(&R::displayMode, kDisplayOfButton[display]);

    return (changed_ || forced_) ? 1 : 0;
}

} // namespace

int gatherSettings(DxuState& state, Ui& ui)
{
    return Gathering(state, ui).run();
}

} // namespace dxu
