// The current loop through its menu and windows, over the simulated line:
// the range window's units and Accept, calibration of one point with its
// read-back and store, and the two switches.
#include "common/simwindow.h"
#include "ui/currentloop/clcalibration.h"
#include "ui/currentloop/clsettings.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace dxu::test {
namespace {

class CurrentLoop : public SimWindowTest {};

TEST_F(CurrentLoop, RangesAreShownInTheUnitsLengthUnit)
{
    struct Case {
        double metres;
        const char* low;
        const char* units;
    };
    for (const Case& c : {Case{0, "12.50", "F"}, Case{1, "12.500", "M"}}) {
        // The simulator keeps distances in metres.
        attach(quick(), {{"MU", {c.metres}}, {"AL", {c.metres ? 12.5 : 12.5 * 0.3048}}});
        connect();
        top().windows().clSettings->show();
        EXPECT_EQ(get<QLineEdit>("edAnalogLow")->text(), c.low) << c.units;
        EXPECT_EQ(get<QLabel>("lblALUnits")->text(), c.units);
        EXPECT_EQ(get<QLabel>("lblAHUnits")->text(), c.units);
        top().windows().clSettings->hide();
        top().setCommPort(nullptr);
    }
}

// Accept writes what differs; an empty fault time-out is 0; a bad number
// stops with the conversion message and sends nothing.
TEST_F(CurrentLoop, AcceptWritesChangedRangesAndTakesAnEmptyTimeOutAsZero)
{
    attach(quick(), {{"AT", {5}}});
    connect();
    auto* dialog = top().windows().clSettings;
    dialog->show();
    type("edAnalogHigh", "x");
    click("pbAccept");
    EXPECT_TRUE(dialog->isVisible());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Distance at 20mA: 'x' is not a valid floating point value");
    EXPECT_TRUE(link->received.empty());

    // A value the unit would refuse stays in the dialog for correction, and
    // nothing is marked unsaved.
    messages.shown.clear();
    type("edAnalogHigh", "150.00");
    type("edFaultIndication", "25");
    click("pbAccept");
    EXPECT_TRUE(dialog->isVisible());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("Fault Indication:")))
        << messages.shown[0].text.toStdString();
    EXPECT_EQ(get<QLineEdit>("edFaultIndication")->text(), QStringLiteral("25"));
    EXPECT_TRUE(link->received.empty());
    EXPECT_FALSE(top().isEnabled("pbSaveSettings"));
    type("edFaultIndication", "3.6");

    type("edAnalogHigh", "150.00");
    type("edFaultTimeout", "");
    click("pbAccept");
    ASSERT_TRUE(runUntil([this] { return idle(); }));
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(sent("$AH,150.000"), 1);
    EXPECT_EQ(sent("$AT,0.000"), 1);
    EXPECT_EQ(std::count_if(link->received.begin(), link->received.end(),
                            [](const std::string& l) { return l.rfind("$AL,", 0) == 0 || l.rfind("$AF,", 0) == 0; }),
              0);
    EXPECT_EQ(link->unit(0).settings().getInt("AT"), 0);
}

// A value within the program's limits that the unit refuses keeps the window
// open with the unit's reason and the value for correction; what the unit
// took closes it.
TEST_F(CurrentLoop, AValueTheUnitRefusesStaysForCorrection)
{
    dxusim::Options options = quick();
    options.refuse = {"AF"};
    attach(options);
    connect();
    auto* dialog = top().windows().clSettings;
    dialog->show();
    type("edFaultIndication", "4.5");
    click("pbAccept");
    ASSERT_TRUE(runUntil([this] { return idle(); }));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(get<QLabel>("lblUnitReply")->text().left(33), QStringLiteral("The unit refused Fault Indication"));
    EXPECT_EQ(get<QLineEdit>("edFaultIndication")->text(), QStringLiteral("4.5"));
    EXPECT_TRUE(get<QPushButton>("pbAccept")->isEnabled());
    EXPECT_FALSE(top().isEnabled("pbSaveSettings"));

    type("edFaultIndication", "3.6");
    type("edFaultTimeout", "7");
    click("pbAccept");
    ASSERT_TRUE(runUntil([this] { return idle(); }));
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(link->unit(0).settings().getInt("AT"), 7);
}

TEST_F(CurrentLoop, SetWritesCoarseAndFineReadsBackAndSaveStores)
{
    attach(quick(), {{"P4", {0x0A05, 0x8080}}});
    connect();
    top().windows().clCalibration->show();
    EXPECT_EQ(get<QLineEdit>("edCoarse4")->text(), "10");
    EXPECT_EQ(get<QLineEdit>("edFine4")->text(), "05");

    get<QSpinBox>("updCoarse20")->setValue(3);
    get<QSpinBox>("updFine20")->setValue(200);
    click("pbSet20");
    ASSERT_TRUE(runUntil([this] { return idle(); }));
    const std::vector<std::string> expected = {"$CD,160,1,3", "$CD,161,1,200", "$P4"};
    EXPECT_EQ(std::vector<std::string>(link->received.begin(), link->received.begin() + 3), expected);
    EXPECT_EQ(top().state().current().loopCalibration20mA, 3 * 256 + 200);

    click("pbSave");
    EXPECT_EQ(sent("$CD,95"), 1);
    runUntil([] { return false; }, 200);
    EXPECT_EQ(link->unit(0).saved().getInt("P4", 1), 3 * 256 + 200);
    EXPECT_FALSE(top().windows().clCalibration->isVisible());
}

TEST_F(CurrentLoop, SwitchesUploadOnlyWhileConnected)
{
    attach(quick(), {{"CL", {1}}});
    auto* loopOn = get<QAction>("CurrentLoopOn1");
    loopOn->trigger();
    EXPECT_FALSE(loopOn->isChecked());
    EXPECT_TRUE(link->received.empty());

    connect();
    EXPECT_TRUE(loopOn->isChecked());
    get<QAction>("DisableFaultCurrent1")->trigger();
    ASSERT_TRUE(runUntil([this] { return idle(); }));
    EXPECT_EQ(sent("$CL,3"), 1);
    EXPECT_EQ(link->unit(0).settings().getInt("CL"), 3);
}

} // namespace
} // namespace dxu::test
