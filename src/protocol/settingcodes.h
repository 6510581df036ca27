#pragma once
// Everything the program knows about each setting that is not a widget, one
// row per setting code: its command id, the record field(s) a reply fills
// with their changed flags and image offsets, how the reply is read, how a
// write is formatted, the limits the unit has, and for each field what people call it: the name the setup
// files, the reports and the Compare view give it, the caption the window
// names it by, its units word, the values it can take with their words and
// captions, its key and panel in the text form and the value an empty box
// takes. The settings read list, the parser, the upload order, the record
// image, the setup files' names, the text form, the conversions of lengths
// and the reports all come from this table.
//
// Rows are in the order in which the panel shows them all. readOrder and
// uploadOrder give each row's place in the settings read and in the upload
// (0: not part of it).
#include "protocol/commandids.h"
#include "protocol/commandqueue.h"
#include "protocol/unitrecord.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace dxu {

// How the fields of a reply fill the record.
enum class ReplyForm : uint8_t {
    Int,        // one integer into the field
    Float,      // one number into the field
    Ints,       // integers into the fields in turn (PF, PO, P4)
    IntFloat,   // an integer into the first field, a number into the second (DR)
    GateBits,   // bits 0, 1 and 2 of one integer into the three fields (EG)
    Dither,     // the steps into the first field; the second is set to steps != 0 (DD)
    PulseCount, // a hexadecimal pulse count, divided by prfDetection (TT)
    Baud,       // port number and rate; the row of that port takes the rate (BR)
    Version,    // the version text (SV)
};

// The panels a setting is listed under in the text form, in the order the
// text lists them.
enum class Section : uint8_t {
    None,
    BasicSetup,
    MeasurementMode,
    Averaging,
    Binning,
    DetectionMode,
    OutputProcessing,
    OutputSetup,
    CurrentLoop,
    Unit, // the unit's own: address, version, port rates, calibration
};

struct SectionInfo {
    Section section;
    const char* key;   // the text form's "[basic_setup]"
    const char* note;  // the comment after the header; nullptr for none
    const char* group; // the settings report's heading; nullptr: a group of the report's own
};

// One value of a setting with named values: the word the text form and
// dxu-cli use, and the caption the window, the setup files' names, the
// reports and the overview show (nullptr: shown as its number).
struct Choice {
    int32_t value;
    const char* word;
    const char* caption;
};

// A record field: an integer or a floating-point member, where it lies in the
// 556-byte image, its changed flag (if any), the unit's limits (if any) and
// what people call it and its values. Which controls of the settings panel
// show it lives beside the panel (settings/panelbinding.*).
struct SettingField {
    int32_t UnitRecord::*intField = nullptr;
    float UnitRecord::*floatField = nullptr;
    uint16_t offset = 0;
    int32_t UnitRecord::*changed = nullptr;
    uint16_t changedOffset = 0;
    bool limited = false;
    float min = 0, max = 0;

    const char* name = nullptr;    // in setup-file listings, reports, the Compare view and the journal
    const char* caption = nullptr; // how the window names a value typed for it; nullptr: never typed
    bool distance = false;         // a length in the record's units (metres or feet)
    const char* unit = "";         // the units word of listings and reports (distances: m or ft)
    const char* symbol = "";       // the text form's units word (distances: m or ft)
    std::span<const Choice> choices = {};
    const char* key = nullptr;     // the text form's name; nullptr: not a line of its own
    Section section = Section::None;
    uint8_t textOrder = 0;         // its place in its section of the text form
    uint8_t textDecimals = 0;      // a float that is not a length: the text form's decimals
    bool hasDefault = false;       // an empty box in the window takes defaultValue
    float defaultValue = 0;

    // The choice of that value; nullptr for none.
    const Choice* choice(int32_t value) const;
    // Whether its values have captions: then a setup file may hold only
    // those (or 0, a unit not set yet).
    bool namedChoices() const { return !choices.empty() && choices.front().caption; }
};

// Decimals of a floating-point write: three in metres, two in feet.
inline constexpr int8_t DecimalsByUnits = -1;

struct SettingCode {
    const char* code;
    uint32_t commandId;
    ReplyForm form;
    std::array<SettingField, 3> fields;
    int32_t argType;  // ArgInt or ArgFloat: how its write is sent
    int8_t decimals;  // 0 for integers, DecimalsByUnits for distances
    bool showsRate;   // the measurement rate follows this setting (PF, PO)
    uint8_t readOrder;
    uint8_t uploadOrder;

    int fieldCount() const;
};

inline constexpr int SettingsReadCount = 50;
inline constexpr int UploadWriteCount = 47;

// Every row, in show order.
std::span<const SettingCode> settingCodes();
// The text form's panels, in the order the text lists them.
std::span<const SectionInfo> settingSections();
const SectionInfo& sectionInfo(Section section);
// The field of a record member; nullptr for a member no setting fills.
const SettingField* fieldOf(int32_t UnitRecord::*member);
const SettingField* fieldOf(float UnitRecord::*member);
// The field of a row that holds its value for a measurement mode (PF, PO
// keep one per mode), nullptr for a mode without one.
const SettingField* fieldOfMode(const SettingCode& row, int32_t mode);
// The row a field belongs to.
const SettingCode& rowOf(const SettingField& field);
// The caption of a value of a field with named values; nullptr for none.
const char* choiceCaption(const SettingField& field, int32_t value);
// The first row with that code (BR: the configuration port's), nullptr for none.
const SettingCode* findSetting(std::string_view code);
// The row of a command id, nullptr for none.
const SettingCode* settingById(uint32_t commandId);
// The rows of the settings read, in the order they are queried.
const std::array<const SettingCode*, SettingsReadCount>& settingsReadList();
// The rows of the upload, in the order they are written.
const std::array<const SettingCode*, UploadWriteCount>& uploadOrder();

// Appends the 50 queries of a full settings read to the queue, in the order
// the replies depend on: SV first, MM before PF/PO, MU before every distance,
// PF before TT.
void enqueueSettingsRead(CommandQueue& queue);

} // namespace dxu
