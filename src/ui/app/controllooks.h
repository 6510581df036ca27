#pragma once
// The window's subscriber for the buttons the unit's answers change: Upload
// and Save Settings.
#include "protocol/events.h"
#include "protocol/hooks.h"
#include "ui/services/ui.h"

namespace dxu {

class ControlLooks final : public UnitEvents {
public:
    ControlLooks(Ui& ui, const Hooks& hooks) : ui_(ui), hooks_(hooks) {}

    // Written settings are in the unit but not yet saved there; while the
    // communication setup is open its own buttons save them.
    void settingWritten(uint32_t) override { showSaveState(!hooks_.commSetupVisible()); }
    void nothingToUpload() override { ui_.setEnabled("pbUpload", false); }
    // Only the unit's OK to Save Settings makes the settings saved; a save
    // that failed, or is still on its way, leaves them unsaved.
    void settingsSaved() override { showSaveState(false); }

    // The one owner of pbSaveSettings' look: unsaved (enabled, bold italic,
    // yellow) or saved (disabled, regular).
    void showSaveState(bool unsaved)
    {
        unsaved_ = unsaved;
        ui_.setEnabled("pbSaveSettings", unsaved);
        ui_.setFontStyle("pbSaveSettings", unsaved, unsaved, unsaved ? &colors::Yellow : nullptr);
        ui_.repaint("pbSaveSettings");
    }
    // Whether the unit on screen holds written settings it has not saved.
    bool unsaved() const { return unsaved_; }

private:
    Ui& ui_;
    const Hooks& hooks_;
    bool unsaved_ = false;
};

} // namespace dxu
