#pragma once
// The text form of a setup: one "name = value unit" line per setting, grouped
// by panel under "[panel]" headers, for reading, reviewing and diffing. Names
// are fixed (they never follow captions); distances are in the setup's own
// units; choices are words ("averaging", "on"). Lines after '#' are comments.
//
//   [basic_setup]
//   units = meters
//   short_gate = 0.500 m
//
// After the settings come "[unit]" (address, version, port rates and loop
// calibration, which belong to the unit a file was saved from and are never
// taken from a file) and, where the image holds anything else, "[record]"
// (the PC's port block, the status, the last measurement, the pending
// changes), so that image -> text -> image gives the same 556 bytes.
#include "protocol/unitrecord.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace dxu {

struct SettingField;

// The whole record as text.
QString setupText(const UnitRecord& record);

// A text read into a record, or why not: "name:line: reason".
struct SetupFromText {
    UnitRecord record{};
    QString error;
    bool ok() const { return error.isEmpty(); }
};
// Reads text (called name in messages). Every setting must be given unless
// base gives it; [unit] and [record] lines are optional (base's, else zero).
// Unknown names, values that are no number or choice, wrong units and values
// outside the unit's limits are refused with their line.
SetupFromText parseSetupText(const QByteArray& text, const QString& name, const UnitRecord* base = nullptr);

// The setting's line as setupText writes it ("short_gate = 0.500 m") and
// the panel it is listed under.
QString settingLine(const SettingField& field, const UnitRecord& record);
QString sectionOf(const SettingField& field);

// The settings in which b differs from a, both in a's distance units: b as
// the Compare view sees a file for a unit (the same length in feet and in
// metres is no difference, values within the unit's resolution are equal).
// bInUnitsOfA: b converted, for showing its values beside a's.
std::vector<const SettingField*> setupDifferences(const UnitRecord& a, const UnitRecord& b,
                                                  UnitRecord* bInUnitsOfA = nullptr);

} // namespace dxu
