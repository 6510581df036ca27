#pragma once
// The window's subscriber for the buttons the unit's answers change: Upload
// and Save Settings.
#include "protocol/events.h"
#include "protocol/hooks.h"
#include "services/ui.h"

namespace dxu {

class ControlLooks final : public UnitEvents {
public:
    ControlLooks(Ui& ui, const Hooks& hooks) : ui_(ui), hooks_(hooks) {}

    // Written settings are in the unit but not yet saved there; while the
    // communication setup is open its own buttons save them.
    void settingWritten(uint32_t) override
    {
        if (hooks_.commSetupVisible()) {
            ui_.setFontStyle("pbSaveSettings", false, false, nullptr);
            ui_.setEnabled("pbSaveSettings", false);
        } else {
            ui_.setEnabled("pbSaveSettings", true);
            ui_.setFontStyle("pbSaveSettings", true, true, &colors::Yellow);
        }
    }
    void nothingToUpload() override { ui_.setEnabled("pbUpload", false); }
    // The unit's OK to Save Settings is what makes the button look saved; a
    // save that failed leaves it to be pressed again.
    void settingsSaved() override
    {
        ui_.setEnabled("pbSaveSettings", false);
        ui_.setFontStyle("pbSaveSettings", false, false, nullptr);
    }
    void settingsNotSaved() override { ui_.setEnabled("pbSaveSettings", true); }

private:
    Ui& ui_;
    const Hooks& hooks_;
};

} // namespace dxu
