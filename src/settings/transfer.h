#pragma once
// Moving settings between the panel and the unit: the upload of every changed
// setting (in the setting-code table's upload order, each write read back
// afterwards by the engine), Save in the unit (SU), and the mode write that
// does not wait for Upload. Runs without widgets: the controls are reached by
// name and the gathering of the panel is handed in.
#include "protocol/dxustate.h"
#include "services/ui.h"

#include <functional>

namespace dxu {

class Engine;

// Queues one write per changed setting, clearing its flags, and starts the
// queue; false when nothing was to be written (status requests may go on).
// A changed pulse rate or pulse count of a mode other than the one the unit
// is to end in is written while the unit is switched to that mode; the unit
// then ends in the mode of editRecord (when the mode changed) or its own.
bool startUpload(DxuState& st, Engine& engine);
// Queues SU: the unit stores its working settings.
void startSave(DxuState& st, Engine& engine);

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
