#pragma once
// The units of a gateway's line as its Modbus clients see them: what each
// unit last told (its result, whether it answers and measures, its last
// error) and the input registers made from it. The line's thread writes, the
// Modbus server's threads read; one mutex keeps each unit's registers whole.
//
// Register map (input registers, function 4; 16-bit words, high word first):
//   0-1  distance, float32, metres (a unit measuring in feet is converted);
//        NaN before the first result and when the display mode leaves it out
//   2-3  intensity, float32, as the unit shows it; NaN when not reported
//   4    status bits: 0 answering, 1 measuring, 2 the result is fresh (younger
//        than 1 s or three result intervals), 3 a device error is present
//   5    the number of the unit's last error reply (0 none), signed
//   6-7  results counter, uint32
//   8    age of the last result in 0.1 s, 65535 at the most (and before any)
// The unit identifier is the code of the unit's address character (a = 97);
// the RS-232 unit also answers at 1.
#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

namespace dxu::gateway {

inline constexpr int RegisterCount = 9;
using Registers = std::array<uint16_t, RegisterCount>;

enum StatusBit : uint16_t {
    Answering = 1u << 0,
    Measuring = 1u << 1,
    Fresh = 1u << 2,
    ErrorPresent = 1u << 3,
};

// The unit identifier the RS-232 unit answers at beside its address.
inline constexpr int Rs232UnitId = 1;

// A result as the unit gave it. A value the unit's display mode leaves out is
// not there (has* false).
struct Reading {
    float distance = 0;
    float intensity = 0;
    bool hasDistance = false;
    bool hasIntensity = false;
    bool metres = true;
};

class UnitTable {
public:
    using Clock = std::chrono::steady_clock;

    // addresses: the units of the line; {0} for the one unit on RS-232.
    explicit UnitTable(const std::vector<char>& addresses);

    // The line's side. address as given (0: the RS-232 unit).
    void setResult(char address, const Reading& r, Clock::time_point now = Clock::now());
    void setError(char address, int number);
    void setAnswering(char address, bool answering, bool measuring);
    // The RS-232 unit's own address, learnt from its read: it answers there too.
    void setRs232Address(char address);

    // The Modbus side: the registers of the unit at unitId; false when no
    // unit of the line answers at it.
    bool registers(int unitId, Registers& out, Clock::time_point now = Clock::now()) const;

private:
    struct Unit {
        char address = 0;
        int unitId = 0;
        int aliasId = 0; // the RS-232 unit's own address
        bool answering = false;
        bool measuring = false;
        bool errorPresent = false;
        int lastError = 0;
        float distanceMetres = 0;
        float intensity = 0;
        bool hasDistance = false;
        bool hasIntensity = false;
        uint32_t results = 0;
        bool seen = false;
        Clock::time_point last{};
        Clock::duration interval{}; // between results, smoothed
    };
    Unit* find(char address);

    mutable std::mutex mutex_;
    std::vector<Unit> units_;
};

} // namespace dxu::gateway
