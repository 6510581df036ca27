#include "engine/session.h"

#include "engine/connectdetails.h"

#include "engine/engine.h"
#include "protocol/commandids.h"
#include "protocol/settingcodes.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace dxu {
namespace {

// Slots searched for network members; a slot holding EmptySlot is free.
constexpr int SearchedSlots = 64;

} // namespace

Session::Session(DxuState& state, Engine& engine, CommLink& link, Hooks& hooks, SessionView& view, Asker& asker)
    : st_(state), engine_(engine), link_(link), hooks_(hooks), view_(view), asker_(asker)
{
}

int Session::comNumberInUse() const
{
    const UnitRecord& pc = st_.unitTable[0];
    return (st_.networkMode() ? pc.port485 : pc.port232) + 1;
}

// ----------------------------------------------------------------------------
// Connect and disconnect

void Session::connectClicked()
{
    hooks_.clearErrors();
    hooks_.setErrorCount(0);
    // Connected on screen with its port closed under it: Disconnect
    // disconnects all the same.
    if (link_.Connected() || st_.connected) {
        if (!hooks_.confirmDisconnect())
            return;
        disconnectUnit();
        return;
    }

    st_.currentUnit = 0;
    // A connect the user starts is never a unit switch, whatever the last
    // switch left behind: a silent first unit walks on along the network.
    st_.switchingUnit = 0;
    // What was read belongs to the last connection: a unit visited again is
    // read again.
    for (UnitRecord& r : st_.unitTable)
        r.settingsRead = 0;
    if (st_.networkMode()) {
        st_.unitTable[0].address = 0;
        st_.lastDirection = StepNext;
        const char first = nextAssignedAddress(0, StepNext);
        if (first == 0) {
            asker_.ask({Question::NoUnitsAssigned});
            return;
        }
        st_.current().address = static_cast<unsigned char>(first);
    }
    openAndConnect();
}

void Session::disconnectUnit()
{
    hooks_.stopPolling();
    view_.disconnecting();
    engine_.setBusy(false);

    link_.Disconnect();
    hooks_.connectAbandoned();
    showReadProgress();
    showDisconnectedLook();
    hooks_.showDisconnectedPanels();
    hooks_.setTerminalSend(false);
    view_.disconnected();
}

// Nothing is connected: the mode can be chosen again and the buttons say so.
void Session::showDisconnectedLook()
{
    st_.connected = 0;
    view_.idle();
}

void Session::openAndConnect()
{
    st_.noDistance = 1;
    const int com = comNumberInUse();
    if (!hooks_.claimPort(com)) {
        abandonSwitch();
        return;
    }
    if (!st_.networkMode())
        view_.singleUnit();
    if (!link_.Connect()) {
        abandonSwitch();
        return;
    }

    engine_.setBusy(true);
    view_.connecting();
    hooks_.setTerminalSend(true);

    engine_.sendOneCommand(QueueConnect, "US", IdStatus, ListRetries);
    hooks_.startPolling();
}

// A unit switch closed the port of the connection on screen; when it cannot
// be opened again, the window shows that nothing is connected any more rather
// than a connection whose port is closed.
void Session::abandonSwitch()
{
    if (!st_.switchingUnit)
        return;
    st_.switchingUnit = 0;
    disconnectUnit();
}

// The device went away under an open port (a USB adapter pulled, the far end
// of a pseudo-terminal closed). Nothing will arrive or leave any more: close
// the port and show the disconnected look, so that the user sees it at once
// and can connect again when the device is back.
void Session::portLost(int comNumber)
{
    Asking asking{Question::PortLost};
    asking.reason = QString::fromStdString(link_.LostText());
    asking.comNumber = comNumber;
    disconnectUnit();
    asker_.ask(asking);
}

// The window shows a connection whose port is closed (it was closed under
// it): what the user asked for cannot reach the unit. Say so and show what
// is true, as when the device goes away.
void Session::portClosed()
{
    if (st_.connected && !link_.Connected())
        portLost(comNumberInUse());
}

void Session::connectCompleted()
{
    if (!hooks_.keepConnectRate()) {
        disconnectUnit();
        return;
    }
    view_.connected(st_.current().laserOn != 0);
    updatePrevNextButtons();
    st_.connected = 1;
    engine_.setBusy(false);

    if (st_.networkMode()) {
        hooks_.loadPollingInterval();
        st_.pollTickCount = 0;
        if (st_.networkCount > 1)
            view_.steppingShown();
        showViewingLabels();
        updatePrevNextButtons();
    }
    if (st_.resumeMeasuring == 0)
        view_.calibration(true);

    hooks_.showConnectedControls();
    readSettings();
}

void Session::connectFailed()
{
    engine_.setBusy(false);
    view_.connectEnded();
    link_.Disconnect();

    if (!st_.networkMode()) {
        if (hooks_.tryAnotherRate()) {
            openAndConnect();
            return;
        }
        showDisconnectedLook();
        Asking asking{Question::CannotConnect};
        asking.details = connectFailureDetails(st_);
        asker_.ask(asking);
    } else if (st_.switchingUnit) {
        // The user stepped to a silent unit: stay on the line so that Prev
        // and Next can step on. Nothing of the last unit stays on screen, and
        // nothing can act on a unit that did not answer.
        link_.Connect();
        hooks_.showDisconnectedPanels();
        view_.unitSilent();
        Asking asking{Question::CannotConnectUnit};
        asking.unit = st_.currentUnit;
        asking.address = st_.current().addressChar();
        asking.details = connectFailureDetails(st_);
        asker_.ask(asking);
        view_.viewing(st_.currentUnit, st_.networkCount, '?');
    } else {
        // Walk on along the network list until a unit answers.
        const std::string unitText = "Cannot connect to DXU " + std::to_string(st_.currentUnit)
                                     + ": Address: " + std::string(1, st_.current().addressChar());
        hooks_.addErrorLine(unitText);
        const char next = nextAssignedAddress(st_.current().addressChar(), st_.lastDirection);
        if (next == 0) {
            showDisconnectedLook();
            Asking asking{Question::CannotConnectNetwork};
            asking.details = connectFailureDetails(st_, TriedUnits::WholeNetwork);
            asker_.ask(asking);
        } else {
            st_.current().address = static_cast<unsigned char>(next);
            openAndConnect();
        }
    }
    st_.switchingUnit = 0;
}

void Session::resetClicked()
{
    if (!asker_.ask({Question::ResetUnit}))
        return;
    engine_.resetUnit();
    view_.unitReset();
}

void Session::pointerClicked()
{
    pointerOn_ = !pointerOn_;
    view_.pointer(pointerOn_);
    engine_.protocol().sendIntCommand("PT", pointerOn_ ? 1 : 0);
}

bool Session::confirmUnsaved(UnsavedMoment moment)
{
    if (!view_.unsavedInUnit())
        return true;
    return asker_.ask({moment == UnsavedMoment::Exit ? Question::UnsavedOnExit : Question::UnsavedOnDisconnect});
}

// ----------------------------------------------------------------------------
// Units of a network

char Session::nextAssignedAddress(char address, int direction)
{
    int p = -1;
    if (address != 0) {
        for (int i = 0; i < SearchedSlots; ++i) {
            if (st_.networkSlots[static_cast<size_t>(i)] == address) {
                p = i;
                break;
            }
        }
    }
    if (direction == StepNext) {
        for (int i = p + 1; i < SearchedSlots; ++i) {
            const char c = st_.networkSlots[static_cast<size_t>(i)];
            if (c != EmptySlot) {
                ++st_.currentUnit;
                return c;
            }
        }
    } else if (direction == StepPrevious) {
        for (int i = p - 1; i >= 0; --i) {
            const char c = st_.networkSlots[static_cast<size_t>(i)];
            if (c != EmptySlot) {
                if (st_.currentUnit > 1)
                    --st_.currentUnit;
                return c;
            }
        }
    }
    return 0;
}

void Session::updatePrevNextButtons()
{
    view_.stepping(st_.currentUnit != 1, st_.currentUnit != st_.networkCount);
}

void Session::showViewingLabels() { view_.viewing(st_.currentUnit, st_.networkCount, st_.current().addressChar()); }

void Session::switchUnit(int direction)
{
    if (direction == StepNext ? st_.currentUnit >= st_.networkCount : st_.currentUnit <= 1)
        return;
    // A list for the unit on screen is still answered: the rest of a read, of
    // an upload or of a connect, and a restart of measuring at its end, would
    // go to the unit stepped to. A switch whose connect failed has no reply
    // outstanding and can be stepped on from.
    const int32_t state = st_.queue.queueState;
    if (st_.lastSendTick != 0 && (state == QueueList || state == QueueUpload || state == QueueConnect))
        return;
    st_.lastDirection = direction;
    const char c = nextAssignedAddress(st_.current().addressChar(), direction);
    if (c == 0)
        return;
    // Going back, the record of a unit visited before holds its address.
    if (direction == StepNext)
        st_.current().address = static_cast<unsigned char>(c);
    updatePrevNextButtons();
    if (st_.current().settingsRead) {
        // Back from a unit that did not answer, too.
        hooks_.showConnectedControls();
        showViewingLabels();
        view_.unitShownAgain();
        return;
    }
    st_.switchingUnit = 1;
    link_.Disconnect();
    openAndConnect();
}

void Session::updateConnectionTypeLabel()
{
    const UnitRecord& pc = st_.unitTable[0];
    const bool rs232 = pc.portInUse == 1;
    view_.connectionType(rs232, (rs232 ? pc.port232 : pc.port485) + 1, st_.current().currentPort != 0);
}

// ----------------------------------------------------------------------------
// Lists

void Session::continuousClicked()
{
    if (st_.current().laserOn) {
        view_.measuring(false);
        st_.resumeMeasuring = 0;
        engine_.startList({"ST", "US"});
        view_.calibration(true);
        return;
    }
    view_.measuring(true);
    st_.current().laserOn = 1;
    engine_.startList({"GO", "US"});
    view_.calibration(false);
}

void Session::readSettings()
{
    st_.readyForStatus = 0;
    engine_.setBusy(true);
    st_.queue.queueState = QueueList;
    engine_.stopMeasurementFirst(KindCode);
    switchOutputOffFirst();
    enqueueSettingsRead(st_.queue);
    st_.queue.readLength = st_.queue.cursor;
    st_.queue.cursor = 0;
    engine_.sendCurrentItem();
}

// A member added to the network while disconnected may stream results onto
// the shared line: its continuous output goes off, and stays off, before it
// is read.
void Session::switchOutputOffFirst()
{
    if (!st_.networkMode())
        return;
    const size_t position = std::string_view(AddressAlphabet).find(st_.current().addressChar());
    if (position >= st_.outputOffPending.size() || !st_.outputOffPending[position])
        return;
    st_.outputOffPending[position] = false;
    st_.queue.enqueueCommand(KindCode, "CO,0", IdContinuous, ListRetries);
    st_.queue.enqueueCommand(KindCode, "SU", IdSaveSettings, ListRetries);
}

void Session::showReadProgress()
{
    CommandQueue& q = st_.queue;
    if (q.readLength <= 0 || q.queueState != QueueList || !link_.Connected()) {
        q.readLength = 0;
        view_.readProgress(0, 0);
        return;
    }
    view_.readProgress(std::min(q.cursor + 1, q.readLength), q.readLength);
}

} // namespace dxu
