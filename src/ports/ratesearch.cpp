#include "ports/ratesearch.h"

#include "ports/portsettings.h"

#include <iterator>

namespace dxu {

bool RateSearch::tryNextRate()
{
    if (st_.networkMode())
        return false;
    const int stored = pcRateIndex(st_, PcLink::Rs232);
    if (!active()) {
        Asking asking{Question::LookAtOtherRates};
        asking.rate = rateOfIndex(stored);
        if (!asker_.ask(asking))
            return false;
        next_ = 0;
    }
    while (next_ < static_cast<int>(std::size(Order)) && Order[next_] == stored)
        ++next_;
    if (next_ >= static_cast<int>(std::size(Order))) {
        abandon();
        return false;
    }
    trying_ = Order[next_++];
    port_.setRateIndex(trying_);
    return true;
}

bool RateSearch::keepFoundRate()
{
    if (!active())
        return true;
    const int found = trying_;
    next_ = -1;
    trying_ = -1;
    Asking asking{Question::UseFoundRate};
    asking.rate = rateOfIndex(found);
    if (!asker_.ask(asking)) {
        port_.setRateIndex(pcRateIndex(st_, PcLink::Rs232));
        return false;
    }
    st_.unitTable[0].port232RateIndex = found;
    savePortSettings(st_);
    return true;
}

void RateSearch::abandon()
{
    if (!active())
        return;
    next_ = -1;
    trying_ = -1;
    port_.setRateIndex(pcRateIndex(st_, PcLink::Rs232));
}

} // namespace dxu
