#pragma once
// The window's subscriber for the buttons the unit's answers change: Upload
// and Save Settings, and what the status bar says of a save.
#include "protocol/dxustate.h"
#include "protocol/events.h"
#include "protocol/hooks.h"
#include "ui/services/ui.h"

#include <string>

namespace dxu {

class ControlLooks final : public UnitEvents {
public:
    // Colours of the unsaved look: the yellow text on a dark face, so that
    // it reads as well as any caption (contrast about 9:1).
    static constexpr Rgb UnsavedText = colors::Yellow;
    static constexpr Rgb UnsavedFace{64, 64, 64};

    ControlLooks(Ui& ui, const Hooks& hooks, const DxuState* state = nullptr) : ui_(ui), hooks_(hooks), st_(state) {}

    // Written settings are in the unit but not yet saved there; while the
    // communication setup is open its own buttons save them.
    void settingWritten(uint32_t) override { showSaveState(!hooks_.commSetupVisible()); }
    void nothingToUpload() override { ui_.setEnabled("pbUpload", false); }
    // Only the unit's OK to Save Settings makes the settings saved; a save
    // that failed, or is still on its way, leaves them unsaved.
    void settingsSaved() override
    {
        showSaveState(false);
        sayOfSave("Settings saved in the unit");
    }
    void settingsNotSaved() override { sayOfSave("Settings not saved in the unit: it did not confirm"); }

    // The one owner of pbSaveSettings' look: unsaved (enabled, bold italic,
    // yellow on dark) or saved (disabled, regular).
    void showSaveState(bool unsaved)
    {
        unsaved_ = unsaved;
        ui_.setEnabled("pbSaveSettings", unsaved);
        ui_.setFontStyle("pbSaveSettings", unsaved, unsaved, unsaved ? &UnsavedText : nullptr);
        if (unsaved) {
            ui_.setColor("pbSaveSettings", UnsavedFace);
            ui_.setStatusPanel(1, "");
        } else {
            ui_.setButtonFace("pbSaveSettings");
        }
        ui_.repaint("pbSaveSettings");
    }
    // Whether the unit on screen holds written settings it has not saved.
    bool unsaved() const { return unsaved_; }

private:
    // The status bar's free panel; on a line it names the unit's address.
    void sayOfSave(const char* text)
    {
        std::string s = std::string(" ") + text;
        if (st_ && st_->networkMode())
            s += std::string(" (address ") + st_->current().addressChar() + ")";
        ui_.setStatusPanel(1, s);
    }

    Ui& ui_;
    const Hooks& hooks_;
    const DxuState* st_;
    bool unsaved_ = false;
};

} // namespace dxu
