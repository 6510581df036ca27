#include "network/unitscan.h"

#include "network/networkconfig.h"
#include "protocol/commandids.h"
#include "serial/commportdriver.h"
#include "services/clock.h"
#include "services/store.h"

#include <algorithm>

namespace dxu {

namespace {
// "#aSV" and its line end.
constexpr int RequestChars = 5;
// "#aSV,<version>" and its line end; a version text is well under 40
// characters.
constexpr int LongestReplyChars = 44;
constexpr int BitsPerChar = 10; // start, 8 data, stop
// The PC's own share of every wait: the adapter handing bytes on, the
// event loop getting to them.
constexpr int32_t PcDelayMs = 10;

int32_t wireMs(int chars, uint32_t bitsPerSecond)
{
    const uint64_t bits = uint64_t(std::max(chars, 0)) * BitsPerChar * 1000;
    const uint64_t rate = std::max(bitsPerSecond, 1u);
    return static_cast<int32_t>(std::min<uint64_t>((bits + rate - 1) / rate, Engine::ReplyTimeoutMs));
}
} // namespace

int32_t ScanTiming::listenMs(int replyChars) const
{
    // A second unit starts its reply within the answer time too, at the
    // latest after the first one's.
    return wireMs(RequestChars + 2 * std::max(replyChars, RequestChars), bitsPerSecond) + answerWithinMs + PcDelayMs;
}

ScanTiming scanTiming(uint32_t bitsPerSecond, int32_t answerWithinMs)
{
    ScanTiming t;
    t.bitsPerSecond = std::max(bitsPerSecond, 1u);
    t.answerWithinMs = std::clamp<int32_t>(answerWithinMs, UnitScan::MinAnswerWithinMs, UnitScan::MaxAnswerWithinMs);
    // The question on the wire, the unit's answer time, and the first
    // character of its reply.
    t.silentMs = wireMs(RequestChars + 1, t.bitsPerSecond) + t.answerWithinMs + PcDelayMs;
    t.begunMs = wireMs(RequestChars + LongestReplyChars, t.bitsPerSecond) + t.answerWithinMs + PcDelayMs;
    // A pause inside a reply is allowed what a unit and the PC may take to
    // start one, twice over, and a whole reply's time on the wire.
    t.pauseMs = wireMs(LongestReplyChars, t.bitsPerSecond) + 2 * (t.answerWithinMs + PcDelayMs);
    return t;
}

int UnitScan::storedAnswerWithinMs()
{
    int ms = DefaultAnswerWithinMs;
    if (!Store::readInt(QString::fromLatin1(AnswerWithinValue), ms) || ms < MinAnswerWithinMs || ms > MaxAnswerWithinMs)
        ms = DefaultAnswerWithinMs;
    return ms;
}

void UnitScan::storeAnswerWithinMs(int ms) { Store::writeInt(QString::fromLatin1(AnswerWithinValue), ms); }

UnitScan::UnitScan(DxuState& state, Engine& engine, Session& session, CommLink& link, Hooks& hooks)
    : st_(state), engine_(engine), session_(session), link_(link), hooks_(hooks)
{
    // One wake-up at each deadline, to the millisecond.
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        engine_.checkScanTimeout();
        armTimer();
    });
}

bool UnitScan::canStart() const
{
    return !running_ && st_.networkMode() && st_.connected == 0 && st_.queue.queueState == QueueIdle &&
           !link_.Connected();
}

void UnitScan::setAnswerWithinMs(int ms)
{
    answerWithinMs_ = std::clamp(ms, MinAnswerWithinMs, MaxAnswerWithinMs);
}

// The rate the line runs at: the driver may run one the rate table does not
// hold (dxu-cli --rate 300).
uint32_t UnitScan::lineRate() const
{
    const uint32_t rate = link_.LineRate();
    return rate ? rate : baudRateValue(rateOfRateIndex(st_.unitTable[0].port485RateIndex));
}

bool UnitScan::start()
{
    if (!canStart() || !hooks_.claimPort(session_.comNumberInUse()) || !link_.Connect())
        return false;
    found_.clear();
    crowded_.clear();
    recheck_.clear();
    rechecked_ = 0;
    next_ = 0;
    cancelled_ = false;
    running_ = true;
    savedAddress_ = st_.current().address;
    timing_ = scanTiming(lineRate(), answerWithinMs_);
    hooks_.setTerminalSend(true);
    hooks_.startPolling();
    askNext();
    return true;
}

void UnitScan::askNext()
{
    if (cancelled_) {
        finish();
        return;
    }
    if (next_ < AddressCount) {
        asking_ = AddressAlphabet[next_];
    } else if (rechecked_ < recheck_.size()) {
        asking_ = recheck_[rechecked_++];
    } else {
        finish();
        return;
    }
    askedAgain_ = false;
    garbledBefore_ = false;
    ask();
}

void UnitScan::ask()
{
    st_.current().address = static_cast<unsigned char>(asking_);
    version_.clear();
    replyChars_ = 0;
    replies_ = 0;
    heardOther_ = false;
    phase_ = Phase::Asking;
    lineAtAsk_ = engine_.lineLength();
    engine_.setScanTimeoutMs(timing_.silentMs);
    engine_.sendOneCommand(QueueScan, "SV", IdVersion, NoRetries);
    askedAt_ = st_.lastSendTick;
    armTimer();
}

// The engine waits for the address in hand until ms after the question.
void UnitScan::waitUntil(int32_t ms)
{
    st_.lastSendTick = askedAt_;
    engine_.setScanTimeoutMs(ms);
    armTimer();
}

void UnitScan::armTimer()
{
    if (!running_ || st_.queue.queueState != QueueScan || st_.lastSendTick == 0) {
        timer_.stop();
        return;
    }
    // The engine gives up once more than its time-out has passed; when it
    // could not (a reply in hand), it is asked again a little later.
    const int32_t passed = static_cast<int32_t>(ticksSince(st_.lastSendTick, tickCount()));
    const int32_t left = engine_.scanTimeoutMs() - passed + 1;
    timer_.start(left > 0 ? left : 10);
}

void UnitScan::versionReceived(std::string_view text)
{
    version_ = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())).trimmed();
    replyChars_ = RequestChars + 1 + static_cast<int>(text.size());
}

// Every reply framed with an address while the scan runs, answered or not.
void UnitScan::replyFrom(char address)
{
    if (!running_)
        return;
    if (address == asking_) {
        ++replies_;
        return;
    }
    // An address left behind answers after all: late, or a second unit; or
    // the address in hand answered under another's name. Both are asked again
    // at the end, when the late replies are over.
    const int position = addressPosition(address);
    if (position >= 0 && position < next_) {
        recheckLater(address);
        recheckLater(asking_);
        return;
    }
    heardOther_ = true;
}

void UnitScan::stepDone(bool answered)
{
    if (!running_)
        return;
    const int32_t line = engine_.lineLength();
    const int32_t passed = static_cast<int32_t>(ticksSince(askedAt_, tickCount()));
    if (answered && phase_ != Phase::Listening) {
        phase_ = Phase::Listening;
        lineAtWait_ = line;
        waitUntil(timing_.listenMs(replyChars_));
        return;
    }
    if (!answered && phase_ == Phase::Asking && line != lineAtAsk_) {
        // Bytes without a line end yet: a reply on its way, waited for for
        // its time on the wire, or longer when it comes in pieces.
        phase_ = Phase::Begun;
        lineAtWait_ = line;
        waitUntil(std::min(std::max(timing_.begunMs, passed + timing_.pauseMs), Engine::ReplyTimeoutMs));
        return;
    }
    if (!answered && phase_ != Phase::Asking && line != lineAtWait_ && passed < Engine::ReplyTimeoutMs) {
        // More came during the wait: a reply in pieces, waited for until it
        // pauses for longer than a reply's pieces do.
        lineAtWait_ = line;
        waitUntil(std::min(passed + timing_.pauseMs, Engine::ReplyTimeoutMs));
        return;
    }
    settle();
}

// The address in hand is done with: found, crowded, silent, or asked again.
void UnitScan::settle()
{
    const bool answered = phase_ == Phase::Listening;
    const bool garbled = !answered && (phase_ == Phase::Begun || engine_.lineLength() != lineAtAsk_);
    if (replies_ >= 2 || (garbled && garbledBefore_)) {
        markCrowded(asking_);
    } else if (answered) {
        markFound(asking_);
    } else if ((garbled || heardOther_ || replies_ > 0) && !askedAgain_ && !cancelled_) {
        // Something came that made no reply of this address: once more.
        askedAgain_ = true;
        garbledBefore_ = garbled;
        ask();
        return;
    }
    if (next_ < AddressCount)
        ++next_;
    notify();
    askNext();
}

void UnitScan::markFound(char address)
{
    if (std::find(crowded_.begin(), crowded_.end(), address) != crowded_.end())
        return;
    const auto at = std::find_if(found_.begin(), found_.end(),
                                 [&](const Found& f) { return addressPosition(f.address) >= addressPosition(address); });
    if (at != found_.end() && at->address == address)
        return;
    found_.insert(at, {address, version_});
}

void UnitScan::markCrowded(char address)
{
    std::erase_if(found_, [&](const Found& f) { return f.address == address; });
    if (std::find(crowded_.begin(), crowded_.end(), address) != crowded_.end())
        return;
    const auto at = std::find_if(crowded_.begin(), crowded_.end(),
                                 [&](char c) { return addressPosition(c) >= addressPosition(address); });
    crowded_.insert(at, address);
}

void UnitScan::recheckLater(char address)
{
    if (std::find(recheck_.begin(), recheck_.end(), address) == recheck_.end())
        recheck_.push_back(address);
}

void UnitScan::finish()
{
    timer_.stop();
    engine_.dropQueue();
    st_.current().address = savedAddress_;
    hooks_.stopPolling();
    hooks_.setTerminalSend(false);
    link_.Disconnect();
    running_ = false;
    notify();
}

} // namespace dxu
