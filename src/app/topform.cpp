#include "app/topform.h"

#include "capture/capturelog.h"
#include "capture/viewcapture.h"
#include "diagnostics/about.h"
#include "diagnostics/errors.h"
#include "display/resultdisplay.h"
#include "display/trendwindow.h"
#include "engine/engine.h"
#include "engine/session.h"
#include "network/findunits.h"
#include "network/netsetup.h"
#include "network/networkconfig.h"
#include "network/unitscan.h"
#include "currentloop/clcalibration.h"
#include "currentloop/clsettings.h"
#include "diagnostics/terminal.h"
#include "network/assignaddress.h"
#include "ports/commsetup.h"
#include "ports/portsettings.h"
#include "ports/ratefollow.h"
#include "ports/ratesearch.h"
#include "protocol/protocol.h"
#include "serial/commportdriver.h"
#include "services/formplacement.h"
#include "services/locale.h"
#include "services/store.h"
#include "settings/compareview.h"
#include "settings/gather.h"
#include "settings/panelwidgets.h"
#include "settings/settingspanel.h"
#include "settings/setupfile.h"
#include "settings/transfer.h"
#include "wiring/featurewiring.h"

#include <QCloseEvent>
#include <QLabel>
#include <QScreen>
#include <QTimer>

namespace dxu {

namespace {

// The analog group of the output panel is out of sight and has no behaviour;
// its edits share their names with the current-loop settings window, which
// is where those names lead.
bool insideHiddenAnalogGroup(const QObject* o)
{
    for (const QObject* p = o->parent(); p; p = p->parent())
        if (p->objectName() == QLatin1String("GroupBox1"))
            return true;
    return false;
}

} // namespace

// ----------------------------------------------------------------------------
// Controls by name

QObject* TTopForm::control(std::string_view name) const
{
    const QString key = QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    if (auto it = lookup_.constFind(key); it != lookup_.constEnd() && it.value())
        return it.value();

    QObject* found = nullptr;
    for (QObject* o : findChildren<QObject*>(key)) {
        if (!insideHiddenAnalogGroup(o)) {
            found = o;
            break;
        }
    }
    const QWidget* others[] = {windows_.viewCapture, windows_.about,         windows_.clSettings,
                               windows_.clCalibration, windows_.commSetup,   windows_.netSetup,
                               windows_.assignAddress, windows_.findUnits,   windows_.terminal,
                               windows_.errors};
    for (const QWidget* w : others) {
        if (found)
            break;
        if (w)
            found = w->findChild<QObject*>(key);
    }
    if (found)
        lookup_.insert(key, found);
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
    CommPort->SetOnReceiveData([this](TCommPortDriver*, const char* data, int32_t size) { CommPortReceiveData(data, size); });
    connect(CommPort, &TCommPortDriver::portLost, this, &TTopForm::onPortLost);
    commPort_ = CommPort;
    display_ = std::make_unique<ResultDisplay>(state_, *this);
    display_->setResultListener([this](bool noResult) {
        if (trend_)
            trend_->addResult(state_.current(), noResult);
    });

    buildMenu();
    buildStatusBar();
    buildPanels();
    PollTimer = named(new QTimer(this), "PollTimer");
    PollTimer->setInterval(1000);
    connect(PollTimer, &QTimer::timeout, this, &TTopForm::PollTimerTimer);
    watchSettingChanges(*this, [this] { SettingChanged(); });

    // The modules; the parser shows what it stores straight on the panel and
    // the display, and everything else it and the engine call goes through
    // the hooks router.
    panel_ = std::make_unique<SettingsPanel>(state_, *this);
    protocol_ = std::make_unique<Protocol>(state_, relay_, hooks_, *this, *panel_, *display_);
    engine_ = std::make_unique<Engine>(state_, *protocol_, relay_, hooks_, *this);
    session_ = std::make_unique<Session>(state_, *engine_, relay_, hooks_, *this, *panel_);
    unitScan_ = std::make_unique<UnitScan>(state_, *engine_, *session_, relay_, hooks_);
    capture_ = std::make_unique<CaptureLog>(*this, this);
    transfer_ = std::make_unique<SettingsTransfer>(state_, *engine_, *this, [this] { return gatherSettings(state_, *this); });
    rateFollow_ = std::make_unique<PcRateFollow>(state_, relay_, [this](PcLink link, int rateIndex) {
        if (windows_.commSetup)
            windows_.commSetup->selectPcRate(link, rateIndex);
    });
    rateSearch_ = std::make_unique<RateSearch>(state_, relay_);
    SetupFileParts files = makeSetupFiles(this, state_, *this, *panel_, *transfer_, [this] { showConnectedControls(); });
    setupFiles_ = std::move(files.files);
    compare_ = files.compare;

    HooksRouter::Parts& parts = hooks_.parts();
    parts = {capture_.get(), display_.get(), session_.get(), rateFollow_.get(), rateSearch_.get(), unitScan_.get(),
             PollTimer, CommPort, portIsFree, [this] { showConnectedControls(); },
             [this] {
                 panel_->resetDisplay();
                 showDisconnectedControls();
                 hideResultWidgets();
             }};

    wireSessionControls(*this, *session_, *protocol_, *display_);
    wireSettingsControls(*this, state_, *transfer_, *setupFiles_, *panel_);
    wireCaptureMenu(*this, state_, *capture_, windows_);
    wireConnectionsMenu(*this, state_, relay_, *unitScan_, windows_);
    FormCreate();
}

TTopForm::~TTopForm()
{
    // Nothing may reach the engine once it is gone.
    CommPort->SetOnReceiveData(nullptr);
    CommPort->Disconnect();
}

void TTopForm::attachWindows(const Windows& windows)
{
    windows_ = windows;
    lookup_.clear();
    if (windows_.terminal)
        windows_.terminal->attach(&state_, &relay_);
    if (windows_.commSetup)
        windows_.commSetup->bind(state_, relay_, *this, [this] {
            // A unit-rate Set button: the upload is watched for the rate the link loses.
            rateFollow_->arm();
            transfer_->queueUpload();
        });
    const auto upload = [this] { transfer_->queueUpload(); };
    if (windows_.assignAddress)
        windows_.assignAddress->bind(state_, upload);
    if (windows_.findUnits)
        windows_.findUnits->bind(state_, *unitScan_, *this, hooks_);
    if (windows_.clSettings)
        windows_.clSettings->bind(state_, upload);
    if (windows_.clCalibration)
        windows_.clCalibration->bind(state_, [this] { engine_->sendCurrentItem(); },
                                     [this] { protocol_->sendCalibrationStore(); });
    if (windows_.netSetup) {
        NetworkSender send;
        send.sendInt = [this](const char* code, int32_t value) { protocol_->sendIntCommand(code, value); };
        send.sendSaveSettings = [this] { protocol_->sendSaveSettings(); };
        windows_.netSetup->bind(state_, *this, hooks_, std::move(send));
    }
}

void TTopForm::setCommPort(CommLink* port) { commPort_ = port ? port : CommPort; }

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
    setEnabled("Open1", false);
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

void TTopForm::setShown(std::initializer_list<const char*> names, bool shown)
{
    for (const char* n : names)
        setVisible(n, shown);
}

void TTopForm::setUsable(std::initializer_list<const char*> names, bool usable)
{
    for (const char* n : names)
        setEnabled(n, usable);
}

void TTopForm::showDisconnectedControls()
{
    setShown({"pnlBasicSetup", "pnlOutputSetup", "pnlMode", "pnlBinning", "pnlAveraging", "pnlLastTarget",
              "pnlDetectionMode", "pnlDetectionParameters", "pnlMoreAveraging"},
             false);
    setUsable({"pbReset", "pbSaveSettings", "pbUpload", "pbRead", "pbPointer", "pbContinuous"}, false);
    setVisible("pbSingleMeasure", false);
    setEnabled("pbSingleMeasure", false);
    setEnabled("AssignAddress1", false);
    setShown({"pbPrevDXU", "pbNextDXU", "lblViewing", "lblDXUAddress", "lblRate"}, false);
}

void TTopForm::showConnectedControls()
{
    setShown({"pnlBasicSetup", "pnlMode", "pnlOutputSetup"}, true);
    panel_->showModeGroups();
    setUsable({"pbReset", "pbRead", "pbPointer", "pbContinuous", "pbSingleMeasure", "Open1", "AssignAddress1"},
              true);
    setVisible("edOffsetDistance", true);

    setShown({"lblViewing", "lblDXUAddress", "pbPrevDXU", "pbNextDXU"}, isChecked("MultiDrop1"));
}

void TTopForm::hideResultWidgets()
{
    setShown({"rgDisplay", "rbDistance", "rbIntensity", "rbBothNumbers", "lblTargetList", "lblTargetCount",
              "lblResult", "lblError", "lblErrTop", "lblErrBottom", "lblIntensity"},
             false);
}

// ----------------------------------------------------------------------------
// The window's own events

void TTopForm::PollTimerTimer()
{
    engine_->PollTimerTimer();
    markChangedControls();
}

void TTopForm::CommPortReceiveData(const char* data, int32_t size) { engine_->CommPortReceiveData(data, size); }

void TTopForm::SettingChanged()
{
    setEnabled("pbUpload", true);
    markChangedControls();
}

void TTopForm::markChangedControls() { dxu::markChangedControls(state_, *this, changeMarks_); }

// The device went away under an open port.
void TTopForm::onPortLost()
{
    if (CommPort != commPort_ || !CommPort->LinkLost())
        return;
    if (unitScan_->running())
        unitScan_->portLost();
    session_->portLost(session_->comNumberInUse());
}

bool TTopForm::unsavedChangesPrompt(int kind) { return session_->confirmUnsaved(kind); }

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
    if (!unsavedChangesPrompt(1))
        return;
    releaseForExit();
    setText("lblResult", "");
    setText("lblIntensity", "");
    emit terminateRequested();
}

void TTopForm::closeEvent(QCloseEvent* event)
{
    if (!unsavedChangesPrompt(1)) {
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
