// dxu-cli history and dxu-cli report: the change journal and the
// commissioning report from the command line.
#include "cli/journalcommands.h"

#include "cli/interrupt.h"
#include "cli/options.h"
#include "cli/unitline.h"

#include "journal/journal.h"
#include "journal/report.h"
#include "journal/reportpeople.h"
#include "serial/commportdriver.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace dxu::cli {
namespace {

const char kHistory[] =
    "Usage: dxu-cli history [--port PORT] [--address A] [--since DATE] [--format text|csv]\n"
    "\n"
    "Prints the change journal, newest first: every write to a unit made by DXU\n"
    "Interface or dxu-cli on this computer, with its time, user, host, line, unit,\n"
    "setting, old and new value and outcome.\n"
    "\n"
    "  -p, --port PORT      only units reached through that port (a device path, a\n"
    "                       device server's URL or \"COM n\", as for the other\n"
    "                       commands); changes whose port is not known are left out\n"
    "  -a, --address A      only the unit with address A\n"
    "  --since DATE         only changes from DATE on (YYYY-MM-DD, local time, or\n"
    "                       an ISO 8601 time such as 2026-12-08T06:00:00Z)\n"
    "  -f, --format FMT     text (default) or csv\n"
    "\n"
    "The journal is ${XDG_STATE_HOME:-~/.local/state}/dxu-interface/journal.sqlite.\n"
    "Exit status: 0 printed, 1 the journal cannot be read, 2 bad arguments.\n";

const char kReport[] =
    "Usage: dxu-cli report --port PORT [--rate RATE] [--address A] --output FILE.pdf\n"
    "                      [--technician NAME] [--site SITE]\n"
    "\n"
    "Connects to the unit, reads all of its settings and writes its commissioning\n"
    "report as PDF: date, technician and site, line and rate, address and\n"
    "version, every setting by panel with its units, the current-loop ranges and\n"
    "calibration points, the changes made to the unit today, a signature line.\n"
    "\n"
    "  -o, --output FILE    the PDF to write\n"
    "  --technician NAME    who commissions the unit (remembered for next time)\n"
    "  --site SITE          where (remembered for next time)\n"
    "\n"
    "Port, rate and address are given as for the other commands (dxu-cli --help).\n"
    "Exit status as for read; 1 also when the PDF cannot be written.\n";

void printError(const QString& text) { std::fprintf(stderr, "dxu-cli: %s\n", qPrintable(text)); }

int usage(const char* command, const QString& text)
{
    std::fprintf(stderr, "dxu-cli: %s (dxu-cli %s --help)\n", qPrintable(text), command);
    return ExitUsage;
}

QString historyText(const std::vector<Change>& rows)
{
    QString out;
    for (const Change& c : rows) {
        QString outcome = outcomeText(c.outcome);
        if (!c.detail.isEmpty())
            outcome += QStringLiteral(" (") + c.detail + QLatin1Char(')');
        out += QStringLiteral("%1  %2 %3  %4: %5 -> %6  %7  %8@%9 on %10\n")
                   .arg(c.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                        c.address.isEmpty() ? QStringLiteral("-") : c.address, c.version,
                        c.caption.isEmpty() ? c.code : c.caption, c.oldValue, c.newValue, outcome, c.user, c.host)
                   .arg(c.link);
    }
    return out;
}

int runHistory(const QStringList& args)
{
    JournalFilter filter;
    bool csv = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto is = [&](const char* s, const char* l) { return a == QLatin1String(s) || a == QLatin1String(l); };
        const bool valued =
            is("-a", "--address") || is("-p", "--port") || a == QLatin1String("--since") || is("-f", "--format");
        if (valued && i + 1 >= args.size())
            return usage("history", QStringLiteral("%1 needs a value").arg(a));
        if (is("-h", "--help")) {
            std::fputs(kHistory, stdout);
            return ExitOk;
        } else if (is("-a", "--address")) {
            const QString v = args[++i];
            if (v.size() != 1 || !std::strchr(AddressAlphabet, v[0].toLatin1()))
                return usage("history", QStringLiteral("bad address '%1' (a-z, A-Z, 0-9)").arg(v));
            filter.address = v;
        } else if (is("-p", "--port")) {
            const Parsed port = parseArguments({QStringLiteral("read"), QStringLiteral("--port"), args[++i]});
            if (!port.error.isEmpty())
                return usage("history", port.error);
            filter.link = journalLink(port.options);
        } else if (a == QLatin1String("--since")) {
            const QString v = args[++i];
            filter.from = sinceTime(v);
            if (!filter.from.isValid())
                return usage("history", QStringLiteral("bad date '%1' (YYYY-MM-DD or an ISO 8601 time)").arg(v));
        } else if (is("-f", "--format")) {
            const QString v = args[++i];
            if (v != QLatin1String("csv") && v != QLatin1String("text"))
                return usage("history", QStringLiteral("bad format '%1' (text or csv)").arg(v));
            csv = v == QLatin1String("csv");
        } else {
            return usage("history", QStringLiteral("unexpected argument '%1'").arg(a));
        }
    }
    Journal journal;
    const std::vector<Change> rows = journal.changes(filter);
    if (!journal.lastError().isEmpty()) {
        printError(journal.lastError());
        return ExitFailed;
    }
    const QByteArray text = (csv ? changesCsv(rows) : historyText(rows)).toLocal8Bit();
    if (std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout) != static_cast<size_t>(text.size())
        || std::fflush(stdout) != 0) {
        printError(QStringLiteral("the history cannot be written to standard output"));
        return ExitFailed;
    }
    return ExitOk;
}

int runReport(const QStringList& args)
{
    QString output;
    ReportPeople people = storedReportPeople();
    bool newPeople = false;
    // The line is given as for read: those options go to its parser.
    QStringList line{QStringLiteral("read")};
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool mine = a == QLatin1String("-o") || a == QLatin1String("--output")
                          || a == QLatin1String("--technician") || a == QLatin1String("--site");
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            std::fputs(kReport, stdout);
            return ExitOk;
        }
        if (!mine) {
            line << a;
            continue;
        }
        if (i + 1 >= args.size())
            return usage("report", QStringLiteral("%1 needs a value").arg(a));
        const QString v = args[++i];
        if (a == QLatin1String("--technician"))
            people.technician = v, newPeople = true;
        else if (a == QLatin1String("--site"))
            people.site = v, newPeople = true;
        else
            output = v;
    }
    const Parsed parsed = parseArguments(line);
    if (!parsed.error.isEmpty())
        return usage("report", parsed.error);
    const Options& o = parsed.options;
    if (output.isEmpty())
        return usage("report", QStringLiteral("--output is required"));
    if (o.addresses.size() > 1)
        return usage("report", QStringLiteral("report takes one unit"));
    if (!o.devicePath.isEmpty())
        qputenv(QByteArray("DXU_COM").append(QByteArray::number(o.comNumber)).constData(), o.devicePath.toLocal8Bit());
    if (!portIsFree(o.comNumber)) {
        printError(messageLine(portOpenFailureText(o.comNumber), o.comNumber, o.devicePath));
        return ExitPortClosed;
    }
    if (newPeople)
        storeReportPeople(people);

    const char address = o.addresses.empty() ? 0 : o.addresses.front();
    UnitLine unitLine(o.comNumber, o.rate, address != 0, o.devicePath);
    const Outcome connected = unitLine.connectUnit(address);
    if (!connected.ok()) {
        printError(connected.message);
        return connected.status;
    }
    const UnitRecord unit = unitLine.unit();
    const QString version = QString::fromLatin1(unitLine.versionText()).trimmed();
    unitLine.disconnect();

    ReportDetails details{QDateTime::currentDateTime(), people.technician, people.site, journalLink(o), o.rate,
                          version};
    Journal journal({}, [](const QString& text) { printError(text); });
    const std::vector<Change> today = journal.changes(changesOfTheDay(
        details.link, address ? QString(QLatin1Char(unit.addressChar())) : QString(), version, details.date));
    const QString error = writeReportPdf(output, commissioningReport(unit, details, today));
    if (!error.isEmpty()) {
        printError(error);
        return ExitFailed;
    }
    std::fprintf(stderr, "dxu-cli: commissioning report of %s written to %s\n", qPrintable(unitName(address)),
                 qPrintable(output));
    return ExitOk;
}

} // namespace

int runJournalCommand(int argc, char** argv)
{
    if (argc < 2 || (std::strcmp(argv[1], "history") != 0 && std::strcmp(argv[1], "report") != 0))
        return -1;
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(2);
    if (std::strcmp(argv[1], "history") == 0)
        return runHistory(args);
    installInterruptHandler(&app);
    return runReport(args);
}

QString journalLink(const Options& o)
{
    return o.devicePath.isEmpty() ? QStringLiteral("COM %1 (%2)").arg(o.comNumber).arg(comDevicePath(o.comNumber))
                                  : o.devicePath;
}

LineJournal::LineJournal(UnitLine& line, const Options& o)
    : line_(line), journal_({}, [](const QString& text) { printError(text); }),
      recorder_(journal_,
                [&line, link = journalLink(o), network = !o.addresses.empty()] {
                    // As the window names them: the RS-232 unit by its link alone.
                    const char address = network ? line.state().current().addressChar() : 0;
                    return WriteTarget{link, address ? QString(QLatin1Char(address)) : QString(),
                                       QString::fromLatin1(line.versionText()).trimmed()};
                }),
      feed_(recorder_, line.state())
{
    line_.subscribe(feed_);
}

LineJournal::~LineJournal()
{
    finish();
    line_.unsubscribe(feed_);
}

Outcome LineJournal::finish()
{
    recorder_.settle();
    if (journal_.flush())
        return {};
    if (journal_.heldByAnother())
        printError(QStringLiteral("waiting up to %1 s for the change journal, which another program is writing")
                       .arg(FinishWaitMs / 1000));
    // Each change that cannot be written is named on standard error.
    const std::vector<Change> lost = journal_.finish(FinishWaitMs);
    if (lost.empty())
        return {};
    return {ExitFailed, QStringLiteral("%1 change%2 not recorded in the change journal")
                            .arg(lost.size())
                            .arg(lost.size() == 1 ? "" : "s")};
}

} // namespace dxu::cli
