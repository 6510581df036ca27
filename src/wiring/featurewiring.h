#pragma once
// Each feature's buttons and menu items of the main window, connected once to
// the module that acts on them, so the window keeps no one-line handlers.
// Secondary windows are looked up in windows when the item is chosen.
#include "wiring/secondarywindows.h"

#include <functional>
#include <memory>

class QWidget;

namespace dxu {

struct DxuState;
class CaptureLog;
class PcPort;
class Protocol;
class ResultDisplay;
class Session;
class SettingsPanel;
class SettingsTransfer;
class SetupFiles;
class TfrmCompare;
class Ui;
class UnitScan;

// The setup files with their open, save and report dialogs and the Compare
// view, all children of owner, whose title names the file.
struct SetupFileParts {
    std::unique_ptr<SetupFiles> files;
    TfrmCompare* compare = nullptr;
};
SetupFileParts makeSetupFiles(QWidget* owner, DxuState& state, Ui& ui, SettingsPanel& panel,
                              SettingsTransfer& transfer, std::function<void()> connectedLook);

// Connect, unit switching, measuring and reset; the display choice.
void wireSessionControls(Ui& ui, Session& session, Protocol& protocol, ResultDisplay& display);
// Upload, Save in the unit, the mode choice, More; the setup-file items. The
// current-loop switches upload at once (while connected) with their new check mark.
void wireSettingsControls(Ui& ui, DxuState& state, SettingsTransfer& transfer, SetupFiles& files,
                          SettingsPanel& panel);
// Capture: start, stop, view, and the stored "Log All" option.
void wireCaptureMenu(Ui& ui, DxuState& state, CaptureLog& capture, const SecondaryWindows& windows);
// The connections menu: the line kind, the network windows, the port setup
// and the stored "Status Requests" option; the current-loop windows.
void wireConnectionsMenu(Ui& ui, DxuState& state, PcPort& port, UnitScan& scan, const SecondaryWindows& windows);

} // namespace dxu
