// The setting-code table: the orders that the read and the upload take from it.
#include "protocol/settingcodes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace dxu {
namespace {

// Where a row of the setting-code table stands in a list; -1 for nowhere.
template <typename List>
int place(const List& list, const SettingCode* row)
{
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i] == row)
            return static_cast<int>(i);
    return -1;
}

const SettingCode* row(uint32_t commandId) { return settingById(commandId); }

// The orders carry what the replies and the writes depend on: SV is read
// first (its reply decides the old-firmware limits); MM comes before PF and
// PO (their values are picked by mode); MU before every distance (formatted
// by the units); PF before TT (a pulse count of the detection rate). The
// upload writes the address and the rates last, so that everything before
// reaches the unit where it is.
TEST(SettingCodes, ReadAndUploadOrdersKeepTheirDependencies)
{
    const auto& read = settingsReadList();
    const auto& upload = uploadOrder();
    EXPECT_EQ(place(read, row(IdVersion)), 0);
    auto dependencies = [](const auto& list, const char* name) {
        SCOPED_TRACE(name);
        EXPECT_LT(place(list, row(IdMeasureMode)), place(list, row(IdPulseRate)));
        EXPECT_LT(place(list, row(IdMeasureMode)), place(list, row(IdPulses)));
        EXPECT_LT(place(list, row(IdPulseRate)), place(list, row(IdTripTimeout)));
        for (const SettingCode* c : list) {
            EXPECT_EQ(std::count(list.begin(), list.end(), c), 1) << c->code << ": once";
            if (c->decimals == DecimalsByUnits) {
                EXPECT_LT(place(list, row(IdUnits)), place(list, c)) << c->code;
            }
        }
    };
    dependencies(read, "read");
    dependencies(upload, "upload");
    const int writes = static_cast<int>(upload.size());
    EXPECT_EQ(place(upload, row(IdAddress)), writes - 3);
    EXPECT_EQ(place(upload, row(IdBaudPort0)), writes - 2);
    EXPECT_EQ(place(upload, row(IdBaudPort1)), writes - 1);
    for (const SettingCode& c : settingCodes()) {
        EXPECT_EQ(place(read, &c) >= 0, c.readOrder != 0) << c.code << ": every row the read names is read";
        EXPECT_EQ(place(upload, &c) >= 0, c.uploadOrder != 0) << c.code;
    }
    for (const SettingCode* c : upload) {
        EXPECT_TRUE(c->fields[0].changed) << c->code << ": a write is queued by its changed flag";
        EXPECT_EQ(c->argType == ArgFloat, c->form == ReplyForm::Float) << c->code;
    }
}

TEST(SettingCodes, EveryQueuedReadIsOneItemWithListRetries)
{
    CommandQueue q;
    enqueueSettingsRead(q);
    EXPECT_EQ(q.cursor, SettingsReadCount);
    EXPECT_EQ(q.items[3].commandId, IdBaudPort0);
    EXPECT_EQ(q.items[4].commandId, IdBaudPort1);
    EXPECT_EQ(q.items[49].retriesLeft, ListRetries);
    EXPECT_EQ(q.items[50].commandId, 0u);
}

} // namespace
} // namespace dxu
