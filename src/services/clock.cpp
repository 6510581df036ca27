#include "services/clock.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <vector>

namespace dxu {
namespace {

class SteadyClock : public Clock {
public:
    uint32_t tickCount() override
    {
        using namespace std::chrono;
        return static_cast<uint32_t>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
    uint64_t microTicks() override
    {
        using namespace std::chrono;
        return static_cast<uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
    }
};

SteadyClock& realClock()
{
    static SteadyClock c;
    return c;
}

Clock* g_clock = nullptr;
std::vector<BusyWaitGuest*> g_guests;

} // namespace

void Clock::waitMs(uint32_t ms)
{
    const uint32_t start = tickCount();
    while (ticksSince(start, tickCount()) < ms) {
    }
}

void Clock::sleepMicros(uint32_t us)
{
    timespec left{time_t(us / 1000000), long(us % 1000000) * 1000};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

TimeOfDay Clock::timeOfDay()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t secs = system_clock::to_time_t(now);
    // The local time of a second is worked out once: localtime_r looks at
    // the time zone file every time, and a capture stamps hundreds of
    // results a second.
    thread_local std::time_t lastSecs = -1;
    thread_local std::tm local{};
    if (secs != lastSecs) {
        localtime_r(&secs, &local);
        lastSecs = secs;
    }
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    return {local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(ms)};
}

Clock& clock() { return g_clock ? *g_clock : realClock(); }

void setClock(Clock* c) { g_clock = c; }

void addBusyWaitGuest(BusyWaitGuest* guest)
{
    if (guest && std::find(g_guests.begin(), g_guests.end(), guest) == g_guests.end())
        g_guests.push_back(guest);
}

void removeBusyWaitGuest(BusyWaitGuest* guest) { std::erase(g_guests, guest); }

void waitMs(uint32_t ms)
{
    uint32_t used = 0;
    // A copy: a guest may leave the list while it has its turn.
    const std::vector<BusyWaitGuest*> guests = g_guests;
    for (BusyWaitGuest* g : guests)
        if (std::find(g_guests.begin(), g_guests.end(), g) != g_guests.end())
            used += std::min(g->beforeBusyWait(ms - used), ms - used);
    clock().waitMs(ms - used);
}

} // namespace dxu
