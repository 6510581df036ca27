// Windows a technician can drive: each Alt letter of a window reaches one
// control, Tab walks the main window's panels in reading order, Esc closes
// the tool windows, and the status bar says what Connect opens.
#include "common/simwindow.h"
#include "ui/capture/viewcapture.h"
#include "ui/diagnostics/errors.h"
#include "ui/diagnostics/terminal.h"
#include "ui/display/trendwindow.h"
#include "ui/journal/history.h"
#include "journal/journal.h"
#include "ui/journal/journalviews.h"
#include "network/linebackup.h"
#include "ui/network/linebackupwindow.h"
#include "ui/network/lineoverview.h"
#include "services/store.h"
#include "ui/services/filedialogs.h"
#include "ui/settings/compareview.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <QTemporaryDir>
#include <QTest>

#include <map>

namespace dxu::test {
namespace {

// Captions of the window's description that share a letter with another
// described caption: they stay as described.
const QStringList kDescribedAlike = {"&Set", "Single &Measurement", "&More >>", "&More>>", "<<&Less",
                                     "Current &Loop"};

// The groups of these captions that share a letter, unless every caption of
// the group is one of the described ones.
QStringList clashes(const QStringList& captions)
{
    std::map<QString, QStringList> byLetter;
    for (const QString& c : captions)
        if (const QKeySequence alt = QKeySequence::mnemonic(c); !alt.isEmpty())
            byLetter[alt.toString()] << c;
    QStringList out;
    for (const auto& [letter, same] : byLetter) {
        const bool described =
            std::all_of(same.begin(), same.end(), [](const QString& c) { return kDescribedAlike.contains(c); });
        if (same.size() > 1 && !described)
            out << same.join(QStringLiteral(" / "));
    }
    return out;
}

// What Alt reaches in a window: the titles of its menu bar, and its buttons,
// group boxes and labels with a buddy that can be seen and used; then the
// items of each of its menus, one list per menu.
std::vector<QStringList> altCaptions(QWidget* window)
{
    std::vector<QStringList> lists(1);
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->window() != window || !w->isVisibleTo(window) || !w->isEnabled())
            continue;
        if (auto* bar = qobject_cast<QMenuBar*>(w)) {
            for (QAction* title : bar->actions()) {
                if (!title->isVisible())
                    continue;
                lists.front() << title->text();
                if (QMenu* menu = title->menu()) {
                    QStringList items;
                    for (QAction* item : menu->actions())
                        if (item->isVisible())
                            items << item->text();
                    lists.push_back(items);
                }
            }
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            lists.front() << button->text();
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            lists.front() << group->title();
        } else if (auto* label = qobject_cast<QLabel*>(w); label && label->buddy()) {
            lists.front() << label->text();
        }
    }
    return lists;
}

// The controls Tab stops at in a window, in the order it stops at them.
std::vector<QWidget*> tabStops(QWidget* window)
{
    std::vector<QWidget*> stops;
    for (QWidget* w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && w->window() == window && w->isVisibleTo(window)
            && w->isEnabled() && !w->focusProxy())
            stops.push_back(w);
    return stops;
}

// The main window's panel a control sits in (the control itself outside them).
QWidget* panelOf(QWidget* control)
{
    for (QWidget* p = control->parentWidget(); p; p = p->parentWidget())
        if (p->objectName().startsWith(QLatin1String("pnl")))
            return p;
    return control;
}

QRect placeOf(const QWidget* w) { return {w->mapTo(w->window(), QPoint(0, 0)), w->size()}; }

// b comes after a as a page is read: further right on a's line, or below it.
bool readsAfter(const QRect& a, const QRect& b)
{
    const bool sameLine = a.top() <= b.bottom() && b.top() <= a.bottom();
    return sameLine ? b.center().x() > a.center().x() : b.center().y() > a.center().y();
}

// Panel q comes after panel p: in a column further right, or below p.
bool panelAfter(const QRect& p, const QRect& q) { return q.left() > p.right() || q.top() > p.bottom(); }

std::string nameOf(const QWidget* w)
{
    return w->objectName().isEmpty() ? w->metaObject()->className() : w->objectName().toStdString();
}

class Driving : public SimWindowTest {
protected:
    // The window of type W, once the menu item has opened it.
    template <typename W>
    W* opened(const char* item = nullptr)
    {
        if (item)
            click(item);
        auto* w = top().findChild<W*>();
        EXPECT_NE(w, nullptr) << item;
        return w;
    }
};

TEST_F(Driving, EveryAltLetterOfAWindowReachesOneControl)
{
    attach(quick(), {{"CO", {0}}}); // with Single Measurement
    std::unique_ptr<QDialog> reportDetails(makeReportDetailsDialog(nullptr, {}));
    const struct {
        const char* what;
        std::function<QWidget*()> show; // brings the look about, returns its window
    } looks[] = {
        {"main window, RS-232, disconnected", [&] { return &top(); }},
        {"main window, RS-232, connected", [&] { connect(); return &top(); }},
        {"main window, RS-232, more averaging parameters", [&] { click("pbMore"); return &top(); }},
        {"trend", [&] { return opened<TfrmTrend>("Trend1"); }},
        {"history", [&] { return opened<TfrmHistory>("History1"); }},
        {"line overview", [&] { return opened<TfrmLineOverview>("LineOverview1"); }},
        {"line backup", [&] { return top().lineBackup(); }},
        {"compare", [&] { return top().compareView(); }},
        {"commissioning report details", [&] { return reportDetails.get(); }},
        {"main window, RS-485, disconnected", [&] { attachLine({'a', 'b'}); return &top(); }},
        {"main window, RS-485, connected", [&] { connect(); return &top(); }},
    };
    for (const auto& look : looks) {
        QWidget* window = look.show();
        ASSERT_NE(window, nullptr) << look.what;
        for (const QStringList& captions : altCaptions(window))
            EXPECT_EQ(clashes(captions).join("; ").toStdString(), "") << look.what << ": " << captions.join(", ").toStdString();
    }
    // The program's other windows, each on its own.
    for (QWidget* window : top().windows().all())
        for (const QStringList& captions : altCaptions(window))
            EXPECT_EQ(clashes(captions).join("; ").toStdString(), "")
                << window->objectName().toStdString() << ": " << captions.join(", ").toStdString();
}

// Tab goes through one panel after the other, left column first, each top
// to bottom, and through each panel line by line, left to right.
TEST_F(Driving, TabWalksThePanelsInReadingOrder)
{
    const struct {
        const char* what;
        int mode;
        bool network;
    } looks[] = {{"averaging", 1, false},
                 {"last target", 4, false},
                 {"binning", 2, false},
                 {"detection", 3, false},
                 {"averaging on RS-485", 1, true}};
    for (const auto& look : looks) {
        SCOPED_TRACE(look.what);
        const SimLink::Values saved{{"MM", {static_cast<double>(look.mode)}}, {"CO", {0}}};
        if (look.network)
            attachLine({'a'}, quick(), saved);
        else
            attach(quick(), saved);
        connect();
        top().show();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const std::vector<QWidget*> stops = tabStops(&top());
        ASSERT_GT(stops.size(), 20u);
        std::vector<QWidget*> panelsLeft;
        for (size_t i = 1; i < stops.size(); ++i) {
            QWidget* a = stops[i - 1];
            QWidget* b = stops[i];
            const std::string step = nameOf(a) + " -> " + nameOf(b);
            QWidget* from = panelOf(a);
            QWidget* to = panelOf(b);
            if (from == to) {
                EXPECT_TRUE(readsAfter(placeOf(a), placeOf(b))) << step;
                continue;
            }
            EXPECT_TRUE(panelAfter(placeOf(from), placeOf(to))) << step;
            EXPECT_EQ(std::count(panelsLeft.begin(), panelsLeft.end(), to), 0) << step << ": back into a panel";
            panelsLeft.push_back(from);
        }
        top().hide();
    }
}

TEST_F(Driving, EscClosesEveryToolWindow)
{
    attachLine({'a'});
    connect();
    QTemporaryDir folder;
    const QString capture = folder.filePath(QStringLiteral("run.log"));
    {
        QFile file(capture);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("12:00:00.000 D 12.345\r\n");
    }
    const SecondaryWindows& w = top().windows();
    const struct {
        const char* what;
        std::function<QWidget*()> open;
    } windows[] = {
        {"trend", [&] { return opened<TfrmTrend>("Trend1"); }},
        {"history", [&] { return opened<TfrmHistory>("History1"); }},
        {"line overview", [&] { return opened<TfrmLineOverview>("LineOverview1"); }},
        {"terminal", [&] { click("Terminal1"); return w.terminal; }},
        {"error list", [&] { top().hooks().showErrorWindow(); return w.errors; }},
        {"capture viewer", [&] { w.viewCapture->showFile(capture); return w.viewCapture; }},
    };
    for (const auto& window : windows) {
        QWidget* shown = window.open();
        ASSERT_NE(shown, nullptr) << window.what;
        ASSERT_TRUE(shown->isVisible()) << window.what;
        // The key goes where the user's focus is in that window.
        const std::vector<QWidget*> stops = tabStops(shown);
        QWidget* focus = shown->focusWidget() ? shown->focusWidget() : stops.empty() ? shown : stops.front();
        QTest::keyClick(focus, Qt::Key_Escape);
        EXPECT_FALSE(shown->isVisible()) << window.what << " (the key went to " << nameOf(focus) << ")";
    }
}

// While no unit is connected, the status bar's help panel says which port,
// device, rate and mode Connect opens; the connected look has its own.
TEST_F(Driving, StatusBarSaysWhatConnectOpens)
{
    Store::writeInt(QStringLiteral("Port232"), 2); // COM3
    Store::writeInt(QStringLiteral("Port232RateIndex"), 3);
    Store::writeInt(QStringLiteral("Port485"), 4); // COM5
    ASSERT_TRUE(Store::setPortPath(3, QStringLiteral("/dev/ttyUSB3")));
    ASSERT_TRUE(Store::setPortPath(5, QStringLiteral("/dev/ttyUSB5")));
    attach();
    const struct {
        const char* what;
        std::function<void()> act;
        const char* panel;
    } steps[] = {
        {"start", [] {}, "Connect: COM3 (/dev/ttyUSB3) at 9600 bit/s, RS-232"},
        {"RS-485 chosen", [&] { click("MultiDrop1"); },
         "Connect: COM5 (/dev/ttyUSB5) at 115200 bit/s, RS-485"},
        {"RS-232 chosen", [&] { click("Single1"); }, "Connect: COM3 (/dev/ttyUSB3) at 9600 bit/s, RS-232"},
        {"connected", [&] { connect(); }, ""},
        {"disconnected", [&] { top().session().connectClicked(); },
         "Connect: COM3 (/dev/ttyUSB3) at 9600 bit/s, RS-232"},
        {"another port set in Comm Port Setup",
         [&] {
             QTimer::singleShot(0, [this] {
                 get<QComboBox>("cmbPC232Port")->setCurrentIndex(3);
                 get<QComboBox>("cmbPC232Device")->setEditText(QStringLiteral("/dev/ttyUSB4"));
                 click("pbSetPC232");
                 click("pbExit");
             });
             click("CommPortSetup1");
         },
         "Connect: COM4 (/dev/ttyUSB4) at 9600 bit/s, RS-232"},
        {"a long device name",
         [&] {
             Store::setPortPath(4, QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KQ3XW-if00-port0"));
             click("Single1");
         },
         "Connect: COM4 (/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KQ3XW-if00-port0) at 9600 bit/s, RS-232"},
    };
    auto* panel = get<QLabel>("StatusBar1Panel1");
    for (const auto& step : steps) {
        step.act();
        // Whole, or shortened to its panel and whole in the tool tip.
        const QString whole = panel->toolTip().isEmpty() ? panel->text() : panel->toolTip();
        EXPECT_EQ(whole.toStdString(), step.panel) << step.what;
        EXPECT_LE(panel->fontMetrics().horizontalAdvance(panel->text()), panel->contentsRect().width()) << step.what;
    }
    EXPECT_EQ(text("StatusBar1Panel3"), "");
}

// The history window and the report's details dialog can be resized, and at
// their first size show every column and their title whole.
TEST_F(Driving, HistoryAndReportDetailsShowTheirColumnsAndTitleWhole)
{
    {
        Journal journal; // the program's own
        Change c;
        c.link = QStringLiteral("COM 1 (/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KQ3XW-if00-port0)");
        c.address = QStringLiteral("a");
        c.version = QStringLiteral("DXU v1.05 2024-01-31");
        c.code = QStringLiteral("MM");
        c.caption = QStringLiteral("Measurement Mode");
        c.oldValue = QStringLiteral("Averaging");
        c.newValue = QStringLiteral("Detection Mode");
        c.outcome = ChangeOutcome::Refused;
        c.detail = QStringLiteral("ER,83 (value out of range)");
        c.user = QStringLiteral("field.technician");
        c.host = QStringLiteral("service-laptop-07.plant.example");
        ASSERT_TRUE(journal.recordChange(c));
    }
    attach();
    std::unique_ptr<QDialog> details(makeReportDetailsDialog(&top(), {}));
    const struct {
        const char* what;
        std::function<QWidget*()> open;
    } windows[] = {
        {"history", [&] { return opened<TfrmHistory>("History1"); }},
        {"commissioning report details", [&] { details->show(); return details.get(); }},
    };
    for (const auto& window : windows) {
        QWidget* w = window.open();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        EXPECT_LT(w->minimumWidth(), w->maximumWidth()) << window.what;
        EXPECT_LT(w->minimumHeight(), w->maximumHeight()) << window.what;
        // The title bar holds the title beside the window's icon and buttons.
        EXPECT_GE(w->width(), w->fontMetrics().horizontalAdvance(w->windowTitle()) + 160) << window.what;
        for (QTableWidget* table : w->findChildren<QTableWidget*>()) {
            EXPECT_EQ(table->horizontalScrollBar()->maximum(), 0) << window.what << ": columns cut off";
            EXPECT_GT(table->rowCount(), 0) << window.what;
        }
        w->hide();
    }
}

// "Back Up Line" chooses an existing folder or names a new one, which is
// made; "Restore Line" takes only a folder that is there.
TEST_F(Driving, TheBackupFolderMayBeNewTheRestoreFolderNot)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("there"));
    const struct {
        const char* dialog;
        const char* typed;
        bool taken;
    } cases[] = {
        {"BackupLineFolder", "there", true},
        {"BackupLineFolder", "new/line 3", true},
        {"RestoreLineFolder", "there", true},
        {"RestoreLineFolder", "missing", false},
    };
    for (const auto& c : cases) {
        const std::string what = std::string(c.dialog) + ": " + c.typed;
        attach(); // the window's dialogs as they first open
        DeferredFileDialog* deferred = DeferredFileDialog::of(top().lineBackup(), QLatin1String(c.dialog));
        ASSERT_NE(deferred, nullptr) << what;
        QFileDialog* dialog = &deferred->dialog();
        dialog->setDirectory(dir.path());
        dialog->open();
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        ASSERT_TRUE(name && buttons) << what;
        name->setText(QString::fromUtf8(c.typed));
        QPushButton* choose = buttons->button(QDialogButtonBox::Open);
        ASSERT_NE(choose, nullptr) << what;
        EXPECT_EQ(choose->isEnabled(), c.taken) << what;
        if (!c.taken)
            continue;
        choose->click();
        const QString folder = dir.filePath(QString::fromUtf8(c.typed));
        EXPECT_EQ(dialog->result(), QDialog::Accepted) << what;
        EXPECT_TRUE(QFileInfo(folder).isDir()) << what;
        EXPECT_EQ(dialog->selectedFiles().value(0).toStdString(), folder.toStdString()) << what;
    }
}

// A restore overwrites and saves the units: the window asks first, naming
// them and the folder, and does nothing without a Yes.
TEST_F(Driving, RestoreLineAsksBeforeItWritesToTheUnits)
{
    TfrmLineBackup::setCliPath(QStringLiteral("/bin/true"));
    attachLine({'a', 'b', 'c'});
    QTemporaryDir dir;
    std::vector<ManifestRow> rows;
    for (char address : {'a', 'b', 'c'})
        rows.push_back({address, QStringLiteral("DXU v1.05"), backupFileName(address), QDateTime::currentDateTimeUtc()});
    ASSERT_EQ(writeManifest(dir.path(), rows), QString());
    ScriptedFileDialogs files;
    for (const bool yes : {false, true}) {
        messages.shown.clear();
        messages.answerNext(yes ? MsgAnswer::Yes : MsgAnswer::No);
        files.answerNext(dir.path());
        click("RestoreLine1");
        ASSERT_EQ(messages.shown.size(), 1u) << yes;
        EXPECT_EQ(messages.shown[0].caption, "Restore Line");
        EXPECT_EQ(messages.shown[0].text,
                  "Restore units a, b, c from " + dir.path() + "?\nTheir settings are overwritten and saved.");
        EXPECT_EQ(messages.shown[0].buttons, MsgButtons::YesNo);
        EXPECT_EQ(top().lineBackup()->running(), yes) << yes;
    }
    TfrmLineBackup::setCliPath(QString());
}

} // namespace
} // namespace dxu::test
