#include "services/clock.h"

#include <chrono>

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
};

SteadyClock& realClock()
{
    static SteadyClock c;
    return c;
}

Clock* g_clock = nullptr;

} // namespace

void Clock::waitMs(uint32_t ms)
{
    const uint32_t start = tickCount();
    while (ticksSince(start, tickCount()) < ms) {
    }
}

Clock& clock() { return g_clock ? *g_clock : realClock(); }

void setClock(Clock* c) { g_clock = c; }

} // namespace dxu
