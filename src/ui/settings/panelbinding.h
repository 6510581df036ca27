#pragma once
// Which controls of the settings panel show each field of the setting-code
// table: its look, its control(s) and the measurement modes in which the
// panel's one loop reads it back. Keyed by the setting's code; the
// setting-code table itself (protocol/settingcodes.*) keeps everything else
// about it: what the unit means by it, its caption, its values and the value
// an empty box takes.
#include "protocol/settingcodes.h"

#include <array>
#include <cstdint>
#include <span>

namespace dxu {

// How the settings panel presents a record field.
enum class Look : uint8_t {
    None,     // not on the panel
    Own,      // shown and gathered by rules of its own
    Number,   // a whole number in an edit box
    Cycles,   // a whole number typed as a number with decimals (cut to whole)
    Distance, // metres with three decimals, feet with two
    Tenths,   // a number with one decimal
    Check,    // a check box: 1 checked, 0 not
    Choice,   // an item of a list: its index
    Radio,    // one of up to three buttons: the index of the checked one
    Bits,     // check boxes, each one bit of the value (bit 0 the first)
};

// The measurement modes in which the panel shows a field for editing: bit n
// for mode n (1 Averaging, 2 Binning, 3 Detection Mode, 4 LastTarget).
inline constexpr uint8_t modeBit(int32_t mode) { return mode >= 1 && mode <= 4 ? uint8_t(1u << mode) : 0; }
inline constexpr uint8_t Averaging = modeBit(1), Binning = modeBit(2), Detection = modeBit(3), LastTarget = modeBit(4);
inline constexpr uint8_t Ranging = Averaging | LastTarget;
inline constexpr uint8_t AllModes = Ranging | Binning | Detection;

struct FieldBinding {
    Look look = Look::None;
    std::array<const char*, 3> controls = {};
    uint8_t modes = 0; // none: shown only, or read by a rule of its row

    bool editedIn(int32_t mode) const { return (modes & modeBit(mode)) != 0; }
    bool plain() const { return look != Look::None && look != Look::Own; }
};

// The panel's binding of a row's fields, in the order of the row's fields.
struct PanelRow {
    const char* code;
    std::array<FieldBinding, 3> fields;
};

// Every bound row.
std::span<const PanelRow> panelRows();
// Whether the panel shows a row of the setting-code table.
bool onPanel(const SettingCode& row);
// The binding of a field of the setting-code table (look None for a field
// the panel does not show).
const FieldBinding& bindingOf(const SettingField& field);

} // namespace dxu
