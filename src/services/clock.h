#pragma once
// One clock for the whole program: a 32-bit millisecond tick count that wraps
// like the platform's, and busy waits on it. Tests install a fake.
#include <cstdint>

namespace dxu {

// The local time of day, as capture lines stamp it.
struct TimeOfDay {
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual uint32_t tickCount() = 0;
    // A finer count for short spans (the line's turnaround): microseconds on
    // a steady clock, never wrapping. By default the tick count times 1000.
    virtual uint64_t microTicks() { return uint64_t(tickCount()) * 1000; }
    // The local wall-clock time now.
    virtual TimeOfDay timeOfDay();
    // Busy-waits until ms have passed; processes no events.
    virtual void waitMs(uint32_t ms);
    // Sleeps us microseconds (less than a timer's millisecond); processes
    // no events.
    virtual void sleepMicros(uint32_t us);
};

Clock& clock();
void setClock(Clock* c); // nullptr restores the real clock; not owned

inline uint32_t tickCount() { return clock().tickCount(); }
inline uint64_t microTicks() { return clock().microTicks(); }

// Work that must not stall behind a busy wait: a line held back for the
// serial line's turnaround goes out during the wait, not after it.
class BusyWaitGuest {
public:
    virtual ~BusyWaitGuest() = default;
    // Called before a busy wait of ms; may itself wait (through the clock) up
    // to ms and returns how long it did.
    virtual uint32_t beforeBusyWait(uint32_t ms) = 0;
};
void addBusyWaitGuest(BusyWaitGuest* guest);
void removeBusyWaitGuest(BusyWaitGuest* guest);

// Busy wait on the tick count; the user interface is frozen meanwhile (only
// the guests get their turn first).
void waitMs(uint32_t ms);
// The send time of a line that awaits a reply. 0 means that none is awaited,
// so a line sent when the counter reads 0 is stamped 1 ms later.
inline uint32_t sendStamp()
{
    const uint32_t now = tickCount();
    return now != 0 ? now : 1;
}
// Milliseconds between two tick counts, modulo 2^32.
inline uint32_t ticksSince(uint32_t then, uint32_t now) { return now - then; }

// A clock that moves only when told to. waitMs advances it at once.
class FakeClock : public Clock {
public:
    explicit FakeClock(uint32_t start = 1000) : now_(start) {}
    uint32_t tickCount() override { return now_; }
    uint64_t microTicks() override { return micros_; }
    void waitMs(uint32_t ms) override { advance(ms); waited_ += ms; }
    void sleepMicros(uint32_t us) override { advanceMicros(us); }
    // A fixed wall-clock time: 14:05:09.370 unless set.
    TimeOfDay timeOfDay() override { return wallTime; }
    void advance(uint32_t ms) { now_ += ms; micros_ += uint64_t(ms) * 1000; }
    // Sets the tick count; the microsecond count moves forward by as much.
    void set(uint32_t t) { micros_ += uint64_t(t - now_) * 1000; now_ = t; }
    void advanceMicros(uint64_t us)
    {
        const uint64_t before = micros_ / 1000;
        micros_ += us;
        now_ += uint32_t(micros_ / 1000 - before);
    }
    uint64_t waited() const { return waited_; }

    TimeOfDay wallTime{14, 5, 9, 370};

private:
    uint32_t now_;
    uint64_t micros_ = uint64_t(now_) * 1000;
    uint64_t waited_ = 0;
};

} // namespace dxu
