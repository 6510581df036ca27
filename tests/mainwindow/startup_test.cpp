// Start-up: the stored options, the disconnected look, window order and size.
#include "ui/app/application.h"
#include "fixture.h"
#include "ui/services/formplacement.h"
#include "services/locale.h"

#include "ui/capture/viewcapture.h"
#include "ui/currentloop/clcalibration.h"
#include "ui/currentloop/clsettings.h"
#include "ui/diagnostics/about.h"
#include "ui/diagnostics/errors.h"
#include "ui/diagnostics/terminal.h"
#include "ui/network/assignaddress.h"
#include "ui/network/findunits.h"
#include "ui/network/netsetup.h"
#include "ui/ports/commsetup.h"

#include <QApplication>
#include <QTimer>

using namespace dxu;
using namespace dxu::test;

namespace {

struct StoredOptionsCase {
    const char* label;
    int statusRequests; // -1: not stored
    int logAll;         // -1: not stored
    int expectStatusRequests;
    int expectLogAll;
};

class StoredOptions : public MainWindowTest, public ::testing::WithParamInterface<StoredOptionsCase> {};

TEST_P(StoredOptions, AreReadOrWrittenAndMirroredByCheckMarks)
{
    const StoredOptionsCase& c = GetParam();
    if (c.statusRequests >= 0)
        storeValue("Status Requests", c.statusRequests);
    if (c.logAll >= 0)
        storeValue("Log All", c.logAll);

    TTopForm& top = form();
    EXPECT_EQ(top.state().statusRequests, c.expectStatusRequests);
    EXPECT_EQ(top.state().logAll, c.expectLogAll);
    EXPECT_EQ(top.isChecked("DXUStatusRequests1"), c.expectStatusRequests != 0);
    EXPECT_EQ(top.isChecked("CaptureAll1"), c.expectLogAll != 0);
    // Whatever was missing has been written with the start value.
    EXPECT_EQ(storedValue("Status Requests").toInt(), c.expectStatusRequests);
    EXPECT_EQ(storedValue("Log All").toInt(), c.expectLogAll);
    EXPECT_TRUE(messages.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Store, StoredOptions,
                         ::testing::Values(StoredOptionsCase{"empty", -1, -1, 1, 0},
                                           StoredOptionsCase{"statusOff", 0, -1, 0, 0},
                                           StoredOptionsCase{"logAllOn", -1, 1, 1, 1},
                                           StoredOptionsCase{"bothStored", 0, 1, 0, 1},
                                           StoredOptionsCase{"nonZeroIsOn", 7, 3, 7, 3}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(MainWindowTest, StartsInTheDisconnectedLook)
{
    TTopForm& top = form();
    for (const char* hidden : {"pnlBasicSetup", "pnlOutputSetup", "pnlMode", "pnlBinning", "pnlAveraging",
                               "pnlLastTarget", "pnlDetectionMode", "pnlDetectionParameters", "pnlMoreAveraging",
                               "pnlOutputProcessing", "pnlOff", "pnlWindowing", "pnlDampening", "pbSingleMeasure",
                               "pbPrevDXU", "pbNextDXU", "lblViewing", "lblDXUAddress", "lblRate", "lblResult",
                               "lblIntensity", "lblError", "lblErrTop", "lblErrBottom", "rgDisplay", "imgBinning",
                               "lblTargetList", "lblTargetCount", "lblCurrent", "ViewNetworkStatus1"})
        EXPECT_FALSE(top.isVisible(hidden)) << hidden;
    for (const char* disabled : {"pbReset", "pbSaveSettings", "pbUpload", "pbRead", "pbPointer", "pbContinuous",
                                 "pbSingleMeasure", "AssignAddress1", "StopCapture1", "CurrentLoopOn1",
                                 "DisableFaultCurrent1", "SetRanges1", "Calibrate1", "ViewNetworkStatus1",
                                 "Save1", "Saveas1", "SettingsReport1", "ExportSetupText1"})
        EXPECT_FALSE(top.isEnabled(disabled)) << disabled;
    // A setup file can be opened for editing without a unit.
    for (const char* usable : {"pbConnect", "Connect1", "Single1", "MultiDrop1", "Exit1", "StartCapture1", "Open1"})
        EXPECT_TRUE(top.isEnabled(usable)) << usable;

    EXPECT_TRUE(top.isVisible("pnlDisplay"));
    EXPECT_TRUE(top.isChecked("rbDistance"));
    EXPECT_TRUE(top.isChecked("Single1"));
    EXPECT_FALSE(top.isChecked("MultiDrop1"));
    EXPECT_EQ(text("StatusBar1Panel5"), " Off");
    EXPECT_EQ(top.state().connected, 0);
    EXPECT_EQ(top.state().noDistance, 1);
    EXPECT_EQ(top.state().readyForStatus, 1);
    EXPECT_FALSE(top.pollTimer()->isActive());
    EXPECT_EQ(top.pollTimer()->interval(), 1000);
    EXPECT_EQ(top.windowTitle(), "DXU Interface");
}

TEST_F(MainWindowTest, CommaLocaleIsTakenFromTheSystemSeparator)
{
    setDecimalSeparatorOverride(QLatin1Char(','));
    EXPECT_EQ(form().state().decimalComma, 1);
    // The start-up texts of a unit in feet.
    EXPECT_EQ(text("edOffsetDistance"), "0,00");
    EXPECT_EQ(text("edLongGate"), "5576,00");
}

struct DpiCase {
    double dpi;
    int width, height;
};

class WindowSize : public MainWindowTest, public ::testing::WithParamInterface<DpiCase> {};

TEST_P(WindowSize, FollowsTheScreenResolution)
{
    const DpiCase c = GetParam();
    TTopForm& top = form();
    top.setDpiQuery([&] { return c.dpi; });
    top.show();
    EXPECT_EQ(top.size(), QSize(c.width, c.height));
    // Never smaller than the controls need; enlarged, the readout grows.
    EXPECT_EQ(top.minimumSize(), top.minimumSizeHint());
    auto* readout = top.findChild<QWidget*>(QStringLiteral("lblResult"));
    ASSERT_NE(readout, nullptr);
    const int digits = readout->font().pixelSize();
    top.resize(top.size() * 2);
    QApplication::processEvents();
    EXPECT_EQ(top.size(), QSize(c.width, c.height) * 2);
    EXPECT_GT(readout->font().pixelSize(), digits);
    top.resize(top.minimumSize());
    QApplication::processEvents();
    EXPECT_EQ(readout->font().pixelSize(), digits);
    top.hide();
}

INSTANTIATE_TEST_SUITE_P(Dpi, WindowSize,
                         ::testing::Values(DpiCase{96, 800, 600}, DpiCase{120, 1000, 750},
                                           DpiCase{120.2, 1000, 750}, DpiCase{72, 800, 600}));

// A secondary window opens beside the main window where the screen has room
// (right first), else centred on it, and always wholly on the screen.
TEST(Placement, SecondaryWindowsOpenBesideTheMainWindowAndOnTheScreen)
{
    const QRect screen(0, 0, 1920, 1080);
    const struct {
        const char* what;
        QRect owner;
        QPoint at;
    } cases[] = {
        {"room on the right", QRect(100, 100, 800, 600), QPoint(900, 100)},
        {"room on the left only", QRect(1000, 200, 800, 600), QPoint(600, 200)},
        {"no room beside: centred on it", QRect(300, 100, 1300, 600), QPoint(750, 200)},
        {"main window at the bottom-right corner", QRect(1400, 900, 800, 600), QPoint(1000, 680)},
        {"no main window: centred on the screen", QRect(), QPoint(760, 340)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(placeBeside(QSize(400, 400), c.owner, screen), c.at) << c.what;
    EXPECT_EQ(placeBeside(QSize(2500, 1200), QRect(100, 100, 800, 600), screen), QPoint(0, 0)) << "too large";
}

TEST_F(MainWindowTest, TheControlsFitTheDesignSize)
{
    // Every look must fit the 800 x 600 window, or FormShow would have to
    // grow it: the connected look of each mode, with every optional part on.
    TTopForm& top = form();
    top.setDpiQuery([] { return 96.0; });
    top.setChecked("MultiDrop1", true);
    for (int mode : {1, 2, 3, 4}) {
        top.state().current().measureMode = mode;
        top.showConnectedControls();
        for (const char* n : {"pnlDampening", "pnlMoreAveraging", "pbSingleMeasure", "rgDisplay", "lblResult",
                              "lblIntensity", "imgBinning", "lblTargetList", "lblTargetCount", "edShortGate",
                              "edLongGate"})
            top.setVisible(n, true);
        const QSize need = top.minimumSizeHint();
        EXPECT_LE(need.width(), 800) << "mode " << mode;
        EXPECT_LE(need.height(), 600) << "mode " << mode;
    }
}

TEST(Windows, WindowsAreCreatedInTheirOrderAndStay)
{
    clearStore();
    AppWindows windows;
    std::vector<std::string> classes;
    for (QWidget* w : windows.creationOrder()) {
        classes.emplace_back(w->metaObject()->className());
        EXPECT_TRUE(w->isWindow()) << classes.back();
        EXPECT_FALSE(w->isVisible()) << classes.back();
    }
    const std::vector<std::string> expected = {
        "dxu::TTopForm",       "dxu::TfrmViewCapture", "dxu::TfrmAbout",         "dxu::TfrmCLSettings",
        "dxu::TfrmCLCalibration", "dxu::TfrmCommSetup", "dxu::TfrmNetSetup", "dxu::TfrmAssignAddress",
        "dxu::TfrmTerminal",   "dxu::TfrmErrors",     "dxu::TfrmFindUnits"};
    EXPECT_EQ(classes, expected);

    // The main window reaches each of them.
    const TTopForm::Windows& w = windows.top().windows();
    const std::vector<QWidget*> attached = {&windows.top(), w.viewCapture, w.about,  w.clSettings, w.clCalibration,
                                            w.commSetup,    w.netSetup,    w.assignAddress, w.terminal, w.errors, w.findUnits};
    EXPECT_EQ(attached, windows.creationOrder());

    const std::vector<QString> titles = {"DXU Interface", "View Capture File", "About", "Settings", "Calibration",
                                         "Comm Ports Setup", "RS-485 Netowrk Setup", "Assign RS-485 Address",
                                         "DXU Terminal", "Errors", "Find Units"};
    for (size_t i = 0; i < titles.size(); ++i)
        EXPECT_EQ(windows.creationOrder()[i]->windowTitle(), titles[i]);
}

} // namespace
