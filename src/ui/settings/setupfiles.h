#pragma once
// The File menu's setup-file items: Open Setup (the file's settings offered
// against the unit's, with the Compare view), Save Setup, Save Setup As,
// Settings Report and Export Setup as Text. The files themselves are the
// core's (settings/setupfile.*, settings/setuptext.*); these choose the
// paths, show what was read and say what went wrong.
#include "settings/setupfile.h"
#include "ui/services/ui.h"

#include <QString>

#include <functional>
#include <vector>

namespace dxu {

// The File menu's setup-file items and the settings report.
class SetupFiles {
public:
    struct Calls {
        std::function<QString()> chooseOpen, chooseReport, chooseText;
        // The CfgSave dialog, proposing a file name (none when empty).
        std::function<QString(const QString& proposed)> chooseSave;
        // Shows an opened file's settings on the panel, pending for Upload.
        std::function<void(const UnitRecord&)> showFile;
        std::function<void()> showConnectedControls;
        // The settings a file would change, shown before they go to the unit;
        // connected: whether a unit is there to take them now.
        std::function<void(const std::vector<CompareRow>&, const QString& path, bool connected)> showCompare;
        std::function<void(const QString&)> setTitle;
    };

    SetupFiles(DxuState& state, Ui& ui, Calls calls);

    void open();   // "&Open Setup..."
    // "&Save Setup": into the setup file while it belongs to the unit on
    // screen; for another unit, as Save Setup As, proposing the file.
    void save();
    void saveAs(); // "Save Setup &As..."
    // The window title: the setup file's name while it belongs to the unit
    // on screen, else the program's name alone.
    void showTitle();
    // "Settings &Report..." and "Export Setup as Te&xt..." of the unit read;
    // offline, of the setup file being edited as it is saved (file, path).
    void saveReport(const UnitRecord* file = nullptr, const QString& path = {});
    void exportText(const UnitRecord* file = nullptr);
    // The settings of file (read from path) shown against the connected
    // unit's, pending for Upload, with the Compare view.
    void offer(const QString& path, const UnitRecord& file);
    // The CfgOpen and CfgSave dialogs; empty when cancelled.
    QString chooseOpenPath() const { return calls_.chooseOpen ? calls_.chooseOpen() : QString(); }
    QString chooseSavePath(const QString& proposed = {}) const
    {
        return calls_.chooseSave ? calls_.chooseSave(proposed) : QString();
    }

    // The setup file last opened or saved; empty at start.
    const QString& setupFileName() const { return fileName_; }

private:
    void named(const QString& path);
    void saveAs(const QString& proposed);
    // Which unit is on screen: its port and, on a line, its address; empty
    // while none is connected.
    QString unitShown() const;
    // Whether the unit on screen has been read; says so when not.
    bool settingsRead() const;
    QByteArray reportBytes() const;
    // Writes text to the file chosen, or says why it cannot (what: "settings
    // report"); of a unit only once its settings are read.
    void writeChosen(const std::function<QString()>& choose, const std::function<QByteArray()>& text, const char* what,
                     bool ofUnit = true);

    DxuState& st_;
    Ui& ui_;
    Calls calls_;
    QString fileName_;
    // The unit whose settings the file holds (unitShown() when it was
    // opened into it or saved from it).
    QString owner_;
};

} // namespace dxu
