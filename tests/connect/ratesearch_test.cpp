// A point-to-point unit that does not answer at the stored PC rate is looked
// for at the other rates, over the simulated line where a unit hears only
// lines sent at its own rate.
#include "common/simwindow.h"
#include "ports/portsettings.h"
#include "serial/commportdriver.h"

namespace dxu::test {
namespace {

class RateSearchTest : public SimWindowTest {
protected:
    // A unit at 19200 bit/s; the PC stored at 115200.
    void SetUp() override
    {
        SimWindowTest::SetUp();
        attach(quick(), {{"BR", {19200, 19200}}});
        link->lineRate = [this] { return baudRateValue(top().driver().ComPortSpeed()); };
    }
    unsigned pcRate() { return baudRateValue(top().driver().ComPortSpeed()); }
};

TEST_F(RateSearchTest, UnitAtAnotherRateIsFoundAndItsRateKeptOnlyWhenTheUserSaysSo)
{
    struct Case {
        std::vector<MsgAnswer> answers; // look at other rates?, use the rate found?
        bool connected;
        unsigned rate;
        int storedIndex;
    };
    const Case cases[] = {
        {{MsgAnswer::Yes, MsgAnswer::Yes}, true, 19200, 5},
        {{MsgAnswer::Yes, MsgAnswer::No}, false, 115200, 8},
        {{MsgAnswer::No}, false, 115200, 8},
    };
    for (const Case& c : cases) {
        SetUp();
        for (MsgAnswer a : c.answers)
            messages.answerNext(a);
        messages.shown.clear();
        top().session().connectClicked();
        runUntil([this] { return idle(); }, 30000);
        EXPECT_EQ(top().state().connected, c.connected ? 1 : 0) << c.storedIndex;
        EXPECT_EQ(pcRate(), c.rate);
        EXPECT_EQ(top().state().unitTable[0].port232RateIndex, c.storedIndex);
        EXPECT_EQ(readStoredInt("Port232RateIndex", 8), c.storedIndex);
        ASSERT_FALSE(messages.shown.empty());
        EXPECT_EQ(messages.shown[0].text, "No DXU answered at 115200 bit/s.\nLook for it at the other rates?");
        if (c.answers.size() > 1) {
            EXPECT_EQ(messages.shown[1].text, "A DXU answered at 19200 bit/s.\nUse this rate for RS-232?");
        }
        top().setCommPort(nullptr);
        clearStore();
    }
}

} // namespace
} // namespace dxu::test
