#pragma once
// Keeping the PC and the unit on one rate when the unit's rate on the link in
// use changes. The BR write is answered at the old rate; afterwards the unit
// listens at the new one, and the PC follows when the user said so. Should
// the unit then leave an item unanswered, the PC and the unit have lost each
// other: the user is told so and offered the other rate (back to the old one
// after a switch, the unit's new one when the PC stayed), else the window
// disconnects rather than look connected to a unit it cannot hear.
#include "ports/pcport.h"
#include "ports/portsettings.h"
#include "engine/asking.h"
#include "protocol/dxustate.h"

#include <functional>

namespace dxu {

class Engine;

class PcRateFollow {
public:
    using ShowRate = std::function<void(PcLink, int rateIndex)>;

    PcRateFollow(DxuState& state, PcPort& port, Engine& engine, Asker& asker, ShowRate showRate);

    // Before an upload: watches the BR write of the unit port the link runs
    // through, when its changed flag is set.
    void arm();
    // The BR write was answered and the user wants the PC to follow.
    void switchPc();
    // A reply arrived.
    void answered();
    // The last try of the item in flight went unanswered. True when the lost
    // rate explains it: the queue was stopped and the user has chosen between
    // readBack at the other rate and giveUp (disconnect).
    bool unanswered(const std::function<void()>& readBack, const std::function<void()>& giveUp);

private:
    // The watched BR write has been answered: from now on the rate is new.
    bool written() const;
    void setPcRate(int rateIndex);
    void stopQueue();

    DxuState& st_;
    PcPort& port_;
    Engine& engine_;
    Asker& asker_;
    ShowRate showRate_;
    uint32_t watchedId_ = 0; // IdBaudPort0/1 while armed
    int otherRateIndex_ = -1; // the rate to offer when the unit goes silent
    bool retried_ = false;    // the other rate was tried already
};

} // namespace dxu
