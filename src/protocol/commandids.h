#pragma once
// The command ids that select a queue item's builder and that the queue and
// the parser test for. The full list of ids by code is the read list's and the
// upload's table; these are the ones code refers to by name.
#include <cstdint>

namespace dxu {

enum CommandId : uint32_t {
    IdVersion = 2,          // SV
    IdPulseRate = 5,        // PF
    IdPulses = 6,           // PO
    IdDither = 11,          // DD
    IdTripTimeout = 18,     // TT
    IdLoopCalibration = 25, // P4
    IdAddress = 31,         // UA
    IdBaudPort0 = 33,       // BR, configuration port
    IdBaudPort1 = 34,       // BR, universal port
    IdDampening = 42,       // DR
    IdGo = 53,              // GO
    IdStop = 54,            // ST
    IdStatus = 55,          // US
    IdSaveSettings = 56,    // SU
    IdLoopCoarse = 58,      // CD,160
    IdLoopFine = 59,        // CD,161
};

} // namespace dxu
