#pragma once
// Finding the units on an RS-485 line: with nothing connected, the port is
// opened at the network rate and each of the 62 addresses is asked for its
// version, through the command queue. A silent address is given up after
// the scan's own short reply time-out (see scanTimeoutMs), checked on a fine
// tick of its own while the scan runs, so a whole line takes seconds, not
// minutes; some silent addresses are asked a second time, so that one lost
// reply does not hide a unit. The engine reports each answer and each end of
// a request; when the last address is done, or after the current one when
// cancelled, the port is closed again and the current record has its address
// back.
#include "engine/engine.h"
#include "engine/session.h"
#include "network/networkconfig.h"

#include <QString>
#include <QTimer>

#include <functional>
#include <string_view>
#include <vector>

namespace dxu {

// How long a scan waits for one address at a line rate in bit/s: the
// request and a version reply on the wire, a unit that answers within 50 ms,
// one 50 ms receive poll, one scan tick and a margin; never under 250 ms.
int32_t scanTimeoutMs(uint32_t bitsPerSecond);

class UnitScan {
public:
    // The scan's tick, which checks its reply time-out.
    static constexpr int TickMs = 25;
    // Silent addresses asked a second time, at most, in one scan: an eighth
    // of the line's time on top of one question to each address.
    static constexpr int SecondAsks = AddressCount / 8;

    struct Found {
        char address;
        QString version;
    };

    UnitScan(DxuState& state, Engine& engine, Session& session, CommLink& link, Hooks& hooks);

    // Only in network mode, with no connection and nothing queued.
    bool canStart() const;
    // Opens the port and asks the first address; false when it cannot start.
    bool start();
    // Stops after the address in hand.
    void cancel() { cancelled_ = true; }
    bool running() const { return running_; }
    // Addresses done so far, 0 to AddressCount.
    int done() const { return next_; }
    const std::vector<Found>& found() const { return found_; }

    // Called by the engine through the window's hooks.
    void versionReceived(std::string_view text);
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
    void askNext();
    void ask();
    void finish();
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
    QString version_;
    int next_ = 0;
    int secondAsks_ = 0;
    bool askedAgain_ = false;
    unsigned char savedAddress_ = 0;
    QTimer tick_;
    bool running_ = false;
    bool cancelled_ = false;
};

} // namespace dxu
