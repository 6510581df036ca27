// The main window's side of the connection: the handlers of the connection
// and measurement controls (one line each, into the session), the check that
// the port is free, the menu items of the connections menu, and the calls the
// engine and the session make on the window.
#include "app/topform.h"

#include "capture/capturelog.h"
#include "protocol/commandids.h"

#include "currentloop/clcalibration.h"
#include "currentloop/clsettings.h"
#include "diagnostics/errors.h"
#include "diagnostics/terminal.h"
#include "display/resultdisplay.h"
#include "engine/engine.h"
#include "engine/session.h"
#include "network/assignaddress.h"
#include "network/findunits.h"
#include "network/netsetup.h"
#include "network/networkconfig.h"
#include "ports/commsetup.h"
#include "ports/portsettings.h"
#include "ports/ratefollow.h"
#include "protocol/protocol.h"
#include "serial/commportdriver.h"
#include "services/messages.h"
#include "services/store.h"

#include <QAbstractButton>
#include <QAction>
#include <QTimer>

namespace dxu {
namespace {

const QString kCaption = QStringLiteral("DXU Interface");

} // namespace

void TTopForm::wireConnection()
{
    CommPort->SetOnReceiveData(
        [this](TCommPortDriver*, const char* data, int32_t size) { CommPortReceiveData(data, size); });
    connect(CommPort, &TCommPortDriver::portLost, this, &TTopForm::onPortLost);
    connect(PollTimer, &QTimer::timeout, this, &TTopForm::PollTimerTimer);

    auto onClick = [this](const char* name, void (TTopForm::*slot)()) {
        if (auto* b = qobject_cast<QAbstractButton*>(widget(name)))
            connect(b, &QAbstractButton::clicked, this, slot);
    };
    onClick("pbConnect", &TTopForm::pbConnectClick);
    onClick("pbPrevDXU", &TTopForm::pbPrevDXUClick);
    onClick("pbNextDXU", &TTopForm::pbNextDXUClick);
    onClick("pbContinuous", &TTopForm::pbContinuousClick);
    onClick("pbSingleMeasure", &TTopForm::pbSingleMeasureClick);
    onClick("pbPointer", &TTopForm::pbPointerClick);
    onClick("pbRead", &TTopForm::pbReadClick);
    onClick("rbDistance", &TTopForm::rbDistanceClick);
    onClick("rbIntensity", &TTopForm::rbIntensityClick);
    onClick("rbBothNumbers", &TTopForm::rbBothNumbersClick);

    auto onTrigger = [this](const char* name, void (TTopForm::*slot)()) {
        if (QAction* a = action(name))
            connect(a, &QAction::triggered, this, slot);
    };
    onTrigger("Connect1", &TTopForm::pbConnectClick);
    onTrigger("Single1", &TTopForm::Single1Click);
    onTrigger("MultiDrop1", &TTopForm::MultiDrop1Click);
    onTrigger("ModifyNetwork1", &TTopForm::ModifyNetwork1Click);
    onTrigger("AssignAddress1", &TTopForm::AssignAddress1Click);
    onTrigger("FindUnits1", &TTopForm::FindUnits1Click);
    onTrigger("CurrentLoopOn1", &TTopForm::CurrentLoopOn1Click);
    onTrigger("DisableFaultCurrent1", &TTopForm::DisableFaultCurrent1Click);
    onTrigger("SetRanges1", &TTopForm::SetRanges1Click);
    onTrigger("Calibrate1", &TTopForm::Calibrate1Click);
    onTrigger("ViewNetworkStatus1", &TTopForm::ViewNetworkStatus1Click);
    onTrigger("CommPortSetup1", &TTopForm::CommPortSetup1Click);
    onTrigger("DXUStatusRequests1", &TTopForm::DXUStatusRequests1Click);
    onTrigger("CaptureAll1", &TTopForm::CaptureAll1Click);
    onTrigger("StartCapture1", &TTopForm::StartCapture1Click);
    onTrigger("StopCapture1", &TTopForm::StopCapture1Click);
    onTrigger("OpenCapture1", &TTopForm::OpenCapture1Click);
}

void TTopForm::PollTimerTimer()
{
    engine_->PollTimerTimer();
    markChangedControls();
}

void TTopForm::CommPortReceiveData(const char* data, int32_t size) { engine_->CommPortReceiveData(data, size); }

// ----------------------------------------------------------------------------
// Connect, unit switching and measuring: the session's

void TTopForm::pbConnectClick() { session_->connectClicked(); }
void TTopForm::pbNextDXUClick() { session_->switchUnit(StepNext); }
void TTopForm::pbPrevDXUClick() { session_->switchUnit(StepPrevious); }
void TTopForm::pbContinuousClick() { session_->continuousClicked(); }
void TTopForm::pbReadClick() { session_->readSettings(); }

bool TTopForm::claimPort(int com)
{
    if (!portCheck_ || !portCheck_(com)) {
        showMessage(kCaption, portOpenFailureText(com));
        return false;
    }
    // Open the port that was just checked. A port number changed while the
    // link was open reached only the store; the closed driver takes it now.
    if (!CommPort->Connected())
        CommPort->SetComPort(static_cast<TComPortNumber>(com - 1));
    return true;
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

void TTopForm::updatePrevNextButtons() { session_->updatePrevNextButtons(); }
void TTopForm::startPolling() { PollTimer->start(); }
void TTopForm::stopPolling() { PollTimer->stop(); }

void TTopForm::setTerminalSend(bool enabled)
{
    if (windows_.terminal)
        windows_.terminal->setSendEnabled(enabled);
}

void TTopForm::showDisconnectedPanels()
{
    resetDisplay();
    showDisconnectedControls();
    hideResultWidgets();
}

void TTopForm::pbSingleMeasureClick() { protocol_->sendSingleMeasure(); }

void TTopForm::pbPointerClick() { session_->pointerClicked(); }

void TTopForm::rbDistanceClick() { display_->rbDistanceClick(); }
void TTopForm::rbIntensityClick() { display_->rbIntensityClick(); }
void TTopForm::rbBothNumbersClick() { display_->rbBothNumbersClick(); }

// ----------------------------------------------------------------------------
// Menu items

void TTopForm::Single1Click() { selectPointToPointMode(state_, *this, relay_); }

void TTopForm::MultiDrop1Click() { selectNetworkMode(state_, *this, relay_); }

void TTopForm::ModifyNetwork1Click()
{
    if (windows_.netSetup)
        windows_.netSetup->exec();
}

void TTopForm::ViewNetworkStatus1Click() {}

namespace {
void showModal(QDialog* d)
{
    if (d)
        d->exec();
}
} // namespace

void TTopForm::AssignAddress1Click() { showModal(windows_.assignAddress); }

void TTopForm::FindUnits1Click()
{
    if (unitScan_->canStart())
        showModal(windows_.findUnits);
}
// The check mark has already been set by the click; the upload gathers it.
// Disconnected, the items are disabled and nothing happens.
void TTopForm::CurrentLoopOn1Click() { uploadLoopSwitch(); }
void TTopForm::DisableFaultCurrent1Click() { uploadLoopSwitch(); }

void TTopForm::uploadLoopSwitch()
{
    if (state_.connected)
        pbUploadClick();
}
void TTopForm::SetRanges1Click() { showModal(windows_.clSettings); }
void TTopForm::Calibrate1Click() { showModal(windows_.clCalibration); }

void TTopForm::CommPortSetup1Click()
{
    if (windows_.commSetup)
        windows_.commSetup->exec();
}

void TTopForm::DXUStatusRequests1Click()
{
    storeOption(*this, "Status Requests", state_.statusRequests, "DXUStatusRequests1");
}

void TTopForm::CaptureAll1Click() { storeOption(*this, "Log All", state_.logAll, "CaptureAll1"); }

void TTopForm::StartCapture1Click() { capture_->start(); }

void TTopForm::StopCapture1Click() { capture_->stop(); }

void TTopForm::OpenCapture1Click() { capture_->view(windows_.viewCapture); }

bool TTopForm::captureOpen() const { return capture_->isOpen(); }

void TTopForm::writeCaptureLine(std::string_view line) { capture_->write(line); }

// ----------------------------------------------------------------------------
// Calls from the parser and the engine

void TTopForm::showResultAge(uint32_t now) { display_->showResultAge(now); }

void TTopForm::appendTerminal(std::string_view line)
{
    if (windows_.terminal)
        windows_.terminal->AppendLine(line);
}

void TTopForm::addErrorLine(std::string_view text)
{
    if (windows_.errors)
        windows_.errors->addErrorLine(text);
}

void TTopForm::clearErrors()
{
    if (windows_.errors)
        windows_.errors->clearErrors();
}

int TTopForm::errorCount() const { return windows_.errors ? windows_.errors->errorCount() : 0; }

void TTopForm::setErrorCount(int count)
{
    if (windows_.errors)
        windows_.errors->setErrorCount(count);
}

void TTopForm::loadPollingInterval() { dxu::loadPollingInterval(state_); }

void TTopForm::switchPcBaudRate() { rateFollow_->switchPc(); }

} // namespace dxu
