#pragma once
// Rules of the measurement modes that the gathering and the panel share.
#include "services/ui.h"

#include <cstdint>

namespace dxu {

// Highest PRF of a measurement mode (1 and 4 Averaging/LastTarget, 2 Binning,
// 3 Detection Mode); 0 for no mode.
int32_t maxPrf(int32_t mode);
inline constexpr int32_t MinPrf = 10;

// Holds the PRF typed or chosen in cmbPRF to the limits of mode: a value out
// of range is replaced in the box by the limit, with a message.
void checkPrf(Ui& ui, int32_t value, int32_t mode);

} // namespace dxu
