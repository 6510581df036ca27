// dxu-cli against the simulator: the tool run as a user runs it, its results
// read from its output, its exit status and the simulated units.
#include "e2e/simprocess.h"
#include "settings/setupfile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <functional>
#include <map>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

#ifndef DXU_CLI_PATH
#define DXU_CLI_PATH "dxu-cli"
#endif

namespace dxu::test {
namespace {

struct CliRun {
    int status = -1;
    QStringList out;  // lines of standard output
    QStringList err;  // lines of standard error
};

class CliTest : public ::testing::Test {
protected:
    // Starts a simulator; its device path.
    QString startSim(const QStringList& options = {})
    {
        sims.push_back(std::make_unique<SimProcess>());
        EXPECT_TRUE(sims.back()->start(QStringList{QStringLiteral("--reply-delay"), QStringLiteral("0")} + options));
        return QString::fromStdString(sims.back()->devicePath());
    }

    CliRun cli(const QStringList& args)
    {
        QProcess p;
        p.start(QStringLiteral(DXU_CLI_PATH), args);
        CliRun r;
        if (!p.waitForFinished(90000)) {
            p.kill();
            p.waitForFinished();
            ADD_FAILURE() << "dxu-cli did not end: " << args.join(' ').toStdString();
            return r;
        }
        r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromLocal8Bit(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        r.err = QString::fromLocal8Bit(p.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
        return r;
    }

    QByteArray fileBytes(const QString& name)
    {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // A setup file read from a unit whose settings differ from the
    // simulator's defaults (Last Target mode).
    QString otherSetup()
    {
        const QString port = startSim({QStringLiteral("--mode"), QStringLiteral("4")});
        const QString path = dir.filePath(QStringLiteral("other.dxu"));
        EXPECT_EQ(cli({"read", "--port", port, "--output", path}).status, 0);
        return path;
    }

    QTemporaryDir dir;
    std::vector<std::unique_ptr<SimProcess>> sims;
};

TEST_F(CliTest, ReadThenApplyToAnotherUnitGivesTheSameImage)
{
    const QString file = otherSetup();
    const QString port = startSim();
    const CliRun apply = cli({"apply", file, "--port", port});
    EXPECT_EQ(apply.status, 0) << apply.err.join('\n').toStdString();
    ASSERT_EQ(apply.out.size(), 1);
    EXPECT_TRUE(apply.out[0].startsWith("unit: ok (")) << apply.out[0].toStdString();
    EXPECT_TRUE(apply.out[0].endsWith(", saved)")) << apply.out[0].toStdString();

    ASSERT_EQ(cli({"read", "--port", port, "--output", dir.filePath("back.dxu")}).status, 0);
    EXPECT_EQ(fileBytes("back.dxu").size(), 556);
    EXPECT_EQ(fileBytes("back.dxu"), fileBytes("other.dxu"));
}

// The simulator keeps what SU saves in its state file: "unit <k>" and then
// the unit's settings, one "CODE value" a line.
std::map<int, int> savedModes(const QString& stateFile)
{
    std::map<int, int> modes;
    QFile f(stateFile);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return modes;
    int unit = -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> w = line.simplified().split(' ');
        if (w.size() == 2 && w[0] == "unit")
            unit = w[1].toInt();
        else if (w.size() == 2 && w[0] == "MM")
            modes[unit] = w[1].toInt();
    }
    return modes;
}

TEST_F(CliTest, ApplyToALineWithASilentUnitSavesTheOthersAndFails)
{
    const QString file = otherSetup();
    const QString state = dir.filePath(QStringLiteral("line.state"));
    const QString port = startSim({"--units", "a,b,c", "--silent", "b", "--state", state});
    const CliRun r = cli({"apply", file, "--port", port, "--address", "a,b,c"});
    EXPECT_EQ(r.status, 3);
    ASSERT_EQ(r.out.size(), 3) << r.out.join('\n').toStdString();
    EXPECT_TRUE(r.out[0].startsWith("a: ok")) << r.out[0].toStdString();
    EXPECT_TRUE(r.out[1].startsWith("b: FAILED: did not answer on " + port + " at 115200 bit/s"))
        << r.out[1].toStdString();
    EXPECT_TRUE(r.out[2].startsWith("c: ok")) << r.out[2].toStdString();

    const std::map<int, int> modes = savedModes(state);
    EXPECT_EQ(modes.at(0), 4);
    EXPECT_NE(modes.at(1), 4);
    EXPECT_EQ(modes.at(2), 4);
}

// A line backed up (a silent unit is said and left out), its units changed,
// then restored: they hold what was backed up, and what they saved is it.
TEST_F(CliTest, BackupThenRestoreOntoChangedUnitsGivesTheBackedUpImages)
{
    const QString file = otherSetup();
    const QString state = dir.filePath(QStringLiteral("line.state"));
    const QString port = startSim({"--units", "a,b,A", "--silent", "b", "--state", state});
    const QString folder = dir.filePath(QStringLiteral("line"));
    const CliRun backup = cli({"backup", "--port", port, "--address", "a,b,A", "--dir", folder});
    EXPECT_EQ(backup.status, 3);
    EXPECT_EQ(backup.out, QStringList({"a: ok (a.dxu)", "b: FAILED: did not answer on " + port + " at 115200 bit/s",
                                       "A: ok (A-upper.dxu)"}));
    QFile manifest(folder + QStringLiteral("/manifest.csv"));
    ASSERT_TRUE(manifest.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(manifest.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 3) << rows.join('\n').toStdString();
    EXPECT_EQ(rows[0], "address,version,file,time");
    EXPECT_TRUE(rows[1].startsWith("a,DXU v1.0.5 build 7,a.dxu,20")) << rows[1].toStdString();
    EXPECT_TRUE(rows[2].startsWith("A,DXU v1.0.5 build 7,A-upper.dxu,20")) << rows[2].toStdString();
    EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/b.dxu")));
    // Backed up again without A: A keeps its place in the manifest.
    ASSERT_EQ(cli({"backup", "--port", port, "--address", "a,b", "--dir", folder}).status, 3);
    manifest.close();
    ASSERT_TRUE(manifest.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(manifest.readAll()).split('\n', Qt::SkipEmptyParts).size(), 3);

    ASSERT_EQ(cli({"apply", file, "--port", port, "--address", "a,A"}).status, 0);
    const CliRun restore = cli({"restore", "--dir", folder, "--port", port});
    EXPECT_EQ(restore.status, 0) << restore.err.join('\n').toStdString();
    ASSERT_EQ(restore.out.size(), 2);
    EXPECT_TRUE(restore.out[0].startsWith("a: ok (") && restore.out[0].endsWith(" changed, saved)"))
        << restore.out[0].toStdString();
    EXPECT_TRUE(restore.out[1].startsWith("A: ok (")) << restore.out[1].toStdString();
    EXPECT_NE(savedModes(state).at(0), 4);

    const QString again = dir.filePath(QStringLiteral("again"));
    ASSERT_EQ(cli({"backup", "--port", port, "--address", "a,A", "--dir", again}).status, 0);
    for (const char* name : {"/a.dxu", "/A-upper.dxu"}) {
        QFile before(folder + QLatin1String(name)), after(again + QLatin1String(name));
        ASSERT_TRUE(before.open(QIODevice::ReadOnly) && after.open(QIODevice::ReadOnly)) << name;
        EXPECT_EQ(before.readAll(), after.readAll()) << name;
    }
}

// Faults of the line tools: each says what it did, and only that. Backup
// writes only inside its folder and lists in its manifest exactly the units
// whose own files are there; apply and restore leave a unit in the file's
// mode and units, or as it was.
TEST_F(CliTest, LineToolsSayOnlyWhatHappened)
{
    const auto writeFile = [&](const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    };
    // A unit of a simulator that starts with these saved settings; its port.
    const auto unitWith = [&](const QByteArray& settings, const QStringList& more = {}) {
        const QString state = writeFile(QStringLiteral("given%1.state").arg(sims.size()), "unit 0\n" + settings);
        return startSim(QStringList{"--state", state} + more);
    };
    const auto holds = [&](const QString& port, const QStringList& address) {
        const QString path = dir.filePath(QStringLiteral("held.dxu"));
        EXPECT_EQ(cli(QStringList{"read", "--port", port, "--output", path} + address).status, 0);
        return readSetupFile(path).record;
    };
    const auto manifestLines = [&](const QString& folder) {
        QFile f(folder + QStringLiteral("/manifest.csv"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts) : QStringList();
    };
    const struct {
        const char* fault;
        QStringList sim;
        // Prepares the case on the simulator's port; the arguments of the run.
        std::function<QStringList(const QString& port)> prepare;
        int status;
        QStringList out; // a line ending in '*' is matched as a prefix
        std::function<void(const QString& port, const CliRun& r)> check;
    } cases[] = {
        // A full disk: files that cannot be written, the manifest neither.
        {"full folder", {"--units", "a,b,c,d"},
         [&](const QString&) {
             for (const char* taken : {"full/c.dxu", "full/d.dxu", "full/manifest.csv"})
                 QDir().mkpath(dir.filePath(taken));
             return QStringList{"backup", "--address", "a,b,c,d", "--dir", dir.filePath("full"), "--format", "csv"};
         },
         1,
         {"unit,a,ok,a: ok (a.dxu)", "unit,b,ok,b: ok (b.dxu)", "unit,c,failed,*", "unit,d,failed,*",
          "manifest,,failed,*"},
         [&](const QString&, const CliRun& r) {
             EXPECT_TRUE(r.out.value(4).endsWith("The folder is not a usable backup.\"")) << r.out.value(4).toStdString();
         }},
        {"links out of the folder", {"--units", "a"},
         [&](const QString&) {
             QDir().mkpath(dir.filePath("outside"));
             QDir().mkpath(dir.filePath("linked"));
             writeFile("outside/victim.txt", "keep");
             QFile::link("../outside/victim.txt", dir.filePath("linked/a.dxu"));
             QFile::link("../outside/victim.txt", dir.filePath("linked/manifest.csv"));
             return QStringList{"backup", "--address", "a", "--dir", dir.filePath("linked")};
         },
         0, {"a: ok (a.dxu)"},
         [&](const QString&, const CliRun&) {
             EXPECT_EQ(fileBytes("outside/victim.txt"), "keep");
             for (const char* name : {"linked/a.dxu", "linked/manifest.csv"}) {
                 EXPECT_FALSE(QFileInfo(dir.filePath(name)).isSymLink()) << name;
             }
             EXPECT_EQ(fileBytes("linked/a.dxu").size(), 556);
         }},
        // An earlier manifest with a bad line and rows that name files not
        // of their units: the units whose own files are there stay listed.
        {"earlier manifest", {"--units", "a,b,c"},
         [&](const QString& port) {
             const QString folder = dir.filePath("earlier");
             EXPECT_EQ(cli({"backup", "--port", port, "--address", "b,c", "--dir", folder}).status, 0);
             writeFile("earlier/manifest.csv", "address,version,file,time\nb,old,b.dxu,2020-01-01T00:00:00Z\n"
                                               "not a row\nc,old,manifest.csv,2020-01-01T00:00:00Z\n"
                                               "d,old,b.dxu,2020-01-01T00:00:00Z\n");
             return QStringList{"backup", "--address", "a", "--dir", folder};
         },
         0, {"a: ok (a.dxu)"},
         [&](const QString&, const CliRun&) {
             const QStringList rows = manifestLines(dir.filePath("earlier"));
             ASSERT_EQ(rows.size(), 4) << rows.join('\n').toStdString();
             EXPECT_TRUE(rows[1].startsWith("a,DXU v1.0.5 build 7,a.dxu,")) << rows[1].toStdString();
             EXPECT_EQ(rows[2], "b,old,b.dxu,2020-01-01T00:00:00Z");
             EXPECT_TRUE(rows[3].startsWith("c,,c.dxu,20")) << rows[3].toStdString();
         }},
        // Backed up in Binning with rates of its own, restored onto a unit
        // in Averaging: every mode's rate and pulses, ending in Binning.
        {"another mode", {"--units", "a"},
         [&](const QString&) {
             const QString from = unitWith("MM 2\nPF 1000 200 1000\nPO 100 20\n", {"--units", "a"});
             EXPECT_EQ(cli({"backup", "--port", from, "--address", "a", "--dir", dir.filePath("binning")}).status, 0);
             return QStringList{"restore", "--dir", dir.filePath("binning")};
         },
         0, {"a: ok (5 settings changed, saved)"},
         [&](const QString& port, const CliRun&) {
             const UnitRecord unit = holds(port, {"--address", "a"});
             EXPECT_EQ(unit.measureMode, 2);
             EXPECT_EQ(unit.prfAveraging, 1000);
             EXPECT_EQ(unit.pulsesAveraging, 100);
             EXPECT_EQ(unit.prfBinning, 200);
             EXPECT_EQ(unit.pulsesBinning, 20);
         }},
        // A file in feet onto a unit in metres: 0.5 ft is no 0.5 m.
        {"other units", {},
         [&](const QString&) {
             const QString from = unitWith("MU 0\nSG 0.1524\n");
             EXPECT_EQ(cli({"read", "--port", from, "--output", dir.filePath("feet.dxu")}).status, 0);
             return QStringList{"apply", dir.filePath("feet.dxu")};
         },
         0, {"unit: ok (2 settings changed, saved)"},
         [&](const QString& port, const CliRun&) {
             const UnitRecord unit = holds(port, {});
             EXPECT_EQ(unit.units, 0);
             EXPECT_NEAR(unit.shortGate, 0.5, 0.006);
             EXPECT_NEAR(unit.longGate, 328.08, 0.006);
         }},
        // A write refused after another was taken: the unit is as it was.
        {"refused half way", {"--refuse", "OF"},
         [&](const QString& port) {
             const QString base = dir.filePath("base.dxu");
             EXPECT_EQ(cli({"read", "--port", port, "--output", base}).status, 0);
             SetupImage image = readSetupFile(base);
             image.record.shortGate = 1.25f;
             image.record.offsetDistance = 0.75f;
             EXPECT_TRUE(writeSetupFile(dir.filePath("half.dxu"), image.record).isEmpty());
             return QStringList{"apply", dir.filePath("half.dxu")};
         },
         4, {"unit: FAILED: refused during the upload: *"},
         [&](const QString& port, const CliRun& r) {
             EXPECT_TRUE(r.out.value(0).endsWith(" bit/s; its earlier settings were put back")) << r.out.value(0).toStdString();
             EXPECT_EQ(cli({"diff", dir.filePath("base.dxu"), "--port", port}).status, 0);
         }},
        {"save refused", {"--refuse", "SU"},
         [&](const QString&) { return QStringList{"apply", otherSetup()}; },
         4, {"unit: FAILED: refused during the save: *"},
         [&](const QString& port, const CliRun& r) {
             EXPECT_TRUE(r.out.value(0).endsWith("; its earlier settings were put back")) << r.out.value(0).toStdString();
             EXPECT_EQ(holds(port, {}).measureMode, 1);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        const QString port = startSim(c.sim);
        const CliRun r = cli(c.prepare(port) + QStringList{"--port", port});
        EXPECT_EQ(r.status, c.status) << r.err.join('\n').toStdString();
        EXPECT_EQ(r.out.size(), c.out.size()) << r.out.join('\n').toStdString();
        for (int i = 0; i < std::min(c.out.size(), r.out.size()); ++i) {
            const QString& want = c.out[i];
            EXPECT_TRUE(want.endsWith('*') ? r.out[i].startsWith(want.chopped(1)) : r.out[i] == want)
                << r.out[i].toStdString();
        }
        c.check(port, r);
    }
}

TEST_F(CliTest, ApplyOfAValueTheUnitRefusesFailsWithoutSaving)
{
    const QString port = startSim();
    const QString path = dir.filePath(QStringLiteral("range.dxu"));
    ASSERT_EQ(cli({"read", "--port", port, "--output", path}).status, 0);
    SetupImage image = readSetupFile(path);
    image.record.analogHigh = 3000; // the unit takes 0..2000
    ASSERT_TRUE(writeSetupFile(path, image.record).isEmpty());

    const CliRun r = cli({"apply", path, "--port", port});
    EXPECT_EQ(r.status, 4);
    ASSERT_EQ(r.out.size(), 1);
    EXPECT_TRUE(r.out[0].startsWith("unit: FAILED: refused during the upload: Invalid Current Loop Range on " + port))
        << r.out[0].toStdString();
    const std::vector<std::string> rx = sims.back()->received();
    EXPECT_EQ(std::count(rx.begin(), rx.end(), "$SU"), 0);
}

TEST_F(CliTest, MeasureCountPrintsThatManyResultsAndStopsTheUnit)
{
    const QString port = startSim();
    const CliRun r = cli({"measure", "--port", port, "--count", "100"});
    EXPECT_EQ(r.status, 0) << r.err.join('\n').toStdString();
    ASSERT_EQ(r.out.size(), 100);
    const QRegularExpression csv(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}\S*,\d+\.\d{3},[\d.]*,m$)"));
    for (const QString& line : r.out)
        ASSERT_TRUE(csv.match(line).hasMatch()) << line.toStdString();
    const std::vector<std::string> rx = sims.back()->received();
    const auto go = std::find(rx.begin(), rx.end(), "$GO");
    ASSERT_NE(go, rx.end());
    EXPECT_NE(std::find(go, rx.end(), "$ST"), rx.end());
}

// A signal stops the measuring unit; an open-ended run ends normally so, a
// count cut short ends with the shell's status for the signal.
TEST_F(CliTest, SignalsStopTheMeasuringUnitBeforeTheEnd)
{
    const struct {
        QStringList count;
        int signal, status;
    } cases[] = {
        {{}, SIGTERM, 0},
        {{"--count", "100000"}, SIGINT, 130},
        {{"--seconds", "1000"}, SIGTERM, 143},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        const QString port = startSim();
        QProcess p;
        p.start(QStringLiteral(DXU_CLI_PATH), QStringList{"measure", "--port", port} + c.count);
        ASSERT_TRUE(p.waitForReadyRead(20000));
        ::kill(static_cast<pid_t>(p.processId()), c.signal);
        ASSERT_TRUE(p.waitForFinished(20000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), c.status);
        if (c.status != 0) {
            EXPECT_TRUE(p.readAllStandardError().contains("interrupted after "));
        }
        const std::vector<std::string> rx = sims.back()->received();
        ASSERT_FALSE(rx.empty());
        const auto go = std::find(rx.begin(), rx.end(), "$GO");
        EXPECT_NE(std::find(go, rx.end(), "$ST"), rx.end());
    }
}

// Line faults of dxu-sim: the tool says ok only for what the unit did, and
// never waits without end.
TEST_F(CliTest, LineFaultsNeverPassForSuccess)
{
    const QString file = otherSetup();
    const struct {
        const char* fault;
        QStringList sim, args;
        int status;
        int lines;          // of standard output
        const char* first;  // the first line starts so
        int savedMode;      // the mode SU left in the unit; -1: nothing saved
        const char* says = ""; // standard error holds this
    } cases[] = {
        // The reply to the read-back before SU comes after its time-out.
        {"late", {"--late", "54,2500"}, {"apply", file}, 0, 1, "unit: ok (1 setting changed, saved)", 4},
        {"nothing to change", {"--mode", "4"}, {"apply", file}, 0, 1, "unit: ok (no change)", -1},
        // The OK to GO is lost; the results that follow answer nothing.
        {"drop", {"--drop", "53"}, {"measure", "--count", "20"}, 3, -1, "", -1},
        {"noise", {"--noise-bytes", "50"}, {"measure", "--count", "40"}, 0, 40, "", -1},
        {"wrong address", {"--units", "a,b,c", "--wrong-address", "3"}, {"scan"}, 0, 3, "a,115200,", -1},
        // Two units at c answer at once: their replies reach the tool garbled.
        {"two units at one address", {"--units", "a,c,c"}, {"scan"}, 1, 1, "a,115200,", -1,
         "address c: more than one unit answers?"},
        {"killed", {"--exit-after-bm", "5"}, {"measure", "--count", "20"}, 1, -1, "", -1},
        // Every second reply comes from another address: each setting read
        // is answered when asked again, but every result asked of a is not.
        {"a wrong address now and then", {"--units", "a,b", "--wrong-address", "2"},
         {"measure", "--address", "a,b", "--count", "2"}, 3, 2, "", -1, "a: a reply from another address on"},
        {"every reply from another address", {"--units", "a", "--wrong-address", "1"},
         {"read", "--address", "a"}, 3, 0, "", -1, "a: a reply from another address on"},
        {"56000 bit/s", {"--rate", "56000"}, {"read", "--rate", "56000"}, 0, -1, "", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        const QString state = dir.filePath(QStringLiteral("fault.state"));
        QFile::remove(state);
        const QString port = startSim(c.sim + QStringList{"--state", state});
        QElapsedTimer clock;
        clock.start();
        const CliRun r = cli(c.args + QStringList{"--port", port});
        EXPECT_LT(clock.elapsed(), 30000);
        EXPECT_EQ(r.status, c.status) << r.err.join('\n').toStdString();
        if (c.lines >= 0) {
            EXPECT_EQ(r.out.size(), c.lines);
        }
        if (*c.first) {
            ASSERT_FALSE(r.out.isEmpty());
            EXPECT_TRUE(r.out[0].startsWith(QLatin1String(c.first))) << r.out[0].toStdString();
        }
        if (c.status != 0) {
            ASSERT_FALSE(r.err.isEmpty());
            EXPECT_TRUE(r.err.back().contains(port)) << r.err.back().toStdString();
        }
        const std::map<int, int> modes = savedModes(state);
        EXPECT_EQ(modes.count(0) ? modes.at(0) : -1, c.savedMode);
        if (*c.says) {
            EXPECT_TRUE(r.err.join('\n').contains(QLatin1String(c.says))) << r.err.join('\n').toStdString();
        }
    }
}

// Several units of a line: each read, then asked for one result at a time in
// turn; a silent one is reported and the others go on.
TEST_F(CliTest, MeasureALineAsksEachUnitInTurn)
{
    const QString port = startSim({"--units", "a,b,c", "--silent", "b"});
    // The silent unit last: the others are asked over a connection made again.
    const CliRun r = cli({"measure", "--port", port, "--address", "a,c,b", "--count", "3"});
    EXPECT_EQ(r.status, 3);
    ASSERT_EQ(r.out.size(), 6) << r.out.join('\n').toStdString();
    const QRegularExpression csv(QStringLiteral(R"(^\d{4}-\d\d-\d\dT[\d:.]+\S*,([ac]),\d+\.\d{3},[\d.]*,m$)"));
    QString order;
    for (const QString& line : r.out) {
        const QRegularExpressionMatch m = csv.match(line);
        ASSERT_TRUE(m.hasMatch()) << line.toStdString();
        order += m.captured(1);
    }
    EXPECT_EQ(order, QStringLiteral("acacac"));
    ASSERT_FALSE(r.err.isEmpty());
    EXPECT_TRUE(r.err.join('\n').contains("b: did not answer on " + port)) << r.err.join('\n').toStdString();
    const std::vector<std::string> rx = sims.back()->received();
    EXPECT_EQ(std::count(rx.begin(), rx.end(), "#aBM"), 3);
    EXPECT_EQ(std::count(rx.begin(), rx.end(), "#cBM"), 3);
    EXPECT_EQ(std::count(rx.begin(), rx.end(), "#aGO"), 0); // nothing left measuring
}

// Output that cannot be written and a file that cannot be saved are failures.
TEST_F(CliTest, WhatCannotBeWrittenFails)
{
    const QString port = startSim();
    const QString kept = dir.filePath(QStringLiteral("kept.dxu"));
    ASSERT_EQ(cli({"read", "--port", port, "--output", kept}).status, 0);
    const QByteArray old = fileBytes(QStringLiteral("kept.dxu"));
    const struct {
        QStringList args;
        QString out;   // standard output goes here
        long sizeLimit; // of any file the tool writes; 0: none
        const char* says;
    } cases[] = {
        {{"read", "--format", "csv"}, QStringLiteral("/dev/full"), 0, "standard output"},
        {{"measure", "--count", "5"}, QStringLiteral("/dev/full"), 0, "standard output"},
        {{"read", "--output", "/dev/full"}, {}, 0, "not a regular file"},
        {{"read", "--output", kept}, {}, 100, "File too large"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        QProcess p;
        if (!c.out.isEmpty())
            p.setStandardOutputFile(c.out);
        const long limit = c.sizeLimit;
        p.setChildProcessModifier([limit] {
            if (limit > 0) {
                std::signal(SIGXFSZ, SIG_IGN);
                const struct rlimit small = {static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
                ::setrlimit(RLIMIT_FSIZE, &small);
            }
        });
        p.start(QStringLiteral(DXU_CLI_PATH), c.args + QStringList{"--port", port});
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 1);
        EXPECT_TRUE(p.readAllStandardError().contains(c.says));
    }
    EXPECT_EQ(fileBytes(QStringLiteral("kept.dxu")), old);
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("kept.dxu*")}, QDir::Files | QDir::Hidden).size(), 1);
}

// A setup kept as text in feet is the same as the unit's in metres; one
// setting changed in the text is the one difference, in the text's units.
TEST_F(CliTest, ShowImportAndDiffAcrossDistanceUnits)
{
    const QString port = startSim();
    const QString metres = dir.filePath("metres.dxu");
    ASSERT_EQ(cli({"read", "--port", port, "--output", metres}).status, 0);
    const CliRun shown = cli({"show", metres});
    ASSERT_EQ(shown.status, 0);
    QStringList text = shown.out;
    for (QString& line : text) {
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^(\\w+) = ([\\d.]+) m$")).match(line);
        if (m.hasMatch())
            line = QStringLiteral("%1 = %2 ft").arg(m.captured(1)).arg(m.captured(2).toDouble() / 0.3048, 0, 'f', 2);
    }
    text.replaceInStrings(QStringLiteral("units = meters"), QStringLiteral("units = feet"));
    text.replaceInStrings(QStringLiteral("distances in metres"), QStringLiteral("distances in feet"));
    const auto import = [&](const QStringList& lines, const QString& name) {
        QFile f(dir.filePath(name + ".txt"));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(lines.join('\n').toUtf8());
        f.close();
        const CliRun r = cli({"import", f.fileName(), "--output", dir.filePath(name + ".dxu")});
        EXPECT_EQ(r.status, 0) << r.err.join('\n').toStdString();
        return dir.filePath(name + ".dxu");
    };
    const QString feet = import(text, "feet");
    EXPECT_EQ(cli({"diff", metres, feet}).status, 0);
    EXPECT_EQ(cli({"diff", feet, "--port", port}).status, 0);
    EXPECT_EQ(cli({"show", feet}).out.join('\n').toStdString(), text.join('\n').toStdString());

    text.replaceInStrings(QRegularExpression(QStringLiteral("^long_gate = .*")), QStringLiteral("long_gate = 300.00 ft"));
    const CliRun changed = cli({"diff", import(text, "changed"), "--port", port});
    EXPECT_EQ(changed.status, 1);
    EXPECT_EQ(changed.out.join('\n').toStdString(),
              QStringList({"--- " + dir.filePath("changed.dxu"), "+++ unit on " + port + " at 115200 bit/s", "[basic_setup]",
                           "-long_gate = 300.00 ft", "+long_gate = 328.08 ft"})
                  .join('\n')
                  .toStdString());
    const CliRun reversed = cli({"diff", "--port", port, dir.filePath("changed.dxu")});
    EXPECT_EQ(reversed.status, 1);
    EXPECT_EQ(reversed.out.mid(2).join('\n').toStdString(), "[basic_setup]\n-long_gate = 100.000 m\n+long_gate = 91.440 m");
}

// A dry run reads the unit, says what apply would write, and sends the unit
// nothing but the queries of a read.
TEST_F(CliTest, ApplyDryRunWritesNothing)
{
    const QString file = otherSetup();
    const QString port = startSim();
    ASSERT_EQ(cli({"read", "--port", port}).status, 0);
    const std::vector<std::string> read = sims.back()->received();
    const QString dry = startSim();
    const CliRun r = cli({"apply", file, "--port", dry, "--dry-run"});
    EXPECT_EQ(r.status, 0) << r.err.join('\n').toStdString();
    EXPECT_EQ(r.out.join('\n').toStdString(),
              "unit: would write 1 setting, then save them (SU):\n  measurement_mode = last_target  (now averaging)");
    EXPECT_EQ(sims.back()->received(), read);
}

// Without a command the tool lists its commands as --help does, and ends
// as for any bad arguments: nothing was done.
TEST_F(CliTest, WithoutACommandListsEveryCommand)
{
    const CliRun help = cli({"--help"});
    ASSERT_EQ(help.status, 0);
    ASSERT_TRUE(help.out.contains("Commands:"));
    for (const QStringList& args : {QStringList{}, QStringList{"--port", "COM 1"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const CliRun r = cli(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, help.out);
        ASSERT_EQ(r.err.size(), 1);
        EXPECT_EQ(r.err[0], "dxu-cli: no command given");
    }
}

TEST_F(CliTest, BadInputGivesItsStatusAndOneLine)
{
    QFile broken(dir.filePath("broken.dxu"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray(300, 'x'));
    broken.close();
    const QString port = startSim();
    const QString fifo = dir.filePath("fifo.dxu");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString hostile = dir.filePath("display.dxu");
    ASSERT_EQ(cli({"read", "--port", port, "--output", hostile}).status, 0);
    SetupImage image = readSetupFile(hostile);
    image.record.displayMode = INT32_MIN; // 0x80000000 at offset 476
    ASSERT_TRUE(writeSetupFile(hostile, image.record).isEmpty());

    const struct {
        QStringList args;
        int status;
        const char* says;
    } cases[] = {
        {{"apply", broken.fileName(), "--port", port}, 2, "broken.dxu"},
        {{"apply", dir.filePath("none.dxu"), "--port", port}, 2, "none.dxu"},
        {{"apply", fifo, "--port", port}, 2, "not a regular file"},
        {{"apply", hostile, "--port", port}, 2, "Display of -2147483648"},
        {{"read", "--port", dir.filePath("no-such-tty")}, 5, "no-such-tty"},
        {{"read", "--port", port, "--rate", "12345"}, 2, "12345"},
        {{"scan", "--port", port, "--answer-within", "0"}, 2, "bad answer time '0'"},
        {{"read", "--port", port, "--rs485", "half"}, 2, "bad RS-485 mode 'half'"},
        {{"read", "--port", "rfc2217://127.0.0.1"}, 5, "rfc2217://127.0.0.1 is no network address"},
        {{"read", "--port", "tcp://127.0.0.1:1"}, 5, "tcp://127.0.0.1:1 cannot be reached: connection refused"},
        {{"show", hostile}, 2, "Display of -2147483648"},
        {{"import", broken.fileName(), "--output", dir.filePath("x.dxu")}, 2, "broken.dxu:1: expected 'name = value unit'"},
        {{"diff", hostile}, 2, "diff compares two setups; 1 given"},
        {{"diff", "--port", dir.filePath("no-such-tty"), "--address", "a,b"}, 2, "no-such-tty"},
        {{"backup", "--port", port, "--dir", dir.path()}, 2, "--address"},
        {{"restore", "--port", port, "--dir", dir.path()}, 2, "manifest.csv\" does not exist"},
        {{"serve", "--port", port}, 2, "serve needs --modbus tcp://HOST:PORT or --publish"},
        {{"serve", "--port", port, "--modbus", "127.0.0.1:502"}, 2, "'127.0.0.1:502' is not tcp://HOST:PORT"},
        {{"serve", "--port", port, "--modbus", "tcp://192.0.2.1:5020"}, 1, "cannot listen on tcp://192.0.2.1:5020"},
    };
    for (const auto& c : cases) {
        const CliRun r = cli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.join(' ').toStdString();
        ASSERT_EQ(r.err.size(), 1) << r.err.join('\n').toStdString();
        EXPECT_TRUE(r.err[0].contains(QLatin1String(c.says))) << r.err[0].toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
}

} // namespace
} // namespace dxu::test
