#pragma once
// Setup files: one unit's settings on disk as the 556-byte record image, read
// with a check that the image is one a unit can have, merged into a unit's
// record through the setting-code table, compared setting by setting, and a
// settings report as CSV. The File menu's items that read and write them
// are the window's (ui/settings/setupfiles.*).
#include "protocol/dxustate.h"
#include "services/safewrite.h"

#include <QString>

#include <vector>

namespace dxu {

// One setting that differs between the unit and a file, as the panel names
// it, each value with its units.
struct CompareRow {
    QString setting, unitValue, fileValue;
};

// An image read from a file, or why it was refused (a sentence naming the file).
struct SetupImage {
    UnitRecord record{};
    QString error;
    bool ok() const { return error.isEmpty(); }
};

// Checks bytes claimed to be a setup file called name.
SetupImage parseSetupImage(const uint8_t* data, std::size_t size, const QString& name);
// Reads the setup file at path.
SetupImage readSetupFile(const QString& path);
// Writes the image of record to path, replacing the file whole or not at all
// (a symbolic link there as links says). Empty on success, else a sentence
// naming the file and what went wrong.
QString writeSetupFile(const QString& path, const UnitRecord& record, Links links = Links::Follow);

struct SettingCode;
struct SettingField;
// The rows whose values a file carries to a unit: every setting with a changed
// flag except the address and the unit's port rates, which belong to the unit
// and its place on the line.
bool carriedByFile(const SettingCode& row);

// The unit's record with the settings of a file put in, and nothing else of
// the file: address, port block and rates, calibration and status stay the
// unit's. This is what an upload after opening the file sends from.
UnitRecord withFileSettings(const UnitRecord& unit, const UnitRecord& file);
// Copies every setting of edit that differs from unit into unit and sets its
// changed flag (a new detection PRF brings the trip timeout with it; dithering
// copies the steps only). True when anything differed.
bool adoptSetupImage(UnitRecord& unit, const UnitRecord& edit);
// The settings in which file differs from unit, in the panel's order.
// Lengths are compared as lengths (the unit's converted to the file's units);
// distances (and the current loop's values, written as distances) are equal
// within half the resolution; other numbers within 0.0001.
std::vector<CompareRow> compareSettings(const UnitRecord& unit, const UnitRecord& file);
std::vector<const SettingField*> differingSettings(const UnitRecord& unit, const UnitRecord& file);
// The settings an upload after adoptSetupImage writes: those that differ,
// and every distance when the units change.
std::vector<const SettingField*> settingsToWrite(const UnitRecord& unit, const UnitRecord& file);
// The unit's record with the settings of file in it, in the unit's distance
// units: what the Compare view and an upload after Open compare with the unit.
UnitRecord fileForUnit(const UnitRecord& unit, const UnitRecord& file);
// The settings of record as CSV lines "setting,value,unit" under a heading,
// each setting once, distances in the record's units; the head's date, port,
// the unit's address and version (those given) come first.
struct ReportHead {
    QString date, port, version;
};
QString settingsReport(const UnitRecord& record, const ReportHead& head);
QString settingsReport(const UnitRecord& record, const QString& versionText);

// One setting field as the panel names it, its value as text (a decimal
// point, choices by name) and its units; offset: the field's place in the
// record image.
struct SettingText {
    uint16_t offset = 0;
    QString caption, value, unit;
    const SettingField* field = nullptr;
};
SettingText describeSetting(const struct SettingField& field, const UnitRecord& record);
// Every setting a setup file carries, in the panel's order.
std::vector<SettingText> describeSettings(const UnitRecord& record);

} // namespace dxu
