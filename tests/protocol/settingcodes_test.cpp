// The setting-code table: the orders that the read and the upload take from it.
#include "protocol/settingcodes.h"

#include <gtest/gtest.h>

#include <string>

namespace dxu {
namespace {

template <typename List>
std::string codes(const List& list)
{
    std::string out;
    for (const SettingCode* c : list)
        out += std::string(c->code) + (c->commandId == IdBaudPort1 ? "1 " : " ");
    return out;
}

TEST(SettingCodes, ReadAndUploadOrdersKeepTheirDependencies)
{
    // SV first, MM before PF and PO, MU before every distance, PF before TT.
    EXPECT_EQ(codes(settingsReadList()),
              "SV UA WP BR BR1 DD MM MU EG SG LG CG OF PL FL MP XP TE PF PO AW AB IL FA BH BS TP TT TB LA FT MX "
              "CT OP CE CV WT WV DS DR AL AH AF AT CL P4 MO CO MA DM ");
    EXPECT_EQ(codes(uploadOrder()),
              "DD MM MU PL FL TE EG SG LG CG OF MP XP PF PO LA AW BS BH FA TP TT MX CT FT TB AB IL CE OP CV DR "
              "WV DS WT MO CL CO MA DM AL AH AF AT UA BR BR1 ");
    for (const SettingCode* c : uploadOrder()) {
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
