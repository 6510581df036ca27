#include "app/topform.h"

#include "capture/capturelog.h"
#include "capture/viewcapture.h"
#include "currentloop/clcalibration.h"
#include "currentloop/clsettings.h"
#include "diagnostics/about.h"
#include "diagnostics/errors.h"
#include "services/formplacement.h"
#include "diagnostics/terminal.h"
#include "display/resultdisplay.h"
#include "display/trendwindow.h"
#include "engine/engine.h"
#include "engine/session.h"
#include "network/assignaddress.h"
#include "network/findunits.h"
#include "network/netsetup.h"
#include "network/networkconfig.h"
#include "ports/commsetup.h"
#include "ports/portsettings.h"
#include "ports/ratefollow.h"
#include "ports/ratesearch.h"
#include "protocol/protocol.h"
#include "serial/commportdriver.h"
#include "services/locale.h"
#include "services/store.h"
#include "settings/gather.h"
#include "settings/settingspanel.h"
#include "settings/setupfile.h"
#include "settings/transfer.h"

#include <QAbstractButton>
#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QScreen>
#include <QTimer>

namespace dxu {
namespace {

QString qs(std::string_view s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

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
    commPort_ = CommPort;
    portCheck_ = portIsFree;
    display_ = std::make_unique<ResultDisplay>(state_, *this);
    display_->setResultListener([this](bool noResult) {
        if (trend_)
            trend_->addResult(state_.current(), noResult);
    });

    buildMenu();
    buildStatusBar();
    buildPanels();
    buildDialogs();
    watchSettingChanges(*this, [this] { SettingChanged(); });
    wireConnection();
    panel_ = std::make_unique<SettingsPanel>(state_, *this);
    // The parser shows what it stores straight on the panel and the display.
    protocol_ = std::make_unique<Protocol>(state_, relay_, *this, *this, *panel_, *display_);
    engine_ = std::make_unique<Engine>(state_, *protocol_, relay_, *this, *this);
    session_ = std::make_unique<Session>(state_, *engine_, relay_, *this, *this, *panel_);
    unitScan_ = std::make_unique<UnitScan>(state_, *engine_, *session_, relay_, *this);
    capture_ = std::make_unique<CaptureLog>(*this, this);
    transfer_ = std::make_unique<SettingsTransfer>(state_, *engine_, *this, [this] { return gatherSettings(state_, *this); });
    wireSettingsTransfer();
    wireSetupFiles();
    connect(qobject_cast<QAbstractButton*>(widget("pbMore")), &QAbstractButton::clicked, this,
            &TTopForm::pbMoreClick);
    connect(qobject_cast<QAbstractButton*>(widget("pbReset")), &QAbstractButton::clicked, this,
            &TTopForm::pbResetClick);
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
        windows_.commSetup->bind(state_, relay_, *this, [this] { unitRateUpload(); });
    const auto upload = [this] { transfer_->queueUpload(); };
    if (windows_.assignAddress)
        windows_.assignAddress->bind(state_, upload);
    if (windows_.findUnits)
        windows_.findUnits->bind(state_, *unitScan_, *this, *this);
    if (windows_.clSettings)
        windows_.clSettings->bind(state_, upload);
    if (windows_.clCalibration)
        windows_.clCalibration->bind(state_, [this] { engine_->sendCurrentItem(); },
                                     [this] { protocol_->sendCalibrationStore(); });
    if (windows_.netSetup) {
        NetworkSender send;
        send.sendInt = [this](const char* code, int32_t value) { protocol_->sendIntCommand(code, value); };
        send.sendSaveSettings = [this] { protocol_->sendSaveSettings(); };
        windows_.netSetup->bind(state_, *this, *this, std::move(send));
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
    resetDisplay();
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

void TTopForm::resetDisplay() { panel_->resetDisplay(); }

void TTopForm::hideResultWidgets()
{
    setShown({"rgDisplay", "rbDistance", "rbIntensity", "rbBothNumbers", "lblTargetList", "lblTargetCount",
              "lblResult", "lblError", "lblErrTop", "lblErrBottom", "lblIntensity"},
             false);
}

// ----------------------------------------------------------------------------
// Handlers

void TTopForm::SettingChanged()
{
    setEnabled("pbUpload", true);
    markChangedControls();
}

void TTopForm::pbMoreClick() { panel_->pbMoreClick(); }

void TTopForm::pbResetClick() { session_->resetClicked(); }

bool TTopForm::unsavedChangesPrompt(int kind) { return session_->confirmUnsaved(kind); }

void TTopForm::closeCaptureFile() { capture_->stop(); }

void TTopForm::releaseForExit()
{
    // Nothing is awaited any more: no time-out may report on a window that
    // has gone.
    PollTimer->stop();
    if (commPort_)
        commPort_->Disconnect();
    closeCaptureFile();
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

namespace {
void showModeless(QWidget* w)
{
    if (!w)
        return;
    w->show();
    w->raise();
    w->activateWindow();
}
} // namespace

void TTopForm::About1Click() { showModeless(windows_.about); }

void TTopForm::Terminal1Click() { showModeless(windows_.terminal); }

void TTopForm::Trend1Click()
{
    if (!trend_)
        trend_ = new TfrmTrend(this);
    showModeless(trend_);
}

// ----------------------------------------------------------------------------
// Hooks answered here

void TTopForm::showVersionText(std::string_view text)
{
    if (windows_.about)
        windows_.about->setVersionText(qs(text));
}

bool TTopForm::terminalVisible() const { return windows_.terminal && windows_.terminal->isVisible(); }

bool TTopForm::errorWindowVisible() const { return windows_.errors && windows_.errors->isVisible(); }

void TTopForm::showErrorWindow() { showModeless(windows_.errors); }

bool TTopForm::commSetupVisible() const { return windows_.commSetup && windows_.commSetup->isVisible(); }

// ----------------------------------------------------------------------------
// Controls by name

QObject* TTopForm::control(std::string_view name) const
{
    const QString key = qs(name);
    if (auto it = lookup_.constFind(key); it != lookup_.constEnd() && it.value())
        return it.value();

    QObject* found = nullptr;
    for (QObject* o : findChildren<QObject*>(key)) {
        if (!insideHiddenAnalogGroup(o)) {
            found = o;
            break;
        }
    }
    if (!found) {
        const QWidget* others[] = {windows_.viewCapture, windows_.about,     windows_.clSettings,
                                   windows_.clCalibration, windows_.commSetup, windows_.netSetup,
                                   windows_.assignAddress, windows_.findUnits, windows_.terminal,  windows_.errors};
        for (const QWidget* w : others) {
            if (w && (found = w->findChild<QObject*>(key)))
                break;
        }
    }
    if (found)
        lookup_.insert(key, found);
    return found;
}

QWidget* TTopForm::widget(std::string_view name) const { return qobject_cast<QWidget*>(control(name)); }

QAction* TTopForm::action(std::string_view name) const { return qobject_cast<QAction*>(control(name)); }

void TTopForm::setStatusPanel(int index, std::string_view text)
{
    if (index >= 0 && index < static_cast<int>(statusPanels_.size()))
        statusPanels_[static_cast<size_t>(index)]->setText(qs(text));
}

} // namespace dxu
