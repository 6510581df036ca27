#include "journal/journalfeed.h"

#include "protocol/commandids.h"
#include "protocol/dxustate.h"
#include "protocol/settingcodes.h"

namespace dxu {
namespace {

// The current-loop calibration is written as coarse (CD,160) and fine
// (CD,161) steps of one output point; the record keeps both of each point.
bool isCalibration(uint32_t commandId) { return commandId == IdLoopCoarse || commandId == IdLoopFine; }

QString calibrationCaption(const CommandItem& it)
{
    return QStringLiteral("Calibration %1 mA %2")
        .arg(it.intArg(0) == 1 ? 20 : 4)
        .arg(it.commandId == IdLoopCoarse ? QStringLiteral("coarse") : QStringLiteral("fine"));
}

int calibrationStep(const UnitRecord& unit, const CommandItem& it)
{
    const int32_t point = it.intArg(0) == 1 ? unit.loopCalibration20mA : unit.loopCalibration4mA;
    return it.commandId == IdLoopCoarse ? (point >> 8) & 0xFF : point & 0xFF;
}

QString codeOfCalibration(uint32_t commandId)
{
    return commandId == IdLoopCoarse ? QStringLiteral("CD,160") : QStringLiteral("CD,161");
}

} // namespace

void JournalFeed::settingWriteSent(uint32_t commandId)
{
    // The write carries the values of the record the upload was gathered into.
    const SettingCode* row = settingById(commandId);
    const auto known = known_.find(st_.currentUnit);
    const UnitRecord& unit = known != known_.end() ? known->second : st_.current();
    if (row) {
        recorder_.settingSent(*row, unit, st_.editRecord);
        return;
    }
    const CommandItem& it = st_.queue.atCursor();
    if (isCalibration(commandId) && it.commandId == commandId)
        recorder_.writeSent(codeOfCalibration(commandId), calibrationCaption(it),
                            QString::number(calibrationStep(unit, it)), QString::number(it.intArg(1)));
}

void JournalFeed::settingWritten(uint32_t commandId)
{
    if (const SettingCode* row = settingById(commandId))
        recorder_.accepted(QString::fromLatin1(row->code));
    else if (isCalibration(commandId))
        recorder_.accepted(codeOfCalibration(commandId));
}

void JournalFeed::settingRefused(uint32_t commandId, std::string_view reason)
{
    const QString why = QString::fromLatin1(reason.data(), static_cast<qsizetype>(reason.size()));
    if (const SettingCode* row = settingById(commandId))
        recorder_.refused(QString::fromLatin1(row->code), why);
    else if (isCalibration(commandId))
        recorder_.refused(codeOfCalibration(commandId), why);
}

void JournalFeed::settingRead(const SettingCode& row)
{
    const UnitRecord& unit = st_.current();
    recorder_.settingReadBack(row, unit);
    auto [known, added] = known_.try_emplace(st_.currentUnit, unit);
    if (added)
        return;
    for (const SettingField& f : row.fields) {
        if (f.intField)
            known->second.*f.intField = unit.*f.intField;
        else if (f.floatField)
            known->second.*f.floatField = unit.*f.floatField;
    }
}

// Save Settings writes the unit's memory: one row with the unit's answer.
void JournalFeed::settingsSaved()
{
    recorder_.writeSent(QStringLiteral("SU"), QStringLiteral("Save Settings"), {}, {});
    recorder_.accepted(QStringLiteral("SU"));
}

void JournalFeed::settingsNotSaved()
{
    recorder_.writeSent(QStringLiteral("SU"), QStringLiteral("Save Settings"), {}, {});
    recorder_.refused(QStringLiteral("SU"), QStringLiteral("no OK from the unit"));
}

} // namespace dxu
