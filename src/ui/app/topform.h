#pragma once
// The main window: the settings panels, the display panel with its buttons,
// the menus and the status bar. It composes the modules, owns the state they
// share and gives them its controls by name (Ui); their calls on the windows
// go through the hooks router.
#include "ui/app/boxasker.h"
#include "ui/app/controllooks.h"
#include "ui/app/sessionlooks.h"
#include "ui/app/widgetui.h"
#include "ui/services/cursor.h"
#include "ui/display/resultpanel.h"
#include "ports/pcport.h"
#include "protocol/dxustate.h"
#include "protocol/events.h"
#include "serial/commlink.h"
#include "ui/settings/panelevents.h"
#include "ui/wiring/featurewiring.h"
#include "ui/wiring/hooksrouter.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class QTimer;

namespace dxu {

// Besides the modules named in the wiring:
class OfflineSetup;
class LineOverview;
class TfrmLineBackup;
class RateSearch;
class StatusStrip;
class TCommPortDriver;

class TTopForm : public QMainWindow, public WidgetUi {
    Q_OBJECT
public:
    using Windows = SecondaryWindows;
    // Logical dots per inch of the screen the window opens on.
    using DpiQuery = std::function<double()>;

    explicit TTopForm(QWidget* parent = nullptr);
    ~TTopForm() override;

    DxuState& state() { return state_; }
    const DxuState& state() const { return state_; }

    // Secondary windows made elsewhere (tests), bound to the modules here;
    // no others are made.
    void attachWindows(const Windows& windows);
    // From now on each secondary window is made, as a child of this one and
    // bound to the modules, when it is first used (the program's way).
    void makeWindowsOnFirstUse();
    // Every secondary window, those not made yet made now in the program's
    // order of old; the program itself makes each only on its first use.
    const Windows& windows();
    // The serial link everything goes through. By default the window's own
    // driver CommPort; a test may put another link in its place (not owned;
    // nullptr puts the driver back).
    void setCommPort(CommLink* port);
    CommLink* commPort() const { return commPort_; }
    TCommPortDriver& driver() { return *CommPort; }
    // Whether port "COM n" can be opened now (by default: it exists and no
    // other program holds it).
    void setPortCheck(HooksRouter::PortCheck check) { hooks_.parts().portCheck = std::move(check); }
    void setDpiQuery(DpiQuery query) { dpiQuery_ = std::move(query); }

    Hooks& hooks() { return hooks_; }
    Protocol& protocol() { return *protocol_; }
    SettingsPanel& settingsPanel() { return *panel_; }
    Session& session() { return *session_; }
    // The Upload and Save Settings buttons, and whether the unit holds unsaved settings.
    ControlLooks& controlLooks() { return *controlLooks_; }
    Engine& engine() { return *engine_; }
    SettingsTransfer& settingsTransfer() { return *transfer_; }
    SetupFiles& setupFiles() { return *setupFiles_; }
    CaptureLog& captureLog() { return *capture_; }
    OfflineSetup& offlineSetup() { return *offline_; }
    LineOverview& lineOverview() { return *lineOverview_; }
    // The line's backup window and the Compare view, made now when not yet.
    TfrmLineBackup* lineBackup();
    TfrmCompare* compareView() const { return compare_(); }

    // Fixed control sets.
    void showDisconnectedControls();
    void showConnectedControls();
    // A setup edited without a unit: the panels, and nothing that needs a unit.
    void showOfflineControls();
    void hideResultWidgets();
    // Before the program ends or the unit is disconnected. True for Yes.
    bool unsavedChangesPrompt(UnsavedMoment moment);
    // Sizes the window for the screen (also run when the window is shown).
    void FormShow();

    // Access to the controls by objectName. QWidget's own functions of the
    // same names stay available.
    using QMainWindow::isEnabled;
    using QMainWindow::isVisible;
    using QMainWindow::repaint;
    using QMainWindow::setEnabled;
    using QMainWindow::setVisible;
    using WidgetUi::isEnabled;
    using WidgetUi::isVisible;
    using WidgetUi::repaint;
    using WidgetUi::setEnabled;
    using WidgetUi::setVisible;
    void setStatusPanel(int index, std::string_view text) override;
    void setProgress(std::string_view text, int value, int maximum) override;
    // The control of that name, wherever it lives (nullptr when there is none).
    QObject* control(std::string_view name) const override;
    QTimer* pollTimer() const { return PollTimer; }

signals:
    // The user ended the program (Exit or the close button).
    void terminateRequested();

public slots:
    void Exit1Click();
    // The one-second tick.
    void PollTimerTimer();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildMenu();
    void buildPanels();
    void FormCreate();
    ModuleSet modules();
    // Save Setup, Save Setup As and Settings Report only once the unit on
    // screen has been read: never a file of settings nobody read.
    void updateFileActions();
    // Makes the secondary window of that member if member is the one asked for.
    template <typename W>
    void makeIfAsked(W* Windows::*member, const void* asked);
    // The setup file in the title while it belongs to the unit on screen.
    void showFileTitle();
    // While no unit is connected, the status bar's help panel says which
    // port, device, rate and mode Connect opens.
    void showConnectTarget();
    void onPortLost();
    // Disconnects the port and the capture file for the end of the program.
    void releaseForExit();
    // Whether the program may end: asks about unsaved settings the first
    // time only; true from the first Yes on.
    bool confirmEnd();

    DxuState state_;
    Windows windows_;
    HooksRouter hooks_{state_, windows_};
    TCommPortDriver* CommPort = nullptr;
    CommLink* commPort_ = nullptr;
    LinkRelay relay_{commPort_, CommPort};
    // What the parser and the engine report, and the window's subscribers.
    EventFanout events_;
    // The core's questions, as message boxes; its busy steps, as the hourglass.
    BoxAsker asker_;
    BusyCursor busyCursor_;
    std::unique_ptr<PanelEvents> panelEvents_;
    std::unique_ptr<ResultPanel> resultPanel_;
    std::unique_ptr<ControlLooks> controlLooks_;
    std::unique_ptr<Protocol> protocol_;
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<ResultDisplay> display_;
    std::unique_ptr<SettingsPanel> panel_;
    std::unique_ptr<SessionLooks> sessionLooks_;
    std::unique_ptr<Session> session_;
    std::unique_ptr<CaptureLog> capture_;
    std::unique_ptr<SettingsTransfer> transfer_;
    std::unique_ptr<PcRateFollow> rateFollow_;
    std::unique_ptr<SetupFiles> setupFiles_;
    std::unique_ptr<OfflineSetup> offline_;
    std::function<TfrmCompare*()> compare_;
    std::unique_ptr<RateSearch> rateSearch_;
    std::unique_ptr<UnitScan> unitScan_;
    // The line overview and the line's backup (subscribers of events_).
    std::unique_ptr<LineOverview> lineOverview_;
    QPointer<TfrmLineBackup> lineBackup_;
    DpiQuery dpiQuery_;
    // The user has agreed to end the program.
    bool ending_ = false;
    // The controls found so far by name, looked up without a copy of the name.
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    mutable std::unordered_map<std::string, QPointer<QObject>, NameHash, std::equal_to<>> lookup_;

    StatusStrip* statusBar_ = nullptr;
    QTimer* PollTimer = nullptr;
};

} // namespace dxu
