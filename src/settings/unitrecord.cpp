#include "settings/unitrecord.h"

#include <cmath>
#include <cstring>

namespace dxu {
namespace {

// Every field of the image with its byte offset: I for 32-bit integers,
// F for single-precision floats. portName (0..7) is handled apart.
#define DXU_RECORD_FIELDS(I, F)                                                                    \
    I(port232, 8) I(port232RateIndex, 16) I(port485, 20) I(port485RateIndex, 28) I(portInUse, 32) \
    I(port1Baud, 36) I(port0Baud, 40) I(currentPort, 68) I(networkMode, 72) I(settingsRead, 76)   \
    I(firmwareVersion, 80) I(address, 84) I(status, 88) I(port1BaudChanged, 96)                  \
    I(port0BaudChanged, 100) I(addressChanged, 104)                                               \
    I(units, 108) I(shortGateOn, 112) I(longGateOn, 116) I(checkGate, 120) F(shortGate, 124)      \
    F(longGate, 128) F(offsetDistance, 132) I(powerLevel, 136) I(cooperativeTarget, 140)          \
    I(termination, 144) I(minIntensity, 148) I(maxIntensity, 152) I(unitsChanged, 156)           \
    I(shortGateOnChanged, 160) I(longGateOnChanged, 164) I(checkGateChanged, 168)                 \
    I(shortGateChanged, 172) I(longGateChanged, 176) I(offsetDistanceChanged, 180)                \
    I(powerLevelChanged, 184) I(cooperativeTargetChanged, 188) I(terminationChanged, 192)         \
    I(minIntensityChanged, 196) I(maxIntensityChanged, 200)                                       \
    I(measureMode, 204) I(prfBinning, 208) I(pulsesBinning, 212) I(prfAveraging, 216)             \
    I(pulsesAveraging, 220) I(prfDetection, 224) I(detectionReference, 228) F(tripPoint, 232)     \
    I(measureModeChanged, 236) I(prfBinningChanged, 240) I(pulsesBinningChanged, 244)             \
    I(prfAveragingChanged, 248) I(pulsesAveragingChanged, 252) I(prfDetectionChanged, 256)        \
    I(detectionReferenceChanged, 260) I(tripPointChanged, 264)                                    \
    I(ditherOn, 268) I(ditherSteps, 272) I(ditherPulses, 276) I(averageBounds, 280)               \
    I(initialLock, 284) I(successiveGate, 288) I(binSize, 292) I(binHits, 296)                    \
    I(targetSelector, 300) F(tripTimeout, 304) I(flyerTrap, 308) I(maxFalsePulses, 312)           \
    I(minTripPulses, 316) I(outputTBE, 320) I(ditherStepsChanged, 328)                            \
    I(ditherPulsesChanged, 332) I(averageBoundsChanged, 336) I(initialLockChanged, 340)           \
    I(successiveGateChanged, 344) I(binSizeChanged, 348) I(binHitsChanged, 352)                   \
    I(targetSelectorChanged, 356) I(tripTimeoutChanged, 360) I(flyerTrapChanged, 364)             \
    I(maxFalsePulsesChanged, 368) I(minTripPulsesChanged, 372) I(outputTBEChanged, 376)           \
    I(cosineOn, 380) I(cosineFactor, 384) I(outputProcessing, 388) F(dampErrorRange, 392)         \
    F(windowWidth, 396) I(dampSamples, 400) I(dampErrorTimeout, 404)                              \
    I(windowErrorTimeout, 408) I(cosineOnChanged, 412) I(cosineFactorChanged, 416)                \
    I(outputProcessingChanged, 420) I(dampErrorRangeChanged, 424) I(windowWidthChanged, 428)      \
    I(dampSamplesChanged, 432) I(dampErrorTimeoutChanged, 436) I(windowErrorTimeoutChanged, 440)  \
    I(measureOutput, 444) I(currentLoopFlags, 448) F(analogLow, 452) F(analogHigh, 456)           \
    F(faultTimeout, 460) F(faultCurrent, 464) I(continuousOutput, 468) I(autostart, 472)          \
    I(displayMode, 476) I(loopCalibration4mA, 480) I(loopCalibration20mA, 484)                    \
    I(measureOutputChanged, 488) I(currentLoopFlagsChanged, 492) I(analogLowChanged, 496)         \
    I(analogHighChanged, 500) I(faultTimeoutChanged, 504) I(faultCurrentChanged, 508)             \
    I(continuousOutputChanged, 512) I(autostartChanged, 516) I(displayModeChanged, 520)           \
    I(laserOn, 532) I(measurementSeen, 536) F(lastDistance, 540) F(lastIntensity, 548)

void putU32(UnitRecord::Image& img, std::size_t off, uint32_t v)
{
    img[off] = static_cast<uint8_t>(v);
    img[off + 1] = static_cast<uint8_t>(v >> 8);
    img[off + 2] = static_cast<uint8_t>(v >> 16);
    img[off + 3] = static_cast<uint8_t>(v >> 24);
}

uint32_t getU32(const UnitRecord::Image& img, std::size_t off)
{
    return static_cast<uint32_t>(img[off]) | (static_cast<uint32_t>(img[off + 1]) << 8)
           | (static_cast<uint32_t>(img[off + 2]) << 16) | (static_cast<uint32_t>(img[off + 3]) << 24);
}

uint32_t floatBits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

float bitsFloat(uint32_t u)
{
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

} // namespace

UnitRecord::Image UnitRecord::toBytes() const
{
    Image img{};
    for (std::size_t i = 0; i < sizeof portName; ++i)
        img[i] = static_cast<uint8_t>(portName[i]);
#define DXU_PUT_I(name, off) putU32(img, off, static_cast<uint32_t>(name));
#define DXU_PUT_F(name, off) putU32(img, off, floatBits(name));
    DXU_RECORD_FIELDS(DXU_PUT_I, DXU_PUT_F)
#undef DXU_PUT_I
#undef DXU_PUT_F
    return img;
}

UnitRecord UnitRecord::fromBytes(const Image& img)
{
    UnitRecord r;
    for (std::size_t i = 0; i < sizeof r.portName; ++i)
        r.portName[i] = static_cast<char>(img[i]);
    r.portName[sizeof r.portName - 1] = '\0'; // always a terminated text
#define DXU_GET_I(name, off) r.name = static_cast<int32_t>(getU32(img, off));
#define DXU_GET_F(name, off) r.name = bitsFloat(getU32(img, off));
    DXU_RECORD_FIELDS(DXU_GET_I, DXU_GET_F)
#undef DXU_GET_I
#undef DXU_GET_F
    return r;
}

bool UnitRecord::fromBytes(const uint8_t* data, std::size_t size, UnitRecord& out)
{
    if (!data || size != ImageSize)
        return false;
    Image img;
    std::memcpy(img.data(), data, ImageSize);
    out = fromBytes(img);
    return true;
}

bool floatDiffers(float a, float b) { return std::fabs(a - b) > 0.0001f; }

} // namespace dxu
