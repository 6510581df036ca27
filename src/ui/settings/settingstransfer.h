#pragma once
// The buttons that move settings between the panel and the unit: Upload
// (the panel gathered, then what differs uploaded), Save Settings, and the
// mode choice written at once. The upload, the save and the mode write are
// the core's (settings/transfer.*).
#include "settings/transfer.h"
#include "ui/services/ui.h"

#include <functional>

namespace dxu {

class Engine;

class SettingsTransfer {
public:
    // gather fills editRecord from the panel and sets the changed flags; it
    // returns 1 when something is to be written, 0 when nothing differs, -1
    // when a check failed (and said so).
    using Gather = std::function<int()>;

    SettingsTransfer(DxuState& state, Engine& engine, Ui& ui, Gather gather);
    SettingsTransfer(const SettingsTransfer&) = delete;
    SettingsTransfer& operator=(const SettingsTransfer&) = delete;

    // pbUpload: gather the panel and upload what differs.
    void uploadClicked();
    // Queues one write per changed setting, clearing its flags, and starts the
    // queue; with nothing to write Upload is greyed instead.
    void queueUpload();
    // pbSaveSettings: the unit stores its working settings.
    void saveClicked();
    // cmbMeasureMode: the chosen mode is written at once.
    void measureModeChanged();

private:
    DxuState& st_;
    Engine& engine_;
    Ui& ui_;
    Gather gather_;
};

} // namespace dxu
