#pragma once
// The transaction engine: runs the command queue one item at a time, gathers
// received bytes into reply lines for the parser, advances the queue on the
// parser's verdict, and on every poll-timer tick detects missing replies and
// sends the periodic status requests.
#include "engine/asking.h"
#include "protocol/dxustate.h"
#include "protocol/events.h"
#include "protocol/hooks.h"
#include "protocol/protocol.h"
#include "serial/commlink.h"

#include <array>
#include <cstdint>
#include <initializer_list>

namespace dxu {

class Engine {
public:
    // Bytes held while a reply line is incomplete.
    static constexpr int LineCapacity = 50000;
    // A reply is missing, and the result lamp goes off, after this long.
    static constexpr int32_t ReplyTimeoutMs = 2000;
    // Longest received piece shown as one terminal line, without its CR.
    static constexpr int TerminalPieceChars = 78;

    Engine(DxuState& state, Protocol& protocol, CommLink& port, Hooks& hooks, UnitEvents& events, Asker& asker);
    Protocol& protocol() { return protocol_; }
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Sends the item at the queue cursor, or ends the queue on an empty slot.
    void sendCurrentItem();
    // Advances the queue on a verdict: ReplyFailure (2) or ReplyCompleted (3).
    void dispatchReply(int32_t verdict);
    // Empties the queue; when the unit measures, queues ST and US with the
    // caller's kind and marks measuring to be resumed when the list ends.
    void stopMeasurementFirst(int32_t kind);
    // Resets the unit to its saved settings and runs the connect sequence.
    void resetUnit();
    // Replaces the queue with a list of one command by code in the given
    // queue state and sends it.
    void sendOneCommand(int32_t queueState, const char* code, uint32_t commandId, int32_t retries);
    // Replaces the queue with a list of GO, ST and US (GO without retries)
    // and sends its first item.
    void startList(std::initializer_list<const char*> codes);
    // Ends whatever the queue held without sending more; no reply is awaited.
    void dropQueue();
    // A step the user waits for begins or ends; told as the busy event, once
    // per change.
    void setBusy(bool on);

    // Receive event of the serial port: gathers bytes and parses every whole
    // line (ended by CR or LF) as soon as it has arrived.
    void CommPortReceiveData(const void* data, int32_t size);
    // The one-second tick: reply time-out, result lamp, status requests.
    void PollTimerTimer();
    // The scan's own finer tick: while a scan waits for an address, gives it
    // up after the scan's reply time-out instead of the ordinary one, so that
    // a silent address costs a fraction of a second. Does nothing otherwise.
    void checkScanTimeout();
    // The reply time-out of a scan, set by the scan for each wait of an address.
    void setScanTimeoutMs(int32_t ms) { scanTimeoutMs_ = ms; }
    int32_t scanTimeoutMs() const { return scanTimeoutMs_; }
    // When the last try of an item goes unanswered: with end, the list ends
    // there (a unit that stopped answering is not waited for item by item);
    // without, it goes on with the next item.
    void setEndListWhenSilent(bool end) { endListWhenSilent_ = end; }

    int32_t lineLength() const { return lineLength_; }
    // Items that failed after their last try since the count was reset, and
    // the last of them ("SU: Cmd Timeout").
    int failedItems() const { return failedItems_; }
    const char* lastFailure() const { return lastFailure_.data(); }
    void resetFailures() { failedItems_ = 0; lastFailure_[0] = 0; }

private:
    void connectStep();
    void listStep();
    void uploadStep(bool answered);
    void followAddressWrite();
    void restartMeasuring();
    void askAboutErrors();
    void connectFailed();
    void tendResultLamp(uint32_t now);
    void requestStatus();
    void handleGatheredReplies();
    int32_t wholeLinesLength() const;
    void handleReplies(int32_t length);
    void appendReceived(const char* data, int32_t size);
    void echoReceived(const char* text, int32_t length);

    DxuState& st_;
    Protocol& protocol_;
    CommLink& port_;
    Hooks& hooks_;
    UnitEvents& events_;
    Asker& asker_;

    // One byte beyond the data for the parser's terminating NUL.
    std::array<char, LineCapacity + 1> lineBuffer_{};
    int32_t lineLength_ = 0;
    // What was gathered, handed to the parser; the line buffer meanwhile
    // gathers what arrives while a message box is open.
    std::array<char, LineCapacity + 1> parseBuffer_{};
    // What was gathered, kept for the terminal because parsing consumes it.
    std::array<char, LineCapacity + 1> scratch_{};
    // One terminal line: up to 78 characters, CR and NUL.
    std::array<char, 80> piece_{};
    bool askingAboutErrors_ = false;
    int failedItems_ = 0;
    std::array<char, 144> lastFailure_{};
    int32_t scanTimeoutMs_ = ReplyTimeoutMs;
    bool endListWhenSilent_ = false;
    // Set while a reply or a tick is being handled. A message box shown
    // meanwhile runs the event loop: bytes that arrive then are only gathered
    // and ticks only tend the result lamp, so that nothing overtakes the
    // reply in hand; the gathered replies are handled when it is done.
    bool busy_ = false;
    bool retrying_ = false; // the item in hand is sent again: no new write
    bool busyShown_ = false;
};

} // namespace dxu
