// The change journal: rows as the recorder was told, several writers at once,
// a journal that cannot be written or is damaged, the history window, the
// commissioning report's text, and dxu-cli history and report.
#include "e2e/simprocess.h"
#include "ui/journal/history.h"
#include "journal/journal.h"
#include "journal/recorder.h"
#include "journal/report.h"
#include "common/simwindow.h"
#include "ui/currentloop/clcalibration.h"
#include "ui/currentloop/clsettings.h"
#include "ui/journal/journalviews.h"
#include "mainwindow/fixture.h"
#include "network/networkconfig.h"
#include "settings/transfer.h"
#include "ui/settings/settingstransfer.h"
#include "protocol/settingcodes.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <unistd.h>

#ifndef DXU_CLI_PATH
#define DXU_CLI_PATH "dxu-cli"
#endif
#ifndef JOURNAL_WRITER_PATH
#define JOURNAL_WRITER_PATH "journal_writer"
#endif

namespace dxu::test {
namespace {

struct ProcessRun {
    int status = -1;
    QString out, err;
};

// Runs the program to its end; during, when given, is called once it has started.
ProcessRun run(const QString& program, const QStringList& args,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
               const std::function<void(QProcess&)>& during = {})
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (during && p.waitForStarted())
        during(p);
    ProcessRun r;
    if (!p.waitForFinished(90000)) {
        p.kill();
        p.waitForFinished();
        ADD_FAILURE() << program.toStdString() << " did not end";
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

// The environment of a dxu-cli run with its own state (the journal) and settings.
QProcessEnvironment cliEnvironment(const QString& state, const QString& config)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_STATE_HOME"), state);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    return env;
}

// A setup file of the unit on port as it is but for its offset distance
// (read, shown as text, the line edited, imported); empty on failure.
QString offsetSetup(const QString& port, const QString& offset, const QString& folder, const QProcessEnvironment& env)
{
    const QString file = folder + QStringLiteral("/offset-%1.dxu").arg(offset.left(5));
    const QString text = folder + QStringLiteral("/offset.txt");
    const ProcessRun read = run(QStringLiteral(DXU_CLI_PATH), {"read", "--port", port, "--output", file}, env);
    const ProcessRun shown = run(QStringLiteral(DXU_CLI_PATH), {"show", file}, env);
    QFile edited(text);
    if (read.status != 0 || !shown.out.contains(QStringLiteral("offset_distance = ")) || !edited.open(QIODevice::WriteOnly)) {
        ADD_FAILURE() << read.err.toStdString() << shown.err.toStdString();
        return {};
    }
    edited.write(QString(shown.out)
                     .replace(QRegularExpression(QStringLiteral("offset_distance = [^\n]*")),
                              QStringLiteral("offset_distance = ") + offset)
                     .toUtf8());
    edited.close();
    return run(QStringLiteral(DXU_CLI_PATH), {"import", text, "--output", file}, env).status == 0 ? file : QString();
}

QString pdfText(const QString& path)
{
    const ProcessRun r = run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    return r.out;
}

class JournalTest : public ::testing::Test {
protected:
    QString path() const { return dir.filePath(QStringLiteral("state/dxu-interface/journal.sqlite")); }
    QTemporaryDir dir;
    QStringList notices;
    Journal journal{path(), [this](const QString& t) { notices << t; }};
};

const SettingCode& row(const char* code) { return *findSetting(code); }

TEST_F(JournalTest, RowsAreWhatTheRecorderWasTold)
{
    UnitRecord unit{};
    unit.units = 1;
    unit.prfAveraging = 100;
    unit.shortGate = 1.5f;
    unit.faultCurrent = 4.0f;
    unit.port0Baud = 9600;
    unit.port1Baud = 19200;
    UnitRecord sent = unit;
    sent.prfAveraging = 200;
    sent.shortGate = 2.25f;
    sent.faultCurrent = 25.0f;
    sent.shortGateOn = sent.longGateOn = 1;
    sent.port0Baud = 115200;
    sent.port1Baud = 57600;
    UnitRecord held = sent;
    held.shortGate = 2.0f; // the unit kept another value

    WriteTarget target{QStringLiteral("COM 1 (/dev/pts/9)"), QStringLiteral("k"), QStringLiteral("DXU v1.05")};
    ChangeRecorder rec(journal, [&target] { return target; });
    struct Expected {
        const char *code, *caption, *oldValue, *newValue;
        ChangeOutcome outcome;
        const char* detail;
    };
    // In the order the rows are finished.
    const Expected expected[] = {
        {"AF", "Fault Current", "4.00 mA", "25.00 mA", ChangeOutcome::Refused, "ER,83: value out of range"},
        {"PF", "PRF (Averaging, LastTarget)", "100 Hz", "200 Hz", ChangeOutcome::Accepted, ""},
        {"SG", "Short Gate", "1.500 m", "2.250 m", ChangeOutcome::ReadBackDifferent, "2.000 m"},
        {"EG", "Short Gate On/Off; Long Gate On/Off", "Off; Off", "On; On", ChangeOutcome::Accepted, ""},
        {"BR", "Universal Port Rate", "19200 bit/s", "57600 bit/s", ChangeOutcome::Accepted, ""},
        {"SU", "Save Settings", "", "", ChangeOutcome::Accepted, ""},
        {"MM", "Measurement Mode", "Averaging", "Binning", ChangeOutcome::Accepted, ""},
        {"MM", "Measurement Mode", "Binning", "Detection Mode", ChangeOutcome::Accepted, ""},
        {"BR", "Configuration Port Rate", "9600 bit/s", "115200 bit/s", ChangeOutcome::Accepted, ""},
        {"CD", "Calibration 4 mA", "coarse 10, fine 05", "coarse 10, fine 06", ChangeOutcome::NotAnswered, ""},
    };
    const SettingCode& brPort0 = *settingById(IdBaudPort0);
    const SettingCode& brPort1 = *settingById(IdBaudPort1);
    for (const char* code : {"PF", "SG", "AF", "EG"})
        rec.settingSent(row(code), unit, sent);
    rec.settingSent(brPort0, unit, sent);
    rec.settingSent(brPort1, unit, sent);
    for (const char* code : {"PF", "SG", "EG", "BR", "BR"})
        rec.accepted(QLatin1String(code));
    rec.refused(QStringLiteral("AF"), QStringLiteral("ER,83: value out of range"));
    rec.settingReadBack(row("PF"), held);
    rec.settingReadBack(row("SG"), held);
    rec.settingReadBack(row("EG"), held);
    rec.settingReadBack(brPort1, held); // port 1's read-back before port 0's: still port 1's row
    rec.writeSent(QStringLiteral("SU"), QStringLiteral("Save Settings"), {}, {});
    rec.accepted(QStringLiteral("SU"));
    // A write whose read-back never came, then the same setting again: the
    // first is over, the read-back is the second's.
    UnitRecord mode = unit;
    mode.measureMode = 1;
    UnitRecord binning = mode;
    binning.measureMode = 2;
    UnitRecord detection = mode;
    detection.measureMode = 3;
    rec.settingSent(row("MM"), mode, binning);
    rec.accepted(QStringLiteral("MM"));
    rec.settingSent(row("MM"), binning, detection);
    rec.accepted(QStringLiteral("MM"));
    rec.settingReadBack(row("MM"), detection);
    rec.writeSent(QStringLiteral("CD"), QStringLiteral("Calibration 4 mA"), QStringLiteral("coarse 10, fine 05"),
                  QStringLiteral("coarse 10, fine 06"));
    target.address = QStringLiteral("m"); // a later unit does not change the rows already sent
    rec.settle(); // BR port 0 accepted without its read-back; CD never answered
    EXPECT_EQ(rec.waiting(), 0);

    std::vector<Change> rows = journal.changes();
    ASSERT_EQ(rows.size(), std::size(expected));
    // In the order they were written (rows of one millisecond are not ordered by time).
    std::sort(rows.begin(), rows.end(), [](const Change& a, const Change& b) { return a.id < b.id; });
    for (size_t i = 0; i < rows.size(); ++i) {
        const Change& c = rows[i];
        const Expected& e = expected[i];
        SCOPED_TRACE(e.caption);
        EXPECT_EQ(c.code, QLatin1String(e.code));
        EXPECT_EQ(c.caption, QLatin1String(e.caption));
        EXPECT_EQ(c.oldValue, QLatin1String(e.oldValue));
        EXPECT_EQ(c.newValue, QLatin1String(e.newValue));
        EXPECT_EQ(c.outcome, e.outcome);
        EXPECT_EQ(c.detail, QLatin1String(e.detail));
        EXPECT_EQ(c.address, QStringLiteral("k"));
        EXPECT_EQ(c.version, QStringLiteral("DXU v1.05"));
        EXPECT_EQ(c.link, QStringLiteral("COM 1 (/dev/pts/9)"));
        EXPECT_FALSE(c.user.isEmpty());
        EXPECT_FALSE(c.host.isEmpty());
        EXPECT_LE(qAbs(c.time.secsTo(QDateTime::currentDateTimeUtc())), 60);
    }
    EXPECT_TRUE(notices.isEmpty()) << notices.join('\n').toStdString();

    // Filters: by unit, by date; newest first.
    Change other;
    other.address = QStringLiteral("b");
    other.version = QStringLiteral("DXU v1.04");
    other.code = QStringLiteral("MM");
    other.caption = QStringLiteral("Measurement, \"mode\"");
    other.time = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC);
    ASSERT_TRUE(journal.recordChange(other));
    JournalFilter byUnit;
    byUnit.address = QStringLiteral("b");
    EXPECT_EQ(journal.changes(byUnit).size(), 1u);
    byUnit.version = QStringLiteral("DXU v1.05");
    EXPECT_EQ(journal.changes(byUnit).size(), 0u);
    JournalFilter since;
    since.from = QDateTime(QDate(2026, 1, 3), QTime(0, 0), Qt::UTC);
    EXPECT_EQ(journal.changes(since).size(), std::size(expected));
    EXPECT_EQ(journal.changes().back().code, QStringLiteral("MM"));
    EXPECT_EQ(journal.units().size(), 2u);
    // CSV: one line per row under the heading, a quoted field kept whole.
    const QString csv = changesCsv(journal.changes(JournalFilter{QStringLiteral("b"), {}, {}, {}, 0, {}}));
    EXPECT_EQ(csv.count('\n'), 2);
    EXPECT_TRUE(csv.contains(QStringLiteral("2026-01-02T03:04:05.000Z"))) << csv.toStdString();
    EXPECT_TRUE(csv.contains(QStringLiteral("\"Measurement, \"\"mode\"\"\""))) << csv.toStdString();
}

TEST_F(JournalTest, WritersInSeveralProcessesLoseNothing)
{
    constexpr int PerWriter = 300;
    Change first;
    first.code = QStringLiteral("start");
    ASSERT_TRUE(journal.recordChange(first)); // the file exists in WAL mode before they start
    std::vector<std::unique_ptr<QProcess>> writers;
    for (const char* tag : {"one", "two"}) {
        writers.push_back(std::make_unique<QProcess>());
        writers.back()->start(QStringLiteral(JOURNAL_WRITER_PATH),
                              {path(), QLatin1String(tag), QString::number(PerWriter)});
    }
    for (int i = 0; i < PerWriter; ++i) {
        Change c;
        c.code = QStringLiteral("self");
        c.caption = QString::number(i);
        journal.recordChange(c); // what another writer holds up waits in the queue
    }
    EXPECT_TRUE(journal.finish(60000).empty()) << journal.lastError().toStdString();
    for (auto& w : writers) {
        ASSERT_TRUE(w->waitForFinished(60000));
        EXPECT_EQ(w->exitCode(), 0) << w->readAllStandardError().toStdString();
    }
    std::map<QString, std::set<QString>> seen;
    for (const Change& c : journal.changes())
        seen[c.code].insert(c.caption);
    for (const char* tag : {"one", "two", "self"})
        EXPECT_EQ(seen[QLatin1String(tag)].size(), size_t(PerWriter)) << tag;
    EXPECT_TRUE(notices.isEmpty()) << notices.join('\n').toStdString();
}

TEST_F(JournalTest, AJournalThatCannotBeWrittenIsSaidOnceAndADamagedOneIsReplaced)
{
    // A folder that cannot be made: its parent is a file.
    QFile blocker(dir.filePath(QStringLiteral("state")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Change c;
    c.code = QStringLiteral("PF");
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(journal.recordChange(c));
    EXPECT_EQ(notices.size(), 1) << notices.join('\n').toStdString();
    EXPECT_TRUE(notices.value(0).contains(QStringLiteral("cannot be written")));
    EXPECT_EQ(journal.changes().size(), 3u); // kept, and shown, until they can be written

    // A read-only folder (not for root, whom permissions do not stop).
    if (geteuid() != 0) {
        QFile::remove(blocker.fileName());
        QDir().mkpath(QFileInfo(path()).absolutePath());
        QFile::setPermissions(QFileInfo(path()).absolutePath(), QFile::ReadOwner | QFile::ExeOwner);
        notices.clear();
        EXPECT_FALSE(journal.recordChange(c));
        EXPECT_FALSE(journal.recordChange(c));
        EXPECT_EQ(notices.size(), 1);
        QFile::setPermissions(QFileInfo(path()).absolutePath(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // The folder back: every change kept is written, in order.
    QFile::remove(blocker.fileName());
    EXPECT_TRUE(journal.flush()) << journal.lastError().toStdString();
    EXPECT_EQ(journal.changes().size(), geteuid() != 0 ? 5u : 3u);

    // A damaged file: kept aside, a new journal started, the change recorded.
    const auto notAJournal = [](const QString& file) {
        QFile f(file);
        return f.open(QIODevice::WriteOnly) && f.write(QByteArray("this is not a journal\n").repeated(300)) > 0;
    };
    const auto damagedPages = [&c](const QString& file) {
        {
            Journal full(file);
            for (int i = 0; i < 200; ++i)
                full.recordChange(c);
        } // closed: every change is in the file itself
        QFile f(file);
        return f.open(QIODevice::ReadWrite) && f.seek(4096) && f.write(QByteArray(4096, '\xff')) == 4096;
    };
    for (const auto& damage : {std::function<bool(const QString&)>(notAJournal), std::function<bool(const QString&)>(damagedPages)}) {
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("journal.sqlite"));
        ASSERT_TRUE(damage(file));
        const QByteArray before = [&file] {
            QFile f(file);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        notices.clear();
        Journal damaged(file, [this](const QString& t) { notices << t; });
        EXPECT_TRUE(damaged.recordChange(c)) << damaged.lastError().toStdString();
        EXPECT_EQ(damaged.changes().size(), 1u);
        ASSERT_EQ(notices.size(), 1);
        EXPECT_TRUE(notices[0].contains(QStringLiteral("damaged"))) << notices[0].toStdString();
        const QStringList kept = QDir(folder.path()).entryList({QStringLiteral("journal.sqlite.damaged-*")});
        ASSERT_EQ(kept.size(), 1);
        QFile keptFile(folder.filePath(kept[0]));
        ASSERT_TRUE(keptFile.open(QIODevice::ReadOnly));
        EXPECT_EQ(keptFile.readAll(), before);
    }
}

TEST_F(JournalTest, TheReportHoldsEverySettingByPanelAndTheChangesOfTheDay)
{
    UnitRecord unit{};
    unit.units = 1;
    unit.address = 'k';
    unit.measureMode = 1;
    unit.offsetDistance = 1.25f;
    unit.prfAveraging = 2000;
    unit.analogLow = 0.5f;
    unit.analogHigh = 40.0f;
    unit.faultCurrent = 3.5f;
    unit.currentLoopFlags = 1;
    unit.loopCalibration4mA = 0x0A05;
    unit.loopCalibration20mA = 0x03C8;
    unit.port0Baud = 115200;
    Change change;
    change.time = QDateTime::currentDateTimeUtc();
    change.code = QStringLiteral("PF");
    change.caption = QStringLiteral("PRF (Averaging, LastTarget)");
    change.oldValue = QStringLiteral("1000 Hz");
    change.newValue = QStringLiteral("2000 Hz");
    change.outcome = ChangeOutcome::Refused;
    change.detail = QStringLiteral("ER,83");
    ReportDetails details{QDateTime::currentDateTime(), QStringLiteral("Jörg Tech"), QStringLiteral("Line 3, Plant North"),
                          QStringLiteral("COM 1 (/dev/pts/4)"), 115200, QStringLiteral("DXU v1.05")};
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    ASSERT_EQ(writeReportPdf(pdf, commissioningReport(unit, details, {change})), QString());
    const QString text = pdfText(pdf).simplified();
    for (const char* expected :
         {"Jörg Tech", "Line 3, Plant North", "COM 1 (/dev/pts/4)", "Rate 115200 bit/s", "Address k", "DXU v1.05",
          "BASIC SETUP", "Offset Distance 1.250 m", "MEASUREMENT MODE", "Measurement Mode Averaging",
          "PRF (Averaging, LastTarget) 2000 Hz", "OUTPUT PROCESSING", "OUTPUT SETUP", "CURRENT LOOP",
          "Analog Low (4 mA) 0.500 m", "Analog High (20 mA) 40.000 m", "Fault Current 3.50 mA", "Current Loop On On",
          "Calibration 4 mA coarse 10, fine 05", "Calibration 20 mA coarse 03, fine 200", "Configuration Port Rate 115200 bit/s",
          "CHANGES MADE TODAY", "1000 Hz 2000 Hz refused: ER,83", "Technician's signature"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n" << text.toStdString();

    // A day of many changes runs onto further pages, none of them lost.
    std::vector<Change> many(80, change);
    for (size_t i = 0; i < many.size(); ++i)
        many[i].newValue = QStringLiteral("%1 Hz").arg(3000 + i);
    ASSERT_EQ(writeReportPdf(pdf, commissioningReport(unit, details, many)), QString());
    const QString pages = pdfText(pdf);
    EXPECT_GE(pages.count(QLatin1Char('\f')), 2);
    for (const char* expected : {"3000 Hz", "3079 Hz", "Customer's signature"})
        EXPECT_TRUE(pages.contains(QLatin1String(expected))) << expected;

    // A report that cannot be written says so and leaves nothing behind.
    EXPECT_NE(writeReportPdf(dir.filePath(QStringLiteral("no/such/folder/r.pdf")), commissioningReport(unit, details, {})),
              QString());
}

class HistoryWindowTest : public MainWindowTest {};

TEST_F(HistoryWindowTest, HistoryShowsTheJournalNewestFirstByUnitAndExportsIt)
{
    Journal journal; // the program's own, in the test's state folder
    for (const char* address : {"a", "b", "a"}) {
        Change c;
        c.address = QLatin1String(address);
        c.version = QStringLiteral("DXU v1.05");
        c.code = QStringLiteral("MM");
        c.caption = QStringLiteral("Measurement Mode");
        c.newValue = QString::number(journal.changes().size());
        ASSERT_TRUE(journal.recordChange(c));
    }
    choose("History1");
    auto* history = form().findChild<TfrmHistory*>(QStringLiteral("frmHistory"));
    ASSERT_NE(history, nullptr);
    EXPECT_TRUE(history->isVisible());
    ASSERT_EQ(history->rows().size(), 3u);
    EXPECT_EQ(history->rows().front().newValue, QStringLiteral("2"));
    auto* unit = history->findChild<QComboBox*>(QStringLiteral("cmbUnit"));
    ASSERT_EQ(unit->count(), 3); // all, a, b
    unit->setCurrentIndex(2);
    ASSERT_EQ(history->rows().size(), 1u);
    EXPECT_EQ(history->rows().front().address, QStringLiteral("b"));

    ScriptedFileDialogs files;
    QTemporaryDir out;
    files.answerNext(out.filePath(QStringLiteral("history")));
    history->findChild<QPushButton*>(QStringLiteral("pbExport"))->click();
    ASSERT_EQ(files.asked.size(), 1u);
    EXPECT_EQ(files.asked[0].name, QStringLiteral("HistorySave"));
    QFile csv(out.filePath(QStringLiteral("history.csv")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll().count('\n'), 2);

    // The report is of the connected unit; disconnected it says so.
    choose("CommissioningReport1");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("Error"));
}

class ReportWindowTest : public SimWindowTest {};

TEST_F(ReportWindowTest, TheReportOfTheConnectedUnitAsksWhoAndWhereOnce)
{
    attach();
    connect();
    auto* views = top().findChild<JournalViews*>();
    ASSERT_NE(views, nullptr);
    int asked = 0;
    views->setAskPeople([&asked](const ReportPeople&) {
        ++asked;
        return std::optional<ReportPeople>(ReportPeople{QStringLiteral("Ann Tech"), QStringLiteral("Site 9")});
    });
    ScriptedFileDialogs files;
    QTemporaryDir out;
    for (const char* name : {"first", "second"}) {
        files.answerNext(out.filePath(QLatin1String(name)));
        get<QAction>("CommissioningReport1")->trigger();
        const QString text = pdfText(out.filePath(QLatin1String(name) + QStringLiteral(".pdf"))).simplified();
        for (const char* expected : {"Ann Tech", "Site 9", "Link COM 1", "Rate 115200 bit/s", "BASIC SETUP",
                                     "Measurement Mode Averaging", "CURRENT LOOP", "Calibration 4 mA"})
            EXPECT_TRUE(text.contains(QLatin1String(expected))) << expected << "\n" << text.toStdString();
    }
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(files.asked.front().name, QStringLiteral("CommissioningReportSave"));
    EXPECT_EQ(storedReportPeople().site, QStringLiteral("Site 9"));
}

// A unit is its link and its address: unit a on the RS-232 cable (COM 1) and
// unit a of an RS-485 line (COM 2) are two units, in the line overview and in
// the commissioning report.
TEST_F(ReportWindowTest, UnitAOfTwoLinksAreTwoUnitsInTheOverviewAndTheReport)
{
    // The RS-232 unit: a refused write, an error and a result.
    dxusim::Options rs232 = quick();
    rs232.refuse = {"OF"};
    attach(rs232);
    top().state().unitTable[0].port485 = 1;
    connect();
    type("edOffsetDistance", QStringLiteral("1.250"));
    top().settingsTransfer().uploadClicked();
    ASSERT_TRUE(runUntil([this] { return idle(); }));
    top().protocol().sendSingleMeasure();
    runUntil([] { return false; }, 200);
    top().session().disconnectUnit();

    // The line: its unit a, read, and a setting written to it.
    dxusim::Options rs485 = quick();
    rs485.network = true;
    rs485.addresses = {'a'};
    auto line = std::make_unique<SimLink>(rs485);
    top().setCommPort(line.get());
    line->onReceive = [this](const char* data, int32_t size) { top().CommPortReceiveData(data, size); };
    std::swap(link, line);
    click("MultiDrop1");
    ASSERT_TRUE(addNetworkMember(top().state(), top(), top().hooks(), {}, addressPosition('a')));
    top().session().connectClicked();
    ASSERT_TRUE(runUntil([this] { return idle() && top().state().current().settingsRead; }));
    type("edOffsetDistance", QStringLiteral("2.500"));
    top().settingsTransfer().uploadClicked();
    ASSERT_TRUE(runUntil([this] { return idle(); }));

    click("LineOverview1");
    auto* grid = get<QTableWidget>("grdLineOverview");
    ASSERT_EQ(grid->rowCount(), 1);
    EXPECT_EQ(grid->item(0, 0)->text(), QStringLiteral("a"));
    EXPECT_EQ(grid->item(0, 5)->text(), QString()); // the RS-232 unit's result
    EXPECT_EQ(grid->item(0, 7)->text(), QString()); // and its error stay on its own link
    EXPECT_TRUE(get<QLabel>("lblLineState")->text().contains(QStringLiteral("on COM 2 (/dev/ttyS1)")));

    auto* views = top().findChild<JournalViews*>();
    ASSERT_NE(views, nullptr);
    views->setAskPeople([](const ReportPeople& p) { return std::optional<ReportPeople>(p); });
    ScriptedFileDialogs files;
    QTemporaryDir out;
    files.answerNext(out.filePath(QStringLiteral("a")));
    get<QAction>("CommissioningReport1")->trigger();
    const QString text = pdfText(out.filePath(QStringLiteral("a.pdf"))).simplified();
    for (const char* expected : {"Link COM 2 (/dev/ttyS1)", "Made to this unit on COM 2 (/dev/ttyS1)",
                                 "Offset Distance 0.000 m 2.500 m accepted"})
        EXPECT_TRUE(text.contains(QLatin1String(expected))) << expected << "\n" << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("1.250 m"))) << text.toStdString();
}

// A change the journal cannot take is kept while the program runs and named
// in a message when the program ends without having written it.
TEST_F(ReportWindowTest, AChangeNeverWrittenIsNamedWhenTheProgramEnds)
{
    const QByteArray state = qgetenv("XDG_STATE_HOME");
    QTemporaryDir blocked;
    QFile blocker(blocked.filePath(QStringLiteral("state")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // its folder cannot be made
    qputenv("XDG_STATE_HOME", blocker.fileName().toLocal8Bit());
    attach();
    qputenv("XDG_STATE_HOME", state);
    connect();
    type("edOffsetDistance", QStringLiteral("1.250"));
    top().settingsTransfer().uploadClicked();
    ASSERT_TRUE(runUntil([this] { return idle(); }));
    auto* views = top().findChild<JournalViews*>();
    ASSERT_NE(views, nullptr);
    EXPECT_FALSE(views->journal().flush());
    EXPECT_EQ(views->journal().changes().size(), 1u); // kept
    top().setCommPort(nullptr);
    windows.reset();
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_TRUE(messages.shown.back().text.contains(
        QStringLiteral("not recorded:\n  Offset Distance 0.000 m -> 1.250 m (accepted), the unit on COM 1 (/dev/ttyS0)")))
        << messages.shown.back().text.toStdString();
}

// What the window writes is journalled as it goes: one row per write that
// went out, with the unit's answer to that write and the value read back.
TEST_F(ReportWindowTest, EveryWriteOfAnUploadIsOneRowWithTheUnitsAnswer)
{
    dxusim::Options options = quick();
    options.refuse = {"AF"};
    attach(options, {{"AT", {5}}});
    connect();
    auto* views = top().findChild<JournalViews*>();
    ASSERT_NE(views, nullptr);
    const size_t before = views->journal().changes().size();
    top().windows().clSettings->show();
    type("edFaultTimeout", "7");
    type("edFaultIndication", "4.5");
    click("pbAccept");
    ASSERT_TRUE(runUntil([this] { return idle(); }));

    // The settings written (a refused write is tried again: still one write).
    std::set<std::string> writes;
    for (const std::string& line : link->received)
        if (line.size() > 4 && line[3] == ',')
            writes.insert(line.substr(1, 2));
    std::vector<Change> rows = views->journal().changes();
    ASSERT_EQ(rows.size() - before, writes.size());
    std::set<std::string> told;
    for (size_t i = 0; i < writes.size(); ++i) {
        const Change& c = rows[i];
        told.insert(c.code.toStdString() + " " + outcomeText(c.outcome).toStdString() + " " + c.detail.toStdString());
        EXPECT_TRUE(c.address.isEmpty() || c.address == QStringLiteral("a"));
    }
    EXPECT_EQ(told, (std::set<std::string>{"AF refused Invalid Current Loop Range", "AT accepted "}));
    const Change& at = rows[0].code == QStringLiteral("AT") ? rows[0] : rows[1];
    EXPECT_EQ(at.oldValue.left(1) + at.newValue.left(1), QStringLiteral("57"));

    // A calibration point: its coarse and fine steps, each with its old step.
    top().windows().clSettings->hide();
    top().windows().clCalibration->show();
    get<QSpinBox>("updCoarse20")->setValue(3);
    click("pbSet20");
    ASSERT_TRUE(runUntil([this] { return idle(); }));
    rows = views->journal().changes();
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(rows[1].code + " " + rows[1].caption + " " + rows[1].oldValue + ">" + rows[1].newValue + " "
                  + outcomeText(rows[1].outcome),
              QStringLiteral("CD,160 Calibration 20 mA coarse 128>3 accepted"));
    EXPECT_EQ(rows[0].code + " " + rows[0].oldValue + ">" + rows[0].newValue, QStringLiteral("CD,161 128>128"));

    // Saving in the unit is a row of its own, on the unit's OK.
    top().windows().clCalibration->hide();
    click("pbSaveSettings");
    ASSERT_TRUE(runUntil([this] { return idle(); }));
    rows = views->journal().changes();
    EXPECT_EQ(rows[0].code + " " + outcomeText(rows[0].outcome), QStringLiteral("SU accepted"));
}

TEST_F(JournalTest, CliHistoryAndReport)
{
    const QProcessEnvironment env =
        cliEnvironment(dir.filePath(QStringLiteral("state")), dir.filePath(QStringLiteral("config")));
    SimProcess sim;
    ASSERT_TRUE(sim.start({QStringLiteral("--reply-delay"), QStringLiteral("0")}));
    const QString port = QString::fromStdString(sim.devicePath());
    const QString pdf = dir.filePath(QStringLiteral("unit.pdf"));

    // The unit's change of today: dxu-cli apply journals what it writes.
    const QString file = offsetSetup(port, QStringLiteral("0.125 m"), dir.path(), env);
    ASSERT_FALSE(file.isEmpty());
    const ProcessRun apply = run(QStringLiteral(DXU_CLI_PATH), {"apply", file, "--port", port}, env);
    ASSERT_EQ(apply.status, 0) << apply.err.toStdString();
    ProcessRun report = run(QStringLiteral(DXU_CLI_PATH),
                     {"report", "--port", port, "--output", pdf, "--technician", "J. Tech", "--site", "Pump 7"}, env);
    ASSERT_EQ(report.status, 0) << report.err.toStdString();
    QString text = pdfText(pdf).simplified();
    for (const char* expected : {"J. Tech", "Pump 7", "BASIC SETUP", "Measurement Mode", "CURRENT LOOP", "0.000 m 0.125 m accepted"})
        EXPECT_TRUE(text.contains(QLatin1String(expected))) << expected << "\n" << text.toStdString();
    // Technician and site are remembered.
    report = run(QStringLiteral(DXU_CLI_PATH), {"report", "--port", port, "--output", pdf}, env);
    ASSERT_EQ(report.status, 0) << report.err.toStdString();
    EXPECT_TRUE(pdfText(pdf).contains(QStringLiteral("Pump 7")));

    const ProcessRun csv = run(QStringLiteral(DXU_CLI_PATH), {"history", "--format", "csv", "--since", QDate::currentDate().toString(Qt::ISODate)}, env);
    ASSERT_EQ(csv.status, 0) << csv.err.toStdString();
    EXPECT_EQ(csv.out.count('\n'), 3); // the heading, the offset and the save
    EXPECT_TRUE(csv.out.contains(QStringLiteral(",SU,Save Settings,,,accepted,"))) << csv.out.toStdString();
    EXPECT_TRUE(csv.out.contains(QStringLiteral("Offset Distance,0.000 m,0.125 m,accepted"))) << csv.out.toStdString();
    for (const QStringList& bad : {QStringList{"history", "--address", "ab"}, QStringList{"history", "--since", "yesterday"},
                                   QStringList{"report", "--port", port}})
        EXPECT_EQ(run(QStringLiteral(DXU_CLI_PATH), bad, env).status, 2) << bad.join(' ').toStdString();
}

// A journal as an earlier version left it: without the link's device and,
// withLink false, without the link too; one row of unit a per link.
void oldJournal(const QString& file, bool withLink, const QStringList& links)
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
        db.setDatabaseName(file);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("CREATE TABLE changes (id INTEGER PRIMARY KEY, time TEXT NOT NULL, user TEXT "
                                          "NOT NULL, host TEXT NOT NULL, %1 address TEXT NOT NULL, version TEXT NOT "
                                          "NULL, code TEXT NOT NULL, caption TEXT NOT NULL, old_value TEXT NOT NULL, "
                                          "new_value TEXT NOT NULL, outcome TEXT NOT NULL, detail TEXT NOT NULL)")
                               .arg(withLink ? "link TEXT NOT NULL," : "")));
        ASSERT_TRUE(q.exec(QStringLiteral("CREATE INDEX changes_by_unit ON changes(address, version, time)")));
        for (const QString& link : links)
            ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO changes VALUES (NULL, '2026-01-02T03:04:05.000Z', 'ann', "
                                              "'pc', %1 'a', 'DXU v1.05', 'MM', 'Old row', '1', '2', 'accepted', '')")
                                   .arg(withLink ? "'" + link + "'," : QString())));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("old"));
}

// The journal's faults, through dxu-cli: none loses a change in silence or
// holds up the line, and none stops the history from being read.
TEST_F(JournalTest, FaultsLoseNoChangeInSilenceAndHoldUpNoLine)
{
    SimProcess sim;
    ASSERT_TRUE(sim.start({QStringLiteral("--reply-delay"), QStringLiteral("0")}));
    const QString port = QString::fromStdString(sim.devicePath());
    const QString cli = QStringLiteral(DXU_CLI_PATH);
    const QString config = dir.filePath(QStringLiteral("config"));
    const auto journalIn = [](const QString& state) { return state + QStringLiteral("/dxu-interface/journal.sqlite"); };
    const auto apply = [&](const QString& state, const char* offset) {
        return QStringList{"apply", offsetSetup(port, QLatin1String(offset), dir.path(), cliEnvironment(state, config)),
                           "--port", port};
    };
    QSqlDatabase holder; // the other program's connection

    struct Run {
        QString state;               // the run's XDG_STATE_HOME
        QStringList command;         // dxu-cli and its arguments
        std::function<void(QProcess&)> during = {};
    };
    struct Fault {
        const char* name;
        std::function<Run(const QString& state)> make;
        int status;
        const char* says;
        std::function<void(const QString& state, const ProcessRun& r)> check;
    };
    const Fault faults[] = {
        {"another program holds the journal while apply writes",
         [&](const QString& state) {
             Journal(journalIn(state)).recordChange(Change{});
             holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
             holder.setDatabaseName(journalIn(state));
             EXPECT_TRUE(holder.open() && QSqlQuery(holder).exec(QStringLiteral("BEGIN IMMEDIATE")));
             return Run{state, QStringList{cli} + apply(state, "0.125 m"), [&](QProcess& p) {
                            // The unit is done while the journal is held (no
                            // write holds up the line), and apply waits for
                            // its rows; let go, they are written.
                            p.setReadChannel(QProcess::StandardError);
                            while (!p.peek(1 << 16).contains("waiting up to 30 s for the change journal")
                                   && p.waitForReadyRead(10000)) {
                            }
                            p.setReadChannel(QProcess::StandardOutput);
                            EXPECT_TRUE(p.peek(1 << 16).contains("unit: ok (1 setting changed, saved)"));
                            QSqlQuery(holder).exec(QStringLiteral("COMMIT"));
                        }};
         },
         0, "waiting up to 30 s for the change journal",
         [&](const QString& state, const ProcessRun&) {
             std::vector<Change> rows = Journal(journalIn(state)).changes();
             std::sort(rows.begin(), rows.end(), [](const Change& a, const Change& b) { return a.id < b.id; });
             QStringList written;
             for (const Change& c : rows)
                 written << c.code + QLatin1Char(' ') + c.newValue;
             EXPECT_EQ(written, QStringList({" ", "OF 0.125 m", "SU "}));
         }},
        {"the journal's folder cannot be made",
         [&](const QString& state) {
             QFile blocker(state);
             EXPECT_TRUE(blocker.open(QIODevice::WriteOnly));
             return Run{state, QStringList{cli} + apply(state, "0.250 m")};
         },
         1, "not recorded:\n  Offset Distance 0.125 m -> 0.250 m (accepted), the unit on " , {}},
        {"a read-only folder",
         [&](const QString& state) {
             Change c;
             c.caption = QStringLiteral("Kept row");
             Journal(journalIn(state)).recordChange(c);
             QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
             QFile::setPermissions(QFileInfo(journalIn(state)).absolutePath(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
             // Permissions do not stop root: the history is read as nobody.
             const QStringList asNobody{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
             return Run{state, (geteuid() == 0 ? asNobody : QStringList{}) + QStringList{cli, "history"}};
         },
         0, "Kept row",
         [&](const QString& state, const ProcessRun&) {
             QFile::setPermissions(QFileInfo(journalIn(state)).absolutePath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
         }},
        {"no SQLite driver",
         [&](const QString& state) {
             const QString copy = dir.filePath(QStringLiteral("bare/dxu-cli"));
             QDir().mkpath(dir.filePath(QStringLiteral("bare/plugins")));
             QFile::copy(cli, copy);
             QFile conf(dir.filePath(QStringLiteral("bare/qt.conf")));
             EXPECT_TRUE(conf.open(QIODevice::WriteOnly) && conf.write("[Paths]\nPlugins=plugins\n") > 0);
             return Run{state, {copy, "history"}};
         },
         1, "the Qt SQLite driver (QSQLITE) is not installed", {}},
        {"a journal without the link",
         [&](const QString& state) {
             oldJournal(journalIn(state), false, {QString()});
             return Run{state, {cli, "history", "--format", "csv"}};
         },
         0, ",a,DXU v1.05,MM,Old row,1,2,accepted,",
         [&](const QString& state, const ProcessRun&) {
             // Its rows have an unknown link: they never stand for a link's unit.
             Journal journal(journalIn(state));
             Change c;
             c.link = port;
             c.address = QStringLiteral("a");
             EXPECT_TRUE(journal.recordChange(c)) << journal.lastError().toStdString();
             JournalFilter unitA;
             unitA.address = QStringLiteral("a");
             EXPECT_EQ(journal.changes(unitA).size(), 2u);
             unitA.link = port;
             EXPECT_EQ(journal.changes(unitA).size(), 1u);
             unitA.link = QString();
             EXPECT_EQ(journal.changes(unitA).size(), 1u);
         }},
        {"a journal from before the link's device",
         [&](const QString& state) {
             oldJournal(journalIn(state), true, {"COM 1 (/dev/ttyS0)", "/dev/ttyS1"});
             return Run{state, {cli, "history", "--port", "/dev/ttyS0", "--format", "csv"}};
         },
         0, ",COM 1 (/dev/ttyS0),a,DXU v1.05,MM,Old row,",
         [&](const QString& state, const ProcessRun& r) {
             EXPECT_EQ(r.out.count('\n'), 2) << r.out.toStdString();
             // Brought up to date by the next write: the device still chooses.
             Journal journal(journalIn(state));
             Change c;
             c.link = QStringLiteral("COM 4 (/dev/ttyS0)");
             EXPECT_TRUE(journal.recordChange(c)) << journal.lastError().toStdString();
             JournalFilter ttyS0;
             ttyS0.link = QStringLiteral("/dev/ttyS0");
             EXPECT_EQ(journal.changes(ttyS0).size(), 2u);
             EXPECT_EQ(journal.units().size(), 3u);
         }},
    };
    int n = 0;
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.name);
        const QString state = dir.filePath(QStringLiteral("state%1").arg(++n));
        const Run r = f.make(state);
        QProcessEnvironment env = cliEnvironment(state, config);
        env.insert(QStringLiteral("HOME"), dir.path());
        env.remove(QStringLiteral("QT_PLUGIN_PATH"));
        const ProcessRun done = run(r.command.front(), r.command.mid(1), env, r.during);
        EXPECT_EQ(done.status, f.status) << done.err.toStdString();
        EXPECT_TRUE((done.out + done.err).contains(QLatin1String(f.says))) << (done.out + done.err).toStdString();
        if (f.check)
            f.check(state, done);
    }
    holder.close();
    holder = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
}

} // namespace
} // namespace dxu::test
