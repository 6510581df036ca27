#include "ports/ratefollow.h"

#include "engine/engine.h"
#include "protocol/commandids.h"
#include "services/clock.h"

namespace dxu {

PcRateFollow::PcRateFollow(DxuState& state, PcPort& port, Engine& engine, Asker& asker, ShowRate showRate)
    : st_(state), port_(port), engine_(engine), asker_(asker), showRate_(std::move(showRate))
{
}

void PcRateFollow::arm()
{
    watchedId_ = 0;
    retried_ = false;
    const UnitRecord& unit = st_.current();
    const bool throughUniversal = unit.currentPort == 1 || unit.currentPort == 2;
    if (throughUniversal && unit.port1BaudChanged) {
        watchedId_ = IdBaudPort1;
        otherRateIndex_ = indexOfRate(st_.editRecord.port1Baud);
    } else if (!throughUniversal && unit.port0BaudChanged) {
        watchedId_ = IdBaudPort0;
        otherRateIndex_ = indexOfRate(st_.editRecord.port0Baud);
    }
}

bool PcRateFollow::written() const
{
    if (watchedId_ == 0)
        return false;
    for (const CommandItem& it : st_.queue.items) {
        if (it.commandId == 0)
            break;
        if (it.commandId == watchedId_)
            return it.kind != KindBuilder;
    }
    return false;
}

void PcRateFollow::switchPc()
{
    const int before = pcRateIndex(st_, linkOfMode(st_));
    switchPcBaudRate(st_, port_, showRate_);
    otherRateIndex_ = before;
}

void PcRateFollow::answered()
{
    if (written())
        watchedId_ = 0; // heard at the new rate
}

void PcRateFollow::setPcRate(int rateIndex)
{
    (linkOfMode(st_) == PcLink::Rs232 ? st_.newRateIndex232 : st_.newRateIndex485) = rateIndex;
    switchPcBaudRate(st_, port_, showRate_);
}

void PcRateFollow::stopQueue()
{
    engine_.dropQueue();
    st_.resumeMeasuring = 0;
    st_.readyForStatus = 1;
    engine_.setBusy(false);
}

bool PcRateFollow::unanswered(const std::function<void()>& readBack, const std::function<void()>& giveUp)
{
    if (!written())
        return false;
    const int pcRate = rateOfIndex(pcRateIndex(st_, linkOfMode(st_)));
    const int other = otherRateIndex_;
    stopQueue();
    if (retried_ || other < 0 || rateOfIndex(other) == pcRate) {
        watchedId_ = 0;
        Asking notice{Question::RateLost};
        notice.rate = pcRate;
        asker_.ask(notice);
        giveUp();
        return true;
    }
    Asking asking{Question::RateLostTryOther};
    asking.rate = pcRate;
    asking.otherRate = rateOfIndex(other);
    if (!asker_.ask(asking)) {
        watchedId_ = 0;
        giveUp();
        return true;
    }
    retried_ = true;
    otherRateIndex_ = pcRateIndex(st_, linkOfMode(st_));
    setPcRate(other);
    readBack();
    // The read replaces the upload's queue; the watched item is gone from it,
    // so watch the read's first item instead.
    watchedId_ = st_.queue.items[0].commandId;
    return true;
}

} // namespace dxu
