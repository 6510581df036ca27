#include "protocol/settingcodes.h"

#include <algorithm>

namespace dxu {
namespace {

using R = UnitRecord;

// A field of a row, built up column by column.
struct Field {
    SettingField f;

    constexpr operator SettingField() const { return f; }
    // Its name in listings and reports, with the units word there and in the text form.
    constexpr Field is(const char* name, const char* unit = "", const char* symbol = "") const
    {
        Field x = *this;
        x.f.name = name;
        x.f.unit = unit;
        x.f.symbol = symbol;
        return x;
    }
    // A length, in the record's units.
    constexpr Field length() const
    {
        Field x = *this;
        x.f.distance = true;
        return x;
    }
    constexpr Field of(std::span<const Choice> choices) const
    {
        Field x = *this;
        x.f.choices = choices;
        return x;
    }
    // Typed in the window, which names it caption.
    constexpr Field typed(const char* caption) const
    {
        Field x = *this;
        x.f.caption = caption;
        return x;
    }
    // The line "key = ..." of the text form, place-th in section.
    constexpr Field in(Section section, uint8_t place, const char* key, uint8_t decimals = 0) const
    {
        Field x = *this;
        x.f.section = section;
        x.f.textOrder = place;
        x.f.key = key;
        x.f.textDecimals = decimals;
        return x;
    }
    constexpr Field within(float min, float max) const
    {
        Field x = *this;
        x.f.limited = true;
        x.f.min = min;
        x.f.max = max;
        return x;
    }
    // What an empty box takes.
    constexpr Field orEmpty(float value) const
    {
        Field x = *this;
        x.f.hasDefault = true;
        x.f.defaultValue = value;
        return x;
    }
};

constexpr Field I(int32_t R::*field, uint16_t offset, int32_t R::*changed = nullptr, uint16_t changedOffset = 0)
{
    return {{field, nullptr, offset, changed, changedOffset}};
}

constexpr Field F(float R::*field, uint16_t offset, int32_t R::*changed = nullptr, uint16_t changedOffset = 0)
{
    return {{nullptr, field, offset, changed, changedOffset}};
}

constexpr int8_t Whole = 0;
constexpr int8_t ByUnits = DecimalsByUnits;

constexpr Section Basic = Section::BasicSetup, Mode = Section::MeasurementMode, Avg = Section::Averaging,
                  Bin = Section::Binning, Det = Section::DetectionMode, Proc = Section::OutputProcessing,
                  Out = Section::OutputSetup, Loop = Section::CurrentLoop, Own = Section::Unit;

// clang-format off
constexpr SectionInfo kSections[] = {
    {Basic, "basic_setup", nullptr, "BASIC SETUP"},
    {Mode, "measurement_mode", nullptr, "MEASUREMENT MODE"},
    {Avg, "averaging", "Averaging and LastTarget", "MEASUREMENT MODE"},
    {Bin, "binning", nullptr, "MEASUREMENT MODE"},
    {Det, "detection_mode", nullptr, "MEASUREMENT MODE"},
    {Proc, "output_processing", nullptr, "OUTPUT PROCESSING"},
    {Out, "output_setup", nullptr, "OUTPUT SETUP"},
    {Loop, "current_loop", nullptr, "CURRENT LOOP"},
    {Own, "unit", "the unit's own: never taken from a setup file", nullptr},
};

constexpr Choice kOnOff[] = {{0, "off", "Off"}, {1, "on", "On"}};
constexpr Choice kUnits[] = {{0, "feet", "Feet"}, {1, "meters", "Meters"}};
constexpr Choice kPower[] = {{0, "high", "High"}, {1, "medium", "Medium"}, {2, "low", "Low"}};
constexpr Choice kModes[] = {{1, "averaging", "Averaging"}, {2, "binning", "Binning"},
                             {3, "detection", "Detection Mode"}, {4, "last_target", "LastTarget"}};
// Shown as their numbers.
constexpr Choice kDither[] = {{0, "0", nullptr}, {1, "1", nullptr}, {2, "2", nullptr},
                              {4, "4", nullptr}, {8, "8", nullptr}, {16, "16", nullptr}};
constexpr Choice kTarget[] = {{0, "first", "First"}, {1, "last", "Last"}, {2, "most", "Most"}, {3, "all", "All"}};
// The bin width in centimetres and, in brackets, the span of the histogram in metres.
constexpr Choice kBinSize[] = {{0, "2.5", "2.5 (13)"},     {1, "5.1", "5.1 (26)"},     {2, "10.2", "10.2 (52)"},
                               {3, "20.4", "20.4 (104)"},  {4, "40.8", "40.8 (213)"},  {5, "81.6", "81.6 (416)"},
                               {6, "163.2", "163.2 (832)"}, {7, "325.1", "325.1 (1664)"}};
constexpr Choice kReference[] = {{0, "relative", "Relative"}, {1, "absolute", "Absolute"}};
constexpr Choice kProcessing[] = {{0, "off", "Off"}, {1, "windowing", "Windowing"}, {2, "dampening", "Dampening"}};
constexpr Choice kOutput[] = {{0, "rs232_configuration_port", "RS232 Configuration Port"},
                              {1, "rs232_universal_port", "RS232 Universal Port"},
                              {2, "rs485_universal_port", "RS485 Universal Port"}};
constexpr Choice kDisplay[] = {{1, "distance", "Distance"}, {2, "both", "Both"}, {3, "intensity", "Intensity"}};
// Bit 0 on, bit 1 no fault current; shown as the number.
constexpr Choice kLoop[] = {{0, "off", nullptr}, {1, "on", nullptr}, {2, "off_no_fault_current", nullptr},
                            {3, "on_no_fault_current", nullptr}};

constexpr SettingCode kCodes[] = {
 // code  id                 form                  fields (what each is called: name, units, values, text-form line, window caption)
 //                                                                                                           write     decimals rate   read upload
 {"UA", IdAddress,         ReplyForm::Int,       {I(&R::address, 84, &R::addressChanged, 104).is("Address").in(Own, 1, "address")},
                                                                                                             ArgInt,   Whole,   false, 2,  45},
 {"MM", IdMeasureMode,     ReplyForm::Int,       {I(&R::measureMode, 204, &R::measureModeChanged, 236).is("Measurement Mode").of(kModes)
                                                      .in(Mode, 1, "measurement_mode")},
                                                                                                             ArgInt,   Whole,   false, 7,  2},
 {"MU", IdUnits,           ReplyForm::Int,       {I(&R::units, 108, &R::unitsChanged, 156).is("Units").of(kUnits).in(Basic, 1, "units")},
                                                                                                             ArgInt,   Whole,   false, 8,  3},
 {"EG", IdGates,           ReplyForm::GateBits,  {I(&R::shortGateOn, 112, &R::shortGateOnChanged, 160).is("Short Gate On/Off").of(kOnOff)
                                                      .in(Basic, 2, "short_gate_on"),
                                                  I(&R::longGateOn, 116, &R::longGateOnChanged, 164).is("Long Gate On/Off").of(kOnOff)
                                                      .in(Basic, 4, "long_gate_on"),
                                                  I(&R::successiveGate, 288, &R::successiveGateChanged, 344).is("Successive Gating").of(kOnOff)
                                                      .in(Avg, 8, "successive_gating")},
                                                                                                             ArgInt,   Whole,   false, 9,  7},
 {"SG", IdShortGate,       ReplyForm::Float,     {F(&R::shortGate, 124, &R::shortGateChanged, 172).is("Short Gate").length()
                                                      .in(Basic, 3, "short_gate").typed("Short Gate")},
                                                                                                             ArgFloat, ByUnits, false, 10, 8},
 {"LG", IdLongGate,        ReplyForm::Float,     {F(&R::longGate, 128, &R::longGateChanged, 176).is("Long Gate").length()
                                                      .in(Basic, 5, "long_gate").typed("Long Gate")},
                                                                                                             ArgFloat, ByUnits, false, 11, 9},
 {"CG", IdCheckGate,       ReplyForm::Int,       {I(&R::checkGate, 120, &R::checkGateChanged, 168).is("Check Gate").of(kOnOff).in(Basic, 6, "check_gate")},
                                                                                                             ArgInt,   Whole,   false, 12, 10},
 {"OF", IdOffset,          ReplyForm::Float,     {F(&R::offsetDistance, 132, &R::offsetDistanceChanged, 180).is("Offset Distance").length()
                                                      .in(Basic, 7, "offset_distance").typed("Offset Distance").orEmpty(0)},
                                                                                                             ArgFloat, ByUnits, false, 13, 11},
 {"PL", IdPowerLevel,      ReplyForm::Int,       {I(&R::powerLevel, 136, &R::powerLevelChanged, 184).is("Laser Power Level").of(kPower)
                                                      .in(Basic, 8, "laser_power")},
                                                                                                             ArgInt,   Whole,   false, 14, 4},
 {"FL", IdCooperative,     ReplyForm::Int,       {I(&R::cooperativeTarget, 140, &R::cooperativeTargetChanged, 188).is("Cooperative Target").of(kOnOff)
                                                      .in(Basic, 9, "cooperative_target")},
                                                                                                             ArgInt,   Whole,   false, 15, 5},
 {"MP", IdMinIntensity,    ReplyForm::Int,       {I(&R::minIntensity, 148, &R::minIntensityChanged, 196).is("Intensity Rejection Min", "ns", "ns")
                                                      .in(Basic, 10, "intensity_min").typed("Intensity Rejection Min")},
                                                                                                             ArgInt,   Whole,   false, 16, 12},
 {"XP", IdMaxIntensity,    ReplyForm::Int,       {I(&R::maxIntensity, 152, &R::maxIntensityChanged, 200).is("Intensity Rejection Max", "ns", "ns")
                                                      .in(Basic, 11, "intensity_max").typed("Intensity Rejection Max")},
                                                                                                             ArgInt,   Whole,   false, 17, 13},
 {"TE", IdTermination,     ReplyForm::Int,       {I(&R::termination, 144, &R::terminationChanged, 192).is("RS485 Termination").of(kOnOff)
                                                      .in(Basic, 12, "rs485_termination")},
                                                                                                             ArgInt,   Whole,   false, 18, 6},
 {"PF", IdPulseRate,       ReplyForm::Ints,      {I(&R::prfAveraging, 216, &R::prfAveragingChanged, 248).within(10, 4000)
                                                      .is("PRF (Averaging, LastTarget)", "Hz", "Hz").in(Avg, 1, "prf_averaging").typed("PRF"),
                                                  I(&R::prfBinning, 208, &R::prfBinningChanged, 240).within(10, 1000)
                                                      .is("PRF (Binning)", "Hz", "Hz").in(Bin, 1, "prf_binning").typed("PRF"),
                                                  I(&R::prfDetection, 224, &R::prfDetectionChanged, 256).within(10, 4500)
                                                      .is("PRF (Detection Mode)", "Hz", "Hz").in(Det, 1, "prf_detection").typed("PRF")},
                                                                                                             ArgInt,   Whole,   true,  19, 14},
 {"PO", IdPulses,          ReplyForm::Ints,      {I(&R::pulsesAveraging, 220, &R::pulsesAveragingChanged, 252).is("Pulses/Measure (Averaging, LastTarget)")
                                                      .in(Avg, 2, "pulses_averaging").typed("Pulses/Measure").orEmpty(32),
                                                  I(&R::pulsesBinning, 212, &R::pulsesBinningChanged, 244).is("Pulses/Measure (Binning)")
                                                      .in(Bin, 2, "pulses_binning").typed("Pulses/Measure").orEmpty(32)},
                                                                                                             ArgInt,   Whole,   true,  20, 15},
 {"AW", IdDitherPulses,    ReplyForm::Int,       {I(&R::ditherPulses, 276, &R::ditherPulsesChanged, 332).is("Required Dither Pulses")
                                                      .in(Avg, 5, "dither_pulses").typed("Required Dither Pulses")},
                                                                                                             ArgInt,   Whole,   false, 21, 17},
 {"DD", IdDither,          ReplyForm::Dither,    {I(&R::ditherSteps, 272, &R::ditherStepsChanged, 328).is("Dither Steps").of(kDither)
                                                      .in(Avg, 4, "dither_steps"),
                                                  I(&R::ditherOn, 268, &R::ditherStepsChanged, 328).is("Dithering").of(kOnOff)
                                                      .in(Avg, 3, "dithering")},
                                                                                                             ArgInt,   Whole,   false, 6,  1},
 {"AB", IdAverageBounds,   ReplyForm::Int,       {I(&R::averageBounds, 280, &R::averageBoundsChanged, 336).is("Average Bounds", "psecs", "ps")
                                                      .in(Avg, 6, "average_bounds").typed("Average Bounds")},
                                                                                                             ArgInt,   Whole,   false, 22, 27},
 {"IL", IdInitialLock,     ReplyForm::Int,       {I(&R::initialLock, 284, &R::initialLockChanged, 340).is("Initial Lock", "psecs", "ps")
                                                      .in(Avg, 7, "initial_lock").typed("Initial Lock").orEmpty(0)},
                                                                                                             ArgInt,   Whole,   false, 23, 28},
 {"FA", IdTargetSelector,  ReplyForm::Int,       {I(&R::targetSelector, 300, &R::targetSelectorChanged, 356).is("Target").of(kTarget)
                                                      .in(Bin, 3, "target")},
                                                                                                             ArgInt,   Whole,   false, 24, 20},
 {"BH", IdBinHits,         ReplyForm::Int,       {I(&R::binHits, 296, &R::binHitsChanged, 352).within(0, 255).is("Bin Hits")
                                                      .in(Bin, 4, "bin_hits").typed("Bin Hits").orEmpty(4)},
                                                                                                             ArgInt,   Whole,   false, 25, 19},
 {"BS", IdBinSize,         ReplyForm::Int,       {I(&R::binSize, 292, &R::binSizeChanged, 348).is("Bin Size (Range)", "cm (M)", "cm").of(kBinSize)
                                                      .in(Bin, 5, "bin_size")},
                                                                                                             ArgInt,   Whole,   false, 26, 18},
 {"LA", IdReference,       ReplyForm::Int,       {I(&R::detectionReference, 228, &R::detectionReferenceChanged, 260).is("Detection Reference")
                                                      .of(kReference).in(Det, 2, "detection_reference")},
                                                                                                             ArgInt,   Whole,   false, 30, 16},
 {"TP", IdTripPoint,       ReplyForm::Float,     {F(&R::tripPoint, 232, &R::tripPointChanged, 264).is("Trip Point").length()
                                                      .in(Det, 3, "trip_point").typed("Trip Point").orEmpty(1)},
                                                                                                             ArgFloat, ByUnits, false, 27, 21},
 {"TT", IdTripTimeout,     ReplyForm::PulseCount, {F(&R::tripTimeout, 304, &R::tripTimeoutChanged, 360).is("Trip Timeout", "secs", "s")
                                                      .in(Det, 4, "trip_timeout", 1).typed("Trip Timeout")},
                                                                                                             ArgInt,   Whole,   false, 28, 22},
 {"FT", IdFlyerTrap,       ReplyForm::Int,       {I(&R::flyerTrap, 308, &R::flyerTrapChanged, 364).is("Flyer Trap", "mm", "mm")
                                                      .in(Det, 5, "flyer_trap").typed("Flyer Trap")},
                                                                                                             ArgInt,   Whole,   false, 31, 25},
 {"MX", IdMaxFalsePulses,  ReplyForm::Int,       {I(&R::maxFalsePulses, 312, &R::maxFalsePulsesChanged, 368).is("Max False Pulses")
                                                      .in(Det, 6, "max_false_pulses").typed("Max False Pulses")},
                                                                                                             ArgInt,   Whole,   false, 32, 23},
 {"CT", IdMinTripPulses,   ReplyForm::Int,       {I(&R::minTripPulses, 316, &R::minTripPulsesChanged, 372).is("Min Trip Pulses in Detection")
                                                      .in(Det, 7, "min_trip_pulses").typed("Min Trip Pulses")},
                                                                                                             ArgInt,   Whole,   false, 33, 24},
 {"TB", IdOutputTBE,       ReplyForm::Int,       {I(&R::outputTBE, 320, &R::outputTBEChanged, 376).is("Output TBE").of(kOnOff).in(Det, 8, "output_tbe")},
                                                                                                             ArgInt,   Whole,   false, 29, 26},
 {"OP", IdProcessing,      ReplyForm::Int,       {I(&R::outputProcessing, 388, &R::outputProcessingChanged, 420).is("Output Processing")
                                                      .of(kProcessing).in(Proc, 1, "output_processing")},
                                                                                                             ArgInt,   Whole,   false, 34, 30},
 {"CE", IdCosineOn,        ReplyForm::Int,       {I(&R::cosineOn, 380, &R::cosineOnChanged, 412).is("Cosine On").of(kOnOff).in(Proc, 2, "cosine_on")},
                                                                                                             ArgInt,   Whole,   false, 35, 29},
 {"CV", IdCosineFactor,    ReplyForm::Int,       {I(&R::cosineFactor, 384, &R::cosineFactorChanged, 416).is("Cosine Factor")
                                                      .in(Proc, 3, "cosine_factor").typed("Cosine Factor")},
                                                                                                             ArgInt,   Whole,   false, 36, 31},
 {"WT", IdWindowTimeout,   ReplyForm::Int,       {I(&R::windowErrorTimeout, 408, &R::windowErrorTimeoutChanged, 440)
                                                      .is("Windowing Error Timeout", "Measurement Cycles", "cycles")
                                                      .in(Proc, 5, "windowing_error_timeout").typed("Error Timeout")},
                                                                                                             ArgInt,   Whole,   false, 37, 35},
 {"WV", IdWindowWidth,     ReplyForm::Float,     {F(&R::windowWidth, 396, &R::windowWidthChanged, 428).is("Windowing Error Range Difference (+/-)")
                                                      .length().in(Proc, 4, "windowing_error_range").typed("Window Width")},
                                                                                                             ArgFloat, ByUnits, false, 38, 33},
 {"DS", IdDampSamples,     ReplyForm::Int,       {I(&R::dampSamples, 400, &R::dampSamplesChanged, 432).is("Dampening Number of Samples")
                                                      .in(Proc, 7, "dampening_samples").typed("Number of Samples")},
                                                                                                             ArgInt,   Whole,   false, 39, 34},
 {"DR", IdDampening,       ReplyForm::IntFloat,  {I(&R::dampErrorTimeout, 404, &R::dampErrorTimeoutChanged, 436)
                                                      .is("Dampening Error Timeout", "Measurement Cycles", "cycles")
                                                      .in(Proc, 8, "dampening_error_timeout").typed("Number of Errors"),
                                                  F(&R::dampErrorRange, 392, &R::dampErrorRangeChanged, 424).is("Dampening Error Range Difference (+/-)")
                                                      .length().in(Proc, 6, "dampening_error_range").typed("Error Range Difference")},
                                                                                                             ArgInt,   ByUnits, false, 40, 32},
 {"AL", IdAnalogLow,       ReplyForm::Float,     {F(&R::analogLow, 452, &R::analogLowChanged, 496).within(0, 2000).is("Analog Low (4 mA)").length()
                                                      .in(Loop, 2, "analog_low").typed("Distance at 4mA")},
                                                                                                             ArgFloat, ByUnits, false, 41, 41},
 {"AH", IdAnalogHigh,      ReplyForm::Float,     {F(&R::analogHigh, 456, &R::analogHighChanged, 500).within(0, 2000).is("Analog High (20 mA)").length()
                                                      .in(Loop, 3, "analog_high").typed("Distance at 20mA")},
                                                                                                             ArgFloat, ByUnits, false, 42, 42},
 {"AF", IdFaultCurrent,    ReplyForm::Float,     {F(&R::faultCurrent, 464, &R::faultCurrentChanged, 508).within(2, 20).is("Fault Current", "mA", "mA")
                                                      .in(Loop, 4, "fault_current", 2).typed("Fault Indication")},
                                                                                                             ArgFloat, ByUnits, false, 43, 43},
 {"AT", IdFaultTimeout,    ReplyForm::Float,     {F(&R::faultTimeout, 460, &R::faultTimeoutChanged, 504).within(0, 99).is("Fault Timeout", "secs", "s")
                                                      .in(Loop, 5, "fault_timeout", 2).typed("Fault Timeout")},
                                                                                                             ArgFloat, ByUnits, false, 44, 44},
 {"CL", IdCurrentLoop,     ReplyForm::Int,       {I(&R::currentLoopFlags, 448, &R::currentLoopFlagsChanged, 492)
                                                      .is("Current Loop (bit 0 on, bit 1 no fault current)").of(kLoop).in(Loop, 1, "current_loop")},
                                                                                                             ArgInt,   Whole,   false, 45, 37},
 {"MO", IdMeasureOutput,   ReplyForm::Int,       {I(&R::measureOutput, 444, &R::measureOutputChanged, 488).is("Measurement Output Port").of(kOutput)
                                                      .in(Out, 1, "measurement_output")},
                                                                                                             ArgInt,   Whole,   false, 47, 36},
 {"CO", IdContinuous,      ReplyForm::Int,       {I(&R::continuousOutput, 468, &R::continuousOutputChanged, 512).is("Continuous Output").of(kOnOff)
                                                      .in(Out, 2, "continuous_output")},
                                                                                                             ArgInt,   Whole,   false, 48, 38},
 {"MA", IdAutostart,       ReplyForm::Int,       {I(&R::autostart, 472, &R::autostartChanged, 516).is("DXU Autostart").of(kOnOff).in(Out, 3, "autostart")},
                                                                                                             ArgInt,   Whole,   false, 49, 39},
 {"DM", IdDisplayMode,     ReplyForm::Int,       {I(&R::displayMode, 476, &R::displayModeChanged, 520).is("Display").of(kDisplay).in(Out, 4, "display")},
                                                                                                             ArgInt,   Whole,   false, 50, 40},
 // Read, never shown on the panel.
 {"SV", IdVersion,         ReplyForm::Version,   {I(&R::firmwareVersion, 80).is("Firmware Version").in(Own, 2, "firmware_version")},
                                                                                                             0,        Whole,   false, 1,  0},
 // The port the link reaches the unit by; kept with the record's own values.
 {"WP", IdWhichPort,       ReplyForm::Int,       {I(&R::currentPort, 68).is("Link Port")},                   0,        Whole,   false, 3,  0},
 {"BR", IdBaudPort0,       ReplyForm::Baud,      {I(&R::port0Baud, 40, &R::port0BaudChanged, 100).is("Configuration Port Rate", "bit/s", "bit/s")
                                                      .in(Own, 3, "configuration_port_rate")},
                                                                                                             ArgInt,   Whole,   false, 4,  46},
 {"BR", IdBaudPort1,       ReplyForm::Baud,      {I(&R::port1Baud, 36, &R::port1BaudChanged, 96).is("Universal Port Rate", "bit/s", "bit/s")
                                                      .in(Own, 4, "universal_port_rate")},
                                                                                                             ArgInt,   Whole,   false, 5,  47},
 {"P4", IdLoopCalibration, ReplyForm::Ints,      {I(&R::loopCalibration4mA, 480).is("Calibration 4 mA").in(Own, 5, "loop_calibration_4ma"),
                                                  I(&R::loopCalibration20mA, 484).is("Calibration 20 mA").in(Own, 6, "loop_calibration_20ma")},
                                                                                                             0,        Whole,   false, 46, 0},
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

const Choice* SettingField::choice(int32_t value) const
{
    for (const Choice& c : choices)
        if (c.value == value)
            return &c;
    return nullptr;
}

int SettingCode::fieldCount() const
{
    return static_cast<int>(std::count_if(fields.begin(), fields.end(),
                                          [](const SettingField& f) { return f.intField || f.floatField; }));
}

std::span<const SettingCode> settingCodes() { return kCodes; }

std::span<const SectionInfo> settingSections() { return kSections; }

const SectionInfo& sectionInfo(Section section)
{
    static constexpr SectionInfo none{Section::None, "", nullptr, nullptr};
    for (const SectionInfo& s : kSections)
        if (s.section == section)
            return s;
    return none;
}

namespace {

template <typename Member>
const SettingField* fieldOfMember(Member member, Member SettingField::*column)
{
    for (const SettingCode& row : kCodes)
        for (const SettingField& f : row.fields)
            if (member && f.*column == member)
                return &f;
    return nullptr;
}

} // namespace

const SettingField* fieldOf(int32_t UnitRecord::*member) { return fieldOfMember(member, &SettingField::intField); }

const SettingField* fieldOf(float UnitRecord::*member) { return fieldOfMember(member, &SettingField::floatField); }

const SettingField* fieldOfMode(const SettingCode& row, int32_t mode)
{
    // Averaging and Last Target share the averaging values.
    const Section wanted = mode == 1 || mode == 4 ? Section::Averaging
                           : mode == 2            ? Section::Binning
                           : mode == 3            ? Section::DetectionMode
                                                  : Section::None;
    if (wanted == Section::None)
        return nullptr;
    for (int i = 0; i < row.fieldCount(); ++i)
        if (row.fields[static_cast<size_t>(i)].section == wanted)
            return &row.fields[static_cast<size_t>(i)];
    return nullptr;
}

const SettingCode& rowOf(const SettingField& field)
{
    for (const SettingCode& row : kCodes)
        for (const SettingField& f : row.fields)
            if (&f == &field)
                return row;
    return kCodes[0];
}

const char* choiceCaption(const SettingField& field, int32_t value)
{
    const Choice* c = field.choice(value);
    return c ? c->caption : nullptr;
}

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
