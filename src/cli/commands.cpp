#include "cli/commands.h"

#include "cli/interrupt.h"
#include "cli/progress.h"
#include "cli/unitline.h"

#include "network/networkconfig.h"
#include "publish/publisher.h"
#include "ports/portsettings.h"
#include "settings/setupfile.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <climits>
#include <cstdio>

namespace dxu::cli {
namespace {

// Measuring stops when no result has come for this long.
constexpr int ResultSilenceMs = 5000;

void printOut(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    // A reader that went away (a closed pipe) ends the command as Ctrl+C does.
    if (std::fflush(stdout) != 0)
        interruptNow();
}

void printError(const QString& text) { std::fprintf(stderr, "dxu-cli: %s\n", qPrintable(text)); }

// The units of the command: the addresses given, or the RS-232 unit.
std::vector<char> unitsOf(const Options& o) { return o.addresses.empty() ? std::vector<char>{0} : o.addresses; }

// The status of a run: that of the first unit that failed.
struct Tally {
    int status = ExitOk;
    void add(const Outcome& o)
    {
        if (status == ExitOk)
            status = o.status;
    }
};

// One CSV line "a,b,c" into its fields, quotes honoured.
QStringList csvFields(const QString& line)
{
    QStringList out(QString{});
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted && c == QLatin1Char('"') && i + 1 < line.size() && line[i + 1] == QLatin1Char('"')) {
            out.back() += c;
            ++i;
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (c == QLatin1Char(',') && !quoted) {
            out.append(QString{});
        } else {
            out.back() += c;
        }
    }
    return out;
}

// The settings report as aligned text: "Setting        value unit".
QString reportText(const QString& csv)
{
    QString out;
    const QStringList lines = csv.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList f = csvFields(lines[i]);
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
                result = {ExitUsage, error.simplified()};
        }
        progress.clear();
        if (result.ok() && o.format != Format::None) {
            const QString csv = settingsReport(line.unit(), QString::fromLatin1(line.versionText()));
            printOut(o.format == Format::Csv ? csv : reportText(csv));
        }
        line.disconnect();
        if (!result.ok())
            printError(QStringLiteral("%1: %2").arg(unitName(address), result.message));
        tally.add(result);
        if (interrupted())
            break;
    }
    return tally.status;
}

int runApply(const Options& o)
{
    const SetupImage image = readSetupFile(o.file);
    if (!image.ok()) {
        printError(image.error.simplified());
        return ExitUsage;
    }
    UnitLine line(o.comNumber, o.rate, !o.addresses.empty(), o.devicePath);
    Progress progress;
    Tally tally;
    for (char address : unitsOf(o)) {
        const QString name = unitName(address);
        int changed = 0;
        Outcome result = connectShown(line, progress, address);
        if (result.ok()) {
            progress.step(QStringLiteral("%1: writing the settings").arg(name));
            result = line.applySettings(image.record, changed);
        }
        if (result.ok() && !o.noSave) {
            progress.step(QStringLiteral("%1: saving").arg(name));
            result = line.saveSettings();
        }
        line.disconnect();
        progress.clear();
        if (result.ok())
            printOut(QStringLiteral("%1: ok (%2 setting%3 changed, %4)\n")
                         .arg(name)
                         .arg(changed)
                         .arg(changed == 1 ? "" : "s")
                         .arg(o.noSave ? "not saved" : "saved"));
        else
            printOut(QStringLiteral("%1: FAILED: %2\n").arg(name, result.message));
        tally.add(result);
        if (interrupted())
            break;
    }
    return tally.status;
}

int runMeasure(const Options& o)
{
    const char address = unitsOf(o).front();
    // --publish: results and the unit's state go to an MQTT broker as well.
    publish::Publisher publisher(o.publish);
    publisher.onNotice = printError;
    publisher.onFatal = interruptNow;
    if (!publisher.open()) {
        printError(publisher.failure());
        return publisher.loginRefused() ? ExitBrokerRefused : ExitFailed;
    }

    UnitLine line(o.comNumber, o.rate, !o.addresses.empty(), o.devicePath);
    Progress progress;
    Outcome result = connectShown(line, progress, address);
    progress.clear();
    const int mode = line.unit().measureMode;
    if (result.ok() && mode != 1 && mode != 4)
        result = {ExitFailed, QStringLiteral("the unit is not in Averaging or Last Target mode")};
    if (!result.ok()) {
        line.disconnect();
        result = endPublishing(publisher, unitName(address), result); // --publish
        printError(QStringLiteral("%1: %2").arg(unitName(address), result.message));
        return result.status;
    }

    long printed = 0;
    QElapsedTimer sinceResult;
    line.onResult = [&] {
        if (o.count >= 0 && printed >= o.count)
            return;
        const UnitRecord& u = line.unit();
        QString distance, intensity;
        // Metres to the millimetre, feet to the hundredth, as the window shows them.
        if (u.displayMode != 3)
            distance = QString::number(double(u.lastDistance), 'f', u.units ? 3 : 2);
        if (u.displayMode != 1)
            intensity = QString::number(double(u.lastIntensity), 'f', 1);
        const QDateTime now = QDateTime::currentDateTime();
        printOut(QStringLiteral("%1,%2,%3,%4\n")
                     .arg(now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs), distance, intensity,
                          QLatin1String(u.units ? "m" : "ft")));
        publisher.publishResult(unitName(address), now.toUTC(), distance, intensity, QLatin1String(u.units ? "m" : "ft"));
        ++printed;
        sinceResult.restart();
    };

    result = line.startMeasuring();
    if (result.ok()) {
        publisher.setStatus(unitName(address), publish::UnitState::Measuring); // --publish
        QElapsedTimer clock;
        clock.start();
        sinceResult.start();
        // Ends on the count, the time, silence, or an interrupt (which is a
        // normal end of an open-ended run).
        line.runUntil(
            [&] {
                return (o.count >= 0 && printed >= o.count) || (o.seconds > 0 && clock.elapsed() >= o.seconds * 1000)
                    || sinceResult.elapsed() > ResultSilenceMs || !line.linkUp();
            },
            INT_MAX);
        if (!line.linkUp())
            result = {ExitFailed, line.portMessage().isEmpty() ? QStringLiteral("the port went away") : line.portMessage()};
        else if (!interrupted() && sinceResult.elapsed() > ResultSilenceMs)
            result = {ExitNoAnswer, QStringLiteral("no results for %1 s").arg(ResultSilenceMs / 1000)};
    }
    line.onResult = nullptr;
    // Stopped on every path: done, silent, interrupted.
    const Outcome stopped = line.stopMeasuring();
    line.disconnect();
    if (result.ok())
        result = stopped;
    result = endPublishing(publisher, unitName(address), result); // --publish
    if (!result.ok())
        printError(QStringLiteral("%1: %2").arg(unitName(address), result.message));
    return result.status;
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

    int units = 0;
    for (int rate : rates) {
        progress.step(QStringLiteral("scanning at %1 bit/s").arg(rate));
        // Each unit is printed as soon as it has answered.
        size_t printed = 0;
        const Outcome result = line.scanLine(rate, [&](int done, const std::vector<UnitScan::Found>& found) {
            if (printed < found.size())
                progress.clear();
            for (; printed < found.size(); ++printed)
                printOut(QStringLiteral("%1,%2,%3\n").arg(QLatin1Char(found[printed].address)).arg(rate).arg(found[printed].version));
            progress.detail(QStringLiteral("%1 of %2 addresses").arg(done).arg(AddressCount), done, AddressCount);
        });
        progress.clear();
        units += static_cast<int>(printed);
        if (!result.ok()) {
            printError(result.message);
            return result.status;
        }
    }
    if (units == 0) {
        printError(QStringLiteral("no unit answered"));
        return ExitNoAnswer;
    }
    return ExitOk;
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
    case Command::None:
        break;
    }
    return ExitUsage;
}

} // namespace dxu::cli
