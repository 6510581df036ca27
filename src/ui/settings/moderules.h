#pragma once
// Rules of the measurement modes that the gathering and the panel share: the
// mode map (the mode's item in cmbMeasureMode, its panel) and the PRF limits,
// which come from the PF row of the setting-code table.
#include "ui/services/ui.h"

#include <cstdint>
#include <string>

namespace dxu {

struct ModeView {
    int32_t mode;      // 1 Averaging, 4 LastTarget, 2 Binning, 3 Detection Mode
    int item;          // its item in cmbMeasureMode
    const char* panel; // the panel of its own settings
};

// The view of a measurement mode; nullptr for a mode the program does not know.
const ModeView* modeView(int32_t mode);
// The mode of an item of cmbMeasureMode; Averaging for no item.
int32_t modeOfItem(int item);

// The PRF range of a measurement mode; 0 for no mode.
int32_t minPrf(int32_t mode);
int32_t maxPrf(int32_t mode);
// "Allowed 10..4000": the hint of the PRF box; empty for no mode.
std::string prfHint(int32_t mode);
// The texts of the PRF list of a mode: every standard rate up to its highest.
int prfItemCount(int32_t mode);
const char* prfItem(int index);

// Holds the PRF typed or chosen in cmbPRF to the limits of mode: a value out
// of range is replaced in the box by the limit, with a message.
void checkPrf(Ui& ui, int32_t value, int32_t mode);

} // namespace dxu
