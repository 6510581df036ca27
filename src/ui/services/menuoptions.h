#pragma once
// An on/off option kept in the store under valueName and shown by the check
// mark of the menu item mirror. Reading takes the stored value into flag, or
// stores flag when there is none; storing takes flag from the check mark.
#include "ui/services/ui.h"

#include <cstdint>

namespace dxu {

void readStoredOption(Ui& ui, const char* valueName, int32_t& flag, const char* mirror);
void storeOption(Ui& ui, const char* valueName, int32_t& flag, const char* mirror);

} // namespace dxu
