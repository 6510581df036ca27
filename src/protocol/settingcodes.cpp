#include "protocol/settingcodes.h"

#include <algorithm>

namespace dxu {
namespace {

using R = UnitRecord;
using V = SettingsView;

constexpr SettingField I(int32_t R::*field, uint16_t offset, int32_t R::*changed = nullptr, uint16_t changedOffset = 0)
{
    return {field, nullptr, offset, changed, changedOffset};
}

constexpr SettingField F(float R::*field, uint16_t offset, int32_t R::*changed = nullptr, uint16_t changedOffset = 0)
{
    return {nullptr, field, offset, changed, changedOffset};
}

constexpr SettingField limited(SettingField f, float min, float max)
{
    f.limited = true;
    f.min = min;
    f.max = max;
    return f;
}

constexpr int8_t Whole = 0;
constexpr int8_t ByUnits = DecimalsByUnits;

// clang-format off
constexpr SettingCode kCodes[] = {
 // code  id                 form                  fields                                                   write     decimals  show                        rate   read upload
 {"UA", IdAddress,         ReplyForm::Int,       {I(&R::address, 84, &R::addressChanged, 104)}, ArgInt, Whole, {&V::showUA}, false, 2, 45},
 {"MM", IdMeasureMode,     ReplyForm::Int,       {I(&R::measureMode, 204, &R::measureModeChanged, 236)}, ArgInt, Whole, {&V::showMM}, false, 7, 2},
 {"MU", IdUnits,           ReplyForm::Int,       {I(&R::units, 108, &R::unitsChanged, 156)}, ArgInt, Whole, {&V::showMU}, false, 8, 3},
 {"EG", IdGates,           ReplyForm::GateBits,  {I(&R::shortGateOn, 112, &R::shortGateOnChanged, 160),
                                                  I(&R::longGateOn, 116, &R::longGateOnChanged, 164),
                                                  I(&R::successiveGate, 288, &R::successiveGateChanged, 344)},
                                                                                                             ArgInt,   Whole,   {&V::showEG},                false, 9,  7},
 {"SG", IdShortGate,       ReplyForm::Float,     {F(&R::shortGate, 124, &R::shortGateChanged, 172)}, ArgFloat, ByUnits, {&V::showSG}, false, 10, 8},
 {"LG", IdLongGate,        ReplyForm::Float,     {F(&R::longGate, 128, &R::longGateChanged, 176)}, ArgFloat, ByUnits, {&V::showLG}, false, 11, 9},
 {"CG", IdCheckGate,       ReplyForm::Int,       {I(&R::checkGate, 120, &R::checkGateChanged, 168)}, ArgInt, Whole, {&V::showCG}, false, 12, 10},
 {"OF", IdOffset,          ReplyForm::Float,     {F(&R::offsetDistance, 132, &R::offsetDistanceChanged, 180)}, ArgFloat, ByUnits, {&V::showOF}, false, 13, 11},
 {"PL", IdPowerLevel,      ReplyForm::Int,       {I(&R::powerLevel, 136, &R::powerLevelChanged, 184)}, ArgInt, Whole, {&V::showPL}, false, 14, 4},
 {"FL", IdCooperative,     ReplyForm::Int,       {I(&R::cooperativeTarget, 140, &R::cooperativeTargetChanged, 188)}, ArgInt, Whole, {&V::showFL}, false, 15, 5},
 {"MP", IdMinIntensity,    ReplyForm::Int,       {I(&R::minIntensity, 148, &R::minIntensityChanged, 196)}, ArgInt, Whole, {&V::showMP}, false, 16, 12},
 {"XP", IdMaxIntensity,    ReplyForm::Int,       {I(&R::maxIntensity, 152, &R::maxIntensityChanged, 200)}, ArgInt, Whole, {&V::showXP}, false, 17, 13},
 {"TE", IdTermination,     ReplyForm::Int,       {I(&R::termination, 144, &R::terminationChanged, 192)}, ArgInt, Whole, {&V::showTE}, false, 18, 6},
 {"PF", IdPulseRate,       ReplyForm::Ints,      {limited(I(&R::prfAveraging, 216, &R::prfAveragingChanged, 248), 10, 4000),
                                                  limited(I(&R::prfBinning, 208, &R::prfBinningChanged, 240), 10, 1000),
                                                  limited(I(&R::prfDetection, 224, &R::prfDetectionChanged, 256), 10, 4500)},
                                                                                                             ArgInt,   Whole,   {&V::showPF},                true,  19, 14},
 {"PO", IdPulses,          ReplyForm::Ints,      {I(&R::pulsesAveraging, 220, &R::pulsesAveragingChanged, 252),
                                                  I(&R::pulsesBinning, 212, &R::pulsesBinningChanged, 244)},
                                                                                                             ArgInt,   Whole,   {&V::showPO},                true,  20, 15},
 {"AW", IdDitherPulses,    ReplyForm::Int,       {I(&R::ditherPulses, 276, &R::ditherPulsesChanged, 332)}, ArgInt, Whole, {&V::showAW}, false, 21, 17},
 {"DD", IdDither,          ReplyForm::Dither,    {I(&R::ditherSteps, 272, &R::ditherStepsChanged, 328),
                                                  I(&R::ditherOn, 268, &R::ditherStepsChanged, 328)}, ArgInt, Whole, {&V::showDD}, false, 6, 1},
 {"AB", IdAverageBounds,   ReplyForm::Int,       {I(&R::averageBounds, 280, &R::averageBoundsChanged, 336)}, ArgInt, Whole, {&V::showAB}, false, 22, 27},
 {"IL", IdInitialLock,     ReplyForm::Int,       {I(&R::initialLock, 284, &R::initialLockChanged, 340)}, ArgInt, Whole, {&V::showIL}, false, 23, 28},
 {"FA", IdTargetSelector,  ReplyForm::Int,       {I(&R::targetSelector, 300, &R::targetSelectorChanged, 356)}, ArgInt, Whole, {&V::showFA}, false, 24, 20},
 {"BH", IdBinHits,         ReplyForm::Int,       {limited(I(&R::binHits, 296, &R::binHitsChanged, 352), 0, 255)}, ArgInt, Whole, {&V::showBH}, false, 25, 19},
 {"BS", IdBinSize,         ReplyForm::Int,       {I(&R::binSize, 292, &R::binSizeChanged, 348)}, ArgInt, Whole, {&V::showBS}, false, 26, 18},
 {"LA", IdReference,       ReplyForm::Int,       {I(&R::detectionReference, 228, &R::detectionReferenceChanged, 260)}, ArgInt, Whole, {&V::showLA}, false, 30, 16},
 {"TP", IdTripPoint,       ReplyForm::Float,     {F(&R::tripPoint, 232, &R::tripPointChanged, 264)}, ArgFloat, ByUnits, {&V::showTP}, false, 27, 21},
 {"TT", IdTripTimeout,     ReplyForm::PulseCount, {F(&R::tripTimeout, 304, &R::tripTimeoutChanged, 360)}, ArgInt, Whole, {&V::showTT}, false, 28, 22},
 {"FT", IdFlyerTrap,       ReplyForm::Int,       {I(&R::flyerTrap, 308, &R::flyerTrapChanged, 364)}, ArgInt, Whole, {&V::showFT}, false, 31, 25},
 {"MX", IdMaxFalsePulses,  ReplyForm::Int,       {I(&R::maxFalsePulses, 312, &R::maxFalsePulsesChanged, 368)}, ArgInt, Whole, {&V::showMX}, false, 32, 23},
 {"CT", IdMinTripPulses,   ReplyForm::Int,       {I(&R::minTripPulses, 316, &R::minTripPulsesChanged, 372)}, ArgInt, Whole, {&V::showCT}, false, 33, 24},
 {"TB", IdOutputTBE,       ReplyForm::Int,       {I(&R::outputTBE, 320, &R::outputTBEChanged, 376)}, ArgInt, Whole, {&V::showTB}, false, 29, 26},
 {"OP", IdProcessing,      ReplyForm::Int,       {I(&R::outputProcessing, 388, &R::outputProcessingChanged, 420)}, ArgInt, Whole, {&V::showOP}, false, 34, 30},
 {"CE", IdCosineOn,        ReplyForm::Int,       {I(&R::cosineOn, 380, &R::cosineOnChanged, 412)}, ArgInt, Whole, {&V::showCE}, false, 35, 29},
 {"CV", IdCosineFactor,    ReplyForm::Int,       {I(&R::cosineFactor, 384, &R::cosineFactorChanged, 416)}, ArgInt, Whole, {&V::showCV}, false, 36, 31},
 {"WT", IdWindowTimeout,   ReplyForm::Int,       {I(&R::windowErrorTimeout, 408, &R::windowErrorTimeoutChanged, 440)}, ArgInt, Whole, {&V::showWT}, false, 37, 35},
 {"WV", IdWindowWidth,     ReplyForm::Float,     {F(&R::windowWidth, 396, &R::windowWidthChanged, 428)}, ArgFloat, ByUnits, {&V::showWV}, false, 38, 33},
 {"DS", IdDampSamples,     ReplyForm::Int,       {I(&R::dampSamples, 400, &R::dampSamplesChanged, 432)}, ArgInt, Whole, {&V::showDS}, false, 39, 34},
 {"DR", IdDampening,       ReplyForm::IntFloat,  {I(&R::dampErrorTimeout, 404, &R::dampErrorTimeoutChanged, 436),
                                                  F(&R::dampErrorRange, 392, &R::dampErrorRangeChanged, 424)},
                                                                                                             ArgInt,   ByUnits, {&V::showDR, &V::showDRRange}, false, 40, 32},
 {"AL", IdAnalogLow,       ReplyForm::Float,     {limited(F(&R::analogLow, 452, &R::analogLowChanged, 496), 0, 2000)}, ArgFloat, ByUnits, {&V::showAL}, false, 41, 41},
 {"AH", IdAnalogHigh,      ReplyForm::Float,     {limited(F(&R::analogHigh, 456, &R::analogHighChanged, 500), 0, 2000)}, ArgFloat, ByUnits, {&V::showAH}, false, 42, 42},
 {"AF", IdFaultCurrent,    ReplyForm::Float,     {limited(F(&R::faultCurrent, 464, &R::faultCurrentChanged, 508), 2, 20)}, ArgFloat, ByUnits, {&V::showAF}, false, 43, 43},
 {"AT", IdFaultTimeout,    ReplyForm::Float,     {limited(F(&R::faultTimeout, 460, &R::faultTimeoutChanged, 504), 0, 99)}, ArgFloat, ByUnits, {&V::showAT}, false, 44, 44},
 {"CL", IdCurrentLoop,     ReplyForm::Int,       {I(&R::currentLoopFlags, 448, &R::currentLoopFlagsChanged, 492)}, ArgInt, Whole, {&V::showCL}, false, 45, 37},
 {"MO", IdMeasureOutput,   ReplyForm::Int,       {I(&R::measureOutput, 444, &R::measureOutputChanged, 488)}, ArgInt, Whole, {&V::showMO}, false, 47, 36},
 {"CO", IdContinuous,      ReplyForm::Int,       {I(&R::continuousOutput, 468, &R::continuousOutputChanged, 512)}, ArgInt, Whole, {&V::showCO}, false, 48, 38},
 {"MA", IdAutostart,       ReplyForm::Int,       {I(&R::autostart, 472, &R::autostartChanged, 516)}, ArgInt, Whole, {&V::showMA}, false, 49, 39},
 {"DM", IdDisplayMode,     ReplyForm::Int,       {I(&R::displayMode, 476, &R::displayModeChanged, 520)}, ArgInt, Whole, {&V::showDM}, false, 50, 40},
 // Read, never shown by a show function of their own.
 {"SV", IdVersion,         ReplyForm::Version,   {I(&R::firmwareVersion, 80)},                              0,        Whole,   {},                          false, 1,  0},
 {"WP", IdWhichPort,       ReplyForm::Int,       {I(&R::currentPort, 68)},                                  0,        Whole,   {},                          false, 3,  0},
 {"BR", IdBaudPort0,       ReplyForm::Baud,      {I(&R::port0Baud, 40, &R::port0BaudChanged, 100)},         ArgInt,   Whole,   {},                          false, 4,  46},
 {"BR", IdBaudPort1,       ReplyForm::Baud,      {I(&R::port1Baud, 36, &R::port1BaudChanged, 96)},          ArgInt,   Whole,   {},                          false, 5,  47},
 {"P4", IdLoopCalibration, ReplyForm::Ints,      {I(&R::loopCalibration4mA, 480), I(&R::loopCalibration20mA, 484)}, 0, Whole,      {},                          false, 46, 0},
};
// clang-format on

template <std::size_t N>
constexpr std::array<const SettingCode*, N> ordered(uint8_t SettingCode::*place)
{
    std::array<const SettingCode*, N> list{};
    for (const SettingCode& c : kCodes)
        if (c.*place != 0 && c.*place <= N)
            list[c.*place - 1] = &c;
    return list;
}

template <std::size_t N>
constexpr bool complete(const std::array<const SettingCode*, N>& list)
{
    std::size_t rows = 0;
    for (const SettingCode* c : list)
        rows += c != nullptr;
    return rows == N;
}

constexpr auto kReadList = ordered<SettingsReadCount>(&SettingCode::readOrder);
constexpr auto kUploadOrder = ordered<UploadWriteCount>(&SettingCode::uploadOrder);
static_assert(complete(kReadList), "every place of the read list has one row");
static_assert(complete(kUploadOrder), "every place of the upload has one row");

} // namespace

int SettingCode::fieldCount() const
{
    return static_cast<int>(std::count_if(fields.begin(), fields.end(),
                                          [](const SettingField& f) { return f.intField || f.floatField; }));
}

std::span<const SettingCode> settingCodes() { return kCodes; }

const SettingCode* findSetting(std::string_view code)
{
    for (const SettingCode& c : kCodes)
        if (code == c.code)
            return &c;
    return nullptr;
}

const SettingCode* settingById(uint32_t commandId)
{
    for (const SettingCode& c : kCodes)
        if (c.commandId == commandId)
            return &c;
    return nullptr;
}

const std::array<const SettingCode*, SettingsReadCount>& settingsReadList() { return kReadList; }

const std::array<const SettingCode*, UploadWriteCount>& uploadOrder() { return kUploadOrder; }

void enqueueSettingsRead(CommandQueue& queue)
{
    for (const SettingCode* c : kReadList)
        queue.enqueueCommand(KindCode, c->code, c->commandId, ListRetries);
}

} // namespace dxu
