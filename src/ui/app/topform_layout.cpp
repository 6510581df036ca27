// The controls of the main window itself: the menus (a table of items), the
// status bar's texts, and the panels, which come from settings/panelwidgets.
#include "ui/app/topform.h"
#include "ui/display/histogramview.h"
#include "ui/display/resultdisplay.h"
#include "ui/network/linebackupwindow.h"
#include "network/unitscan.h"
#include "ui/services/statusstrip.h"
#include "ui/settings/panelwidgets.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace dxu {

void TTopForm::buildMenu()
{
    auto* bar = named(new QMenuBar(this), "TopMenu");
    setMenuBar(bar);

    struct Item {
        const char* name;
        const char* text;
        QKeySequence key;
        bool checkable, checked, enabled, visible;
    };
    auto fill = [this](QMenu* menu, std::initializer_list<Item> items) {
        for (const Item& i : items) {
            if (!i.name) {
                menu->addSeparator();
                continue;
            }
            auto* a = named(new QAction(QString::fromLatin1(i.text), this), i.name);
            a->setShortcut(i.key);
            a->setCheckable(i.checkable);
            a->setChecked(i.checked);
            a->setEnabled(i.enabled);
            a->setVisible(i.visible);
            menu->addAction(a);
        }
    };
    const Item sep{nullptr, nullptr, {}, false, false, true, true};

    auto* file = named(bar->addMenu(QStringLiteral("&File")), "File1");
    fill(file, {{"Open1", "&Open Setup...", QKeySequence(QStringLiteral("Ctrl+O")), false, false, true, true},
                {"Save1", "&Save Setup", QKeySequence(QStringLiteral("Ctrl+S")), false, false, true, true},
                {"Saveas1", "Save Setup &As...", {}, false, false, true, true},
                {"SettingsReport1", "Settings &Report...", {}, false, false, true, true},
                {"ExportSetupText1", "Export Setup as Te&xt...", {}, false, false, true, true},
                {"History1", "&History...", {}, false, false, true, true},
                {"CommissioningReport1", "Co&mmissioning Report...", {}, false, false, true, true},
                {"BackupLine1", "Back Up &Line...", {}, false, false, true, true},
                {"RestoreLine1", "Restore Li&ne...", {}, false, false, true, true},
                sep,
                {"CaptureAll1", "Ca&pture All", QKeySequence(QStringLiteral("Ctrl+A")), true, false, true, true},
                {"StartCapture1", "Start &Capture...", QKeySequence(QStringLiteral("Ctrl+C")), false, false, true, true},
                {"StopCapture1", "S&top Capture", QKeySequence(QStringLiteral("Ctrl+T")), false, false, true, true},
                {"OpenCapture1", "&View Capture...", QKeySequence(QStringLiteral("Ctrl+V")), false, false, true, true},
                sep,
                {"Exit1", "&Exit", QKeySequence(QStringLiteral("Ctrl+X")), false, false, true, true}});

    // Backing up and restoring a line need the line to themselves.
    connect(file, &QMenu::aboutToShow, this, [this] {
        for (const char* item : {"BackupLine1", "RestoreLine1"})
            setEnabled(item, lineBackup_ ? lineBackup_->canStart() : TfrmLineBackup::lineFree(state_));
    });

    auto* conn = named(bar->addMenu(QStringLiteral("C&onnections")), "Connections1");
    fill(conn, {{"Connect1", "Co&nnect", {}, false, false, true, true},
                sep,
                {"Single1", "R&S-232", {}, true, true, true, true},
                sep,
                {"MultiDrop1", "&RS-485 Network", {}, true, false, true, true},
                {"AssignAddress1", "&Assign DXU Address...", {}, false, false, true, true},
                {"ModifyNetwork1", "&Modify RS-485 Network....", {}, false, false, true, true},
                {"FindUnits1", "Find &Units...", {}, false, false, false, true},
                {"LineOverview1", "Line &Overview...", {}, false, false, true, true},
                {"ViewNetworkStatus1", "&View Network Status", {}, false, false, false, false},
                sep,
                {"CommPortSetup1", "&Comm Port Setup...", {}, false, false, true, true},
                sep,
                {"DXUStatusRequests1", "DXU Status Requests", {}, true, true, true, true}});
    // Finding units needs the line to itself: RS-485 and nothing connected.
    connect(conn, &QMenu::aboutToShow, this, [this] { setEnabled("FindUnits1", unitScan_ && unitScan_->canStart()); });

    auto* loop = named(bar->addMenu(QStringLiteral("Current &Loop")), "CurrentLoop1");
    fill(loop, {{"CurrentLoopOn1", "Current &Loop On", {}, true, false, false, true},
                {"DisableFaultCurrent1", "Disable Fault Current", {}, true, false, false, true},
                sep,
                {"SetRanges1", "&Set Ranges...", {}, false, false, false, true},
                {"Calibrate1", "&Calibrate...", {}, false, false, false, true}});

    // Three items of the bar act at once instead of opening a menu.
    using Named = std::pair<const char*, const char*>;
    for (auto [name, text] : {Named{"Terminal1", "&Terminal"}, Named{"Trend1", "Tr&end"}, Named{"About1", "&About"}})
        bar->addAction(named(new QAction(QString::fromLatin1(text), this), name));
    onClick("Exit1", [this] { Exit1Click(); });
}

void TTopForm::buildPanels()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("TopFormClient"));
    setCentralWidget(central);
    buildPanelWidgets(central, [this](QWidget* parent) {
        auto* img = new HistogramView(state_, [this] { display_->showResultLines(); }, parent);
        display_->setHistogram(img);
        return img;
    });
}

void TTopForm::setStatusPanel(int index, std::string_view text)
{
    statusBar_->setPanel(index, QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

void TTopForm::setProgress(std::string_view text, int value, int maximum)
{
    statusBar_->setProgress(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())), value, maximum);
}

} // namespace dxu
