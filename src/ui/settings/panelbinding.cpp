#include "ui/settings/panelbinding.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <vector>

namespace dxu {
namespace {

// A field bound to its control(s), edited in modes.
constexpr FieldBinding on(Look look, std::array<const char*, 3> controls, uint8_t modes = AllModes)
{
    return {look, controls, modes};
}

// A number typed in an edit box.
constexpr FieldBinding typed(Look look, const char* control, uint8_t modes = AllModes)
{
    return {look, {control}, modes};
}

constexpr Look Own = Look::Own, Number = Look::Number, Distance = Look::Distance, Tenths = Look::Tenths,
               Check = Look::Check, Choice = Look::Choice, Radio = Look::Radio;
constexpr uint8_t ShownOnly = 0; // edited in another window
constexpr uint8_t ByRule = 0;    // read by its row's rule (the gates)

// clang-format off
constexpr PanelRow kPanel[] = {
 {"UA", {on(Own, {"lblCurrAddress"}, ShownOnly)}},
 {"MM", {on(Own, {"cmbMeasureMode"})}},
 {"MU", {on(Own, {"cbUnitsMeters", "cbUnitsFeet"})}},
 {"EG", {on(Check, {"cbShortGate"}, ByRule), on(Check, {"cbLongGate"}, ByRule), on(Check, {"cbSuccessiveGate"}, LastTarget)}},
 {"SG", {typed(Distance, "edShortGate", ByRule)}},
 {"LG", {typed(Distance, "edLongGate", ByRule)}},
 {"CG", {on(Check, {"cbCheckGate"})}},
 {"OF", {typed(Distance, "edOffsetDistance")}},
 {"PL", {on(Radio, {"rbHigh", "rbMedium", "rbLow"})}},
 {"FL", {on(Check, {"cbTarget"})}},
 {"MP", {typed(Number, "edMinIntensity")}},
 {"XP", {typed(Number, "edMaxIntensity")}},
 {"TE", {on(Check, {"cbTermination"})}},
 {"PF", {typed(Own, "cmbPRF", Ranging), typed(Own, "cmbPRF", Binning), typed(Own, "cmbPRF", Detection)}},
 {"PO", {typed(Number, "edPulsesperMeasure", Ranging), typed(Number, "edPulsesperMeasure", Binning)}},
 {"AW", {typed(Number, "edPulsesRequired", Ranging)}},
 {"DD", {on(Own, {"cmbDitherSteps"}, Averaging), on(Own, {"cbDither"}, Averaging)}},
 {"AB", {typed(Number, "edAverageBounds", Averaging)}},
 {"IL", {typed(Number, "edInitialLock", Averaging)}},
 {"FA", {on(Choice, {"cmbTargetSelector"}, Binning)}},
 {"BH", {typed(Number, "edBinHits", Binning)}},
 {"BS", {on(Choice, {"cmbBinSize"}, Binning)}},
 {"LA", {on(Radio, {"rbRelative", "rbAbsolute"}, Detection)}},
 {"TP", {typed(Distance, "edTripPoint", Detection)}},
 {"TT", {typed(Tenths, "edTripTimeout", Detection)}},
 {"FT", {typed(Number, "edFlyerTrap", Detection)}},
 {"MX", {typed(Number, "edMaxFalsePulses", Detection)}},
 {"CT", {typed(Number, "edMinTripPulses", Detection)}},
 {"TB", {on(Check, {"cbOutputTBE"}, Detection)}},
 {"OP", {on(Radio, {"rbProcessingOff", "rbWindowingOn", "rbDampeningOn"})}},
 {"CE", {on(Check, {"cbCosineOn"})}},
 {"CV", {typed(Number, "edCosineFactor")}},
 {"WT", {typed(Look::Cycles, "edErrorTimeout")}},
 {"WV", {typed(Distance, "edWindowWidth")}},
 {"DS", {typed(Number, "edNumberofSamples")}},
 {"DR", {typed(Number, "edNumberofErrors"), typed(Distance, "edErrorRangeDifference")}},
 {"AL", {on(Distance, {"edAnalogLow"}, ShownOnly)}},
 {"AH", {on(Distance, {"edAnalogHigh"}, ShownOnly)}},
 {"AF", {on(Tenths, {"edFaultIndication"}, ShownOnly)}},
 {"AT", {on(Tenths, {"edFaultTimeout"}, ShownOnly)}},
 {"CL", {on(Look::Bits, {"CurrentLoopOn1", "DisableFaultCurrent1"})}},
 {"MO", {on(Choice, {"cmbMeasureOutput"})}},
 {"CO", {on(Check, {"cbContinuousOutput"})}},
 {"MA", {on(Check, {"cbAutostart"})}},
 {"DM", {on(Own, {"rbDistance", "rbIntensity", "rbBothNumbers"})}},
};
// clang-format on

constexpr FieldBinding kUnbound{};

// The binding of every field of the setting-code table, row by row, three
// to a row.
const std::vector<const FieldBinding*>& bindingsByField()
{
    static const std::vector<const FieldBinding*> byField = [] {
        std::vector<const FieldBinding*> list;
        for (const SettingCode& row : settingCodes()) {
            const PanelRow* bound = nullptr;
            for (const PanelRow& p : kPanel)
                if (std::string_view(p.code) == row.code)
                    bound = &p;
            for (size_t i = 0; i < row.fields.size(); ++i)
                list.push_back(bound ? &bound->fields[i] : &kUnbound);
        }
        return list;
    }();
    return byField;
}

} // namespace

std::span<const PanelRow> panelRows() { return kPanel; }

bool onPanel(const SettingCode& row)
{
    return std::any_of(std::begin(kPanel), std::end(kPanel),
                       [&](const PanelRow& p) { return std::string_view(p.code) == row.code; });
}

const FieldBinding& bindingOf(const SettingField& field)
{
    const std::span<const SettingCode> rows = settingCodes();
    for (size_t r = 0; r < rows.size(); ++r) {
        const SettingField* first = rows[r].fields.data();
        if (std::greater_equal<const SettingField*>()(&field, first)
            && std::less<const SettingField*>()(&field, first + rows[r].fields.size()))
            return *bindingsByField()[r * rows[r].fields.size() + static_cast<size_t>(&field - first)];
    }
    return kUnbound;
}

} // namespace dxu
