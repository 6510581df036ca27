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

// The panel's binding of a field: its look, control(s) and the modes in
// which it is edited.
constexpr SettingField on(SettingField f, Look look, std::array<const char*, 3> controls, uint8_t modes = AllModes)
{
    f.look = look;
    f.controls = controls;
    f.modes = modes;
    return f;
}

// A number typed in an edit box: a refused one is named by caption; an empty
// box is given whenEmpty.
constexpr SettingField typed(SettingField f, Look look, const char* control, const char* caption,
                             uint8_t modes = AllModes, const char* whenEmpty = nullptr)
{
    f = on(f, look, {control}, modes);
    f.caption = caption;
    f.whenEmpty = whenEmpty;
    return f;
}

constexpr Look Own = Look::Own, Number = Look::Number, Distance = Look::Distance, Tenths = Look::Tenths,
               Check = Look::Check, Choice = Look::Choice, Radio = Look::Radio;
constexpr uint8_t ShownOnly = 0; // edited in another window
constexpr uint8_t ByRule = 0;    // read by its row's rule (the gates)
constexpr int8_t Whole = 0;
constexpr int8_t ByUnits = DecimalsByUnits;

// clang-format off
constexpr SettingCode kCodes[] = {
 // code  id                 form                  fields                                                   write     decimals  show                        rate   read upload
 {"UA", IdAddress,         ReplyForm::Int,       {on(I(&R::address, 84, &R::addressChanged, 104), Own, {"lblCurrAddress"}, ShownOnly)}, ArgInt, Whole, {&V::showUA}, false, 2, 45},
 {"MM", IdMeasureMode,     ReplyForm::Int,       {on(I(&R::measureMode, 204, &R::measureModeChanged, 236), Own, {"cmbMeasureMode"})}, ArgInt, Whole, {&V::showMM}, false, 7, 2},
 {"MU", IdUnits,           ReplyForm::Int,       {on(I(&R::units, 108, &R::unitsChanged, 156), Own, {"cbUnitsMeters", "cbUnitsFeet"})}, ArgInt, Whole, {&V::showMU}, false, 8, 3},
 {"EG", IdGates,           ReplyForm::GateBits,  {on(I(&R::shortGateOn, 112, &R::shortGateOnChanged, 160), Check, {"cbShortGate"}, ByRule),
                                                  on(I(&R::longGateOn, 116, &R::longGateOnChanged, 164), Check, {"cbLongGate"}, ByRule),
                                                  on(I(&R::successiveGate, 288, &R::successiveGateChanged, 344), Check, {"cbSuccessiveGate"}, LastTarget)},
                                                                                                             ArgInt,   Whole,   {&V::showEG},                false, 9,  7},
 {"SG", IdShortGate,       ReplyForm::Float,     {typed(F(&R::shortGate, 124, &R::shortGateChanged, 172), Distance, "edShortGate", "Short Gate", ByRule)}, ArgFloat, ByUnits, {&V::showSG}, false, 10, 8},
 {"LG", IdLongGate,        ReplyForm::Float,     {typed(F(&R::longGate, 128, &R::longGateChanged, 176), Distance, "edLongGate", "Long Gate", ByRule)}, ArgFloat, ByUnits, {&V::showLG}, false, 11, 9},
 {"CG", IdCheckGate,       ReplyForm::Int,       {on(I(&R::checkGate, 120, &R::checkGateChanged, 168), Check, {"cbCheckGate"})}, ArgInt, Whole, {&V::showCG}, false, 12, 10},
 {"OF", IdOffset,          ReplyForm::Float,     {typed(F(&R::offsetDistance, 132, &R::offsetDistanceChanged, 180), Distance, "edOffsetDistance", "Offset Distance", AllModes, "0")}, ArgFloat, ByUnits, {&V::showOF}, false, 13, 11},
 {"PL", IdPowerLevel,      ReplyForm::Int,       {on(I(&R::powerLevel, 136, &R::powerLevelChanged, 184), Radio, {"rbHigh", "rbMedium", "rbLow"})}, ArgInt, Whole, {&V::showPL}, false, 14, 4},
 {"FL", IdCooperative,     ReplyForm::Int,       {on(I(&R::cooperativeTarget, 140, &R::cooperativeTargetChanged, 188), Check, {"cbTarget"})}, ArgInt, Whole, {&V::showFL}, false, 15, 5},
 {"MP", IdMinIntensity,    ReplyForm::Int,       {typed(I(&R::minIntensity, 148, &R::minIntensityChanged, 196), Number, "edMinIntensity", "Intensity Rejection Min")}, ArgInt, Whole, {&V::showMP}, false, 16, 12},
 {"XP", IdMaxIntensity,    ReplyForm::Int,       {typed(I(&R::maxIntensity, 152, &R::maxIntensityChanged, 200), Number, "edMaxIntensity", "Intensity Rejection Max")}, ArgInt, Whole, {&V::showXP}, false, 17, 13},
 {"TE", IdTermination,     ReplyForm::Int,       {on(I(&R::termination, 144, &R::terminationChanged, 192), Check, {"cbTermination"})}, ArgInt, Whole, {&V::showTE}, false, 18, 6},
 {"PF", IdPulseRate,       ReplyForm::Ints,      {typed(limited(I(&R::prfAveraging, 216, &R::prfAveragingChanged, 248), 10, 4000), Own, "cmbPRF", "PRF", Ranging),
                                                  typed(limited(I(&R::prfBinning, 208, &R::prfBinningChanged, 240), 10, 1000), Own, "cmbPRF", "PRF", Binning),
                                                  typed(limited(I(&R::prfDetection, 224, &R::prfDetectionChanged, 256), 10, 4500), Own, "cmbPRF", "PRF", Detection)},
                                                                                                             ArgInt,   Whole,   {&V::showPF},                true,  19, 14},
 {"PO", IdPulses,          ReplyForm::Ints,      {typed(I(&R::pulsesAveraging, 220, &R::pulsesAveragingChanged, 252), Number, "edPulsesperMeasure", "Pulses/Measure", Ranging, "32"),
                                                  typed(I(&R::pulsesBinning, 212, &R::pulsesBinningChanged, 244), Number, "edPulsesperMeasure", "Pulses/Measure", Binning, "32")},
                                                                                                             ArgInt,   Whole,   {&V::showPO},                true,  20, 15},
 {"AW", IdDitherPulses,    ReplyForm::Int,       {typed(I(&R::ditherPulses, 276, &R::ditherPulsesChanged, 332), Number, "edPulsesRequired", "Required Dither Pulses", Ranging)}, ArgInt, Whole, {&V::showAW}, false, 21, 17},
 {"DD", IdDither,          ReplyForm::Dither,    {on(I(&R::ditherSteps, 272, &R::ditherStepsChanged, 328), Own, {"cmbDitherSteps"}, Averaging),
                                                  on(I(&R::ditherOn, 268, &R::ditherStepsChanged, 328), Own, {"cbDither"}, Averaging)}, ArgInt, Whole, {&V::showDD}, false, 6, 1},
 {"AB", IdAverageBounds,   ReplyForm::Int,       {typed(I(&R::averageBounds, 280, &R::averageBoundsChanged, 336), Number, "edAverageBounds", "Average Bounds", Averaging)}, ArgInt, Whole, {&V::showAB}, false, 22, 27},
 {"IL", IdInitialLock,     ReplyForm::Int,       {typed(I(&R::initialLock, 284, &R::initialLockChanged, 340), Number, "edInitialLock", "Initial Lock", Averaging, "0")}, ArgInt, Whole, {&V::showIL}, false, 23, 28},
 {"FA", IdTargetSelector,  ReplyForm::Int,       {on(I(&R::targetSelector, 300, &R::targetSelectorChanged, 356), Choice, {"cmbTargetSelector"}, Binning)}, ArgInt, Whole, {&V::showFA}, false, 24, 20},
 {"BH", IdBinHits,         ReplyForm::Int,       {typed(limited(I(&R::binHits, 296, &R::binHitsChanged, 352), 0, 255), Number, "edBinHits", "Bin Hits", Binning, "4")}, ArgInt, Whole, {&V::showBH}, false, 25, 19},
 {"BS", IdBinSize,         ReplyForm::Int,       {on(I(&R::binSize, 292, &R::binSizeChanged, 348), Choice, {"cmbBinSize"}, Binning)}, ArgInt, Whole, {&V::showBS}, false, 26, 18},
 {"LA", IdReference,       ReplyForm::Int,       {on(I(&R::detectionReference, 228, &R::detectionReferenceChanged, 260), Radio, {"rbRelative", "rbAbsolute"}, Detection)}, ArgInt, Whole, {&V::showLA}, false, 30, 16},
 {"TP", IdTripPoint,       ReplyForm::Float,     {typed(F(&R::tripPoint, 232, &R::tripPointChanged, 264), Distance, "edTripPoint", "Trip Point", Detection, "1")}, ArgFloat, ByUnits, {&V::showTP}, false, 27, 21},
 {"TT", IdTripTimeout,     ReplyForm::PulseCount, {typed(F(&R::tripTimeout, 304, &R::tripTimeoutChanged, 360), Tenths, "edTripTimeout", "Trip Timeout", Detection)}, ArgInt, Whole, {&V::showTT}, false, 28, 22},
 {"FT", IdFlyerTrap,       ReplyForm::Int,       {typed(I(&R::flyerTrap, 308, &R::flyerTrapChanged, 364), Number, "edFlyerTrap", "Flyer Trap", Detection)}, ArgInt, Whole, {&V::showFT}, false, 31, 25},
 {"MX", IdMaxFalsePulses,  ReplyForm::Int,       {typed(I(&R::maxFalsePulses, 312, &R::maxFalsePulsesChanged, 368), Number, "edMaxFalsePulses", "Max False Pulses", Detection)}, ArgInt, Whole, {&V::showMX}, false, 32, 23},
 {"CT", IdMinTripPulses,   ReplyForm::Int,       {typed(I(&R::minTripPulses, 316, &R::minTripPulsesChanged, 372), Number, "edMinTripPulses", "Min Trip Pulses", Detection)}, ArgInt, Whole, {&V::showCT}, false, 33, 24},
 {"TB", IdOutputTBE,       ReplyForm::Int,       {on(I(&R::outputTBE, 320, &R::outputTBEChanged, 376), Check, {"cbOutputTBE"}, Detection)}, ArgInt, Whole, {&V::showTB}, false, 29, 26},
 {"OP", IdProcessing,      ReplyForm::Int,       {on(I(&R::outputProcessing, 388, &R::outputProcessingChanged, 420), Radio, {"rbProcessingOff", "rbWindowingOn", "rbDampeningOn"})}, ArgInt, Whole, {&V::showOP}, false, 34, 30},
 {"CE", IdCosineOn,        ReplyForm::Int,       {on(I(&R::cosineOn, 380, &R::cosineOnChanged, 412), Check, {"cbCosineOn"})}, ArgInt, Whole, {&V::showCE}, false, 35, 29},
 {"CV", IdCosineFactor,    ReplyForm::Int,       {typed(I(&R::cosineFactor, 384, &R::cosineFactorChanged, 416), Number, "edCosineFactor", "Cosine Factor")}, ArgInt, Whole, {&V::showCV}, false, 36, 31},
 {"WT", IdWindowTimeout,   ReplyForm::Int,       {typed(I(&R::windowErrorTimeout, 408, &R::windowErrorTimeoutChanged, 440), Look::Cycles, "edErrorTimeout", "Error Timeout")}, ArgInt, Whole, {&V::showWT}, false, 37, 35},
 {"WV", IdWindowWidth,     ReplyForm::Float,     {typed(F(&R::windowWidth, 396, &R::windowWidthChanged, 428), Distance, "edWindowWidth", "Window Width")}, ArgFloat, ByUnits, {&V::showWV}, false, 38, 33},
 {"DS", IdDampSamples,     ReplyForm::Int,       {typed(I(&R::dampSamples, 400, &R::dampSamplesChanged, 432), Number, "edNumberofSamples", "Number of Samples")}, ArgInt, Whole, {&V::showDS}, false, 39, 34},
 {"DR", IdDampening,       ReplyForm::IntFloat,  {typed(I(&R::dampErrorTimeout, 404, &R::dampErrorTimeoutChanged, 436), Number, "edNumberofErrors", "Number of Errors"),
                                                  typed(F(&R::dampErrorRange, 392, &R::dampErrorRangeChanged, 424), Distance, "edErrorRangeDifference", "Error Range Difference")},
                                                                                                             ArgInt,   ByUnits, {&V::showDR, &V::showDRRange}, false, 40, 32},
 {"AL", IdAnalogLow,       ReplyForm::Float,     {on(limited(F(&R::analogLow, 452, &R::analogLowChanged, 496), 0, 2000), Distance, {"edAnalogLow"}, ShownOnly)}, ArgFloat, ByUnits, {&V::showAL}, false, 41, 41},
 {"AH", IdAnalogHigh,      ReplyForm::Float,     {on(limited(F(&R::analogHigh, 456, &R::analogHighChanged, 500), 0, 2000), Distance, {"edAnalogHigh"}, ShownOnly)}, ArgFloat, ByUnits, {&V::showAH}, false, 42, 42},
 {"AF", IdFaultCurrent,    ReplyForm::Float,     {on(limited(F(&R::faultCurrent, 464, &R::faultCurrentChanged, 508), 2, 20), Tenths, {"edFaultIndication"}, ShownOnly)}, ArgFloat, ByUnits, {&V::showAF}, false, 43, 43},
 {"AT", IdFaultTimeout,    ReplyForm::Float,     {on(limited(F(&R::faultTimeout, 460, &R::faultTimeoutChanged, 504), 0, 99), Tenths, {"edFaultTimeout"}, ShownOnly)}, ArgFloat, ByUnits, {&V::showAT}, false, 44, 44},
 {"CL", IdCurrentLoop,     ReplyForm::Int,       {on(I(&R::currentLoopFlags, 448, &R::currentLoopFlagsChanged, 492), Look::Bits, {"CurrentLoopOn1", "DisableFaultCurrent1"})}, ArgInt, Whole, {&V::showCL}, false, 45, 37},
 {"MO", IdMeasureOutput,   ReplyForm::Int,       {on(I(&R::measureOutput, 444, &R::measureOutputChanged, 488), Choice, {"cmbMeasureOutput"})}, ArgInt, Whole, {&V::showMO}, false, 47, 36},
 {"CO", IdContinuous,      ReplyForm::Int,       {on(I(&R::continuousOutput, 468, &R::continuousOutputChanged, 512), Check, {"cbContinuousOutput"})}, ArgInt, Whole, {&V::showCO}, false, 48, 38},
 {"MA", IdAutostart,       ReplyForm::Int,       {on(I(&R::autostart, 472, &R::autostartChanged, 516), Check, {"cbAutostart"})}, ArgInt, Whole, {&V::showMA}, false, 49, 39},
 {"DM", IdDisplayMode,     ReplyForm::Int,       {on(I(&R::displayMode, 476, &R::displayModeChanged, 520), Own, {"rbDistance", "rbIntensity", "rbBothNumbers"})}, ArgInt, Whole, {&V::showDM}, false, 50, 40},
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

const SettingField* SettingCode::fieldOfMode(int32_t mode) const
{
    for (int i = 0; i < fieldCount(); ++i)
        if (fields[static_cast<size_t>(i)].editedIn(mode))
            return &fields[static_cast<size_t>(i)];
    return nullptr;
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
