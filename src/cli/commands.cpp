#include "cli/commands.h"

#include "cli/interrupt.h"
#include "cli/journalcommands.h"
#include "cli/linecommands.h"
#include "cli/progress.h"
#include "cli/servecommand.h"
#include "cli/setupcommands.h"
#include "cli/unitline.h"

#include "network/networkconfig.h"
#include "publish/publisher.h"
#include "ports/portsettings.h"
#include "services/csv.h"
#include "settings/setupfile.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <algorithm>
#include <cerrno>
#include <numeric>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace dxu::cli {
namespace {

// Measuring stops when no result has come for this long.
constexpr int ResultSilenceMs = 5000;

// What went wrong writing standard output (a full disk, a closed pipe);
// empty while all went out.
QString g_outputError;

// The units of the command: the addresses given, or the RS-232 unit.
std::vector<char> unitsOf(const Options& o) { return o.addresses.empty() ? std::vector<char>{0} : o.addresses; }

// The settings report as aligned text: "Setting        value unit".
QString reportText(const QString& csv)
{
    QString out;
    const QStringList lines = csv.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList f = csvLineFields(lines[i]);
        out += QStringLiteral("%1 %2").arg(f.value(0), -32).arg(f.value(1));
        if (!f.value(2).isEmpty())
            out += QLatin1Char(' ') + f.value(2);
        out += QLatin1Char('\n');
    }
    return out;
}

QString outputPath(const Options& o, char address)
{
    QString path = o.output;
    return path.replace(QLatin1String("%a"), QString(QLatin1Char(address ? address : 'a')));
}

} // namespace

// Prints to standard output at once; false when it cannot be written, and
// from then on: the results are lost, so the command fails.
bool printOut(const QString& text)
{
    if (!g_outputError.isEmpty())
        return false;
    const QByteArray bytes = text.toLocal8Bit();
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout) != static_cast<size_t>(bytes.size())
        || std::fflush(stdout) != 0) {
        const int error = errno != 0 ? errno : EIO;
        g_outputError = QStringLiteral("cannot write to standard output: %1").arg(QString::fromLocal8Bit(std::strerror(error)));
        return false;
    }
    return true;
}

bool outputFailed() { return !g_outputError.isEmpty(); }

void printError(const QString& text) { std::fprintf(stderr, "dxu-cli: %s\n", qPrintable(text)); }

// The status of a command whose work is done: a failure when its results
// could not be written.
int finished(int status)
{
    if (!outputFailed())
        return status;
    printError(g_outputError);
    return status == ExitOk ? ExitFailed : status;
}

// Connects to a unit with the read progress shown.
Outcome connectShown(UnitLine& line, Progress& progress, char address)
{
    progress.step(QStringLiteral("%1: connecting").arg(unitName(address)));
    line.onProgress = [&](const QString& text, int value, int maximum) {
        if (maximum > 0)
            progress.detail(text, value, maximum);
    };
    const Outcome o = line.connectUnit(address);
    line.onProgress = nullptr;
    return o;
}

int openPublisher(publish::Publisher& publisher)
{
    publisher.onNotice = printError;
    publisher.onFatal = interruptNow;
    if (publisher.open())
        return ExitOk;
    printError(publisher.failure());
    return publisher.loginRefused() ? ExitBrokerRefused : ExitFailed;
}

namespace {

// measure --publish: the unit's last state to the broker, then what is held;
// the outcome of the run with that of the publishing.
Outcome endPublishing(publish::Publisher& publisher, const QString& name, Outcome result)
{
    publisher.setStatus(name, result.status == ExitNoAnswer ? publish::UnitState::NotAnswering : publish::UnitState::Idle,
                        result.ok() ? QString() : result.message);
    if (!publisher.close() && (result.ok() || publisher.loginRefused()))
        result = {publisher.loginRefused() ? ExitBrokerRefused : ExitFailed, publisher.failure()};
    return result;
}

} // namespace

ResultFields resultFields(const UnitRecord& u)
{
    ResultFields r;
    if (u.displayMode != 3)
        r.distance = QString::number(double(u.lastDistance), 'f', u.units ? 3 : 2);
    if (u.displayMode != 1)
        r.intensity = QString::number(double(u.lastIntensity), 'f', 1);
    r.unit = QLatin1String(u.units ? "m" : "ft");
    const QDateTime now = QDateTime::currentDateTime();
    r.time = now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs);
    r.utc = now.toUTC();
    return r;
}

bool measurableMode(const UnitRecord& u) { return u.measureMode == 1 || u.measureMode == 4; }
QString unmeasurableText() { return QStringLiteral("the unit is not in Averaging or Last Target mode"); }

namespace {

// A unit of the line stops being asked after this many questions in a row
// without a result.
constexpr int MissesBeforeLeftOut = 3;

// measure with several addresses: each unit of the line is read, then asked
// for one result at a time, in turn, as network units are asked.
int runMeasureLine(const Options& o)
{
    publish::Publisher publisher(o.publish);
    if (const int status = openPublisher(publisher); status != ExitOk)
        return status;
    const bool bounded = o.count >= 0 || o.seconds > 0;
    UnitLine line(o.comNumber, o.rate, true, o.devicePath);
    Progress progress;
    Tally tally;
    struct Member {
        char address;
        UnitRecord record;
        long printed = 0;
        int misses = 0;
        bool leftOut = false;
    };
    std::vector<Member> members;
    const auto fail = [&](char address, const Outcome& result) {
        printError(QStringLiteral("%1: %2").arg(unitName(address), line.withWhere(result.message)));
        publisher.setStatus(unitName(address),
                            result.status == ExitNoAnswer ? publish::UnitState::NotAnswering : publish::UnitState::Idle,
                            result.message);
        tally.add(result);
    };
    bool lastConnected = false;
    for (char address : o.addresses) {
        Outcome result = connectShown(line, progress, address);
        progress.clear();
        lastConnected = result.ok();
        if (result.ok() && !measurableMode(line.unit()))
            result = {ExitFailed, unmeasurableText()};
        if (interrupted())
            break;
        if (!result.ok()) {
            fail(address, result);
            continue;
        }
        members.push_back({address, line.unit()});
        publisher.setStatus(unitName(address), publish::UnitState::Measuring); // --publish
    }
    Outcome lineResult;
    // The line is asked over the connection of the last unit read; after a
    // unit that failed, one that answered is connected again.
    if (!members.empty() && !lastConnected && !interrupted()) {
        lineResult = connectShown(line, progress, members.back().address);
        progress.clear();
        if (lineResult.ok())
            members.back().record = line.unit();
    }

    QElapsedTimer clock;
    clock.start();
    const auto timeUp = [&] { return o.seconds > 0 && clock.elapsed() >= o.seconds * 1000; };
    const auto allDone = [&] {
        return std::all_of(members.begin(), members.end(),
                           [&](const Member& m) { return m.leftOut || (o.count >= 0 && m.printed >= o.count); });
    };
    while (!members.empty() && !allDone() && !timeUp() && !interrupted() && !outputFailed() && lineResult.ok()) {
        for (Member& m : members) {
            if (m.leftOut || (o.count >= 0 && m.printed >= o.count))
                continue;
            const Outcome result = line.measureOnce(m.record);
            if (result.ok()) {
                m.misses = 0;
                const ResultFields r = resultFields(line.unit());
                if (printOut(QStringLiteral("%1,%2,%3,%4,%5\n")
                                 .arg(r.time, unitName(m.address), r.distance, r.intensity, r.unit))) {
                    publisher.publishResult(unitName(m.address), r.utc, r.distance, r.intensity, r.unit);
                    ++m.printed;
                }
            } else if (result.status == ExitFailed) {
                lineResult = result; // the port went away, or interrupted
            } else if (++m.misses >= MissesBeforeLeftOut) {
                m.leftOut = true;
                fail(m.address, {result.status, line.withWhere(result.message) + QStringLiteral("; the others go on")});
            }
            if (!lineResult.ok() || timeUp() || interrupted() || outputFailed())
                break;
        }
    }
    const bool complete = allDone() || timeUp();
    if (!lineResult.ok() && !(interrupted() && lineResult.message == QLatin1String("interrupted")))
        printError(line.withWhere(lineResult.message));
    line.disconnect();
    for (const Member& m : members)
        if (!m.leftOut)
            publisher.setStatus(unitName(m.address), publish::UnitState::Idle);
    if (!publisher.close() && (tally.status == ExitOk || publisher.loginRefused()))
        tally.add({publisher.loginRefused() ? ExitBrokerRefused : ExitFailed, publisher.failure()});
    // A count or a time cut short by a signal: the shell's status for it.
    if (interrupted() && bounded && !complete) {
        printError(QStringLiteral("interrupted after %1 results")
                       .arg(std::accumulate(members.begin(), members.end(), 0L,
                                            [](long n, const Member& m) { return n + m.printed; })));
        return interruptSignal() != 0 ? 128 + interruptSignal() : ExitFailed;
    }
    if (!lineResult.ok() && !interrupted())
        tally.add(lineResult);
    return finished(tally.status);
}

} // namespace

int runRead(const Options& o)
{
    UnitLine line(o.comNumber, o.rate, !o.addresses.empty(), o.devicePath);
    Progress progress;
    Tally tally;
    for (char address : unitsOf(o)) {
        Outcome result = connectShown(line, progress, address);
        if (result.ok() && !o.output.isEmpty()) {
            const QString error = writeSetupFile(outputPath(o, address), line.unit());
            if (!error.isEmpty())
                result = {ExitFailed, error.simplified()};
        }
        progress.clear();
        if (result.ok() && o.format != Format::None) {
            const QString csv = settingsReport(line.unit(), QString::fromLatin1(line.versionText()));
            printOut(o.format == Format::Csv ? csv : reportText(csv));
        }
        line.disconnect();
        if (!result.ok())
            printError(QStringLiteral("%1: %2").arg(unitName(address), line.withWhere(result.message)));
        tally.add(result);
        if (interrupted() || outputFailed())
            break;
    }
    return finished(tally.status);
}

Applied applyToUnit(UnitLine& line, Progress& progress, char address, const UnitRecord& image, bool noSave)
{
    const QString name = unitName(address);
    int changed = 0;
    bool wrote = false;
    Applied a;
    Outcome& result = a.outcome;
    result = connectShown(line, progress, address);
    if (result.ok()) {
        progress.step(QStringLiteral("%1: writing the settings").arg(name));
        result = line.applySettings(image, changed, wrote);
    }
    // Nothing written, nothing to save: the unit's memory is not worn for it.
    if (result.ok() && wrote && !noSave) {
        progress.step(QStringLiteral("%1: saving").arg(name));
        result = line.saveSettings();
        if (!result.ok())
            result = line.putBack(result);
    }
    line.disconnect();
    progress.clear();
    if (result.ok() && !wrote) {
        a.line = QStringLiteral("%1: ok (no change)\n").arg(name);
        a.word = "unchanged";
    } else if (result.ok()) {
        a.line = QStringLiteral("%1: ok (%2 setting%3 changed, %4)\n")
                     .arg(name)
                     .arg(changed)
                     .arg(changed == 1 ? "" : "s")
                     .arg(noSave ? "not saved" : "saved");
        a.word = noSave ? "unsaved" : "saved";
    } else {
        a.line = QStringLiteral("%1: FAILED: %2\n").arg(name, line.withWhere(result.message));
    }
    return a;
}

int runApply(const Options& o)
{
    const SetupImage image = readSetupFile(o.file);
    if (!image.ok()) {
        printError(image.error.simplified());
        return ExitUsage;
    }
    if (o.dryRun)
        return finished(runApplyDryRun(o, image.record));
    UnitLine line(o.comNumber, o.rate, !o.addresses.empty(), o.devicePath);
    LineJournal journal(line, o);
    Progress progress;
    Tally tally;
    for (char address : unitsOf(o)) {
        const Applied a = applyToUnit(line, progress, address, image.record, o.noSave);
        tally.add(a.outcome);
        printOut(a.line);
        if (interrupted() || outputFailed())
            break;
    }
    // Not done before every change is in the journal or named as not recorded.
    tally.add(journal.finish());
    return finished(tally.status);
}

int runMeasure(const Options& o)
{
    if (o.addresses.size() > 1)
        return runMeasureLine(o);
    const char address = unitsOf(o).front();
    // --publish: results and the unit's state go to an MQTT broker as well.
    publish::Publisher publisher(o.publish);
    if (const int status = openPublisher(publisher); status != ExitOk)
        return status;

    UnitLine line(o.comNumber, o.rate, !o.addresses.empty(), o.devicePath);
    Progress progress;
    Outcome result = connectShown(line, progress, address);
    progress.clear();
    if (result.ok() && !measurableMode(line.unit()))
        result = {ExitFailed, unmeasurableText()};
    // A count or a time cut short by a signal is no complete measurement: the
    // shell's status for that signal. An open-ended run ends normally so.
    const bool bounded = o.count >= 0 || o.seconds > 0;
    if (!result.ok()) {
        line.disconnect();
        result = endPublishing(publisher, unitName(address), result); // --publish
        if (bounded && interruptSignal() != 0)
            result.status = 128 + interruptSignal();
        printError(QStringLiteral("%1: %2").arg(unitName(address), line.withWhere(result.message)));
        return result.status;
    }

    long printed = 0;
    QElapsedTimer sinceResult;
    line.onResult = [&] {
        if ((o.count >= 0 && printed >= o.count) || outputFailed())
            return;
        const ResultFields r = resultFields(line.unit());
        if (!printOut(QStringLiteral("%1,%2,%3,%4\n").arg(r.time, r.distance, r.intensity, r.unit)))
            return;
        publisher.publishResult(unitName(address), r.utc, r.distance, r.intensity, r.unit);
        ++printed;
        sinceResult.restart();
    };

    QString lastError; // --publish
    result = line.startMeasuring();
    if (result.ok()) {
        publisher.setStatus(unitName(address), publish::UnitState::Measuring); // --publish
        // The unit's last error while measuring goes with its status, once per change.
        line.onDeviceError = [&](const QString& text) {
            if (text == lastError)
                return;
            lastError = text;
            publisher.setStatus(unitName(address), publish::UnitState::Measuring, text);
        };
        QElapsedTimer clock;
        clock.start();
        sinceResult.start();
        const auto complete = [&] {
            return (o.count >= 0 && printed >= o.count) || (o.seconds > 0 && clock.elapsed() >= o.seconds * 1000);
        };
        // Ends on the count, the time, silence, a lost port or output, or an
        // interrupt (which is a normal end of an open-ended run).
        line.runUntil(
            [&] {
                return complete() || sinceResult.elapsed() > ResultSilenceMs || !line.linkUp() || outputFailed();
            },
            INT_MAX);
        if (!line.linkUp())
            result = {ExitFailed, line.portMessage().isEmpty() ? QStringLiteral("the port went away") : line.portMessage()};
        else if (interrupted() && bounded && !complete())
            result = {interruptSignal() != 0 ? 128 + interruptSignal() : ExitFailed,
                      o.count >= 0 ? QStringLiteral("interrupted after %1 of %2 results").arg(printed).arg(o.count)
                                   : QStringLiteral("interrupted after %1 results in %2 of %3 s")
                                         .arg(printed)
                                         .arg(clock.elapsed() / 1000)
                                         .arg(o.seconds)};
        else if (!interrupted() && !outputFailed() && sinceResult.elapsed() > ResultSilenceMs)
            result = {ExitNoAnswer, QStringLiteral("no results for %1 s").arg(ResultSilenceMs / 1000)};
    } else if (bounded && interruptSignal() != 0) {
        result.status = 128 + interruptSignal();
    }
    line.onResult = nullptr;
    line.onDeviceError = nullptr;
    // Stopped on every path: done, silent, interrupted.
    const Outcome stopped = line.stopMeasuring();
    line.disconnect();
    if (result.ok())
        result = stopped;
    result = endPublishing(publisher, unitName(address), result); // --publish
    if (!result.ok())
        printError(QStringLiteral("%1: %2").arg(unitName(address), line.withWhere(result.message)));
    return finished(result.status);
}

int runScan(const Options& o)
{
    UnitLine line(o.comNumber, o.rate, true, o.devicePath);
    Progress progress;
    std::vector<int> rates;
    if (o.allRates)
        for (int i = 0; i < RateCount; ++i)
            rates.push_back(rateOfIndex(i));
    else
        rates.push_back(o.rate);
    const int answerWithin = o.answerWithinMs > 0 ? o.answerWithinMs : UnitScan::storedAnswerWithinMs();

    int units = 0;
    int crowded = 0;
    for (int rate : rates) {
        progress.step(QStringLiteral("scanning at %1 bit/s").arg(rate));
        std::vector<UnitScan::Found> found;
        std::vector<char> shared;
        const Outcome result = line.scanLine(rate, answerWithin, [&](const UnitScan& scan) {
            progress.detail(QStringLiteral("%1 of %2 addresses").arg(scan.done()).arg(AddressCount), scan.done(),
                            AddressCount);
            found = scan.found();
            shared = scan.crowded();
        });
        progress.clear();
        // What the scan settled on: a unit found early can turn out to share
        // its address with another when the pass ends.
        for (const UnitScan::Found& f : found)
            printOut(QStringLiteral("%1,%2,%3\n").arg(QLatin1Char(f.address)).arg(rate).arg(f.version));
        for (char address : shared)
            printError(line.withWhere(QStringLiteral("address %1: more than one unit answers?").arg(QLatin1Char(address))));
        units += static_cast<int>(found.size());
        crowded += static_cast<int>(shared.size());
        if (!result.ok()) {
            printError(line.withWhere(result.message));
            return finished(result.status);
        }
        if (outputFailed())
            break;
    }
    if (units == 0 && crowded == 0 && !outputFailed()) {
        printError(o.allRates ? QStringLiteral("no unit answered on %1 at any rate").arg(o.devicePath.isEmpty() ? QStringLiteral("COM%1").arg(o.comNumber) : o.devicePath)
                              : line.withWhere(QStringLiteral("no unit answered")));
        return ExitNoAnswer;
    }
    return finished(crowded > 0 ? ExitFailed : ExitOk);
}

// A port given by its path is "COM n" for this run only.
int preparePort(const Options& o, bool mustBeThere)
{
    if (!o.devicePath.isEmpty())
        qputenv(QByteArray("DXU_COM").append(QByteArray::number(o.comNumber)).constData(), o.devicePath.toLocal8Bit());
    setRunPortOptions(o.comNumber, portOptionsOf(o, loadPortOptions(o.comNumber)));
    if (!mustBeThere || portIsFree(o.comNumber))
        return ExitOk;
    printError(messageLine(portOpenFailureText(o.comNumber), o.comNumber, o.devicePath));
    return ExitPortClosed;
}

int runCommand(const Options& o)
{
    switch (o.command) {
    case Command::Read:
        return runRead(o);
    case Command::Apply:
        return runApply(o);
    case Command::Measure:
        return runMeasure(o);
    case Command::Scan:
        return runScan(o);
    case Command::Backup:
        return runBackup(o);
    case Command::Restore:
        return runRestore(o);
    case Command::Serve:
        return runServe(o);
    case Command::None:
        break;
    }
    return ExitUsage;
}

} // namespace dxu::cli
