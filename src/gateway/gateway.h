#pragma once
// The gateway's line: keeps every unit of a serial line measuring and its
// last result in the unit table, for as long as it runs and whatever the
// line does meanwhile.
//
// - One unit (the RS-232 unit, or one address) streams its results; several
//   units of an RS-485 line are asked for one result at a time in turn, as
//   the program asks network units, in rounds an interval apart at the
//   soonest (a round that ends early waits for the rest of it).
// - A unit that stops answering is marked so and read again after a pause
//   (1 s, doubling up to 10 s) while the others go on.
// - When the port goes away (an adapter pulled, a device server restarted)
//   it is said once, every unit is marked not answering, and the port is
//   opened again after a pause (0.5 s, doubling up to 5 s) until it is back;
//   then the units are read again and measure as before.
// - On stop the streaming unit is stopped and the port closed.
//
// The serial line itself is the caller's, behind Line.
#include "gateway/unittable.h"

#include <QString>

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace dxu::gateway {

// How a step on the line went.
enum class StepResult {
    Ok,
    NoAnswer,  // the unit did not answer
    Refused,   // the unit answered with an error
    PortGone,  // the port cannot be opened or went away
    Stopped,   // the gateway was asked to stop
};
struct Step {
    StepResult result = StepResult::Ok;
    QString message; // why, unless Ok
};

// What the read of a unit told.
struct UnitFacts {
    char address = 0;        // the unit's own address (the RS-232 unit's too)
    bool measurable = true;  // in a mode whose results the gateway keeps
    QString unmeasurable;    // why not
};

// The serial line, as the gateway drives it.
class Line {
public:
    virtual ~Line() = default;
    // Opens the port when it is closed and reads the unit at address (0: the
    // RS-232 unit): its settings, which its results are read with.
    virtual Step connect(char address, UnitFacts& facts) = 0;
    // The unit read last streams its results, or stops.
    virtual Step startStreaming() = 0;
    virtual Step stopStreaming() = 0;
    // One result of a unit read before, over the connection of the last read.
    virtual Step measureOnce(char address) = 0;
    virtual bool linkUp() const = 0;
    // Why the port closed by itself (the device went away).
    virtual QString lostReason() const = 0;
    virtual void close() = 0;
    // Runs the program's events until done() or ms have passed.
    virtual void wait(int ms, const std::function<bool()>& done) = 0;
    virtual bool stopRequested() const = 0;
};

enum class UnitState { Measuring, Idle, NotAnswering };

class Gateway {
public:
    using Clock = std::chrono::steady_clock;

    // addresses: the units of the line; empty for the one unit on RS-232.
    Gateway(Line& line, UnitTable& table, std::vector<char> addresses);

    // Runs until the line asks to stop; then stops the streaming unit and
    // closes the port. The step of that stop (Ok, or why the unit did not
    // confirm it).
    Step run();

    // From the line, for the unit in hand: a result, an error reply.
    void result(const Reading& r);
    void deviceError(int number, const QString& text);

    // One line for the user: the port lost and back, a unit silent and back.
    std::function<void(const QString&)> onNotice;
    // Each result of a unit (address 0: the RS-232 unit).
    std::function<void(char address, const Reading&)> onResult;
    // A unit's state when it changes, with the reason or its last error.
    std::function<void(char address, UnitState, const QString& why)> onState;

    static constexpr int SilenceMs = 5000;      // a streaming unit with no result for this long is silent
    static constexpr int MissesBeforeSilent = 3; // questions in a row without a result
    static constexpr int UnitPauseMs = 1000, UnitPauseMaxMs = 10000;
    static constexpr int PortPauseMs = 500, PortPauseMaxMs = 5000;
    // The least time from the start of one round over a line's units to the
    // next: 50 results a second from each unit, as often as a fast PLC
    // reads, for about half the processor time of asking as fast as the
    // line goes. 0: as fast as it goes.
    static constexpr int DefaultIntervalMs = 20, MaxIntervalMs = 60000;
    void setIntervalMs(int ms) { intervalMs_ = std::clamp(ms, 0, MaxIntervalMs); }

private:
    struct Unit {
        char address = 0;
        bool read = false;  // read since the port was opened, and answering
        int misses = 0;
        int pauseMs = 0;    // before it is asked again; 0: at once
        Clock::time_point due{};
        UnitState state = UnitState::Idle;
        bool stateSaid = false;
        QString why;
    };

    // Reads the unit (opening the port when it is closed): Refused for a
    // unit in a mode whose results are not kept; a lost port is dealt with.
    Step read(Unit& u);
    void runStreaming(Unit& u);
    void runLine();
    // The port could not be opened or went away.
    void portGone(const QString& why);
    void portBack();
    void answering(Unit& u, bool measuring, const QString& why = {});
    // The unit gave no result (or answered without giving one): it is read
    // again after its pause.
    void askLater(Unit& u, const Step& why);
    void setState(Unit& u, UnitState state, const QString& why);
    // Waits ms (less when stopped); false once stopped.
    bool pause(int ms);
    QString nameOf(const Unit& u) const;

    Line& line_;
    UnitTable& table_;
    std::vector<Unit> units_;
    Unit* inHand_ = nullptr;
    bool portDown_ = false;
    int portPauseMs_ = PortPauseMs;
    int intervalMs_ = DefaultIntervalMs;
    QString lastError_;
    Clock::time_point lastResult_{};
    Step stop_;
};

} // namespace dxu::gateway
