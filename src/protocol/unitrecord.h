#pragma once
// Everything the program knows about one DXU. The 556-byte little-endian image
// of a record is also the setup-file format, so its offsets are binding.
#include <array>
#include <cstddef>
#include <cstdint>

namespace dxu {

struct UnitRecord {
    // Port and identity block (record 0 also holds the PC port configuration).
    char portName[8] = {};         // 0   "COM%d:"
    int32_t port232 = 0;           // 8
    int32_t port232RateIndex = 0;  // 16
    int32_t port485 = 0;           // 20
    int32_t port485RateIndex = 0;  // 28
    int32_t portInUse = 0;         // 32  1 RS-232, 2 RS-485
    int32_t port1Baud = 0;         // 36  BR port 1
    int32_t port0Baud = 0;         // 40  BR port 0
    int32_t currentPort = 0;       // 68  WP
    int32_t networkMode = 0;       // 72
    int32_t settingsRead = 0;      // 76
    int32_t firmwareVersion = 0;   // 80  SV
    int32_t address = 0;           // 84  UA: low byte is the address character
    int32_t status = 0;            // 88  US
    int32_t port1BaudChanged = 0;  // 96
    int32_t port0BaudChanged = 0;  // 100
    int32_t addressChanged = 0;    // 104

    // Basic setup block.
    int32_t units = 0;             // 108 MU  1 metres, 0 feet
    int32_t shortGateOn = 0;       // 112 EG bit 0
    int32_t longGateOn = 0;        // 116 EG bit 1
    int32_t checkGate = 0;         // 120 CG
    float shortGate = 0;           // 124 SG
    float longGate = 0;            // 128 LG
    float offsetDistance = 0;      // 132 OF
    int32_t powerLevel = 0;        // 136 PL
    int32_t cooperativeTarget = 0; // 140 FL
    int32_t termination = 0;       // 144 TE
    int32_t minIntensity = 0;      // 148 MP
    int32_t maxIntensity = 0;      // 152 XP
    int32_t unitsChanged = 0;             // 156
    int32_t shortGateOnChanged = 0;       // 160
    int32_t longGateOnChanged = 0;        // 164
    int32_t checkGateChanged = 0;         // 168
    int32_t shortGateChanged = 0;         // 172
    int32_t longGateChanged = 0;          // 176
    int32_t offsetDistanceChanged = 0;    // 180
    int32_t powerLevelChanged = 0;        // 184
    int32_t cooperativeTargetChanged = 0; // 188
    int32_t terminationChanged = 0;       // 192
    int32_t minIntensityChanged = 0;      // 196
    int32_t maxIntensityChanged = 0;      // 200

    // Measurement mode block.
    int32_t measureMode = 0;        // 204 MM  1 Averaging, 2 Binning, 3 Detection, 4 LastTarget
    int32_t prfBinning = 0;         // 208 PF 2nd
    int32_t pulsesBinning = 0;      // 212 PO 2nd
    int32_t prfAveraging = 0;       // 216 PF 1st
    int32_t pulsesAveraging = 0;    // 220 PO 1st
    int32_t prfDetection = 0;       // 224 PF 3rd
    int32_t detectionReference = 0; // 228 LA
    float tripPoint = 0;            // 232 TP
    int32_t measureModeChanged = 0;        // 236
    int32_t prfBinningChanged = 0;         // 240
    int32_t pulsesBinningChanged = 0;      // 244
    int32_t prfAveragingChanged = 0;       // 248
    int32_t pulsesAveragingChanged = 0;    // 252
    int32_t prfDetectionChanged = 0;       // 256
    int32_t detectionReferenceChanged = 0; // 260
    int32_t tripPointChanged = 0;          // 264

    // Processing block.
    int32_t ditherOn = 0;        // 268
    int32_t ditherSteps = 0;     // 272 DD
    int32_t ditherPulses = 0;    // 276 AW
    int32_t averageBounds = 0;   // 280 AB
    int32_t initialLock = 0;     // 284 IL
    int32_t successiveGate = 0;  // 288 EG bit 2
    int32_t binSize = 0;         // 292 BS
    int32_t binHits = 0;         // 296 BH
    int32_t targetSelector = 0;  // 300 FA
    float tripTimeout = 0;       // 304 TT (seconds; a pulse count on the wire)
    int32_t flyerTrap = 0;       // 308 FT
    int32_t maxFalsePulses = 0;  // 312 MX
    int32_t minTripPulses = 0;   // 316 CT
    int32_t outputTBE = 0;       // 320 TB
    int32_t ditherStepsChanged = 0;    // 328 one flag for ditherOn and ditherSteps
    int32_t ditherPulsesChanged = 0;   // 332
    int32_t averageBoundsChanged = 0;  // 336
    int32_t initialLockChanged = 0;    // 340
    int32_t successiveGateChanged = 0; // 344
    int32_t binSizeChanged = 0;        // 348
    int32_t binHitsChanged = 0;        // 352
    int32_t targetSelectorChanged = 0; // 356
    int32_t tripTimeoutChanged = 0;    // 360
    int32_t flyerTrapChanged = 0;      // 364
    int32_t maxFalsePulsesChanged = 0; // 368
    int32_t minTripPulsesChanged = 0;  // 372
    int32_t outputTBEChanged = 0;      // 376

    // Output processing block.
    int32_t cosineOn = 0;           // 380 CE
    int32_t cosineFactor = 0;       // 384 CV
    int32_t outputProcessing = 0;   // 388 OP
    float dampErrorRange = 0;       // 392 DR 2nd
    float windowWidth = 0;          // 396 WV
    int32_t dampSamples = 0;        // 400 DS
    int32_t dampErrorTimeout = 0;   // 404 DR 1st
    int32_t windowErrorTimeout = 0; // 408 WT
    int32_t cosineOnChanged = 0;           // 412
    int32_t cosineFactorChanged = 0;       // 416
    int32_t outputProcessingChanged = 0;   // 420
    int32_t dampErrorRangeChanged = 0;     // 424
    int32_t windowWidthChanged = 0;        // 428
    int32_t dampSamplesChanged = 0;        // 432
    int32_t dampErrorTimeoutChanged = 0;   // 436
    int32_t windowErrorTimeoutChanged = 0; // 440

    // Output block.
    int32_t measureOutput = 0;       // 444 MO
    int32_t currentLoopFlags = 0;    // 448 CL
    float analogLow = 0;             // 452 AL
    float analogHigh = 0;            // 456 AH
    float faultTimeout = 0;          // 460 AT
    float faultCurrent = 0;          // 464 AF
    int32_t continuousOutput = 0;    // 468 CO
    int32_t autostart = 0;           // 472 MA
    int32_t displayMode = 0;         // 476 DM  1 distance, 2 both, 3 intensity
    int32_t loopCalibration4mA = 0;  // 480 P4 1st
    int32_t loopCalibration20mA = 0; // 484 P4 2nd
    int32_t measureOutputChanged = 0;    // 488
    int32_t currentLoopFlagsChanged = 0; // 492
    int32_t analogLowChanged = 0;        // 496
    int32_t analogHighChanged = 0;       // 500
    int32_t faultTimeoutChanged = 0;     // 504
    int32_t faultCurrentChanged = 0;     // 508
    int32_t continuousOutputChanged = 0; // 512
    int32_t autostartChanged = 0;        // 516
    int32_t displayModeChanged = 0;      // 520

    // Live status block.
    int32_t laserOn = 0;         // 532
    int32_t measurementSeen = 0; // 536
    float lastDistance = 0;      // 540
    float lastIntensity = 0;     // 548

    static constexpr std::size_t ImageSize = 556;
    using Image = std::array<uint8_t, ImageSize>;

    // The address character (low byte of address).
    char addressChar() const { return static_cast<char>(address & 0xFF); }

    Image toBytes() const;
    static UnitRecord fromBytes(const Image& image);
    // Reads an image of exactly ImageSize bytes; false for any other size.
    static bool fromBytes(const uint8_t* data, std::size_t size, UnitRecord& out);

    bool operator==(const UnitRecord&) const = default;
};

// 64 records: 0 is the RS-232 unit, 1..networkCount the network units, 63 unused.
using UnitTable = std::array<UnitRecord, 64>;

// Two floating-point settings differ when they are more than 0.0001 apart.
bool floatDiffers(float a, float b);

} // namespace dxu
