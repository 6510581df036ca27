// The main window's connection behaviour: connect and disconnect, the check
// that the port is free, stepping through the units of a network, starting
// and stopping measurements, the settings read, the menu items of the
// connections menu, and the calls the parser and the engine make on the
// window, forwarded to the modules that own them.
#include "app/topform.h"

#include "capture/capturelog.h"
#include "protocol/commandids.h"

#include "diagnostics/errors.h"
#include "diagnostics/terminal.h"
#include "display/resultdisplay.h"
#include "engine/engine.h"
#include "network/netsetup.h"
#include "network/networkconfig.h"
#include "ports/commsetup.h"
#include "ports/portsettings.h"
#include "protocol/protocol.h"
#include "serial/commportdriver.h"
#include "services/cursor.h"
#include "services/messages.h"
#include "services/store.h"
#include "settings/settingsread.h"
#include "settings/settingspanel.h"

#include <QAbstractButton>
#include <QAction>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

namespace dxu {
namespace {


// Slots searched for network members; a slot holding EmptySlot is free.
constexpr int SearchedSlots = 64;

const QString kCaption = QStringLiteral("DXU Interface");

} // namespace

// ----------------------------------------------------------------------------
// The link

bool TTopForm::PortRelay::Connect() { return top_.commPort_->Connect(); }
void TTopForm::PortRelay::Disconnect() { top_.commPort_->Disconnect(); }
bool TTopForm::PortRelay::Connected() const { return top_.commPort_->Connected(); }
int32_t TTopForm::PortRelay::SendData(const void* data, int32_t size) { return top_.commPort_->SendData(data, size); }
void TTopForm::PortRelay::setComPort(int number) { DriverPcPort(*top_.CommPort).setComPort(number); }
void TTopForm::PortRelay::setRateIndex(int rateIndex) { DriverPcPort(*top_.CommPort).setRateIndex(rateIndex); }

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
    onTrigger("ViewNetworkStatus1", &TTopForm::ViewNetworkStatus1Click);
    onTrigger("CommPortSetup1", &TTopForm::CommPortSetup1Click);
    onTrigger("DXUStatusRequests1", &TTopForm::DXUStatusRequests1Click);
    onTrigger("CaptureAll1", &TTopForm::CaptureAll1Click);
    onTrigger("StartCapture1", &TTopForm::StartCapture1Click);
    onTrigger("StopCapture1", &TTopForm::StopCapture1Click);
    onTrigger("OpenCapture1", &TTopForm::OpenCapture1Click);
}

void TTopForm::PollTimerTimer() { engine_->PollTimerTimer(); }

void TTopForm::CommPortReceiveData(const char* data, int32_t size) { engine_->CommPortReceiveData(data, size); }

// ----------------------------------------------------------------------------
// Connect and disconnect

int TTopForm::comNumberInUse() const
{
    const UnitRecord& pc = state_.unitTable[0];
    return (state_.networkMode() ? pc.port485 : pc.port232) + 1;
}

void TTopForm::pbConnectClick()
{
    clearErrors();
    setErrorCount(0);
    if (relay_.Connected()) {
        if (!unsavedChangesPrompt(2))
            return;
        disconnectUnit();
        return;
    }

    DxuState& s = state_;
    s.currentUnit = 0;
    // A connect the user starts is never a unit switch, whatever the last
    // switch left behind: a silent first unit walks on along the network.
    s.switchingUnit = 0;
    // What was read belongs to the last connection: a unit visited again is
    // read again.
    for (UnitRecord& r : s.unitTable)
        r.settingsRead = 0;
    if (s.networkMode()) {
        s.unitTable[0].address = 0;
        s.lastDirection = 1;
        const char first = nextAssignedAddress(0, 1);
        if (first == 0) {
            showMessage(QStringLiteral("Error"), QStringLiteral("There are no DXU units assigned to this network."));
            return;
        }
        s.current().address = static_cast<unsigned char>(first);
    }
    openAndConnect();
}

void TTopForm::disconnectUnit()
{
    setFontStyle("pbSaveSettings", false, false, nullptr);
    repaint("pbSaveSettings");
    setUsable({"Single1", "MultiDrop1"}, true);
    PollTimer->stop();
    setButtonFace("lblRx");
    setText("lblRx", "");
    setBusyCursor(false);
    setEnabled("Open1", false);

    relay_.Disconnect();
    // Nothing is connected any more: the mode can be chosen again and the
    // lamp shows it.
    state_.connected = 0;

    resetDisplay();
    showDisconnectedControls();
    if (windows_.terminal)
        windows_.terminal->setSendEnabled(false);
    hideResultWidgets();
    setShown({"lblIntensity", "lblError", "lblErrTop", "lblErrBottom"}, false);
    setText("lblConnectionType", "");
    setShown({"lblCurrent", "lblTargetList", "lblTargetCount", "imgBinning"}, false);
    setText("lblResult", "");

    setText("pbContinuous", "Measurement &Start");
    setStatusPanel(3, "");
    setText("pbConnect", "&Connect");
    setText("Connect1", "Co&nnect");
    setUsable({"CurrentLoopOn1", "DisableFaultCurrent1", "SetRanges1", "Calibrate1"}, false);
}

void TTopForm::openAndConnect()
{
    DxuState& s = state_;
    s.noDistance = 1;

    const int com = comNumberInUse();
    if (!portCheck_ || !portCheck_(com)) {
        abandonSwitch();
        // A "COM n" that leads to no device is named as such: telling the
        // user that another program holds it would send them looking for one.
        const QString device = comDevicePath(com);
        if (QFileInfo::exists(device))
            showMessage(kCaption, QStringLiteral("Serial port: COM%1 is in use by other program.\n"
                                                 "Please select another serial port")
                                      .arg(com));
        else
            showMessage(kCaption, QStringLiteral("Serial port: COM%1 (%2) was not found.\n"
                                                 "Please select another serial port")
                                      .arg(com)
                                      .arg(device));
        return;
    }
    if (!s.networkMode())
        setShown({"pbPrevDXU", "pbNextDXU", "lblViewing", "lblDXUAddress"}, false);
    // Open the port that was just checked. A port number changed while the
    // link was open reached only the store; the closed driver takes it now.
    if (!CommPort->Connected())
        CommPort->SetComPort(static_cast<TComPortNumber>(com - 1));
    if (!relay_.Connect()) {
        abandonSwitch();
        return;
    }

    setFontStyle("pbSaveSettings", false, false, nullptr);
    setBusyCursor(true);
    setStatusPanel(3, " Connecting");
    if (windows_.terminal)
        windows_.terminal->setSendEnabled(true);

    CommandQueue& q = s.queue;
    q.resetQueue();
    q.queueState = QueueConnect;
    q.enqueueCommand(KindCode, "US", IdStatus, 3);
    q.cursor = 0;
    engine_->sendCurrentItem();
    PollTimer->start();
}

// A unit switch closed the port of the connection on screen; when it cannot
// be opened again, the window shows that nothing is connected any more rather
// than a connection whose port is closed.
void TTopForm::abandonSwitch()
{
    if (!state_.switchingUnit)
        return;
    state_.switchingUnit = 0;
    disconnectUnit();
}

// The device went away under an open port (a USB adapter pulled, the far end
// of a pseudo-terminal closed). Nothing will arrive or leave any more: close
// the port and show the disconnected look, so that the user sees it at once
// and can connect again when the device is back.
void TTopForm::onPortLost()
{
    if (CommPort != commPort_ || !CommPort->LinkLost())
        return;
    const int com = comNumberInUse();
    disconnectUnit();
    showMessage(kCaption, QStringLiteral("Serial port: COM%1 is no longer available.\n"
                                         "Check the cable or adapter, then connect again.")
                              .arg(com));
}

// ----------------------------------------------------------------------------
// Units of a network

char TTopForm::nextAssignedAddress(char address, int direction)
{
    DxuState& s = state_;
    int p = -1;
    if (address != 0) {
        for (int i = 0; i < SearchedSlots; ++i) {
            if (s.networkSlots[static_cast<size_t>(i)] == address) {
                p = i;
                break;
            }
        }
    }
    if (direction == 1) {
        for (int i = p + 1; i < SearchedSlots; ++i) {
            const char c = s.networkSlots[static_cast<size_t>(i)];
            if (c != EmptySlot) {
                ++s.currentUnit;
                return c;
            }
        }
    } else if (direction == 2) {
        for (int i = p - 1; i >= 0; --i) {
            const char c = s.networkSlots[static_cast<size_t>(i)];
            if (c != EmptySlot) {
                if (s.currentUnit > 1)
                    --s.currentUnit;
                return c;
            }
        }
    }
    return 0;
}

void TTopForm::updatePrevNextButtons()
{
    setUsable({"pbPrevDXU", "pbNextDXU"}, true);
    if (state_.currentUnit == 1)
        setEnabled("pbPrevDXU", false);
    if (state_.currentUnit == state_.networkCount)
        setEnabled("pbNextDXU", false);
}

void TTopForm::showViewingLabels()
{
    char text[64];
    std::snprintf(text, sizeof text, "Viewing: %d of %d", state_.currentUnit, state_.networkCount);
    setText("lblViewing", text);
    std::snprintf(text, sizeof text, "Address: %c", state_.current().addressChar());
    setText("lblDXUAddress", text);
}

void TTopForm::pbNextDXUClick()
{
    if (state_.currentUnit >= state_.networkCount)
        return;
    switchUnit(1);
}

void TTopForm::pbPrevDXUClick()
{
    if (state_.currentUnit <= 1)
        return;
    switchUnit(2);
}

void TTopForm::switchUnit(int direction)
{
    DxuState& s = state_;
    // A list for the unit on screen is still answered: the rest of a read, of
    // an upload or of a connect, and a restart of measuring at its end, would
    // go to the unit stepped to. A switch whose connect failed has no reply
    // outstanding and can be stepped on from.
    const int32_t state = s.queue.queueState;
    if (s.lastSendTick != 0 && (state == QueueList || state == QueueUpload || state == QueueConnect))
        return;
    s.lastDirection = direction;
    const char c = nextAssignedAddress(s.current().addressChar(), direction);
    if (c == 0)
        return;
    // Going back, the record of a unit visited before holds its address.
    if (direction == 1)
        s.current().address = static_cast<unsigned char>(c);
    updatePrevNextButtons();
    if (s.current().settingsRead) {
        showViewingLabels();
        showSettings();
        panel_->updateBinOffset();
        return;
    }
    s.switchingUnit = 1;
    relay_.Disconnect();
    openAndConnect();
}

void TTopForm::updateConnectionTypeLabel()
{
    const UnitRecord& pc = state_.unitTable[0];
    const bool rs232 = pc.portInUse == 1;
    char text[64];
    std::snprintf(text, sizeof text, "%sCOM%d->%s", rs232 ? "RS232:" : "RS485:",
                  (rs232 ? pc.port232 : pc.port485) + 1, state_.current().currentPort != 0 ? "Universal" : "Configuration");
    setText("lblConnectionType", text);
}

// ----------------------------------------------------------------------------
// Measuring

void TTopForm::pbContinuousClick()
{
    DxuState& s = state_;
    CommandQueue& q = s.queue;
    if (s.current().laserOn) {
        setEnabled("pbSingleMeasure", false);
        setText("pbContinuous", "Measurement &Start");
        setButtonFace("lblRx");
        s.resumeMeasuring = 0;
        q.queueState = QueueList;
        q.resetQueue();
        q.enqueueCommand(KindCode, "ST", IdStop, 3);
        q.enqueueCommand(KindCode, "US", IdStatus, 3);
        q.cursor = 0;
        engine_->sendCurrentItem();
        setEnabled("Calibrate1", true);
        return;
    }
    setVisible("lblResult", true);
    setShown({"lblError", "lblErrTop", "lblErrBottom"}, false);
    setEnabled("pbSingleMeasure", true);
    s.current().laserOn = 1;
    setText("pbContinuous", "&Stop");
    setText("lblResult", "");
    setText("lblIntensity", "");
    q.queueState = QueueList;
    q.resetQueue();
    q.enqueueCommand(KindCode, "GO", IdGo, 0);
    q.enqueueCommand(KindCode, "US", IdStatus, 3);
    q.cursor = 0;
    engine_->sendCurrentItem();
    setEnabled("Calibrate1", false);
}

void TTopForm::pbSingleMeasureClick() { protocol_->sendSingleMeasure(); }

void TTopForm::pbPointerClick()
{
    if (auto* b = qobject_cast<QAbstractButton*>(widget("pbPointer"))) {
        if (b->text() == QLatin1String("&Pointer On")) {
            b->setText(QStringLiteral("&Pointer Off"));
            protocol_->sendIntCommand("PT", 1);
        } else if (b->text() == QLatin1String("&Pointer Off")) {
            b->setText(QStringLiteral("&Pointer On"));
            protocol_->sendIntCommand("PT", 0);
        }
    }
}

void TTopForm::pbReadClick()
{
    DxuState& s = state_;
    s.readyForStatus = 0;
    setBusyCursor(true);
    s.queue.queueState = QueueList;
    engine_->stopMeasurementFirst(KindCode);
    enqueueSettingsRead(s.queue);
    s.queue.cursor = 0;
    engine_->sendCurrentItem();
}

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

void TTopForm::CommPortSetup1Click()
{
    if (windows_.commSetup)
        windows_.commSetup->exec();
}

void TTopForm::DXUStatusRequests1Click()
{
    state_.statusRequests = isChecked("DXUStatusRequests1") ? 1 : 0;
    Store::writeInt(QStringLiteral("Status Requests"), state_.statusRequests);
}

void TTopForm::CaptureAll1Click()
{
    state_.logAll = isChecked("CaptureAll1") ? 1 : 0;
    Store::writeInt(QStringLiteral("Log All"), state_.logAll);
}

void TTopForm::StartCapture1Click() { capture_->start(); }

void TTopForm::StopCapture1Click() { capture_->stop(); }

void TTopForm::OpenCapture1Click() { capture_->view(windows_.viewCapture); }

bool TTopForm::captureOpen() const { return capture_->isOpen(); }

void TTopForm::writeCaptureLine(std::string_view line) { capture_->write(line); }

// ----------------------------------------------------------------------------
// Calls from the parser and the engine

#define DXU_TOPFORM_SHOW(code)                                                                           \
    void TTopForm::show##code() { panel_->show##code(); }
DXU_SHOW_CODES(DXU_TOPFORM_SHOW)
#undef DXU_TOPFORM_SHOW

void TTopForm::showSettings() { panel_->showSettings(); }

void TTopForm::refreshProcessingPanels() { panel_->refreshProcessingPanels(); }

void TTopForm::applyOldFirmwareLimits() { panel_->applyOldFirmwareLimits(); }

void TTopForm::showResult() { display_->showResult(); }

void TTopForm::showRate() { display_->showRate(); }

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

void TTopForm::switchPcBaudRate()
{
    dxu::switchPcBaudRate(state_, relay_, [this](PcLink link, int rateIndex) {
        if (windows_.commSetup)
            windows_.commSetup->selectPcRate(link, rateIndex);
    });
}

} // namespace dxu
