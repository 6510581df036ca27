#include "protocol/unitrecord.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using dxu::UnitRecord;

namespace {

uint32_t u32At(const UnitRecord::Image& img, size_t off)
{
    return img[off] | (img[off + 1] << 8) | (img[off + 2] << 16) | (uint32_t(img[off + 3]) << 24);
}

struct FieldCase {
    const char* name;
    size_t offset;
    bool isFloat;
    std::function<void(UnitRecord&, uint32_t)> setInt;
    std::function<void(UnitRecord&, float)> setFloat;
};

#define I(field, off) FieldCase{#field, off, false, [](UnitRecord& r, uint32_t v) { r.field = int32_t(v); }, nullptr}
#define F(field, off) FieldCase{#field, off, true, nullptr, [](UnitRecord& r, float v) { r.field = v; }}

// Offsets as the setup-file format defines them, written out independently of the code.
const std::vector<FieldCase> kFields = {
    I(port232, 8), I(port232RateIndex, 16), I(port485, 20), I(port485RateIndex, 28), I(portInUse, 32),
    I(port1Baud, 36), I(port0Baud, 40), I(currentPort, 68), I(networkMode, 72), I(settingsRead, 76),
    I(firmwareVersion, 80), I(address, 84), I(status, 88), I(port1BaudChanged, 96),
    I(port0BaudChanged, 100), I(addressChanged, 104),
    I(units, 108), I(shortGateOn, 112), I(longGateOn, 116), I(checkGate, 120), F(shortGate, 124),
    F(longGate, 128), F(offsetDistance, 132), I(powerLevel, 136), I(cooperativeTarget, 140),
    I(termination, 144), I(minIntensity, 148), I(maxIntensity, 152), I(unitsChanged, 156),
    I(shortGateOnChanged, 160), I(longGateOnChanged, 164), I(checkGateChanged, 168),
    I(shortGateChanged, 172), I(longGateChanged, 176), I(offsetDistanceChanged, 180),
    I(powerLevelChanged, 184), I(cooperativeTargetChanged, 188), I(terminationChanged, 192),
    I(minIntensityChanged, 196), I(maxIntensityChanged, 200),
    I(measureMode, 204), I(prfBinning, 208), I(pulsesBinning, 212), I(prfAveraging, 216),
    I(pulsesAveraging, 220), I(prfDetection, 224), I(detectionReference, 228), F(tripPoint, 232),
    I(measureModeChanged, 236), I(prfBinningChanged, 240), I(pulsesBinningChanged, 244),
    I(prfAveragingChanged, 248), I(pulsesAveragingChanged, 252), I(prfDetectionChanged, 256),
    I(detectionReferenceChanged, 260), I(tripPointChanged, 264),
    I(ditherOn, 268), I(ditherSteps, 272), I(ditherPulses, 276), I(averageBounds, 280),
    I(initialLock, 284), I(successiveGate, 288), I(binSize, 292), I(binHits, 296),
    I(targetSelector, 300), F(tripTimeout, 304), I(flyerTrap, 308), I(maxFalsePulses, 312),
    I(minTripPulses, 316), I(outputTBE, 320), I(ditherStepsChanged, 328), I(ditherPulsesChanged, 332),
    I(averageBoundsChanged, 336), I(initialLockChanged, 340), I(successiveGateChanged, 344),
    I(binSizeChanged, 348), I(binHitsChanged, 352), I(targetSelectorChanged, 356),
    I(tripTimeoutChanged, 360), I(flyerTrapChanged, 364), I(maxFalsePulsesChanged, 368),
    I(minTripPulsesChanged, 372), I(outputTBEChanged, 376),
    I(cosineOn, 380), I(cosineFactor, 384), I(outputProcessing, 388), F(dampErrorRange, 392),
    F(windowWidth, 396), I(dampSamples, 400), I(dampErrorTimeout, 404), I(windowErrorTimeout, 408),
    I(cosineOnChanged, 412), I(cosineFactorChanged, 416), I(outputProcessingChanged, 420),
    I(dampErrorRangeChanged, 424), I(windowWidthChanged, 428), I(dampSamplesChanged, 432),
    I(dampErrorTimeoutChanged, 436), I(windowErrorTimeoutChanged, 440),
    I(measureOutput, 444), I(currentLoopFlags, 448), F(analogLow, 452), F(analogHigh, 456),
    F(faultTimeout, 460), F(faultCurrent, 464), I(continuousOutput, 468), I(autostart, 472),
    I(displayMode, 476), I(loopCalibration4mA, 480), I(loopCalibration20mA, 484),
    I(measureOutputChanged, 488), I(currentLoopFlagsChanged, 492), I(analogLowChanged, 496),
    I(analogHighChanged, 500), I(faultTimeoutChanged, 504), I(faultCurrentChanged, 508),
    I(continuousOutputChanged, 512), I(autostartChanged, 516), I(displayModeChanged, 520),
    I(laserOn, 532), I(measurementSeen, 536), F(lastDistance, 540), F(lastIntensity, 548),
};
#undef I
#undef F

} // namespace

TEST(UnitRecordImage, EveryFieldLandsAtItsOffsetLittleEndian)
{
    for (const auto& f : kFields) {
        SCOPED_TRACE(f.name);
        UnitRecord r;
        const uint32_t pattern = 0x11223344u + uint32_t(f.offset);
        if (f.isFloat) {
            f.setFloat(r, -1234.5f);
        } else {
            f.setInt(r, pattern);
        }
        const auto img = r.toBytes();
        uint32_t expect = pattern;
        if (f.isFloat) {
            const float v = -1234.5f;
            std::memcpy(&expect, &v, 4);
        }
        EXPECT_EQ(u32At(img, f.offset), expect);
        // Nothing else in the image is touched.
        for (size_t i = 0; i < UnitRecord::ImageSize; ++i) {
            if (i < f.offset || i >= f.offset + 4) {
                ASSERT_EQ(img[i], 0) << "byte " << i;
            }
        }
        // And the image reads back into the same field.
        EXPECT_EQ(UnitRecord::fromBytes(img), r);
    }
}

TEST(UnitRecordImage, FullRoundTripAndPortName)
{
    UnitRecord r;
    std::strcpy(r.portName, "COM12:");
    int v = 1;
    for (const auto& f : kFields) {
        if (f.isFloat)
            f.setFloat(r, 0.25f * float(v++));
        else
            f.setInt(r, uint32_t(v++ * 7919));
    }
    const auto img = r.toBytes();
    EXPECT_EQ(img.size(), 556u);
    EXPECT_EQ(std::memcmp(img.data(), "COM12:\0\0", 8), 0);
    EXPECT_EQ(UnitRecord::fromBytes(img), r);
    EXPECT_EQ(UnitRecord::fromBytes(img).toBytes(), img);

    UnitRecord out;
    EXPECT_FALSE(UnitRecord::fromBytes(img.data(), 555, out));
    EXPECT_FALSE(UnitRecord::fromBytes(img.data(), 557, out));
    EXPECT_TRUE(UnitRecord::fromBytes(img.data(), 556, out));
    EXPECT_EQ(out, r);
}

TEST(UnitRecordImage, UnterminatedPortNameIsCutAndAddressIsItsLowByte)
{
    UnitRecord::Image img{};
    std::memset(img.data(), 'X', 8);
    img[84] = 98; // a UA reply of 98
    const UnitRecord r = UnitRecord::fromBytes(img);
    EXPECT_EQ(std::strlen(r.portName), 7u);
    EXPECT_EQ(r.addressChar(), 'b');
    EXPECT_EQ(r.address, 98);
}

TEST(FloatDiffers, ThresholdIsOneTenThousandth)
{
    EXPECT_FALSE(dxu::floatDiffers(1.0f, 1.00005f));
    EXPECT_TRUE(dxu::floatDiffers(1.0f, 1.0002f));
    EXPECT_TRUE(dxu::floatDiffers(-3.0f, 3.0f));
    EXPECT_FALSE(dxu::floatDiffers(12.5f, 12.5f));
}
