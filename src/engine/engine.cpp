#include "engine/engine.h"


#include "protocol/commandids.h"

#include "services/clock.h"

#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace dxu {
namespace {


bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// More than limit milliseconds between two tick counts: their absolute
// difference, taken as a signed 32-bit number so that a wrap of the counter
// still gives the short interval.
bool elapsedOver(uint32_t then, uint32_t now, int32_t limit)
{
    const int32_t d = static_cast<int32_t>(now - then);
    const int64_t abs = d < 0 ? -static_cast<int64_t>(d) : d;
    return abs > limit;
}

// Whether the list in the queue read settings: anything besides measuring's
// start, stop and status.
bool readSettings(const CommandQueue& q)
{
    for (const CommandItem& it : q.items) {
        const std::string_view code(it.code, strnlen(it.code, sizeof it.code));
        if (!code.empty() && code != "GO" && code != "ST" && code != "US")
            return true;
    }
    return false;
}

} // namespace

Engine::Engine(DxuState& state, Protocol& protocol, CommLink& port, Hooks& hooks, UnitEvents& events, Asker& asker)
    : st_(state), protocol_(protocol), port_(port), hooks_(hooks), events_(events), asker_(asker)
{
}

// ---------------------------------------------------------------- sending

void Engine::sendCurrentItem()
{
    CommandQueue& q = st_.queue;
    // Only a network status request is addressed to another unit; whatever
    // else the queue sends goes to the current unit, also after a status
    // request that was never answered.
    if (q.queueState != QueuePoll)
        st_.pollOtherUnit = 0;

    const CommandItem& it = q.atCursor();
    switch (it.kind) {
    case KindCode:
        if (it.commandId != 0)
            protocol_.sendCode(it.code);
        else
            setBusy(false);
        break;
    case KindBuilder:
        if (it.commandId != 0) {
            protocol_.sendWithBuilder();
            if (q.queueState == QueueUpload && !retrying_)
                events_.settingWriteSent(it.commandId);
        } else
            q.queueState = QueueIdle;
        break;
    default:
        if (it.commandId == 0) {
            q.queueState = QueueIdle;
            setBusy(false);
        }
        break;
    }
    events_.listProgress();
}

void Engine::stopMeasurementFirst(int32_t kind)
{
    CommandQueue& q = st_.queue;
    q.resetQueue();
    // Only the unit the list talks to decides: another unit's lamp must not
    // make this one stop now and start measuring when the list ends.
    if (!st_.current().laserOn)
        return;
    st_.resumeMeasuring = 1;
    q.enqueueWithArgs(kind, "ST", IdStop, ListRetries, ArgInt);
    q.enqueueWithArgs(kind, "US", IdStatus, ListRetries, ArgInt);
}

void Engine::resetUnit()
{
    protocol_.sendResetLine();
    waitMs(2000);
    sendOneCommand(QueueConnect, "US", IdStatus, RestartRetries);
}

void Engine::startList(std::initializer_list<const char*> codes)
{
    CommandQueue& q = st_.queue;
    q.queueState = QueueList;
    q.resetQueue();
    for (const char* code : codes) {
        const std::string_view c(code);
        const uint32_t id = c == "GO" ? IdGo : c == "ST" ? IdStop : IdStatus;
        q.enqueueCommand(KindCode, code, id, id == IdGo ? NoRetries : ListRetries);
    }
    q.cursor = 0;
    sendCurrentItem();
}

void Engine::dropQueue()
{
    st_.queue.resetQueue();
    st_.queue.queueState = QueueIdle;
    st_.lastSendTick = 0;
}

void Engine::setBusy(bool on)
{
    if (on == busyShown_)
        return;
    busyShown_ = on;
    events_.busy(on);
}

void Engine::sendOneCommand(int32_t queueState, const char* code, uint32_t commandId, int32_t retries)
{
    CommandQueue& q = st_.queue;
    q.resetQueue();
    q.queueState = queueState;
    q.enqueueCommand(KindCode, code, commandId, retries);
    q.cursor = 0;
    sendCurrentItem();
}

// ---------------------------------------------------------------- dispatch

void Engine::dispatchReply(int32_t verdict)
{
    CommandQueue& q = st_.queue;
    if (verdict == ReplyCompleted)
        hooks_.unitAnswered();
    if (verdict == ReplyCompleted && q.queueState == QueueList && q.atCursor().commandId == IdSaveSettings)
        events_.settingsSaved();
    if (verdict == ReplyFailure && q.queueState != QueueIdle) {
        // The item that failed is the one in flight, also while connecting
        // (where the cursor runs ahead of it): it is the one sent again.
        CommandItem& it = q.inFlight();
        if (it.retriesLeft > 0) {
            --it.retriesLeft;
            retrying_ = true;
            const int cursor = q.cursor;
            q.cursor = static_cast<int>(&it - q.items.data());
            sendCurrentItem();
            q.cursor = cursor;
            retrying_ = false;
            return;
        }
        // Failed for good: skipped like a completed item, and counted.
        ++failedItems_;
        if (it.commandId == IdSaveSettings)
            events_.settingsNotSaved();
        std::snprintf(lastFailure_.data(), lastFailure_.size(), "%.11s: %.127s", it.code,
                      it.failureText[0] ? it.failureText : "no reply");
    }
    switch (q.queueState) {
    case QueueConnect:
        connectStep();
        break;
    case QueueList:
    case QueuePoll:
        listStep();
        break;
    case QueueUpload:
        if (verdict == ReplyCompleted)
            followAddressWrite();
        uploadStep(verdict == ReplyCompleted);
        break;
    case QueueScan:
        hooks_.scanStepDone(verdict == ReplyCompleted);
        break;
    default:
        break;
    }
}

void Engine::connectStep()
{
    CommandQueue& q = st_.queue;
    // The cursor runs one ahead of the item in flight.
    if (q.atCursor().commandId != 0) {
        sendCurrentItem();
        if (q.cursor < CommandQueue::MaxListItems)
            ++q.cursor;
        return;
    }
    events_.connectAnswered();
}

void Engine::listStep()
{
    CommandQueue& q = st_.queue;
    ++q.cursor;
    while (q.cursor < CommandQueue::MaxListItems && q.atCursor().kind == KindDone)
        ++q.cursor;
    if (q.atCursor().commandId != 0) {
        sendCurrentItem();
        return;
    }

    // The list has ended; the queue reads as empty from now on.
    const bool wasList = q.queueState == QueueList;
    q.cursor = 0;
    q.items[0].commandId = 0;
    if (wasList) {
        // A list that read settings (also one that stopped measuring
        // first) leaves the panel showing what the unit holds; starting or
        // stopping measuring leaves the panel's edits pending.
        if (readSettings(q))
            events_.nothingToUpload();
        setBusy(false);
        st_.current().settingsRead = 1;
    } else {
        // A status request whose unit never answered.
        if (st_.pollOtherUnit && st_.pollTarget > 0)
            events_.unitStatus(st_.pollTarget, false);
        st_.pollOtherUnit = 0;
    }
    q.queueState = QueueIdle;
    events_.listProgress();

    askAboutErrors();
    events_.listEnded();
    if (st_.resumeMeasuring)
        restartMeasuring();
    st_.readyForStatus = 1;
}

void Engine::askAboutErrors()
{
    const int count = hooks_.errorCount();
    // A message box runs the event loop; a list that ends meanwhile must not
    // ask a second time.
    if (count <= 0 || hooks_.errorWindowVisible() || askingAboutErrors_)
        return;
    askingAboutErrors_ = true;
    Asking asking{Question::ViewErrors};
    asking.count = count;
    const bool view = asker_.ask(asking);
    askingAboutErrors_ = false;
    if (view) {
        hooks_.showErrorWindow();
    } else {
        hooks_.setErrorCount(0);
        hooks_.clearErrors();
    }
}

void Engine::restartMeasuring()
{
    st_.resumeMeasuring = 0;
    events_.measuringStarted();
    startList({"GO", "US"});
}

// A unit on the network listens at its new address once it has answered the
// UA write: the read-back and everything after go there.
void Engine::followAddressWrite()
{
    const CommandItem& it = st_.queue.atCursor();
    if (st_.networkMode() && it.kind == KindBuilder && it.commandId == IdAddress)
        hooks_.unitAddressChanged(static_cast<char>(it.args[0] & 0xFF));
}

void Engine::uploadStep(bool answered)
{
    CommandQueue& q = st_.queue;
    CommandItem& it = q.atCursor();
    // A write the unit refused (ER after every try) changed nothing there:
    // it is read back like the others, but nothing waits to be saved.
    const bool written = answered && it.kind == KindBuilder;
    const bool refused = !answered && it.kind == KindBuilder;
    const uint32_t writtenId = it.commandId;
    if (refused)
        events_.settingRefused(writtenId, it.failureText[0] ? std::string_view(it.failureText) : "no reply");
    bool restarted = false;
    if (it.kind == KindBuilder) {
        // The write was answered; the same item now reads the value back.
        it.kind = KindCode;
        if (it.commandId == IdLoopFine) {
            if (q.cursor > 0)
                q.at(q.cursor - 1).kind = KindDone;
            std::memset(it.code, 0, sizeof it.code);
            std::strncpy(it.code, "P4", sizeof it.code - 1);
            it.commandId = IdLoopCalibration;
        } else if (it.commandId == IdStop || it.commandId == IdStatus) {
            it.kind = KindDone;
        }
        if (it.commandId == IdBaudPort0 || it.commandId == IdBaudPort1) {
            if (st_.baudChangePending) {
                st_.baudChangePending = 0;
                hooks_.switchPcBaudRate();
            } else {
                if (st_.resumeMeasuring) {
                    restartMeasuring();
                    restarted = true;
                }
                st_.readyForStatus = 1;
            }
        }
    } else {
        it.kind = KindDone;
    }

    if (written)
        events_.settingWritten(writtenId);
    // Measuring was restarted: its GO is in flight and its list runs on from
    // there, one command at a time.
    if (restarted)
        return;

    ++q.cursor;
    while (q.cursor < CommandQueue::MaxListItems && q.atCursor().kind == KindDone
           && q.atCursor().commandId != 0)
        ++q.cursor;
    if (q.atCursor().commandId == 0) {
        // Writes done: read back what was written.
        q.queueState = QueueList;
        q.cursor = 0;
        while (q.cursor < CommandQueue::MaxListItems && q.atCursor().kind == KindDone)
            ++q.cursor;
        events_.nothingToUpload();
    }
    sendCurrentItem();
}

// ---------------------------------------------------------------- receive

void Engine::CommPortReceiveData(const void* data, int32_t size)
{
    if (!data || size <= 0)
        return;
    appendReceived(static_cast<const char*>(data), size);
    handleGatheredReplies();
}

// Every whole line gathered is handled at once, whatever follows it: noise
// or the start of the next line stays gathered until its line end arrives.
void Engine::handleGatheredReplies()
{
    while (!busy_) {
        const int32_t whole = wholeLinesLength();
        if (whole == 0)
            return;
        busy_ = true;
        handleReplies(whole);
        busy_ = false;
    }
}

// The bytes gathered up to and including the last line end; 0 when no line
// has ended.
int32_t Engine::wholeLinesLength() const
{
    for (int32_t i = lineLength_; i > 0; --i)
        if (isLineEnd(lineBuffer_[static_cast<size_t>(i) - 1]))
            return i;
    return 0;
}

void Engine::handleReplies(int32_t length)
{
    std::memcpy(parseBuffer_.data(), lineBuffer_.data(), static_cast<size_t>(length));
    const int32_t rest = lineLength_ - length;
    std::memmove(lineBuffer_.data(), lineBuffer_.data() + length, static_cast<size_t>(rest));
    std::memset(lineBuffer_.data() + rest, 0, static_cast<size_t>(length));
    lineLength_ = rest;

    const bool echo = hooks_.terminalVisible();
    int32_t echoLength = 0;
    if (echo) {
        echoLength = static_cast<int32_t>(strnlen(parseBuffer_.data(), static_cast<size_t>(length)));
        std::memcpy(scratch_.data(), parseBuffer_.data(), static_cast<size_t>(echoLength));
    }
    const ReplyResult verdict = protocol_.parseReplies(parseBuffer_.data(), length);
    // The parser clears what it consumed; make sure nothing is left behind.
    std::memset(parseBuffer_.data(), 0, static_cast<size_t>(length) + 1);
    if (echo) {
        echoReceived(scratch_.data(), echoLength);
        std::memset(scratch_.data(), 0, static_cast<size_t>(echoLength));
    }
    if (verdict == ReplyFailure || verdict == ReplyCompleted)
        dispatchReply(verdict);
}

// Appends a block to the line buffer. When it does not fit, the oldest bytes
// give way up to a line end, so that the newest complete lines and the line
// being received survive; a run longer than the buffer without any line end is
// dropped whole and reception recovers at the next line.
void Engine::appendReceived(const char* data, int32_t size)
{
    const int64_t total = static_cast<int64_t>(lineLength_) + size;
    if (total <= LineCapacity) {
        std::memcpy(lineBuffer_.data() + lineLength_, data, static_cast<size_t>(size));
        lineLength_ += size;
        return;
    }
    // Keep only what follows the first line end at or after this position.
    const int64_t minCut = total - LineCapacity - 1;
    auto byteAt = [&](int64_t i) { return i < lineLength_ ? lineBuffer_[static_cast<size_t>(i)] : data[i - lineLength_]; };
    int64_t keepFrom = -1;
    for (int64_t i = minCut; i < total; ++i) {
        if (isLineEnd(byteAt(i))) {
            keepFrom = i + 1;
            break;
        }
    }
    if (keepFrom < 0) {
        std::memset(lineBuffer_.data(), 0, static_cast<size_t>(lineLength_));
        lineLength_ = 0;
        return;
    }
    if (keepFrom < lineLength_) {
        const int32_t kept = lineLength_ - static_cast<int32_t>(keepFrom);
        std::memmove(lineBuffer_.data(), lineBuffer_.data() + keepFrom, static_cast<size_t>(kept));
        std::memcpy(lineBuffer_.data() + kept, data, static_cast<size_t>(size));
        lineLength_ = kept + size;
    } else {
        const int32_t skip = static_cast<int32_t>(keepFrom - lineLength_);
        std::memcpy(lineBuffer_.data(), data + skip, static_cast<size_t>(size - skip));
        lineLength_ = size - skip;
    }
    std::memset(lineBuffer_.data() + lineLength_, 0, lineBuffer_.size() - static_cast<size_t>(lineLength_));
}

// Shows each piece of text ended by CR as one terminal line, CR included; a
// piece too long for one line is shown as several, each ended by CR. Text
// after the last CR is not shown.
void Engine::echoReceived(const char* text, int32_t length)
{
    int32_t start = 0;
    for (int32_t i = 0; i < length; ++i) {
        if (text[i] != '\r')
            continue;
        int32_t pos = start;
        do {
            const int32_t n = std::min(i - pos, static_cast<int32_t>(TerminalPieceChars));
            std::memcpy(piece_.data(), text + pos, static_cast<size_t>(n));
            piece_[static_cast<size_t>(n)] = '\r';
            piece_[static_cast<size_t>(n) + 1] = 0;
            hooks_.appendTerminal(std::string_view(piece_.data(), static_cast<size_t>(n) + 1));
            pos += n;
        } while (pos < i);
        start = i + 1;
    }
}

// ---------------------------------------------------------------- poll timer

void Engine::PollTimerTimer()
{
    const uint32_t now = tickCount();
    // A message box of the reply or tick in hand is open: time-outs and
    // status requests wait for the next tick after it.
    if (busy_) {
        tendResultLamp(now);
        return;
    }
    busy_ = true;
    if (st_.lastSendTick != 0
        && elapsedOver(st_.lastSendTick, now, ReplyTimeoutMs + int32_t(port_.ReplyAllowanceMs()))) {
        st_.lastSendTick = 0;
        if (st_.queue.queueState == QueueConnect) {
            connectFailed();
        } else if (st_.queue.queueState == QueueScan) {
            dispatchReply(ReplyFailure); // a silent address: the scan moves on
        } else {
            CommandItem& it = st_.queue.atCursor();
            std::memset(it.failureText, 0, sizeof it.failureText);
            std::strncpy(it.failureText, "Cmd Timeout", sizeof it.failureText - 1);
            if (it.retriesLeft > 0) {
                dispatchReply(ReplyFailure);
            } else if (!hooks_.unitUnanswered()) {
                events_.itemUnanswered();
                if (endListWhenSilent_)
                    dropQueue();
                else
                    dispatchReply(ReplyFailure);
            }
        }
    }
    tendResultLamp(now);
    requestStatus();
    busy_ = false;
    handleGatheredReplies();
}

void Engine::checkScanTimeout()
{
    if (busy_ || st_.queue.queueState != QueueScan || st_.lastSendTick == 0 ||
        !elapsedOver(st_.lastSendTick, tickCount(), scanTimeoutMs_))
        return;
    busy_ = true;
    st_.lastSendTick = 0;
    dispatchReply(ReplyFailure); // a silent address: the scan moves on
    busy_ = false;
    handleGatheredReplies();
}

// The result lamp goes off when no measurement has arrived for a while.
void Engine::tendResultLamp(uint32_t now)
{
    hooks_.showResultAge(now);
    if (elapsedOver(st_.lastResultTick, now, ReplyTimeoutMs)) {
        events_.resultOverdue();
    }
}

void Engine::connectFailed()
{
    events_.connectUnanswered();
}

void Engine::requestStatus()
{
    const int32_t state = st_.queue.queueState;
    // On RS-232 the one unit at the end of the cable is asked, whatever the
    // network list holds; on RS-485 the members of the list are.
    const int32_t units = st_.networkMode() ? st_.networkCount : 1;
    if (st_.statusRequests == 0 || st_.connected != 1 || (state != QueueIdle && state != QueuePoll) || units == 0)
        return;

    if (st_.networkMode()) {
        // After a pause of pollingInterval ticks, one unit per tick.
        if (++st_.pollTickCount <= st_.pollingInterval)
            return;
        if (st_.pollIndex < 1 || st_.pollIndex > st_.networkCount)
            st_.pollIndex = 1;
        if (st_.readyForStatus) {
            // The request before this one has not been answered by now.
            if (state == QueuePoll && st_.pollOtherUnit && st_.pollTarget > 0)
                events_.unitStatus(st_.pollTarget, false);
            st_.pollOtherUnit = 1;
            st_.pollTarget = st_.pollIndex;
            sendOneCommand(QueuePoll, "US", IdStatus, NoRetries);
        }
        if (++st_.pollIndex > st_.networkCount) {
            st_.pollIndex = 1;
            st_.pollTickCount = 0;
        }
        return;
    }

    // RS-232: every second tick, and only when the queue is empty or holds
    // nothing but an earlier status request.
    if (++st_.rs232TickCount <= 1)
        return;
    st_.rs232TickCount = 0;
    const CommandQueue& q = st_.queue;
    if (st_.readyForStatus && q.cursor == 0 && (q.items[0].commandId == 0 || q.items[0].commandId == IdStatus))
        sendOneCommand(QueuePoll, "US", IdStatus, ListRetries);
}

} // namespace dxu
