#pragma once
// Every command id by name. An id selects a queue item's builder and is what
// the queue and the parser test for; the setting-code table gives each
// setting's id its meaning.
#include <cstdint>

namespace dxu {

enum CommandId : uint32_t {
    IdVersion = 2,          // SV
    IdMeasureMode = 3,      // MM
    IdUnits = 4,            // MU
    IdPulseRate = 5,        // PF
    IdPulses = 6,           // PO
    IdDisplayMode = 7,      // DM
    IdDitherPulses = 8,     // AW
    IdPowerLevel = 9,       // PL
    IdCooperative = 10,     // FL
    IdDither = 11,          // DD
    IdBinHits = 12,         // BH
    IdBinSize = 13,         // BS
    IdShortGate = 14,       // SG
    IdLongGate = 15,        // LG
    IdOffset = 16,          // OF
    IdTripPoint = 17,       // TP
    IdTripTimeout = 18,     // TT
    IdMeasureOutput = 19,   // MO
    IdAnalogLow = 20,       // AL
    IdAnalogHigh = 21,      // AH
    IdFaultCurrent = 22,    // AF
    IdFaultTimeout = 23,    // AT
    IdCurrentLoop = 24,     // CL
    IdLoopCalibration = 25, // P4
    IdMinIntensity = 26,    // MP
    IdContinuous = 27,      // CO
    IdAutostart = 28,       // MA
    IdGates = 29,           // EG
    IdTermination = 30,     // TE
    IdAddress = 31,         // UA
    IdWhichPort = 32,       // WP
    IdBaudPort0 = 33,       // BR, configuration port
    IdBaudPort1 = 34,       // BR, universal port
    IdCosineOn = 35,        // CE
    IdCosineFactor = 36,    // CV
    IdWindowTimeout = 39,   // WT
    IdWindowWidth = 40,     // WV
    IdDampSamples = 41,     // DS
    IdDampening = 42,       // DR
    IdMaxIntensity = 43,    // XP
    IdTargetSelector = 44,  // FA
    IdReference = 45,       // LA
    IdProcessing = 46,      // OP
    IdCheckGate = 47,       // CG
    IdAverageBounds = 48,   // AB
    IdFlyerTrap = 49,       // FT
    IdMaxFalsePulses = 50,  // MX
    IdMinTripPulses = 51,   // CT
    IdInitialLock = 52,     // IL
    IdGo = 53,              // GO
    IdStop = 54,            // ST
    IdStatus = 55,          // US
    IdSaveSettings = 56,    // SU
    IdLoopCoarse = 58,      // CD,160
    IdLoopFine = 59,        // CD,161
    IdOutputTBE = 60,       // TB
};

} // namespace dxu
