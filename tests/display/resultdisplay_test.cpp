#include "common/testsupport.h"
#include "ui/display/resultdisplay.h"

#include <gtest/gtest.h>

using namespace dxu;
using dxu::test::FakeUi;

namespace {

struct Fixture {
    DxuState st;
    FakeUi ui;
    ResultDisplay display{st, ui};
    UnitRecord& rec() { return st.current(); }
};

} // namespace

TEST(ResultDisplay, ResultLinesByModeUnitsDisplayAndLocale)
{
    struct Case {
        int mode, dm, units;
        float distance, intensity;
        bool comma, noDistance;
        const char* result;
        const char* intensityText; // nullptr: untouched
    } cases[] = {
        {1, 1, 1, 12.3456f, 0, false, false, "12.346 M", nullptr},
        {1, 1, 1, 12.3456f, 0, true, false, "12,346 M", nullptr},
        {4, 2, 0, 40.5f, 12.345f, false, false, "40.50 F", "12.3"},
        {1, 3, 1, 7.0f, 0.678f, false, false, "0.7", nullptr},
        {2, 1, 1, 3.25f, 0, false, false, "3.250 M", nullptr},
        {1, 1, 1, 0, 0, false, true, "---.--- M", nullptr},
        {1, 1, 0, 0, 0, true, true, "---,--- F", nullptr},
        {1, 3, 1, 0, 0, false, true, "-------", nullptr},
        {1, 2, 1, 0, 0, false, true, "---.--- M", "-------"},
        {3, 1, 1, 9.0f, 0, false, false, "untouched", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " dm " << c.dm << " units " << c.units);
        Fixture f;
        f.ui.setText("lblResult", "untouched");
        f.ui.setText("lblIntensity", "untouched");
        f.rec().measureMode = c.mode;
        f.rec().displayMode = c.dm;
        f.rec().units = c.units;
        f.rec().lastDistance = c.distance;
        f.rec().lastIntensity = c.intensity;
        f.st.decimalComma = c.comma;
        f.st.noDistance = c.noDistance;
        f.display.showResult();
        EXPECT_EQ(f.ui.text("lblResult"), c.result);
        EXPECT_EQ(f.ui.text("lblIntensity"), c.intensityText ? c.intensityText : "untouched");
        EXPECT_TRUE(f.ui.isVisible("lblResult"));
        EXPECT_FALSE(f.ui.isVisible("lblError"));
    }
}

TEST(ResultDisplay, LampsFollowConnectionGatesTargetAndOffset)
{
    Fixture f;
    f.st.connected = 1;
    f.rec().longGateOn = 1;
    f.rec().offsetDistance = 0.0f;
    f.display.showResult();
    EXPECT_EQ(f.ui.get("lblConnected").color, colors::Green);
    EXPECT_EQ(f.ui.get("lblG").color, colors::Green);
    EXPECT_EQ(f.ui.get("lblF").color, colors::Silver);
    EXPECT_EQ(f.ui.get("lblO").color, colors::Silver);
    f.st.connected = 0;
    f.rec().offsetDistance = 0.01f;
    f.rec().longGateOn = 0;
    f.rec().cooperativeTarget = 1;
    f.display.showResult();
    EXPECT_EQ(f.ui.get("lblConnected").color, colors::Silver);
    EXPECT_EQ(f.ui.get("lblG").color, colors::Silver);
    EXPECT_EQ(f.ui.get("lblF").color, colors::Green);
    EXPECT_EQ(f.ui.get("lblO").color, colors::Green);
}

TEST(ResultDisplay, RateByModeAndZeroDivisorKeepsText)
{
    Fixture f;
    f.rec().measureMode = 1;
    f.rec().prfAveraging = 2000;
    f.rec().pulsesAveraging = 300;
    f.display.showRate();
    EXPECT_EQ(f.ui.text("lblRate"), "6.7 Hz");
    f.st.decimalComma = 1;
    f.rec().measureMode = 2;
    f.rec().prfBinning = 500;
    f.rec().pulsesBinning = 4;
    f.display.showRate();
    EXPECT_EQ(f.ui.text("lblRate"), "125,0 Hz");
    f.rec().pulsesBinning = 0;
    f.display.showRate();
    EXPECT_EQ(f.ui.text("lblRate"), "125,0 Hz");
    f.rec().measureMode = 3;
    f.display.showRate();
    EXPECT_EQ(f.ui.text("lblRate"), "");
}

TEST(ResultDisplay, DisplayButtonsAndWidgetsPerMode)
{
    Fixture f;
    f.ui.setText("lblResult", "12.000 M");
    f.display.rbBothNumbersClick();
    EXPECT_TRUE(f.ui.isEnabled("pbUpload"));
    EXPECT_TRUE(f.ui.isChecked("rbBothNumbers"));
    EXPECT_FALSE(f.ui.isChecked("rbDistance"));
    EXPECT_EQ(f.ui.text("lblResult"), "");

    f.rec().measureMode = 1;
    f.display.showResultWidgets();
    EXPECT_TRUE(f.ui.isVisible("rgDisplay"));
    EXPECT_TRUE(f.ui.isVisible("lblIntensity")); // "Both"
    EXPECT_FALSE(f.ui.isVisible("lblTargetList"));

    f.display.rbDistanceClick();
    f.display.showResultWidgets();
    EXPECT_FALSE(f.ui.isVisible("lblIntensity"));

    // Binning leaves the target labels to the parser.
    f.ui.setVisible("lblTargetList", true);
    f.rec().measureMode = 2;
    f.display.showResultWidgets();
    EXPECT_FALSE(f.ui.isVisible("rgDisplay"));
    EXPECT_TRUE(f.ui.isVisible("lblTargetList"));
    f.rec().measureMode = 3;
    f.display.showResultWidgets();
    EXPECT_FALSE(f.ui.isVisible("lblTargetList"));
}

TEST(ResultDisplay, ResultLooksLiveOnlyWhileMeasuringWithinTheReplyTimeOut)
{
    struct Case {
        int laserOn;
        uint32_t lastResult, now;
        const char* hint; // empty: live
    } cases[] = {
        {1, 1000, 3000, ""},
        {1, 1000, 3001, "Last result 2 s ago"},
        {1, 1000, 8999, "Last result 7 s ago"},
        {0, 1000, 1500, "Last result 0 s ago"}, // stopped: the last value is no longer live
        {1, 0, 500, "No result yet"},
        {1, 0xFFFFFF00u, 0x100, ""}, // across a wrap of the tick counter
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lastResult << " -> " << c.now << " laser " << c.laserOn);
        Fixture f;
        f.rec().laserOn = c.laserOn;
        f.st.lastResultTick = c.lastResult;
        f.display.showResultAge(c.now);
        for (const char* n : {"lblResult", "lblIntensity"}) {
            EXPECT_EQ(f.ui.isEnabled(n), *c.hint == 0) << n;
            EXPECT_EQ(f.ui.hint(n), c.hint) << n;
        }
    }
}
