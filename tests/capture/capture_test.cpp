// Capture files and the capture viewer: the proposed name, the file written
// while measuring and its fate on every way out, and the viewer with its
// line reader and CSV export.
#include "ui/capture/capturelog.h"
#include "ui/capture/viewcapture.h"
#include "ui/display/plotview.h"
#include "mainwindow/fixture.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace dxu;
using namespace dxu::test;

namespace {

QByteArray fileText(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

TEST(CaptureNumbering, NextNumberFromTheLogFilesInTheFolder)
{
    struct Case {
        QStringList files;
        const char* proposed;
    };
    const std::vector<Case> cases = {
        {{"dxu0001.log", "dxu0003_a.log", "notes.log"}, "dxu0004.log"},
        {{}, "dxu0001.log"},
        {{"notes.log", "dxu.txt"}, "dxu0001.log"},
        {{"dxu12344.log"}, "dxu12345.log"},
        {{"dxu0006.log.bak.log", "dxuabc.log", "dxu.log"}, "dxu0007.log"},
        {{"DXU0009.LOG"}, "dxu0010.log"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.files.join(' ').toStdString());
        QTemporaryDir dir;
        for (const QString& name : c.files)
            writeFile(dir.filePath(name), "");
        EXPECT_EQ(proposedCaptureName(dir.path()), c.proposed);
    }
}

TEST(CaptureLines, ValuesOfEveryLineForm)
{
    struct Case {
        const char* line;
        bool value;
        double distance, intensity; // -1: none
        char unit;
    };
    const std::vector<Case> cases = {
        {"14:05:09:37,   12.345,m", true, 12.345, -1, 'm'},
        {"14:05:09:37,   40.50,F", true, 40.5, -1, 'F'},
        {"14:05:09:37,   0.7", true, -1, 0.7, 0},
        {"14:05:09:37,   1.500,m, 12.3", true, 1.5, 12.3, 'm'},
        {"14:05:09:37,   0, 3, 5.700,10,m", true, 5.7, -1, 'm'},
        {"14:05:09:37,   ON ", false, 0, 0, 0},
        {"14:05:09:37,   ON ,0.500 s", false, 0, 0, 0},
        {"14:05:09:37,   ER 32,Invalid PRF", false, 0, 0, 0},
        {"14:05:09:37,   12.345,x", false, 0, 0, 0},
        {"14:05:09:37,   ", false, 0, 0, 0},
        {"24:05:09:37,   1.0,m", false, 0, 0, 0},
        {"14:05:09,   1.0,m", false, 0, 0, 0},
        {"", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const std::optional<CaptureSample> s = parseCaptureLine(c.line);
        ASSERT_EQ(s.has_value(), c.value);
        if (!s)
            continue;
        EXPECT_EQ(s->msOfDay, ((14 * 60 + 5) * 60 + 9) * 1000 + 370);
        EXPECT_EQ(s->distance.value_or(-1), c.distance);
        EXPECT_EQ(s->intensity.value_or(-1), c.intensity);
        EXPECT_EQ(s->unit, c.unit);
    }
}

// The main window with a capture folder as the current directory and the
// capture's file dialogs answered by the test.
class CaptureWindowTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        previousDir = QDir::currentPath();
        QDir::setCurrent(dir.path());
        viewer = std::make_unique<TfrmViewCapture>(&form());
        TTopForm::Windows w;
        w.viewCapture = viewer.get();
        form().attachWindows(w);
        form().state().connected = 1;
        form().state().current().measureMode = 1;
        form().state().current().displayMode = 1;
        form().state().current().units = 1;
    }
    void TearDown() override
    {
        QDir::setCurrent(previousDir);
        MainWindowTest::TearDown();
    }
    void receive(const char* text) { form().CommPortReceiveData(text, static_cast<int32_t>(std::strlen(text))); }
    QString panel() { return text("StatusBar1Panel5"); }
    void expectCapturing(bool on)
    {
        EXPECT_EQ(panel(), on ? " On" : " Off");
        EXPECT_EQ(form().isEnabled("StartCapture1"), !on);
        EXPECT_EQ(form().isEnabled("StopCapture1"), on);
        EXPECT_EQ(form().captureLog().isOpen(), on);
    }

    FakeClockScope clock;
    QTemporaryDir dir;
    QString previousDir;
    ScriptedFileDialogs dialogs;
    void answer(std::initializer_list<QString> paths)
    {
        for (const QString& p : paths)
            dialogs.answerNext(p);
    }
    std::unique_ptr<TfrmViewCapture> viewer;
};

TEST_F(CaptureWindowTest, CapturesWhileMeasuringAndIsOnDiskWithinASecondAndAtExit)
{
    writeFile(dir.filePath("dxu0002.log"), "");
    const QString path = dir.filePath("run.log");
    answer({path});
    expectCapturing(false);
    choose("StartCapture1");
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].name, "CaptureSave");
    EXPECT_EQ(dialogs.asked[0].directory, QDir::currentPath());
    EXPECT_EQ(dialogs.asked[0].proposed, "dxu0003.log");
    expectCapturing(true);

    receive("$BM,12.345\r");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !fileText(path).isEmpty(); }, 1500));
    EXPECT_EQ(fileText(path), "14:05:09:37,   12.345,m\n");

    clock.wallTime = {23, 59, 59, 999};
    receive("$BM,1.5\r");
    form().Exit1Click();
    EXPECT_EQ(fileText(path), "14:05:09:37,   12.345,m\n23:59:59:99,   1.500,m\n");
    EXPECT_FALSE(form().captureLog().isOpen());
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(CaptureWindowTest, CancelledOrUncreatableFileRunsNoCapture)
{
    choose("StartCapture1"); // cancelled
    expectCapturing(false);

    answer({dir.filePath("no such folder/dxu0001.log")});
    choose("StartCapture1");
    expectCapturing(false);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Error");
    EXPECT_TRUE(messages.shown[0].text.startsWith("Cannot create the capture file ")) << messages.shown[0].text.toStdString();
    EXPECT_TRUE(messages.shown[0].text.endsWith("No capture is running."));
    choose("StopCapture1");
    expectCapturing(false);
}

TEST_F(CaptureWindowTest, FullDiskStopsTheCaptureAndSaysSoOnce)
{
    // A name with a suffix, as the dialog hands back: a full disk behind it.
    const QString full = dir.filePath("full.log");
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), full));
    answer({full});
    choose("StartCapture1");
    expectCapturing(true);
    receive("$BM,12.345\r");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form().captureLog().isOpen(); }, 2500));
    expectCapturing(false);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Error");
    EXPECT_TRUE(messages.shown[0].text.startsWith("Writing the capture file " + full + " failed, and the capture has stopped."));
    receive("$BM,12.345\r");
    choose("StopCapture1");
    EXPECT_EQ(messages.shown.size(), 1u);

    // Also when the failure shows only as the capture stops.
    answer({full});
    choose("StartCapture1");
    receive("$BM,12.345\r");
    choose("StopCapture1");
    expectCapturing(false);
    EXPECT_EQ(messages.shown.size(), 2u);
}

TEST_F(CaptureWindowTest, RunningCaptureIsInUseForTheViewerUntilStopped)
{
    const QString path = dir.filePath("dxu0001.log");
    answer({path, path});
    choose("StartCapture1");
    receive("$BM,12.345\r");
    choose("OpenCapture1");
    ASSERT_EQ(dialogs.asked.size(), 2u);
    EXPECT_EQ(dialogs.asked[1].name, "OpenCapture");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Error");
    EXPECT_EQ(messages.shown[0].text, "File " + path + " is in use.\n\nSelect another file to view.");
    EXPECT_FALSE(viewer->isVisible());

    choose("StopCapture1");
    expectCapturing(false);
    answer({path});
    choose("OpenCapture1");
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->windowTitle(), "Viewing  " + path);
    EXPECT_EQ(viewer->findChild<QPlainTextEdit*>("CapContent")->toPlainText(), "14:05:09:37,   12.345,m");
    EXPECT_EQ(messages.shown.size(), 1u);
    viewer->findChild<QPushButton*>("pbClose")->click();
    EXPECT_FALSE(viewer->isVisible());
}

TEST_F(CaptureWindowTest, ViewerShowsLongLinesWholeAndSaysWhenAFileCannotBeRead)
{
    const QString longLine = "14:05:09:37,   " + QString(300, 'x');
    const QString file = dir.filePath("long.log");
    writeFile(file, (longLine + "\r\n14:05:09:38,   1.000,m\n").toLatin1());
    const QString empty = dir.filePath("empty.log");
    writeFile(empty, "");
    answer({file, dir.filePath("missing.log"), empty});
    choose("OpenCapture1");
    auto* content = viewer->findChild<QPlainTextEdit*>("CapContent");
    EXPECT_EQ(content->toPlainText(), longLine + "\n14:05:09:38,   1.000,m");

    choose("OpenCapture1"); // missing: said so, the window keeps its file
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Error");
    EXPECT_TRUE(messages.shown[0].text.startsWith("File " + dir.filePath("missing.log") + " cannot be read."));
    EXPECT_EQ(viewer->windowTitle(), "Viewing  " + file);

    choose("OpenCapture1");
    EXPECT_EQ(content->toPlainText(), "");
    EXPECT_EQ(viewer->windowTitle(), "Viewing  " + empty);
}

TEST_F(CaptureWindowTest, ExportsTheChosenValueAsCsvWithTheCapturesDate)
{
    const QString file = dir.filePath("dxu0001.log");
    writeFile(file, "23:59:59:50,   1.500,m, 12.3\n"
                    "23:59:59:50,   ER 32,Invalid PRF\n"
                    "00:00:00:25,   40.50,F, 0.7\n");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QDateTime(QDate(2026, 3, 1), QTime(0, 1)), QFileDevice::FileModificationTime));
    f.close();
    answer({file});
    choose("OpenCapture1");
    auto* plotValue = viewer->findChild<QComboBox*>("cmbPlotValue");
    auto* plot = viewer->findChild<PlotView*>("CapPlot");
    EXPECT_EQ(plotValue->currentText(), "Distance");
    EXPECT_EQ(plot->pointCount(0), 2u);
    // Past midnight the time runs on: the two results are under a second apart.
    EXPECT_LT(plot->viewRange().width(), 60);

    const QString csv = dir.filePath("out.csv");
    answer({csv});
    viewer->findChild<QPushButton*>("pbExport")->click();
    EXPECT_EQ(dialogs.asked.back().name, "CsvSave");
    EXPECT_EQ(dialogs.asked.back().proposed, "dxu0001.csv");
    EXPECT_EQ(fileText(csv), "time,distance,unit\n"
                             "2026-02-28T23:59:59.50,1.500,m\n"
                             "2026-03-01T00:00:00.25,40.50,F\n");

    plotValue->setCurrentIndex(1);
    answer({csv});
    viewer->findChild<QPushButton*>("pbExport")->click();
    EXPECT_EQ(fileText(csv), "time,intensity,unit\n"
                             "2026-02-28T23:59:59.50,12.3,\n"
                             "2026-03-01T00:00:00.25,0.7,\n");
    EXPECT_TRUE(messages.shown.empty());
}

} // namespace
