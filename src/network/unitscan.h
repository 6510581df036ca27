#pragma once
// Finding the units on an RS-485 line: with nothing connected, the port is
// opened at the network rate and each of the 62 addresses is asked for its
// version, through the command queue.
//
// How long an address is waited for follows from the line: the question's
// time on the wire plus "Units answer within" (the time a unit takes to
// start its reply) plus the PC's own delay. An address from which no byte
// has come by then is silent. A reply that has begun is waited for whole:
// for its time on the wire, and for as long as more of it keeps coming (an
// adapter or a device server may hand it on in pieces, with pauses between
// them), up to the reply time-out. After a reply the line is listened to for
// as long as a second unit at the same address could still be answering:
// two whole replies to one question, or garbled bytes twice in a row, mean
// that more than one unit answers at that address, and the address is
// reported so rather than listed as one unit. An address that sent bytes that made no
// reply is asked once more at once; one whose reply came after its wait is
// asked once more at the end, with the address in hand when it came. When the
// last address is done, or after the current one when cancelled, the port
// is closed again and the current record has its address back.
#include "engine/engine.h"
#include "engine/session.h"
#include "network/networkconfig.h"

#include <QString>
#include <QTimer>

#include <functional>
#include <string_view>
#include <vector>

namespace dxu {

// The waits of a scan at a line rate (bit/s) with units that answer within
// answerWithinMs, each counted from the question.
struct ScanTiming {
    // No byte of a reply by then: the address is silent.
    int32_t silentMs = 0;
    // A reply that has begun has fully arrived by then, however long the
    // unit's version text, when it comes in one piece.
    int32_t begunMs = 0;
    // A reply in pieces: no more of it for this long, and it has ended.
    int32_t pauseMs = 0;
    // After a reply of replyChars characters: by then a second unit at the
    // same address would have answered too.
    int32_t listenMs(int replyChars) const;

    uint32_t bitsPerSecond = 9600;
    int32_t answerWithinMs = 50;
};
ScanTiming scanTiming(uint32_t bitsPerSecond, int32_t answerWithinMs);

class UnitScan {
public:
    // "Units answer within": the default, the range, and its value name in
    // the store.
    static constexpr int DefaultAnswerWithinMs = 50;
    static constexpr int MinAnswerWithinMs = 1;
    static constexpr int MaxAnswerWithinMs = 1000; // every wait stays within the reply time-out
    static constexpr const char* AnswerWithinValue = "Units Answer Within";
    // The stored "Units answer within", or the default.
    static int storedAnswerWithinMs();
    static void storeAnswerWithinMs(int ms);

    struct Found {
        char address;
        QString version;
    };

    UnitScan(DxuState& state, Engine& engine, Session& session, CommLink& link, Hooks& hooks);

    // Only in network mode, with no connection and nothing queued.
    bool canStart() const;
    // Where a scan asks: "COM n" of the RS-485 link and its rate in bit/s.
    int comNumber() const { return session_.comNumberInUse(); }
    uint32_t lineRate() const;
    // How long a unit may take to start its reply, for the next start.
    void setAnswerWithinMs(int ms);
    // Opens the port and asks the first address; false when it cannot start.
    bool start();
    // Stops after the address in hand.
    void cancel() { cancelled_ = true; }
    bool running() const { return running_; }
    // Addresses done so far, 0 to AddressCount.
    int done() const { return next_; }
    // The units found, in address order, and the addresses at which more
    // than one unit answers.
    const std::vector<Found>& found() const { return found_; }
    const std::vector<char>& crowded() const { return crowded_; }

    // Called by the engine through the window's hooks.
    void versionReceived(std::string_view text);
    void replyFrom(char address);
    void stepDone(bool answered);
    // The port went away: the scan ends at once.
    void portLost()
    {
        if (running_)
            finish();
    }

    // Progress, a unit found, or the end of the scan.
    std::function<void()> changed;

private:
    enum class Phase { Asking, Begun, Listening };

    void askNext();
    void ask();
    void waitUntil(int32_t ms);
    void armTimer();
    void settle();
    void finish();
    void markFound(char address);
    void markCrowded(char address);
    void recheckLater(char address);
    void notify()
    {
        if (changed)
            changed();
    }

    DxuState& st_;
    Engine& engine_;
    Session& session_;
    CommLink& link_;
    Hooks& hooks_;
    std::vector<Found> found_;
    std::vector<char> crowded_;
    // Addresses asked again after the pass: a reply came after its wait, or
    // a second reply after its listening.
    std::vector<char> recheck_;
    std::size_t rechecked_ = 0;
    ScanTiming timing_;
    int answerWithinMs_ = DefaultAnswerWithinMs;
    QTimer timer_;

    // The address in hand.
    char asking_ = 0;
    Phase phase_ = Phase::Asking;
    uint32_t askedAt_ = 0;
    int32_t lineAtAsk_ = 0;  // bytes the engine held without a line end
    int32_t lineAtWait_ = 0; // the same when the current wait began
    QString version_;
    int replyChars_ = 0;
    int replies_ = 0;        // whole replies framed with its address
    bool heardOther_ = false; // a reply framed with another address
    bool askedAgain_ = false;
    bool garbledBefore_ = false;

    int next_ = 0;
    unsigned char savedAddress_ = 0;
    bool running_ = false;
    bool cancelled_ = false;
};

} // namespace dxu
