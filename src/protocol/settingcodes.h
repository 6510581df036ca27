#pragma once
// What each setting code means, in one table: its command id, the record
// field(s) a reply fills with their changed flags and image offsets, how the
// reply is read, how a write is formatted, the show functions that present it
// and the limits the unit has. The settings read list, the parser, the upload
// order and the record image all come from this table.
//
// Rows are in the order in which showSettings presents them. readOrder and
// uploadOrder give each row's place in the settings read and in the upload
// (0: not part of it).
#include "protocol/commandids.h"
#include "protocol/commandqueue.h"
#include "protocol/settingsview.h"
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

// A record field: an integer or a floating-point member, where it lies in the
// 556-byte image, its changed flag (if any) and the unit's limits (if any).
// How the settings panel binds it lives beside the panel
// (settings/panelbinding.*).
struct SettingField {
    int32_t UnitRecord::*intField = nullptr;
    float UnitRecord::*floatField = nullptr;
    uint16_t offset = 0;
    int32_t UnitRecord::*changed = nullptr;
    uint16_t changedOffset = 0;
    bool limited = false;
    float min = 0, max = 0;
};

// Decimals of a floating-point write: three in metres, two in feet.
inline constexpr int8_t DecimalsByUnits = -1;

using ShowFunction = void (SettingsView::*)();

struct SettingCode {
    const char* code;
    uint32_t commandId;
    ReplyForm form;
    std::array<SettingField, 3> fields;
    int32_t argType;  // ArgInt or ArgFloat: how its write is sent
    int8_t decimals;  // 0 for integers, DecimalsByUnits for distances
    std::array<ShowFunction, 2> show;
    bool showsRate;   // the measurement rate follows this setting (PF, PO)
    uint8_t readOrder;
    uint8_t uploadOrder;

    int fieldCount() const;
};

inline constexpr int SettingsReadCount = 50;
inline constexpr int UploadWriteCount = 47;

// Every row, in show order.
std::span<const SettingCode> settingCodes();
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
