#pragma once
// Editing a setup file with no unit connected. "Open Setup..." without a unit
// shows the file's settings in the panels for editing; the window says
// "Offline" and the file's name. Every check of an upload applies when the
// edits are saved, and only a file the program would open again is written.
// Nothing goes on the line: Upload, Save Settings and measuring stay off, and
// a mode change only changes the view. Connecting ends the offline editing:
// once the unit's settings are read, the file is offered against them as an
// opened file is (the Compare view, Upload of what differs).
#include "protocol/dxustate.h"
#include "protocol/events.h"
#include "ui/services/ui.h"

#include <QString>

#include <functional>

namespace dxu {

class Asker;
class SettingsPanel;
class SetupFiles;

class OfflineSetup final : public UnitEvents {
public:
    struct Calls {
        // Whether a port is open (connected or connecting).
        std::function<bool()> lineOpen;
        // The panels shown for editing, the controls that need a unit off.
        std::function<void()> showLook;
        std::function<void(const QString&)> setTitle;
    };

    OfflineSetup(DxuState& state, Ui& ui, SettingsPanel& panel, SetupFiles& files, Asker& asker, Calls calls);

    // A setup is open for editing without a unit.
    bool active() const { return active_; }
    // The File menu's items act here rather than on a unit: no unit is connected.
    bool takesFiles() const { return !st_.connected; }
    // The path of the setup being edited, and its settings as saved there.
    const QString& path() const { return path_; }
    const UnitRecord& saved() const { return base_; }

    void open();   // "&Open Setup..." without a unit
    void save();   // "&Save Setup"
    void saveAs(); // "Save Setup &As..."
    // cmbMeasureMode while offline: the views of the mode chosen, nothing sent.
    void modeChanged();
    // Whether the panel holds edits not saved to the file.
    bool unsaved();
    // Before the offline setup is closed (another file, connecting, the end
    // of the program): true when nothing is lost or the user agrees to lose it.
    bool confirmClose();
    // Before a connect: false when the user keeps the unsaved edits instead.
    bool beforeConnect();

    void connectAnswered() override;
    void connectUnanswered() override;
    void listEnded() override;

private:
    // Gathers the panel with every check of an upload and writes the file;
    // false when a check failed or the file could not be written (and said so).
    bool write(const QString& path);
    void showNamed();

    DxuState& st_;
    Ui& ui_;
    SettingsPanel& panel_;
    SetupFiles& files_;
    Asker& asker_;
    Calls calls_;
    bool active_ = false;
    // Offered to the unit once a connect has read its settings.
    bool offerAfterRead_ = false;
    QString path_;
    // The file as it is on disk.
    UnitRecord base_{};
};

} // namespace dxu
