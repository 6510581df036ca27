// Changing a unit's settings through the real window against the simulator's
// core: what an edit puts on the wire, what the unit ends up holding, the
// checks that stop an upload, Save and the mode choice.
#include "uploadwindow.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFont>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

namespace dxu::test {
namespace {

// Every kind of control gives exactly its write, in table order, and the
// read-back of what was written; the unit ends up holding it.
TEST_F(UploadWindow, EachKindOfEditWritesItsSettingAndReadsItBack)
{
    struct Case {
        const char* what;
        std::function<void(UploadWindow&)> edit;
        Lines wire;
        const char* code;
        size_t field;
        double unitHolds;
    };
    const Case cases[] = {
        {"distance edit", [](UploadWindow& t) { t.type("edOffsetDistance", "1.250"); },
         {"$OF,1.250", "$OF"}, "OF", 0, 1.25},
        {"integer edit", [](UploadWindow& t) { t.type("edMinIntensity", "7"); }, {"$MP,7", "$MP"}, "MP", 0, 7},
        {"combo box", [](UploadWindow& t) { t.choose("cmbMeasureOutput", 1); }, {"$MO,1", "$MO"}, "MO", 0, 1},
        {"check box", [](UploadWindow& t) { t.click("cbCosineOn"); }, {"$CE,1", "$CE"}, "CE", 0, 1},
        {"radio button", [](UploadWindow& t) { t.click("rbLow"); }, {"$PL,2", "$PL"}, "PL", 0, 2},
        {"two dampening edits, one DR",
         [](UploadWindow& t) {
             t.type("edNumberofErrors", "4");
             t.type("edErrorRangeDifference", "0.750");
         },
         {"$DR,4,0.750", "$DR"}, "DR", 0, 4},
        {"two gates, one EG",
         [](UploadWindow& t) {
             t.click("cbShortGate");
             t.click("cbLongGate");
         },
         {"$EG,3", "$EG"}, "EG", 0, 3},
        {"several kinds, in upload order",
         [](UploadWindow& t) {
             t.type("edMinIntensity", "9");
             t.click("rbMedium");
             t.type("edOffsetDistance", "2.000");
         },
         {"$PL,1", "$OF,2.000", "$MP,9", "$PL", "$OF", "$MP"}, "MP", 0, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        connect();
        c.edit(*this);
        EXPECT_EQ(upload(), c.wire);
        EXPECT_DOUBLE_EQ(unitValue(c.code, c.field), c.unitHolds);
        EXPECT_FALSE(top().isEnabled("pbUpload"));
        EXPECT_TRUE(messages.shown.empty());
    }
}

TEST_F(UploadWindow, NothingEditedSendsNothing)
{
    connect();
    top().settingsPanel().settingChanged("cmbPRF");
    EXPECT_TRUE(upload().empty());
    EXPECT_FALSE(top().isEnabled("pbUpload"));
    EXPECT_EQ(top().state().readyForStatus, 1);
}

// The unit converts its distances; they are read back in the new units
// before the typed distances are written in them.
TEST_F(UploadWindow, UnitsWriteReadsEveryDistanceBackFirst)
{
    connect();
    click("cbUnitsFeet");
    EXPECT_EQ(upload(), (Lines{"$MU,0", "$SG", "$LG", "$OF", "$TP", "$WV", "$DR", "$AL", "$AH", "$MU"}));
    EXPECT_EQ(unitValue("MU"), 0);
    EXPECT_EQ(top().text("edOffsetDistance"), "0.00");

    click("cbUnitsMeters");
    type("edOffsetDistance", "3.000");
    const Lines wire = upload();
    ASSERT_GE(wire.size(), 11u);
    EXPECT_EQ(wire[0], "$MU,1");
    EXPECT_EQ(wire[9], "$OF,3.000");
    EXPECT_NEAR(unit().get("OF"), 3.0, 1e-9);
}

TEST_F(UploadWindow, DetectionModeWritesTripTimeoutAsPulsesAndNoPulseCount)
{
    connect({{"MM", {3}}, {"PF", {2000, 500, 1000}}});
    type("edTripTimeout", "2.7");
    EXPECT_EQ(upload(), (Lines{"$TT,7D0", "$TT"}));
    EXPECT_EQ(unitValue("TT"), 2000);

    // A new detection rate rewrites the trip timeout as a count of its pulses.
    typePrf("2000");
    type("edPulsesperMeasure", "64"); // not this mode's: never written
    EXPECT_EQ(upload(), (Lines{"$PF,2000", "$TT,FA0", "$PF", "$TT"}));
    EXPECT_EQ(unitValue("PF", 2), 2000);
}

// A refused value names its field, takes the focus and stays marked until
// it is corrected; the correction makes Upload available again.
TEST_F(UploadWindow, FailedChecksShowTheirMessageAndSendNothing)
{
    struct Case {
        const char* what;
        SimLink::Values unit;
        const char* field;
        const char* typed;
        const char* message;
        const char* corrected;
    };
    const Case cases[] = {
        {"integer", {}, "edPulsesperMeasure", "abc", "Pulses/Measure: 'abc' is not a valid integer value", "64"},
        {"distance", {}, "edOffsetDistance", "1,5", "Offset Distance: '1,5' is not a valid floating point value",
         "1.5"},
        {"bin hits", {{"MM", {2}}}, "edBinHits", "256", "Bin Hits cannot excced 255", "25"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        connect(c.unit);
        top().show();
        messages.shown.clear();
        type(c.field, QString::fromLatin1(c.typed));
        EXPECT_TRUE(upload().empty());
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].caption, "Error");
        EXPECT_EQ(messages.shown[0].text, c.message);
        EXPECT_EQ(top().focusWidget(), get<QWidget>(c.field));
        EXPECT_TRUE(get<QWidget>(c.field)->font().bold());
        type(c.field, QString::fromLatin1(c.corrected));
        EXPECT_TRUE(top().isEnabled("pbUpload"));
        EXPECT_EQ(upload().size(), 2u); // the write and its read-back
        EXPECT_FALSE(get<QWidget>(c.field)->font().bold());
        top().hide();
    }
}

TEST_F(UploadWindow, PrfOutsideTheModesRangeIsClampedWithItsMessage)
{
    struct Case {
        int mode;
        const char* typed;
        const char* written;
        const char* message;
    };
    const Case cases[] = {
        {1, "5", "$PF,10", "PRF value has to be larger than\n or equal to 10.\n\nSetting minimum value."},
        {1, "4200", "$PF,4000", "PRF may not be larger than 4000.\n\nSetting maximum value."},
        {2, "1200", "$PF,1000", "PRF may not be larger than 1000.\n\nSetting maximum value."},
        {3, "4200", "$PF,4200", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        connect({{"MM", {double(c.mode)}}});
        messages.shown.clear();
        typePrf(c.typed);
        const Lines wire = upload();
        ASSERT_FALSE(wire.empty());
        EXPECT_EQ(wire[0], c.written);
        if (c.message) {
            ASSERT_EQ(messages.shown.size(), 1u);
            EXPECT_EQ(messages.shown[0].caption, "Invalid PRF");
            EXPECT_EQ(messages.shown[0].text, c.message);
        } else {
            EXPECT_TRUE(messages.shown.empty());
        }
    }
}

// What Upload would send is marked in bold as soon as it is typed, until the
// unit holds it: no timer is needed.
TEST_F(UploadWindow, ControlsThatDifferFromTheUnitAreBoldUntilUploaded)
{
    connect();
    const auto bold = [this](const char* name) { return qobject_cast<QWidget*>(top().control(name))->font().bold(); };
    type("edMinIntensity", "7");
    click("cbCosineOn");
    type("edMaxIntensity", "x");
    EXPECT_TRUE(bold("edMinIntensity"));
    EXPECT_TRUE(bold("cbCosineOn"));
    EXPECT_TRUE(bold("edMaxIntensity")); // not a number: Upload would refuse it
    EXPECT_FALSE(bold("edOffsetDistance"));
    type("edMaxIntensity", "1000"); // the unit's own value again
    EXPECT_FALSE(bold("edMaxIntensity"));
    EXPECT_TRUE(messages.shown.empty());

    upload();
    EXPECT_FALSE(bold("edMinIntensity"));
    EXPECT_FALSE(bold("cbCosineOn"));
}

// Contrast of two colours as the accessibility guidelines reckon it.
double contrast(const QColor& a, const QColor& b)
{
    auto luminance = [](const QColor& c) {
        auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST_F(UploadWindow, SaveButtonShowsSettingsNotSavedInTheUnit)
{
    connect();
    auto* save = qobject_cast<QAbstractButton*>(top().control("pbSaveSettings"));
    ASSERT_NE(save, nullptr);
    EXPECT_FALSE(save->isEnabled());

    type("edMinIntensity", "11");
    upload();
    EXPECT_TRUE(save->isEnabled());
    EXPECT_TRUE(save->font().bold());
    EXPECT_TRUE(save->font().italic());
    const QPalette look = save->palette();
    EXPECT_GE(contrast(look.color(QPalette::Active, QPalette::ButtonText), look.color(QPalette::Active, QPalette::Button)),
              4.5);
    EXPECT_EQ(link->unit(0).saved().get("MP"), 0);

    // Leaving now asks first; No keeps the program running.
    messages.answerNext(MsgAnswer::No);
    EXPECT_FALSE(top().unsavedChangesPrompt(UnsavedMoment::Exit));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Warning");

    // Saved only once the unit says so.
    click("pbSaveSettings");
    EXPECT_TRUE(save->font().bold());
    messages.answerNext(MsgAnswer::No);
    EXPECT_FALSE(top().unsavedChangesPrompt(UnsavedMoment::Exit));
    pump();
    EXPECT_EQ(takeLines(), Lines{"$SU"});
    EXPECT_EQ(link->unit(0).saved().get("MP"), 11);
    EXPECT_FALSE(save->isEnabled());
    EXPECT_FALSE(save->font().bold());
    EXPECT_FALSE(save->font().italic());
    EXPECT_TRUE(top().unsavedChangesPrompt(UnsavedMoment::Exit));
    EXPECT_EQ(text("StatusBar1Panel1"), " Settings saved in the unit");
}

// A save the unit refuses leaves the settings shown as not saved, to be
// saved again.
TEST_F(UploadWindow, ASaveTheUnitRefusesLeavesTheSettingsUnsaved)
{
    dxusim::Options options = quick();
    options.refuse = {"SU"};
    attach(options);
    click("pbConnect");
    pump();
    type("edMinIntensity", "11");
    upload();
    click("pbSaveSettings");
    pump();
    auto* save = qobject_cast<QAbstractButton*>(top().control("pbSaveSettings"));
    EXPECT_TRUE(save->isEnabled());
    EXPECT_TRUE(save->font().bold());
    EXPECT_EQ(link->unit(0).saved().get("MP"), 0);
    EXPECT_EQ(text("StatusBar1Panel1"), " Settings not saved in the unit: it did not confirm");
}

// A value the unit refuses is said once, not again for each retry of its write.
TEST_F(UploadWindow, ARefusedValueIsSaidOnce)
{
    dxusim::Options options = quick();
    options.refuse = {"MP"}; // answered ER,49
    attach(options);
    click("pbConnect");
    pump();
    type("edMinIntensity", "11");
    upload();
    EXPECT_EQ(std::count_if(messages.shown.begin(), messages.shown.end(),
                            [](const ScriptedMessages::Shown& m) { return m.caption == "Incorrect Value"; }),
              1);
    EXPECT_EQ(link->unit(0).settings().get("MP"), 0);
}

// Upload is offered while the panel holds something the unit lacks, and not
// after that has gone to the unit, also when it went while measuring.
TEST_F(UploadWindow, UploadIsOfferedOnlyWhileSomethingIsPending)
{
    const struct {
        const char* what;
        bool measuring;
        std::function<void(UploadWindow&)> act;
        bool pending;
    } cases[] = {
        {"an edit", false, [](UploadWindow& w) { w.type("edMinIntensity", "11"); }, true},
        {"an edit while measuring", true, [](UploadWindow& w) { w.type("edMinIntensity", "11"); }, true},
        {"a mode change", false, [](UploadWindow& w) { w.choose("cmbMeasureMode", 2); }, false},
        {"a mode change while measuring", true, [](UploadWindow& w) { w.choose("cmbMeasureMode", 2); }, false},
        {"an upload while measuring", true,
         [](UploadWindow& w) {
             w.type("edMinIntensity", "11");
             w.click("pbUpload");
         },
         false},
        {"an upload of the pulses while measuring", true,
         [](UploadWindow& w) {
             w.type("edPulsesperMeasure", "40");
             w.click("pbUpload");
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        connect();
        if (c.measuring) {
            click("pbContinuous");
            pump();
            ASSERT_EQ(text("pbContinuous"), "&Stop");
        }
        c.act(*this);
        pump();
        EXPECT_EQ(top().isEnabled("pbUpload"), c.pending);
    }
}

TEST_F(UploadWindow, ChoosingAModeWritesItAndThePanelFollowsTheUnit)
{
    connect();
    choose("cmbMeasureMode", 2);
    pump();
    EXPECT_EQ(takeLines(), (Lines{"$MM,2", "$MM"}));
    EXPECT_EQ(unitValue("MM"), 2);
    EXPECT_EQ(top().itemCount("cmbPRF"), 6);
    EXPECT_EQ(top().hint("cmbPRF"), "Allowed 10..1000");
    EXPECT_FALSE(top().isEnabled("pbUpload"));

    // Relative detection has no short gate, from the choice on.
    top().state().current().detectionReference = 0;
    choose("cmbMeasureMode", 3);
    EXPECT_FALSE(top().isEnabled("cbShortGate"));
    pump();
    EXPECT_EQ(takeLines(), (Lines{"$MM,3", "$MM"}));
    EXPECT_EQ(top().itemCount("cmbPRF"), 10);
    EXPECT_EQ(top().itemText("cmbPRF", 9), "4500");
}

} // namespace
} // namespace dxu::test
