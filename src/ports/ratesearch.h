#pragma once
// Looking for a point-to-point unit at the other PC rates when it does not
// answer a connect at the stored one. Each rate gets one ordinary connect try
// (the connect list with its reply time-out); the session asks this class
// what to do when a try fails or a unit answers. Whatever way the search
// ends without the user taking a found rate, the driver is back at the rate
// it began with.
#include "ports/pcport.h"
#include "engine/asking.h"
#include "protocol/dxustate.h"

namespace dxu {

class RateSearch {
public:
    RateSearch(DxuState& state, PcPort& port, Asker& asker) : st_(state), port_(port), asker_(asker) {}

    bool active() const { return next_ >= 0; }
    // A connect on RS-232 failed. Offers the search the first time (when the
    // user says Yes) and moves to the next rate on later failures; true when
    // the driver is now at another rate to try. False when there is none left
    // (the stored rate is back) or the user declined.
    bool tryNextRate();
    // A unit answered during the search: asks whether to keep its rate for
    // RS-232. Yes stores it; No puts the stored rate back. True for Yes (and
    // when no search runs).
    bool keepFoundRate();
    // The search is given up (the user disconnected meanwhile): the stored
    // rate is back on the driver.
    void abandon();

    // The rate indexes in the order they are tried, most used first.
    static constexpr int Order[] = {8, 3, 5, 6, 7, 4, 2, 1, 0};

private:
    DxuState& st_;
    PcPort& port_;
    Asker& asker_;
    int next_ = -1;      // position in Order of the next rate to try; -1: no search
    int trying_ = -1;    // rate index of the try in hand
};

} // namespace dxu
