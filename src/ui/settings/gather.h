#pragma once
// Gathering the settings panel into the working copy: every control of the
// current mode is read back into editRecord, as the setting-code table binds
// it (empty boxes get their defaults first), the PRF is held to the mode's
// limits, and the changed flag of every field that differs from the unit's
// record is set. And the marks of the controls that differ from the unit.
#include "protocol/dxustate.h"
#include "ui/services/ui.h"

#include <span>
#include <string>
#include <vector>

namespace dxu {

// 1 when at least one changed flag was set (or the target selector had no
// choice, which is always written); 0 when nothing differs; -1 when a number
// could not be read or a check failed, and the user has been told why. Flags
// set before a failure stay set. file: an opened setup file shown on the
// panel, whose settings the panel does not show (another mode's, the current
// loop's) are taken where they differ from the unit.
int gatherSettings(DxuState& state, Ui& ui, const UnitRecord* file = nullptr);

// The controls whose value differs from what the unit holds, or cannot be
// read, as an upload would find them; shows nothing and changes nothing.
std::vector<std::string> controlsDifferingFromUnit(DxuState& state, Ui& ui);
// A control is bold while it differs from what the unit holds (while
// connected to a unit that was read): a change marks its own control, and
// showing the unit's settings marks them all again.
class ChangeMarks {
public:
    ChangeMarks(DxuState& state, Ui& ui) : state_(state), ui_(ui) {}
    // Marks or unmarks these controls.
    void remark(std::span<const char* const> controls);
    // Marks every control that differs and unmarks the others.
    void remarkAll();
    // Every control in the regular font again.
    void clear();

private:
    DxuState& state_;
    Ui& ui_;
    std::vector<std::string> marked_;
};

} // namespace dxu
