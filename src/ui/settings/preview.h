#pragma once
// A look at the connected window without a unit, for screenshots and layout
// checks (DXU_SHOW_ALL_PANELS).
#include "protocol/dxustate.h"
#include "protocol/hooks.h"
#include "ui/services/ui.h"
#include "ui/settings/settingspanel.h"

#include <string>

namespace dxu {

// choice: <measurement mode>[,<output processing>[,n (network) m (more)]].
void previewConnectedLook(DxuState& st, Ui& top, Hooks& hooks, SettingsPanel& panel, const std::string& choice);

} // namespace dxu
