#pragma once
// The settings panel's subscriber: a setting the parser read is shown on the
// panel where the panel's binding has controls for it.
#include "protocol/commandids.h"
#include "protocol/dxustate.h"
#include "protocol/events.h"
#include "protocol/settingcodes.h"
#include "ui/display/settingsview.h"
#include "ui/services/ui.h"
#include "ui/settings/panelbinding.h"

namespace dxu {

class PanelEvents final : public UnitEvents {
public:
    PanelEvents(const DxuState& state, Ui& ui, SettingsView& panel) : st_(state), ui_(ui), panel_(panel) {}

    void settingRead(const SettingCode& setting) override
    {
        if (setting.form == ReplyForm::Version)
            panel_.applyOldFirmwareLimits();
        if (onPanel(setting))
            panel_.showSetting(setting);
        if (setting.commandId == IdProcessing) {
            static constexpr const char* buttons[] = {"rbProcessingOff", "rbWindowingOn", "rbDampeningOn"};
            const int processing = st_.current().outputProcessing;
            if (processing >= 0 && processing < 3)
                ui_.setChecked(buttons[processing], true);
            panel_.refreshProcessingPanels();
        }
    }

private:
    const DxuState& st_;
    Ui& ui_;
    SettingsView& panel_;
};

} // namespace dxu
