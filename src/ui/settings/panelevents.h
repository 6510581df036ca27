#pragma once
// The settings panel's subscriber: a setting the parser read runs the show
// functions its row of the setting-code table names.
#include "protocol/commandids.h"
#include "protocol/dxustate.h"
#include "protocol/events.h"
#include "protocol/settingcodes.h"
#include "protocol/settingsview.h"
#include "ui/services/ui.h"

namespace dxu {

class PanelEvents final : public UnitEvents {
public:
    PanelEvents(const DxuState& state, Ui& ui, SettingsView& panel) : st_(state), ui_(ui), panel_(panel) {}

    void settingRead(const SettingCode& setting) override
    {
        if (setting.form == ReplyForm::Version)
            panel_.applyOldFirmwareLimits();
        for (ShowFunction show : setting.show)
            if (show)
                (panel_.*show)();
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
