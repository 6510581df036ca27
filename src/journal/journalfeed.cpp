#include "journal/journalfeed.h"

#include "protocol/dxustate.h"
#include "protocol/settingcodes.h"

namespace dxu {

void JournalFeed::settingWriteSent(uint32_t commandId)
{
    // The write carries the values of the record the upload was gathered into.
    const SettingCode* row = settingById(commandId);
    if (!row)
        return;
    const auto known = known_.find(st_.currentUnit);
    recorder_.settingSent(*row, known != known_.end() ? known->second : st_.current(), st_.editRecord);
}

void JournalFeed::settingWritten(uint32_t commandId)
{
    if (const SettingCode* row = settingById(commandId))
        recorder_.accepted(QString::fromLatin1(row->code));
}

void JournalFeed::settingRefused(uint32_t commandId, std::string_view reason)
{
    if (const SettingCode* row = settingById(commandId))
        recorder_.refused(QString::fromLatin1(row->code),
                          QString::fromLatin1(reason.data(), static_cast<qsizetype>(reason.size())));
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

} // namespace dxu
