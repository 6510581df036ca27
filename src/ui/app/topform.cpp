#include "ui/app/topform.h"

#include "ui/capture/capturelog.h"
#include "ui/capture/viewcapture.h"
#include "ui/currentloop/clcalibration.h"
#include "ui/currentloop/clsettings.h"
#include "ui/diagnostics/about.h"
#include "ui/diagnostics/errors.h"
#include "ui/diagnostics/terminal.h"
#include "ui/network/assignaddress.h"
#include "ui/network/findunits.h"
#include "ui/network/netsetup.h"
#include "ui/display/resultdisplay.h"
#include "engine/connectdetails.h"
#include "engine/engine.h"
#include "engine/session.h"
#include "ui/network/linebackupwindow.h"
#include "ui/network/lineoverview.h"
#include "ui/network/networkedit.h"
#include "network/unitscan.h"
#include "ui/ports/commsetup.h"
#include "ports/portsettings.h"
#include "ports/ratefollow.h"
#include "ports/ratesearch.h"
#include "protocol/protocol.h"
#include "serial/commportdriver.h"
#include "serial/portoptions.h"
#include "ui/services/formplacement.h"
#include "services/locale.h"
#include "ui/services/messages.h"
#include "ui/services/statusstrip.h"
#include "services/store.h"
#include "ui/services/menuoptions.h"
#include "ui/settings/gather.h"
#include "ui/settings/offline.h"
#include "ui/settings/panelwidgets.h"
#include "ui/settings/settingspanel.h"
#include "ui/settings/setupfiles.h"
#include "ui/settings/settingstransfer.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QScreen>
#include <QTimer>

namespace dxu {

// ----------------------------------------------------------------------------
// Controls by name

QObject* TTopForm::control(std::string_view name) const
{
    if (auto it = lookup_.find(name); it != lookup_.end() && it->second)
        return it->second;

    const QString key = QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    QObject* found = nullptr;
    for (QObject* o : findChildren<QObject*>(key)) {
        if (!insideHiddenAnalogGroup(o)) {
            found = o;
            break;
        }
    }
    for (const QWidget* w : windows_.all()) {
        if (found)
            break;
        if (w)
            found = w->findChild<QObject*>(key);
    }
    if (found)
        lookup_.insert_or_assign(std::string(name), found);
    return found;
}

// ----------------------------------------------------------------------------
// Composition

TTopForm::TTopForm(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("TopForm"));
    setWindowTitle(QStringLiteral("DXU Interface"));
    // Single border: system menu and minimise box only; the size is fixed
    // when the window is shown.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    // The serial port as designed: COM7 at 115200 bit/s until the stored
    // port settings are applied.
    CommPort = new TCommPortDriver(this);
    CommPort->setObjectName(QStringLiteral("CommPort"));
    CommPort->SetComPort(pnCOM7);
    CommPort->SetComPortSpeed(br115200);
    connect(CommPort, &TCommPortDriver::portLost, this, &TTopForm::onPortLost);
    commPort_ = CommPort;
    display_ = std::make_unique<ResultDisplay>(state_, *this);

    buildMenu();
    statusBar_ = new StatusStrip(this);
    setStatusBar(statusBar_);
    buildPanels();
    PollTimer = named(new QTimer(this), "PollTimer");
    PollTimer->setInterval(1000);
    connect(PollTimer, &QTimer::timeout, this, &TTopForm::PollTimerTimer);

    // The modules; what the parser and the engine learn reaches the panel,
    // the display and the buttons as events, and everything else they call
    // goes through the hooks router.
    panel_ = std::make_unique<SettingsPanel>(state_, *this);
    panelEvents_ = std::make_unique<PanelEvents>(state_, *this, *panel_);
    resultPanel_ = std::make_unique<ResultPanel>(*this, *display_);
    controlLooks_ = std::make_unique<ControlLooks>(*this, hooks_, &state_);
    events_.add(busyCursor_);
    events_.add(*panelEvents_);
    events_.add(*resultPanel_);
    events_.add(*controlLooks_);
    protocol_ = std::make_unique<Protocol>(state_, relay_, hooks_, events_);
    engine_ = std::make_unique<Engine>(state_, *protocol_, relay_, hooks_, events_, asker_);
    // A received byte's way: the driver, the engine, the parser, an event,
    // the subscribers. The window is none of them.
    engine_->listenTo(*CommPort);
    sessionLooks_ = std::make_unique<SessionLooks>(*this, *panel_, *controlLooks_);
    session_ = std::make_unique<Session>(state_, *engine_, relay_, hooks_, *sessionLooks_, asker_);
    events_.add(*session_);
    unitScan_ = std::make_unique<UnitScan>(state_, *engine_, *session_, relay_, hooks_);
    capture_ = std::make_unique<CaptureLog>(*this, this);
    transfer_ = std::make_unique<SettingsTransfer>(
        state_, *engine_, *this, [this] { return gatherSettings(state_, *this, panel_->pendingFile()); });
    rateFollow_ = std::make_unique<PcRateFollow>(state_, relay_, *engine_, asker_, [this](PcLink link, int rateIndex) {
        if (windows_.commSetup)
            windows_.commSetup->selectPcRate(link, rateIndex);
    });
    rateSearch_ = std::make_unique<RateSearch>(state_, relay_, asker_);
    SetupFileParts files = makeSetupFiles(this, state_, *this, *panel_, *transfer_, [this] { showConnectedControls(); });
    setupFiles_ = std::move(files.files);
    compare_ = files.compare;
    OfflineSetup::Calls offline{[this] { return relay_.Connected(); }, [this] { showOfflineControls(); },
                                [this](const QString& title) { setWindowTitle(title); }};
    offline_ = std::make_unique<OfflineSetup>(state_, *this, *panel_, *setupFiles_, asker_, std::move(offline));
    events_.add(*offline_);

    HooksRouter::Parts& parts = hooks_.parts();
    parts = {capture_.get(), display_.get(), session_.get(), rateFollow_.get(), rateSearch_.get(), unitScan_.get(),
             PollTimer, CommPort, portIsFree, [this] { showConnectedControls(); },
             [this] {
                 panel_->resetDisplay();
                 showDisconnectedControls();
                 hideResultWidgets();
             },
             this};

    wireFeatures(modules(), windows_, this);
    lineOverview_ = std::make_unique<LineOverview>(state_, *session_, events_, this);
    onClick("LineOverview1", [this] { lineOverview_->LineOverview1Click(); });
    onClick("BackupLine1", [this] { lineBackup()->BackupLine1Click(); });
    onClick("RestoreLine1", [this] { lineBackup()->RestoreLine1Click(); });
    // What Connect opens follows the mode and the port setup.
    for (const char* item : {"Single1", "MultiDrop1", "CommPortSetup1"})
        onClick(item, [this] { showConnectTarget(); });
    // A note about a port is a box, shown once the event loop runs again:
    // never in the middle of a connect.
    connect(
        CommPort, &TCommPortDriver::portNote, this,
        [](const QString& text) { showMessage(QStringLiteral("DXU Interface"), text); }, Qt::QueuedConnection);
    FormCreate();
}

TTopForm::~TTopForm()
{
    // Nothing may reach the engine once it is gone.
    CommPort->SetOnReceiveData(nullptr);
    CommPort->Disconnect();
}

ModuleSet TTopForm::modules()
{
    return {state_,     relay_,    *this,      hooks_,       *protocol_, *engine_,  *session_,
            *display_,  *panel_,   *transfer_, *rateFollow_, *unitScan_, *capture_, *setupFiles_, events_,
            *offline_};
}

void TTopForm::attachWindows(const Windows& windows)
{
    windows_ = windows;
    lookup_.clear();
    bindWindows(modules(), windows_);
}

void TTopForm::makeWindowsOnFirstUse()
{
    windows_.makeWith([this](const void* asked) {
        Windows::forEachMember([&](auto member) { makeIfAsked(member, asked); });
    });
}

template <typename W>
void TTopForm::makeIfAsked(W* Windows::*member, const void* asked)
{
    W*& window = windows_.*member;
    if (window || static_cast<const void*>(&window) != asked)
        return;
    window = new W(this);
    Windows made;
    made.*member = window;
    bindWindows(modules(), made);
    // What the window would have been told before it was made.
    if (made.about)
        made.about->setVersionText(
            QString::fromLatin1(state_.versionText, qstrnlen(state_.versionText, sizeof state_.versionText)));
    if (made.terminal)
        made.terminal->setSendEnabled(hooks_.terminalSend());
}

const TTopForm::Windows& TTopForm::windows()
{
    Windows::forEachMember([this](auto member) { windows_.use(member); });
    return windows_;
}

TfrmLineBackup* TTopForm::lineBackup()
{
    if (!lineBackup_)
        lineBackup_ = new TfrmLineBackup(state_, asker_, this);
    return lineBackup_;
}

void TTopForm::setCommPort(CommLink* port)
{
    commPort_ = port ? port : CommPort;
    engine_->listenTo(*commPort_);
}

// ----------------------------------------------------------------------------
// Start-up

void TTopForm::FormCreate()
{
    DxuState& s = state_;
    s.currentUnit = 0;
    s.decimalComma = 0;
    s.statusRequests = 1;
    setChecked("DXUStatusRequests1", true);
    s.logAll = 0;
    setChecked("CaptureAll1", false);

    // The stored port configuration into record 0 (and its copy in record 1)
    // and onto the driver; the network members; then the mode exactly as the
    // menu selects it.
    dxu::loadPortSettings(s, relay_);
    dxu::loadNetworkSettings(s);
    if (s.networkMode())
        selectNetworkMode(s, *this, relay_);
    else
        selectPointToPointMode(s, *this, relay_);

    if (decimalSeparator() == QLatin1Char(','))
        s.decimalComma = 1;

    s.connected = 0;
    panel_->resetDisplay();
    hideResultWidgets();
    showDisconnectedControls();

    setChecked("rbDistance", true);
    setVisible("lblResult", false);
    s.selectedTarget = 0;
    s.switchingUnit = 0;
    setEnabled("StopCapture1", false);
    s.rs232TickCount = 0;
    setStatusPanel(5, " Off");
    s.noDistance = 1;
    s.readyForStatus = 1;

    readStoredOption(*this, "Status Requests", s.statusRequests, "DXUStatusRequests1");
    readStoredOption(*this, "Log All", s.logAll, "CaptureAll1");

    setEnabled("pbUpload", false);
}

void TTopForm::FormShow()
{
    placeMainWindow(this, dpiQuery_ ? dpiQuery_() : (screen() ? screen()->logicalDotsPerInch() : 96.0));
}

void TTopForm::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        FormShow();
    QMainWindow::showEvent(event);
}

// ----------------------------------------------------------------------------
// Fixed control sets

void TTopForm::showDisconnectedControls()
{
    showEach(*this, {"pnlBasicSetup", "pnlOutputSetup", "pnlMode", "pnlBinning", "pnlAveraging", "pnlLastTarget",
              "pnlDetectionMode", "pnlDetectionParameters", "pnlMoreAveraging"},
             false);
    enableEach(*this, {"pbReset", "pbSaveSettings", "pbUpload", "pbRead", "pbPointer", "pbContinuous"}, false);
    setVisible("pbSingleMeasure", false);
    setEnabled("pbSingleMeasure", false);
    setEnabled("AssignAddress1", false);
    showEach(*this, {"pbPrevDXU", "pbNextDXU", "lblViewing", "lblDXUAddress", "lblRate"}, false);
    setStatusPanel(1, "");
    updateFileActions();
    showConnectTarget();
}

void TTopForm::showConnectedControls()
{
    showEach(*this, {"pnlBasicSetup", "pnlMode", "pnlOutputSetup"}, true);
    panel_->showModeGroups();
    enableEach(*this, {"pbReset", "pbRead", "pbPointer", "pbContinuous", "pbSingleMeasure", "Open1", "AssignAddress1"},
              true);
    setVisible("edOffsetDistance", true);

    showEach(*this, {"lblViewing", "lblDXUAddress", "pbPrevDXU", "pbNextDXU"}, isChecked("MultiDrop1"));
    showFileTitle();
    showConnectTarget();
}

void TTopForm::showConnectTarget()
{
    statusBar_->setPanel(1, state_.connected ? QString() : QStringLiteral("Connect: ") + connectTarget(state_));
}

void TTopForm::showOfflineControls()
{
    showConnectedControls();
    enableEach(*this, {"pbReset", "pbRead", "pbPointer", "pbContinuous", "pbSingleMeasure", "pbUpload",
                       "pbSaveSettings", "AssignAddress1"},
               false);
    showEach(*this, {"lblViewing", "lblDXUAddress", "pbPrevDXU", "pbNextDXU"}, false);
    updateFileActions();
}

void TTopForm::hideResultWidgets()
{
    showEach(*this, {"rgDisplay", "rbDistance", "rbIntensity", "rbBothNumbers", "lblTargetList", "lblTargetCount",
              "lblResult", "lblError", "lblErrTop", "lblErrBottom", "lblIntensity"},
             false);
}

// ----------------------------------------------------------------------------
// The window's own events

void TTopForm::PollTimerTimer()
{
    engine_->PollTimerTimer();
    updateFileActions();
}


void TTopForm::updateFileActions()
{
    const bool read = state_.connected && state_.current().settingsRead;
    // Without a unit a setup file can be opened, edited and reported.
    const bool offline = !state_.connected && offline_ && offline_->active();
    enableEach(*this, {"Save1", "Saveas1", "SettingsReport1", "ExportSetupText1"}, read || offline);
    setEnabled("Open1", state_.connected || !relay_.Connected());
    showFileTitle();
}

void TTopForm::showFileTitle()
{
    // A setup edited offline names its file itself.
    if (!offline_ || !offline_->active())
        setupFiles_->showTitle();
}

// The device went away under an open port.
void TTopForm::onPortLost()
{
    if (CommPort != commPort_ || !CommPort->LinkLost())
        return;
    if (unitScan_->running())
        unitScan_->portLost();
    session_->portLost(session_->comNumberInUse());
}

bool TTopForm::unsavedChangesPrompt(UnsavedMoment moment)
{
    if (moment == UnsavedMoment::Exit && !offline_->confirmClose())
        return false;
    return session_->confirmUnsaved(moment);
}

// Exit, the close button and Ctrl+X all come here: the question is asked
// once, and once answered Yes the program ends without asking again (the
// application closes the window once more on its way out).
bool TTopForm::confirmEnd()
{
    if (!ending_)
        ending_ = unsavedChangesPrompt(UnsavedMoment::Exit);
    return ending_;
}

void TTopForm::releaseForExit()
{
    // Nothing is awaited any more: no time-out may report on a window that
    // has gone.
    PollTimer->stop();
    if (commPort_)
        commPort_->Disconnect();
    capture_->stop();
}

void TTopForm::Exit1Click()
{
    if (!confirmEnd())
        return;
    releaseForExit();
    setText("lblResult", "");
    setText("lblIntensity", "");
    emit terminateRequested();
}

void TTopForm::closeEvent(QCloseEvent* event)
{
    if (!confirmEnd()) {
        event->ignore();
        return;
    }
    setText("pbContinuous", "Measurement &Start");
    setColor("lblLaserOn", colors::Silver);
    releaseForExit();
    state_.connected = 0;
    event->accept();
    // Closing the main window ends the program even while a modeless window
    // such as the terminal is still open.
    emit terminateRequested();
}

} // namespace dxu
