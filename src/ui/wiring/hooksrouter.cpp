#include "ui/wiring/hooksrouter.h"

#include "ui/capture/capturelog.h"
#include "ui/diagnostics/about.h"
#include "ui/diagnostics/errors.h"
#include "ui/diagnostics/terminal.h"
#include "ui/display/resultdisplay.h"
#include "engine/session.h"
#include "ui/network/networkedit.h"
#include "network/unitscan.h"
#include "ui/ports/commsetup.h"
#include "ports/ratefollow.h"
#include "ports/ratesearch.h"
#include "serial/commportdriver.h"
#include "ui/services/messages.h"

#include <QTimer>

namespace dxu {

void showModeless(QWidget* window)
{
    if (!window)
        return;
    window->show();
    window->raise();
    window->activateWindow();
}

void HooksRouter::showResultAge(uint32_t now)
{
    if (parts_.display)
        parts_.display->showResultAge(now);
}

void HooksRouter::showVersionText(std::string_view text)
{
    if (windows_.about)
        windows_.about->setVersionText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

bool HooksRouter::captureOpen() const { return parts_.capture && parts_.capture->isOpen(); }

void HooksRouter::writeCaptureLine(std::string_view line)
{
    if (parts_.capture)
        parts_.capture->write(line);
}

void HooksRouter::appendTerminal(std::string_view line)
{
    if (windows_.terminal)
        windows_.terminal->AppendLine(line);
}

bool HooksRouter::terminalVisible() const { return windows_.terminal && windows_.terminal->isVisible(); }

void HooksRouter::setTerminalSend(bool enabled)
{
    terminalSend_ = enabled;
    if (windows_.terminal)
        windows_.terminal->setSendEnabled(enabled);
}

// The first error line makes the list; until then it has nothing to clear or count.
void HooksRouter::addErrorLine(std::string_view text)
{
    if (TfrmErrors* errors = windows_.use(&SecondaryWindows::errors))
        errors->addErrorLine(text);
}

void HooksRouter::clearErrors()
{
    if (windows_.errors)
        windows_.errors->clearErrors();
}

int HooksRouter::errorCount() const { return windows_.errors ? windows_.errors->errorCount() : 0; }

void HooksRouter::setErrorCount(int count)
{
    if (windows_.errors)
        windows_.errors->setErrorCount(count);
}

bool HooksRouter::errorWindowVisible() const { return windows_.errors && windows_.errors->isVisible(); }

void HooksRouter::showErrorWindow() { showModeless(windows_.use(&SecondaryWindows::errors)); }

void HooksRouter::showConnectedControls()
{
    if (parts_.connectedLook)
        parts_.connectedLook();
}

void HooksRouter::showDisconnectedPanels()
{
    if (parts_.disconnectedLook)
        parts_.disconnectedLook();
}

bool HooksRouter::claimPort(int com)
{
    if (!parts_.portCheck || !parts_.portCheck(com)) {
        showMessage(QStringLiteral("DXU Interface"), portOpenFailureText(com));
        return false;
    }
    // Open the port that was just checked. A port number changed while the
    // link was open reached only the store; the closed driver takes it now.
    if (parts_.driver && !parts_.driver->Connected())
        parts_.driver->SetComPort(static_cast<TComPortNumber>(com - 1));
    return true;
}

// Asked whether the unit may go: the changes not saved in it.
bool HooksRouter::confirmDisconnect() { return !parts_.session || parts_.session->confirmUnsaved(UnsavedMoment::Disconnect); }

void HooksRouter::updatePrevNextButtons()
{
    if (parts_.session)
        parts_.session->updatePrevNextButtons();
}

void HooksRouter::startPolling()
{
    if (parts_.pollTimer)
        parts_.pollTimer->start();
}

void HooksRouter::stopPolling()
{
    if (parts_.pollTimer)
        parts_.pollTimer->stop();
}

void HooksRouter::loadPollingInterval() { dxu::loadPollingInterval(state_); }

void HooksRouter::switchPcBaudRate()
{
    if (parts_.rateFollow)
        parts_.rateFollow->switchPc();
}

bool HooksRouter::commSetupVisible() const { return windows_.commSetup && windows_.commSetup->isVisible(); }

void HooksRouter::unitAnswered()
{
    if (parts_.rateFollow)
        parts_.rateFollow->answered();
}

bool HooksRouter::unitUnanswered()
{
    Session* session = parts_.session;
    if (!parts_.rateFollow || !session)
        return false;
    return parts_.rateFollow->unanswered([session] { session->readSettings(); },
                                         [session] { session->disconnectUnit(); });
}

bool HooksRouter::tryAnotherRate() { return parts_.rateSearch && parts_.rateSearch->tryNextRate(); }

bool HooksRouter::keepConnectRate() { return !parts_.rateSearch || parts_.rateSearch->keepFoundRate(); }

void HooksRouter::connectAbandoned()
{
    if (parts_.rateSearch)
        parts_.rateSearch->abandon();
}

void HooksRouter::scanVersion(std::string_view text)
{
    if (parts_.unitScan)
        parts_.unitScan->versionReceived(text);
}

void HooksRouter::unitAddressChanged(char to)
{
    if (parts_.mainUi)
        followAddressChange(state_, *parts_.mainUi, *this, to);
}

void HooksRouter::scanStepDone(bool answered)
{
    if (parts_.unitScan)
        parts_.unitScan->stepDone(answered);
}

void HooksRouter::scanReplyFrom(char address)
{
    if (parts_.unitScan)
        parts_.unitScan->replyFrom(address);
}

} // namespace dxu
