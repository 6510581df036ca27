// The controls of the main window itself: menus and status bar, and finding
// any control by name; the panels come from settings/panelwidgets.
#include "app/topform.h"
#include "diagnostics/about.h"
#include "diagnostics/terminal.h"
#include "display/histogramview.h"
#include "display/resultdisplay.h"
#include "display/trendwindow.h"
#include "network/unitscan.h"
#include "settings/panelwidgets.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>

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
                sep,
                {"CaptureAll1", "Ca&pture All", QKeySequence(QStringLiteral("Ctrl+A")), true, false, true, true},
                {"StartCapture1", "Start &Capture...", QKeySequence(QStringLiteral("Ctrl+C")), false, false, true, true},
                {"StopCapture1", "S&top Capture", QKeySequence(QStringLiteral("Ctrl+T")), false, false, true, true},
                {"OpenCapture1", "&View Capture...", QKeySequence(QStringLiteral("Ctrl+V")), false, false, true, true},
                sep,
                {"Exit1", "&Exit", QKeySequence(QStringLiteral("Ctrl+X")), false, false, true, true}});

    auto* conn = named(bar->addMenu(QStringLiteral("C&onnections")), "Connections1");
    fill(conn, {{"Connect1", "Co&nnect", {}, false, false, true, true},
                sep,
                {"Single1", "R&S-232", {}, true, true, true, true},
                sep,
                {"MultiDrop1", "&RS-485 Network", {}, true, false, true, true},
                {"AssignAddress1", "&Assign DXU Address...", {}, false, false, true, true},
                {"ModifyNetwork1", "&Modify RS-485 Network....", {}, false, false, true, true},
                {"FindUnits1", "Find &Units...", {}, false, false, false, true},
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
    auto* terminal = named(new QAction(QStringLiteral("&Terminal"), this), "Terminal1");
    auto* trend = named(new QAction(QStringLiteral("T&rend"), this), "Trend1");
    auto* about = named(new QAction(QStringLiteral("&About"), this), "About1");
    bar->addActions({terminal, trend, about});
    connect(terminal, &QAction::triggered, this, [this] { showModeless(windows_.terminal); });
    // The live trend of the results, a window of its own made on first use.
    connect(trend, &QAction::triggered, this, [this] {
        if (!trend_)
            trend_ = new TfrmTrend(this);
        showModeless(trend_);
    });
    connect(about, &QAction::triggered, this, [this] { showModeless(windows_.about); });
    onClick("Exit1", [this] { Exit1Click(); });
}

namespace {
constexpr int ProgressTextWidth = 150;
constexpr int ProgressBarWidth = 100;
} // namespace

void TTopForm::buildStatusBar()
{
    auto* bar = named(new QStatusBar(this), "StatusBar1");
    bar->setSizeGripEnabled(false);
    bar->setStyleSheet(QStringLiteral("QStatusBar::item { border: none; }"));
    setStatusBar(bar);

    auto* strip = new QWidget(bar);
    auto* l = new QHBoxLayout(strip);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(1);
    static constexpr int widths[6] = {45, 370, 60, 195, 70, 50};
    static const char* const texts[6] = {"Help:", "", "Status:", "", "Capture:", ""};
    for (int i = 0; i < 6; ++i) {
        auto* p = label(strip, QStringLiteral("StatusBar1Panel%1").arg(i).toLatin1().constData(),
                        QString::fromLatin1(texts[i]));
        p->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (i < 5)
            p->setFixedWidth(widths[i] - 1);
        else
            p->setMinimumWidth(widths[i] - 1);
        l->addWidget(p, i == 5 ? 1 : 0);
        statusPanels_[static_cast<size_t>(i)] = p;
    }
    // How far a settings read is, after the panels; shown only while one
    // runs, and then the help panel makes room for it.
    progressText_ = label(strip, "StatusBar1ProgressText", QString());
    progressText_->setFixedWidth(ProgressTextWidth);
    progressBar_ = named(new QProgressBar(strip), "StatusBar1ProgressBar");
    progressBar_->setTextVisible(false);
    progressBar_->setFixedWidth(ProgressBarWidth);
    progressText_->setVisible(false);
    progressBar_->setVisible(false);
    l->addWidget(progressText_);
    l->addWidget(progressBar_);
    bar->addWidget(strip, 1);
}

void TTopForm::setProgress(std::string_view text, int value, int maximum)
{
    const bool shown = maximum > 0;
    if (shown) {
        progressText_->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
        progressBar_->setRange(0, maximum);
        progressBar_->setValue(value);
    }
    if (progressBar_->isVisibleTo(this) != shown) {
        const int room = ProgressTextWidth + ProgressBarWidth + 2;
        statusPanels_[1]->setFixedWidth(statusPanels_[1]->minimumWidth() + (shown ? -room : room));
        progressText_->setVisible(shown);
        progressBar_->setVisible(shown);
    }
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
    if (index >= 0 && index < static_cast<int>(statusPanels_.size()))
        statusPanels_[static_cast<size_t>(index)]->setText(
            QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

} // namespace dxu
