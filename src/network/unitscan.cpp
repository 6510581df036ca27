#include "network/unitscan.h"

#include "network/networkconfig.h"
#include "protocol/commandids.h"
#include "serial/commportdriver.h"

#include <algorithm>

namespace dxu {

namespace {
// "#aSV" out and "#aSV,<version>" back with their line ends; a version text
// is well under 40 characters.
constexpr uint32_t ExchangeChars = 48;
constexpr uint32_t BitsPerChar = 10; // start, 8 data, stop
constexpr int32_t UnitAnswerMs = 50;
constexpr int32_t ReceivePollMs = 50;
constexpr int32_t MarginMs = 75; // a busy event loop, a slow adapter
constexpr int32_t ShortestTimeoutMs = 250;
} // namespace

int32_t scanTimeoutMs(uint32_t bitsPerSecond)
{
    const uint32_t wireMs = ExchangeChars * BitsPerChar * 1000 / std::max(bitsPerSecond, 1u);
    const int64_t total = int64_t{wireMs} + UnitAnswerMs + ReceivePollMs + UnitScan::TickMs + MarginMs;
    return static_cast<int32_t>(std::clamp<int64_t>(total, ShortestTimeoutMs, Engine::ReplyTimeoutMs));
}

UnitScan::UnitScan(DxuState& state, Engine& engine, Session& session, CommLink& link, Hooks& hooks)
    : st_(state), engine_(engine), session_(session), link_(link), hooks_(hooks)
{
    tick_.setInterval(TickMs);
    QObject::connect(&tick_, &QTimer::timeout, [this] { engine_.checkScanTimeout(); });
}

bool UnitScan::canStart() const
{
    return !running_ && st_.networkMode() && st_.connected == 0 && st_.queue.queueState == QueueIdle &&
           !link_.Connected();
}

bool UnitScan::start()
{
    if (!canStart() || !hooks_.claimPort(session_.comNumberInUse()) || !link_.Connect())
        return false;
    found_.clear();
    next_ = 0;
    secondAsks_ = SecondAsks;
    cancelled_ = false;
    running_ = true;
    savedAddress_ = st_.current().address;
    engine_.setScanTimeoutMs(scanTimeoutMs(baudRateValue(rateOfRateIndex(st_.unitTable[0].port485RateIndex))));
    hooks_.setTerminalSend(true);
    hooks_.startPolling();
    tick_.start();
    askNext();
    return true;
}

void UnitScan::askNext()
{
    if (cancelled_ || next_ >= AddressCount) {
        finish();
        return;
    }
    st_.current().address = static_cast<unsigned char>(AddressAlphabet[next_]);
    askedAgain_ = false;
    ask();
}

void UnitScan::ask()
{
    version_.clear();
    engine_.sendOneCommand(QueueScan, "SV", IdVersion, NoRetries);
}

void UnitScan::versionReceived(std::string_view text)
{
    version_ = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())).trimmed();
}

void UnitScan::stepDone(bool answered)
{
    if (!running_)
        return;
    // A reply lost or garbled on the line must not hide a unit: a silent
    // address is asked once more, as long as the scan's budget of second
    // questions lasts.
    if (!answered && !askedAgain_ && !cancelled_ && secondAsks_ > 0) {
        askedAgain_ = true;
        --secondAsks_;
        ask();
        return;
    }
    if (answered)
        found_.push_back({AddressAlphabet[next_], version_});
    ++next_;
    notify();
    askNext();
}

void UnitScan::finish()
{
    engine_.dropQueue();
    st_.current().address = savedAddress_;
    tick_.stop();
    hooks_.stopPolling();
    hooks_.setTerminalSend(false);
    link_.Disconnect();
    running_ = false;
    notify();
}

} // namespace dxu
