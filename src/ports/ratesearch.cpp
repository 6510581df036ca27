#include "ports/ratesearch.h"

#include "ports/portsettings.h"
#include "ui/services/messages.h"

#include <iterator>

namespace dxu {

bool RateSearch::tryNextRate()
{
    if (st_.networkMode())
        return false;
    const int stored = pcRateIndex(st_, PcLink::Rs232);
    if (!active()) {
        const QString question = QStringLiteral("No DXU answered at %1 bit/s.\nLook for it at the other rates?")
                                     .arg(rateOfIndex(stored));
        if (!askYesNo(QStringLiteral("DXU Interface"), question))
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
    const QString question = QStringLiteral("A DXU answered at %1 bit/s.\nUse this rate for RS-232?")
                                 .arg(rateOfIndex(found));
    if (!askYesNo(QStringLiteral("DXU Interface"), question)) {
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
