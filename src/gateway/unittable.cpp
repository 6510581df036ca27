#include "gateway/unittable.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace dxu::gateway {
namespace {

constexpr double FeetInMetres = 0.3048;
// A result is fresh while younger than this, or than three result intervals.
constexpr auto FreshAtLeast = std::chrono::seconds(1);
constexpr int FreshIntervals = 3;

// High word first.
void putFloat(float value, uint16_t* out)
{
    const uint32_t bits = std::bit_cast<uint32_t>(value);
    out[0] = uint16_t(bits >> 16);
    out[1] = uint16_t(bits & 0xFFFF);
}

} // namespace

UnitTable::UnitTable(const std::vector<char>& addresses)
{
    for (char a : addresses) {
        Unit u;
        u.address = a;
        u.unitId = a != 0 ? static_cast<unsigned char>(a) : Rs232UnitId;
        units_.push_back(u);
    }
}

UnitTable::Unit* UnitTable::find(char address)
{
    for (Unit& u : units_)
        if (u.address == address)
            return &u;
    return nullptr;
}

void UnitTable::setResult(char address, const Reading& r, Clock::time_point now)
{
    std::lock_guard lock(mutex_);
    Unit* u = find(address);
    if (!u)
        return;
    u->distanceMetres = r.metres ? r.distance : float(double(r.distance) * FeetInMetres);
    u->intensity = r.intensity;
    u->hasDistance = r.hasDistance;
    u->hasIntensity = r.hasIntensity;
    u->errorPresent = false;
    if (u->seen) {
        const Clock::duration gap = now - u->last;
        u->interval = u->interval == Clock::duration{} ? gap : (u->interval * 7 + gap) / 8;
    }
    u->seen = true;
    u->last = now;
    ++u->results;
}

void UnitTable::setError(char address, int number)
{
    std::lock_guard lock(mutex_);
    if (Unit* u = find(address)) {
        u->errorPresent = true;
        u->lastError = number;
    }
}

void UnitTable::setAnswering(char address, bool answering, bool measuring)
{
    std::lock_guard lock(mutex_);
    if (Unit* u = find(address)) {
        u->answering = answering;
        u->measuring = answering && measuring;
    }
}

void UnitTable::setRs232Address(char address)
{
    std::lock_guard lock(mutex_);
    if (Unit* u = find(0))
        u->aliasId = static_cast<unsigned char>(address);
}

bool UnitTable::registers(int unitId, Registers& out, Clock::time_point now) const
{
    std::lock_guard lock(mutex_);
    const auto u = std::find_if(units_.begin(), units_.end(), [unitId](const Unit& unit) {
        return unit.unitId == unitId || (unit.aliasId != 0 && unit.aliasId == unitId);
    });
    if (u == units_.end())
        return false;
    const float none = std::numeric_limits<float>::quiet_NaN();
    putFloat(u->seen && u->hasDistance ? u->distanceMetres : none, &out[0]);
    putFloat(u->seen && u->hasIntensity ? u->intensity : none, &out[2]);
    const Clock::duration age = u->seen ? now - u->last : Clock::duration::max();
    const bool fresh = u->seen && (age < FreshAtLeast || age < u->interval * FreshIntervals);
    out[4] = uint16_t((u->answering ? Answering : 0) | (u->measuring ? Measuring : 0) | (fresh ? Fresh : 0)
                      | (u->errorPresent ? ErrorPresent : 0));
    out[5] = uint16_t(int16_t(std::clamp(u->lastError, -32768, 32767)));
    out[6] = uint16_t(u->results >> 16);
    out[7] = uint16_t(u->results & 0xFFFF);
    const long long tenths = u->seen ? std::chrono::duration_cast<std::chrono::milliseconds>(age).count() / 100 : 65535;
    out[8] = uint16_t(std::clamp<long long>(tenths, 0, 65535));
    return true;
}

} // namespace dxu::gateway
