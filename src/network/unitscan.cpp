#include "network/unitscan.h"

#include "network/networkconfig.h"
#include "protocol/commandids.h"

namespace dxu {

UnitScan::UnitScan(DxuState& state, Engine& engine, Session& session, CommLink& link, Hooks& hooks)
    : st_(state), engine_(engine), session_(session), link_(link), hooks_(hooks)
{
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
    cancelled_ = false;
    running_ = true;
    savedAddress_ = st_.current().address;
    hooks_.setTerminalSend(true);
    hooks_.startPolling();
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
    version_.clear();
    CommandQueue& q = st_.queue;
    q.resetQueue();
    q.queueState = QueueScan;
    q.enqueueCommand(KindCode, "SV", IdVersion, NoRetries);
    q.cursor = 0;
    engine_.sendCurrentItem();
}

void UnitScan::versionReceived(std::string_view text)
{
    version_ = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())).trimmed();
}

void UnitScan::stepDone(bool answered)
{
    if (!running_)
        return;
    if (answered)
        found_.push_back({AddressAlphabet[next_], version_});
    ++next_;
    notify();
    askNext();
}

void UnitScan::finish()
{
    CommandQueue& q = st_.queue;
    q.resetQueue();
    q.queueState = QueueIdle;
    st_.lastSendTick = 0;
    st_.current().address = savedAddress_;
    hooks_.stopPolling();
    hooks_.setTerminalSend(false);
    link_.Disconnect();
    running_ = false;
    notify();
}

} // namespace dxu
