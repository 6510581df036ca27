#include "ui/settings/gather.h"

#include "protocol/settingcodes.h"
#include "services/locale.h"
#include "ui/services/messages.h"
#include "ui/settings/moderules.h"
#include "ui/settings/panelbinding.h"
#include "settings/setupfile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

namespace dxu {
namespace {

using R = UnitRecord;

// A whole number held to what an integer field can take (a number typed
// with too many digits is not undefined).
int32_t wholeOf(double v)
{
    if (!(v == v))
        return 0;
    return static_cast<int32_t>(std::clamp(v, double(INT32_MIN), double(INT32_MAX)));
}

const SettingField& fieldOf(const char* code, int index = 0)
{
    return findSetting(code)->fields[static_cast<size_t>(index)];
}

// The panel read back into the working copy, row by row of the setting-code
// table: one loop for the plain fields, a named rule for the settings with
// rules of their own (units, mode, gates, PRF, dithering, target selector,
// display).
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
        edit_ = unit_;
        mode_ = modeOfItem(ui_.itemIndex("cmbMeasureMode"));
        for (const SettingCode& row : settingCodes())
            if (!gatherRow(row))
                return -1;
        if (file)
            takeUnshown(*file);
        return (changed_ || forced_) ? 1 : 0;
    }

private:
    bool gatherRow(const SettingCode& row);
    bool plain(const SettingField& f);
    bool gate(const SettingField& on, const SettingField& distance, bool emptyIsZero);
    bool prf();
    void dither();
    void takeUnshown(const UnitRecord& file);

    // Stores a value in editRecord and flags the field when it differs from
    // the unit's record.
    void set(const SettingField& f, double value)
    {
        seen_.push_back(f.changed);
        bool differs = false;
        if (f.intField) {
            edit_.*f.intField = wholeOf(value);
            differs = edit_.*f.intField != unit_.*f.intField;
        } else {
            edit_.*f.floatField = static_cast<float>(value);
            differs = floatDiffers(edit_.*f.floatField, unit_.*f.floatField);
        }
        if (differs)
            flag(f.changed);
    }
    void flag(int32_t R::*changed)
    {
        if (changed)
            flags_.*changed = 1;
        changed_ = true;
        mark(at_);
    }
    void mark(const char* control)
    {
        if (marks_ && control)
            marks_->emplace_back(control);
    }
    bool checked(const char* name) const { return name && ui_.isChecked(name); }
    // Index of the first checked button of the field's; -1 for none.
    int radio(const SettingField& f)
    {
        const auto& controls = bindingOf(f).controls;
        for (int i = 0; i < static_cast<int>(controls.size()); ++i)
            if (checked(controls[static_cast<size_t>(i)])) {
                at_ = controls[static_cast<size_t>(i)];
                return i;
            }
        return -1;
    }
    bool empty(const char* name) const { return ui_.text(name).empty(); }
    // A number typed in the field's box. Quietly, a text that is not one
    // marks the box and leaves out as it was.
    bool read(const SettingField& f, double& out);

    DxuState& st_;
    Ui& ui_;
    UnitRecord& unit_;
    UnitRecord& flags_;
    UnitRecord& edit_;
    std::vector<std::string>* marks_;
    int32_t mode_ = 1;
    const char* at_ = nullptr; // the control being gathered
    bool changed_ = false;
    bool forced_ = false;
    std::vector<int32_t R::*> seen_; // the changed flags of the settings the panel showed
};

bool Gathering::read(const SettingField& f, double& out)
{
    const FieldBinding& b = bindingOf(f);
    const char* name = b.controls[0];
    at_ = name;
    const QString text = QString::fromStdString(ui_.text(name));
    const QString caption = QLatin1String(f.caption ? f.caption : "");
    const bool whole = b.look == Look::Number || (b.look == Look::Own && f.intField);
    if (!marks_) {
        bool ok = false;
        if (whole) {
            int v = 0;
            ok = textToInt(text, v, caption);
            if (ok)
                out = v;
        } else {
            float v = 0;
            ok = textToFloat(text, v, caption);
            if (ok)
                out = v;
        }
        if (!ok)
            ui_.setFocus(name); // marked in bold until corrected
        return ok;
    }
    QString t = text.trimmed();
    bool ok = false;
    const double v = whole ? t.toInt(&ok, 10) : t.replace(decimalSeparator(), QLatin1Char('.')).toFloat(&ok);
    if (ok)
        out = v;
    else
        mark(name);
    return true;
}

bool Gathering::plain(const SettingField& f)
{
    const FieldBinding& b = bindingOf(f);
    const char* control = b.controls[0];
    at_ = control;
    switch (b.look) {
    case Look::Check:
        set(f, checked(control) ? 1 : 0);
        return true;
    case Look::Bits: {
        at_ = nullptr; // the menu's check marks
        int32_t bits = 0;
        for (size_t i = 0; i < b.controls.size(); ++i)
            bits |= checked(b.controls[i]) ? 1 << i : 0;
        set(f, bits);
        return true;
    }
    case Look::Choice:
        if (const int item = ui_.itemIndex(control); item >= 0)
            set(f, item);
        return true;
    case Look::Radio:
        if (const int index = radio(f); index >= 0)
            set(f, index);
        return true;
    default:
        break;
    }
    if (f.hasDefault && !marks_ && empty(control)) {
        std::string text = b.look == Look::Distance
                               ? QString::number(double(f.defaultValue), 'f', edit_.units == 1 ? 3 : 2).toStdString()
                               : std::to_string(wholeOf(f.defaultValue));
        toDecimalComma(text.data(), st_.decimalComma != 0);
        ui_.setText(control, text);
    }
    double value = f.intField ? edit_.*f.intField : edit_.*f.floatField;
    if (!read(f, value))
        return false;
    if (f.limited && value > f.max) {
        if (marks_) {
            mark(control);
        } else {
            showMessage(QStringLiteral("Error"), QStringLiteral("%1 cannot excced %2").arg(QLatin1String(f.caption)).arg(f.max));
            ui_.setFocus(control);
            return false;
        }
    }
    set(f, b.look == Look::Cycles ? std::trunc(value) : value);
    return true;
}

bool Gathering::gatherRow(const SettingCode& row)
{
    const std::string_view code = row.code;
    if (code == "MU") {
        at_ = "cbUnitsMeters";
        set(row.fields[0], checked("cbUnitsMeters") ? 1 : 0);
    } else if (code == "MM") {
        at_ = "cmbMeasureMode";
        set(row.fields[0], mode_);
    } else if (code == "EG") {
        // The gate distances follow their check boxes.
        if (!gate(row.fields[0], fieldOf("SG"), true) || !gate(row.fields[1], fieldOf("LG"), false))
            return false;
    } else if (code == "PF") {
        return prf();
    } else if (code == "DD") {
        if (bindingOf(row.fields[0]).editedIn(mode_))
            dither();
    } else if (code == "FA" && mode_ == 2 && ui_.itemIndex("cmbTargetSelector") < 0) {
        // Without a choice the selector is written as "First" in any case.
        at_ = "cmbTargetSelector";
        set(row.fields[0], 0);
        forced_ = true;
        return true;
    } else if (code == "DM") {
        static constexpr int32_t kDisplayOfButton[] = {1, 3, 2};
        if (const int display = radio(row.fields[0]); display >= 0)
            set(row.fields[0], kDisplayOfButton[display]);
    }
    for (int i = 0; i < row.fieldCount(); ++i) {
        const SettingField& f = row.fields[static_cast<size_t>(i)];
        if (bindingOf(f).plain() && bindingOf(f).editedIn(mode_) && !plain(f))
            return false;
    }
    return true;
}

bool Gathering::gate(const SettingField& on, const SettingField& distance, bool emptyIsZero)
{
    const char* box = bindingOf(on).controls[0];
    const char* edit = bindingOf(distance).controls[0];
    const bool isOn = checked(box);
    double value = edit_.*distance.floatField;
    if (isOn && !read(distance, value))
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

bool Gathering::prf()
{
    const SettingField& f = *fieldOfMode(*findSetting("PF"), mode_);
    double value = 0;
    if (!read(f, value))
        return false;
    if (!marks_) {
        checkPrf(ui_, wholeOf(value), mode_);
        if (!read(f, value))
            return false;
    } else {
        value = std::clamp(value, double(f.min), double(f.max));
    }
    at_ = "cmbPRF";
    set(f, value);
    if (mode_ == 3 && edit_.prfDetection != unit_.prfDetection)
        flag(fieldOf("TT").changed); // the unit takes the trip timeout as a count of these pulses
    return true;
}

void Gathering::dither()
{
    // The items of cmbDitherSteps are the choices of the steps, the first blank.
    const std::span<const Choice> choices = fieldOf("DD").choices;
    const int32_t on = checked("cbDither") ? 1 : 0;
    int32_t steps = edit_.ditherSteps;
    const int item = ui_.itemIndex("cmbDitherSteps");
    if (on && item >= 1 && item < static_cast<int>(choices.size()))
        steps = choices[static_cast<size_t>(item)].value;
    at_ = "cbDither";
    set(fieldOf("DD", 1), on);
    set(fieldOf("DD", 0), steps);
}

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
            flag(f.changed);
            if (f.intField == &R::prfDetection) {
                // The unit takes the trip timeout as a count of these pulses.
                edit_.tripTimeout = file.tripTimeout;
                flag(fieldOf("TT").changed);
            }
        }
    }
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

void ChangeMarks::remark(std::span<const char* const> controls)
{
    if (!state_.connected || !state_.current().settingsRead) {
        clear();
        return;
    }
    const std::vector<std::string> differing = controlsDifferingFromUnit(state_, ui_);
    for (const char* name : controls) {
        if (!name)
            continue;
        const bool bold = std::find(differing.begin(), differing.end(), name) != differing.end();
        const auto at = std::find(marked_.begin(), marked_.end(), name);
        if (bold == (at != marked_.end()))
            continue;
        ui_.setFontStyle(name, bold, false, nullptr);
        if (bold)
            marked_.emplace_back(name);
        else
            marked_.erase(at);
    }
}

void ChangeMarks::remarkAll()
{
    std::vector<std::string> now;
    if (state_.connected && state_.current().settingsRead)
        now = controlsDifferingFromUnit(state_, ui_);
    for (const std::string& name : marked_)
        if (std::find(now.begin(), now.end(), name) == now.end())
            ui_.setFontStyle(name, false, false, nullptr);
    for (const std::string& name : now)
        ui_.setFontStyle(name, true, false, nullptr);
    marked_ = std::move(now);
}

void ChangeMarks::clear()
{
    for (const std::string& name : marked_)
        ui_.setFontStyle(name, false, false, nullptr);
    marked_.clear();
}

} // namespace dxu
