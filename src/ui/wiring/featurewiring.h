#pragma once
// Each feature's buttons and menu items of the main window, connected once to
// the module that acts on them, so the window keeps no one-line handlers;
// the secondary windows bound to the modules. A secondary window is looked
// up in windows when its item is chosen.
#include "ui/wiring/secondarywindows.h"

#include <functional>
#include <memory>

class QWidget;

namespace dxu {

struct DxuState;
class CaptureLog;
class Engine;
class EventFanout;
class Hooks;
class LinkRelay;
class PcRateFollow;
class Protocol;
class ResultDisplay;
class OfflineSetup;
class Session;
class SettingsPanel;
class SettingsTransfer;
class SetupFiles;
class TfrmCompare;
class Ui;
class UnitScan;

// The setup files with their open, save and report dialogs and the Compare
// view, all children of owner (each made on its first use), whose title names
// the file.
struct SetupFileParts {
    std::unique_ptr<SetupFiles> files;
    // The Compare view, made now when it is not made yet.
    std::function<TfrmCompare*()> compare;
};
SetupFileParts makeSetupFiles(QWidget* owner, DxuState& state, Ui& ui, SettingsPanel& panel,
                              SettingsTransfer& transfer, std::function<void()> connectedLook);

// The modules the main window composes, as the wiring reaches them.
struct ModuleSet {
    DxuState& state;
    LinkRelay& link;
    Ui& ui;
    Hooks& hooks;
    Protocol& protocol;
    Engine& engine;
    Session& session;
    ResultDisplay& display;
    SettingsPanel& panel;
    SettingsTransfer& transfer;
    PcRateFollow& rateFollow;
    UnitScan& unitScan;
    CaptureLog& capture;
    SetupFiles& files;
    EventFanout& events;
    OfflineSetup& offline;
};

// Every feature's controls and menu items: connect, unit switching,
// measuring and reset, the display choice (the session's and the display's);
// upload, save in the unit, the mode choice, More and the setup files (the
// settings'); capture; the connections and current-loop menus; the terminal,
// the about box and the trend (made on first use, a child of owner).
void wireFeatures(const ModuleSet& m, const SecondaryWindows& windows, QWidget* owner);
// The secondary windows bound to the modules they act through.
void bindWindows(const ModuleSet& m, const SecondaryWindows& windows);

} // namespace dxu
