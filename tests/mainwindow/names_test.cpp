// Every control that the window's behaviour refers to by name exists, with
// its caption, hint, shortcut and grouping.
#include "fixture.h"
#include "ui/app/sessionlooks.h"
#include "ui/display/histogramview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>

using namespace dxu;
using namespace dxu::test;

namespace {

enum class Kind { Label, Edit, Check, Radio, Combo, Button, Panel, Image, Action };

struct Named {
    const char* name;
    Kind kind;
    const char* caption; // nullptr: not checked
};

// Written from the window's description, independently of the code that builds
// it: the controls with their captions, and those no rule below names. The
// controls the panel's binding table and the session's looks name are checked
// by those rules (here and in settingspanel_test.cpp).
const Named kControls[] = {
    // Panels.
    {"pnlBasicSetup", Kind::Panel, "BASIC SETUP"},
    {"pnlDisplay", Kind::Panel, "DXU CONTROL BUTTONS AND DISPLAY"},
    {"pnlMode", Kind::Panel, "MEASUREMENT MODE"},
    {"pnlAveraging", Kind::Panel, "AVERAGING PARAMETERS"},
    {"pnlLastTarget", Kind::Panel, "LAST TARGET PARAMETERS"},
    {"pnlBinning", Kind::Panel, "BINNING PARAMETERS"},
    {"pnlDetectionMode", Kind::Panel, "DETECTION MODE"},
    {"pnlDetectionParameters", Kind::Panel, "DETECTION PARAMETERS"},
    {"pnlOutputProcessing", Kind::Panel, "OUTPUT PROCESSING"},
    {"pnlOutputSetup", Kind::Panel, "OUTPUT SETUP"},
    {"pnlMoreAveraging", Kind::Panel, nullptr},
    {"pnlOff", Kind::Panel, nullptr},
    {"pnlWindowing", Kind::Panel, nullptr},
    {"pnlDampening", Kind::Panel, nullptr},
    {"GroupBox1", Kind::Panel, "Analog Settings"},
    {"rgDisplay", Kind::Panel, "Display"},
    // Display panel.
    {"lblConnected", Kind::Label, " Connected "},
    {"lblLaserOn", Kind::Label, " Laser On "},
    {"lblG", Kind::Label, " G "},
    {"lblF", Kind::Label, " CT "},
    {"lblO", Kind::Label, " O "},
    {"lblRate", Kind::Label, nullptr},
    {"lblTargetList", Kind::Label, "Targets:"},
    {"lblTargetCount", Kind::Label, "0"},
    {"rbDistance", Kind::Radio, "Distance"},
    {"rbIntensity", Kind::Radio, "Intensity"},
    {"rbBothNumbers", Kind::Radio, "Both"},
    {"pbConnect", Kind::Button, "&Connect"},
    {"pbUpload", Kind::Button, "&Upload Settings"},
    {"pbRead", Kind::Button, "&Read"},
    {"pbPointer", Kind::Button, "&Pointer On"},
    {"pbContinuous", Kind::Button, "Measurement &Start"},
    {"pbReset", Kind::Button, "Reset"},
    {"pbSaveSettings", Kind::Button, "Sa&ve Settings"},
    {"pbPrevDXU", Kind::Button, "Prev. DXU"},
    {"pbNextDXU", Kind::Button, "Next DXU"},
    {"pbSingleMeasure", Kind::Button, "Single &Measurement"},
    // Basic setup.
    {"cbUnitsFeet", Kind::Check, "Feet"},
    {"cbUnitsMeters", Kind::Check, "Meters"},
    {"cbShortGate", Kind::Check, "On"},
    {"lblShortUnits", Kind::Label, nullptr},
    {"cbLongGate", Kind::Check, "On"},
    {"lblLongUnits", Kind::Label, nullptr},
    {"cbCheckGate", Kind::Check, "On"},
    {"lblODUnits", Kind::Label, nullptr},
    {"rbHigh", Kind::Radio, "High"},
    {"rbMedium", Kind::Radio, "Medium"},
    {"rbLow", Kind::Radio, "Low"},
    {"cbTarget", Kind::Check, "Cooperative Target"},
    {"cbTermination", Kind::Check, "RS485 Termination"},
    // Mode and mode panels.
    {"lblPulses", Kind::Label, nullptr},
    {"lblMeasure", Kind::Label, nullptr},
    {"lblRequired", Kind::Label, nullptr},
    {"lblDitherPulses", Kind::Label, nullptr},
    {"cbDither", Kind::Check, "Dithering"},
    {"pbMore", Kind::Button, "&More >>"},
    {"cbSuccessiveGate", Kind::Check, "Successive Gating"},
    {"lblBinUnits", Kind::Label, nullptr},
    {"rbAbsolute", Kind::Radio, "Absolute"},
    {"rbRelative", Kind::Radio, "Relative"},
    {"lblDetectionLine1", Kind::Label, nullptr},
    {"lblDetectionLine2", Kind::Label, nullptr},
    {"lblDetectionModeUnits", Kind::Label, nullptr},
    {"cbOutputTBE", Kind::Check, "Output TBE"},
    // Output processing and setup.
    {"cbCosineOn", Kind::Check, "Cosine On"},
    {"rbProcessingOff", Kind::Radio, "Off"},
    {"rbWindowingOn", Kind::Radio, "Windowing"},
    {"rbDampeningOn", Kind::Radio, "Dampening"},
    {"lblWindowWidthUnits", Kind::Label, nullptr},
    {"lblErrorRangeUnits", Kind::Label, nullptr},
    {"cbContinuousOutput", Kind::Check, "Continuous Output"},
    {"cbAutostart", Kind::Check, "DXU Autostart"},
    // Menu.
    {"Open1", Kind::Action, "&Open Setup..."},
    {"Save1", Kind::Action, "&Save Setup"},
    {"Saveas1", Kind::Action, "Save Setup &As..."},
    {"BackupLine1", Kind::Action, "Back Up &Line..."},
    {"RestoreLine1", Kind::Action, "Restore Li&ne..."},
    {"CaptureAll1", Kind::Action, "Ca&pture All"},
    {"StartCapture1", Kind::Action, "Start &Capture..."},
    {"StopCapture1", Kind::Action, "S&top Capture"},
    {"OpenCapture1", Kind::Action, "&View Capture..."},
    {"Exit1", Kind::Action, "&Exit"},
    {"Connect1", Kind::Action, "Co&nnect"},
    {"Single1", Kind::Action, "R&S-232"},
    {"MultiDrop1", Kind::Action, "&RS-485 Network"},
    {"AssignAddress1", Kind::Action, "&Assign DXU Address..."},
    {"ModifyNetwork1", Kind::Action, "&Modify RS-485 Network...."},
    {"ViewNetworkStatus1", Kind::Action, "&View Network Status"},
    {"LineOverview1", Kind::Action, "Line &Overview..."},
    {"CommPortSetup1", Kind::Action, "&Comm Port Setup..."},
    {"DXUStatusRequests1", Kind::Action, "DXU Status Requests"},
    {"CurrentLoopOn1", Kind::Action, "Current &Loop On"},
    {"DisableFaultCurrent1", Kind::Action, "Disable Fault Current"},
    {"SetRanges1", Kind::Action, "&Set Ranges..."},
    {"Calibrate1", Kind::Action, "&Calibrate..."},
    {"Terminal1", Kind::Action, "&Terminal"},
    {"Trend1", Kind::Action, "Tr&end"},
    {"About1", Kind::Action, "&About"},
};

bool isKind(QObject* o, Kind k)
{
    switch (k) {
    case Kind::Label: return qobject_cast<QLabel*>(o) != nullptr;
    case Kind::Image: return qobject_cast<HistogramView*>(o) != nullptr;
    case Kind::Edit: return qobject_cast<QLineEdit*>(o) != nullptr;
    case Kind::Check: return qobject_cast<QCheckBox*>(o) != nullptr;
    case Kind::Radio: return qobject_cast<QRadioButton*>(o) != nullptr;
    case Kind::Combo: return qobject_cast<QComboBox*>(o) != nullptr;
    case Kind::Button: return qobject_cast<QPushButton*>(o) != nullptr;
    case Kind::Panel: return qobject_cast<QWidget*>(o) != nullptr;
    case Kind::Action: return qobject_cast<QAction*>(o) != nullptr;
    }
    return false;
}

TEST_F(MainWindowTest, EveryNamedControlExistsOnceWithItsCaption)
{
    TTopForm& top = form();
    for (const Named& n : kControls) {
        SCOPED_TRACE(n.name);
        const auto all = top.findChildren<QObject*>(QString::fromLatin1(n.name));
        ASSERT_EQ(all.size(), 1);
        ASSERT_TRUE(isKind(all.front(), n.kind));
        if (!n.caption)
            continue;
        const QString want = QString::fromLatin1(n.caption);
        if (auto* g = qobject_cast<QGroupBox*>(all.front()))
            EXPECT_EQ(g->title(), want);
        else
            EXPECT_EQ(text(n.name), want);
    }
}

// Every control the session's looks name is in the window: a misspelt name
// would do nothing.
TEST_F(MainWindowTest, EveryControlTheSessionsLooksNameIsThere)
{
    FakeUi ui;
    SettingsView panel;
    RecordingHooks hooks;
    ControlLooks controls(ui, hooks);
    SessionLooks looks(ui, panel, controls);
    for (bool on : {false, true}) {
        looks.disconnecting();
        looks.disconnected();
        looks.idle();
        looks.singleUnit();
        looks.connecting();
        looks.connectEnded();
        looks.connected(on);
        looks.unitShownAgain();
        looks.unitSilent();
        looks.steppingShown();
        looks.stepping(on, on);
        looks.viewing(1, 2, 'a');
        looks.connectionType(on, 1, on);
        looks.measuring(on);
        looks.calibration(on);
        looks.unitReset();
        looks.pointer(on);
        looks.readProgress(1, 50);
    }
    ASSERT_GE(ui.controls.size(), 20u);
    for (const auto& [name, control] : ui.controls)
        EXPECT_NE(form().control(name), nullptr) << name;
}

TEST_F(MainWindowTest, GroupingsHoldTheirControls)
{
    struct Holds {
        const char* parent;
        std::vector<const char*> children;
    };
    const Holds groups[] = {
        {"pnlBasicSetup", {"cbUnitsFeet", "cbUnitsMeters", "cbShortGate", "edShortGate", "cbLongGate", "edLongGate",
                           "cbCheckGate", "edOffsetDistance", "rbHigh", "rbMedium", "rbLow", "cbTarget",
                           "edMinIntensity", "edMaxIntensity", "cbTermination"}},
        {"pnlDisplay", {"lblConnected", "lblLaserOn", "lblG", "lblF", "lblO", "lblRx", "lblResult", "lblIntensity",
                        "imgBinning", "rgDisplay", "lblConnectionType", "lblViewing", "lblDXUAddress", "lblRate",
                        "pbConnect", "pbUpload", "pbRead", "pbPointer", "pbContinuous", "pbReset", "pbSaveSettings",
                        "pbPrevDXU", "pbNextDXU", "pbSingleMeasure", "lblTargetList", "lblTargetCount"}},
        {"rgDisplay", {"rbDistance", "rbIntensity", "rbBothNumbers"}},
        {"pnlMode", {"cmbMeasureMode", "cmbPRF", "edPulsesperMeasure"}},
        {"pnlMoreAveraging", {"edAverageBounds", "edInitialLock"}},
        {"pnlBinning", {"cmbTargetSelector", "edBinHits", "cmbBinSize", "lblBinUnits"}},
        {"pnlDetectionMode", {"rbRelative", "rbAbsolute", "lblDetectionLine1", "lblDetectionLine2", "edTripPoint",
                              "lblDetectionModeUnits"}},
        {"pnlDetectionParameters", {"edTripTimeout", "edFlyerTrap", "edMaxFalsePulses", "edMinTripPulses",
                                    "cbOutputTBE"}},
        {"pnlOutputProcessing", {"cbCosineOn", "edCosineFactor", "rbProcessingOff", "rbWindowingOn", "rbDampeningOn"}},
        {"pnlWindowing", {"edErrorTimeout", "edWindowWidth", "lblWindowWidthUnits"}},
        {"pnlDampening", {"edNumberofSamples", "edNumberofErrors", "edErrorRangeDifference", "lblErrorRangeUnits"}},
        {"pnlOutputSetup", {"cmbMeasureOutput", "cbContinuousOutput", "cbAutostart", "GroupBox1"}},
        {"GroupBox1", {"edAnalogLow", "edAnalogHigh", "edFaultIndication", "edFaultTimeout", "cb420Enable"}},
    };
    for (const Holds& g : groups) {
        auto* parent = form().findChild<QWidget*>(QString::fromLatin1(g.parent));
        ASSERT_NE(parent, nullptr) << g.parent;
        for (const char* child : g.children)
            EXPECT_NE(parent->findChild<QObject*>(QString::fromLatin1(child)), nullptr) << g.parent << "/" << child;
    }
}

TEST_F(MainWindowTest, ItemListsAndHints)
{
    struct Items {
        const char* name;
        QStringList items;
    };
    const Items lists[] = {
        {"cmbMeasureMode", {"Averaging", "LastTarget", "Binning", "Detection Mode"}},
        {"cmbPRF", {"    10", "    50", "  100", "  200", "  500", "1000"}},
        {"cmbDitherSteps", {"  ", "1", "2", "4", "8", "16"}},
        {"cmbTargetSelector", {"First", "Last", "Most", "All"}},
        {"cmbMeasureOutput", {"RS232 Configuration Port", "RS232 Universal Port", "RS485 Universal Port"}},
    };
    for (const Items& l : lists) {
        auto* c = get<QComboBox>(l.name);
        ASSERT_NE(c, nullptr);
        QStringList have;
        for (int i = 0; i < c->count(); ++i)
            have << c->itemText(i);
        EXPECT_EQ(have, l.items) << l.name;
    }
    EXPECT_TRUE(get<QComboBox>("cmbPRF")->isEditable());
    EXPECT_EQ(get<QComboBox>("cmbBinSize")->count(), 8);

    EXPECT_EQ(get("lblRate")->toolTip(), "Measurement Output Rate");
    EXPECT_EQ(get("edPulsesRequired")->toolTip(), "Must be less than Pulses/Measure");
    EXPECT_EQ(get("edPulsesperMeasure")->toolTip(), "Must be greater than or equal to Required Dither Pulses");
    for (const char* lamp : {"lblG", "lblF", "lblO"}) // what the setting lamps mean
        EXPECT_FALSE(get(lamp)->toolTip().isEmpty()) << lamp;
    EXPECT_EQ(get("imgBinning")->size(), QSize(341, 89));
}

TEST_F(MainWindowTest, MenuShortcutsCheckMarksAndDesignStates)
{
    struct Item {
        const char* name;
        const char* shortcut;
        bool checkable;
    };
    const Item items[] = {{"Open1", "Ctrl+O", false},        {"Save1", "Ctrl+S", false},
                          {"CaptureAll1", "Ctrl+A", true},   {"StartCapture1", "Ctrl+C", false},
                          {"StopCapture1", "Ctrl+T", false}, {"OpenCapture1", "Ctrl+V", false},
                          {"Exit1", "Ctrl+X", false},        {"Saveas1", "", false},
                          {"Single1", "", true},              {"MultiDrop1", "", true},
                          {"DXUStatusRequests1", "", true},  {"CurrentLoopOn1", "", true},
                          {"DisableFaultCurrent1", "", true}};
    for (const Item& i : items) {
        auto* a = get<QAction>(i.name);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->shortcut(), QKeySequence(QString::fromLatin1(i.shortcut))) << i.name;
        EXPECT_EQ(a->isCheckable(), i.checkable) << i.name;
    }
    auto* bar = form().findChild<QMenuBar*>(QStringLiteral("TopMenu"));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(form().menuBar(), bar);
    QStringList titles;
    for (QAction* a : bar->actions())
        titles << a->text();
    EXPECT_EQ(titles, QStringList({"&File", "C&onnections", "Current &Loop", "&Terminal", "Tr&end", "&About"}));
}

TEST_F(MainWindowTest, StatusBarPanelsAndFileDialogs)
{
    auto* bar = form().findChild<QStatusBar*>(QStringLiteral("StatusBar1"));
    ASSERT_NE(bar, nullptr);
    const int widths[] = {45, 370, 60, 195, 70, 50};
    // Panel 1 says what Connect opens (driving_test.cpp).
    const char* texts[] = {"Help:", nullptr, "Status:", "", "Capture:", " Off"};
    for (int i = 0; i < 6; ++i) {
        const QByteArray name = QStringLiteral("StatusBar1Panel%1").arg(i).toLatin1();
        auto* p = get<QLabel>(name.constData());
        ASSERT_NE(p, nullptr);
        if (texts[i]) {
            EXPECT_EQ(p->text(), texts[i]);
        }
        EXPECT_NEAR(p->minimumWidth(), widths[i], 1) << i;
        form().setStatusPanel(i, "x");
        EXPECT_EQ(p->text(), "x");
    }
    form().setStatusPanel(6, "ignored");
    form().setStatusPanel(-1, "ignored");

    struct Dialog {
        const char* name;
        const char* title;
        const char* filter;
        const char* suffix;
        QFileDialog::AcceptMode mode;
    };
    const Dialog dialogs[] = {
        {"CfgOpen", "Open File", "DXU Files (*.dxu)", "dxu", QFileDialog::AcceptOpen},
        {"CfgSave", "Save As", "DXU Files (*.dxu)", "dxu", QFileDialog::AcceptSave},
        {"CaptureSave", "Capture Filename", "Capture File (*.log)", "log", QFileDialog::AcceptSave},
        {"OpenCapture", "View Capture File", "Capture File (*.log)", "log", QFileDialog::AcceptOpen},
    };
    for (const Dialog& d : dialogs) {
        auto* f = form().findChild<QFileDialog*>(QString::fromLatin1(d.name));
        ASSERT_NE(f, nullptr) << d.name;
        EXPECT_EQ(f->windowTitle(), d.title);
        EXPECT_EQ(f->nameFilters(), QStringList{d.filter});
        EXPECT_EQ(f->defaultSuffix(), d.suffix);
        EXPECT_EQ(f->acceptMode(), d.mode);
    }
    auto* timer = form().findChild<QTimer*>(QStringLiteral("PollTimer"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer, form().pollTimer());
}

} // namespace
