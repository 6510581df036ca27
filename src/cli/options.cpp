#include "cli/options.h"

#include "network/unitscan.h"
#include "ports/portsettings.h"
#include "protocol/dxustate.h"
#include "serial/commportdriver.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstring>

namespace dxu::cli {
namespace {

// A port given by its device path is opened as the last "COM n" the driver
// knows, mapped to that path for this run only.
constexpr int PathComNumber = DriverPortCount;

const char kCommon[] =
    "Options of every command:\n"
    "  -p, --port PORT      the serial port: a device path such as /dev/ttyUSB0,\n"
    "                       a device server's port (rfc2217://HOST:PORT,\n"
    "                       rfc2217+tls://HOST:PORT, tcp://HOST:PORT, tls://HOST:PORT)\n"
    "                       or \"COM n\", resolved as DXU Interface resolves it\n"
    "                       (DXU_COM<n>, the stored choice, /dev/ttyS<n-1>)\n"
    "  --rs485 MODE         RS-485 direction: adapter (it switches itself), rts-on-send\n"
    "                       or rts-after-send (the kernel's RS-485 mode)\n"
    "  --rts-delays B,A     kernel RS-485 mode: RTS delays before and after sending, ms\n"
    "  --drop-echo          drop the echo of a converter that hears itself\n"
    "  --ca-file FILE       TLS: the certificates the server's must be signed by\n"
    "  --reply-allowance MS time added to the 2000 ms reply time-out\n"
    "                       (the port options given replace the stored ones)\n"
    "  -r, --rate RATE      line rate in bit/s: 1200, 2400, 4800, 9600, 14400, 19200,\n"
    "                       38400, 56000, 57600 or 115200 (default 115200); also\n"
    "                       110, 300 and 600\n"
    "  -a, --address LIST   RS-485: the addresses of the units, such as a,b,c\n"
    "                       (a-z, A-Z, 0-9); without it, the one unit on RS-232\n"
    "  -h, --help           this text\n"
    "\n"
    "Results go to standard output, progress to standard error (a bar on a\n"
    "terminal, plain lines otherwise).\n"
    "\n"
    "Exit status:\n"
    "  0  every unit succeeded\n"
    "  1  another failure (the port went away, interrupted; scan: more than\n"
    "     one unit answers at an address)\n"
    "  2  bad arguments or a bad setup file\n"
    "  3  a unit did not answer (scan: no unit answered)\n"
    "  4  a unit refused a value or did not keep it\n"
    "  5  the port cannot be opened\n"
    "  6  measure, serve --publish: the MQTT broker refused the login\n"
    "When units fail for different reasons, the status is that of the first\n"
    "unit that failed.\n";

const char kProgram[] =
    "Usage: dxu-cli COMMAND --port PORT [options]\n"
    "\n"
    "Reads, sets up and watches DXU laser distance units from the command line.\n"
    "\n"
    "Commands:\n"
    "  read          read a unit's settings into a setup file and/or print them\n"
    "  apply FILE    put a setup file into one or more units\n"
    "  measure       print a unit's measurements as CSV\n"
    "  scan          list the units that answer on an RS-485 line\n"
    "  backup        read every unit of a line into a folder of setup files\n"
    "  restore       put such a folder back into the units of the line\n"
    "  serve         keep a line measuring; serve its results over Modbus TCP\n"
    "                and/or MQTT until stopped\n"
    "  history       print the journal of changes made to units\n"
    "  report        write a unit's commissioning report as PDF\n"
    "  show FILE     print a setup file as text (name = value unit)\n"
    "  import TEXT   build a setup file from that text\n"
    "  diff A B      compare two setups, each a file or a unit\n"
    "\n"
    "\"dxu-cli COMMAND --help\" describes a command; \"dxu-cli --version\" prints the\n"
    "program's version.\n"
    "\n";

const char kRead[] =
    "Usage: dxu-cli read --port PORT [--address LIST] [--output FILE] [--format text|csv]\n"
    "\n"
    "Connects to each unit, reads all of its settings and writes them to a setup\n"
    "file (the 556-byte image DXU Interface opens) and/or prints them.\n"
    "\n"
    "  -o, --output FILE    the setup file to write; with several units, FILE must\n"
    "                       hold %a, which stands for each unit's address\n"
    "  -f, --format FMT     print the settings: text (default without --output) or\n"
    "                       csv (setting,value,unit)\n"
    "\n";

const char kApply[] =
    "Usage: dxu-cli apply FILE --port PORT [--address LIST] [--no-save]\n"
    "\n"
    "Puts the settings of the setup file FILE into each unit: the settings that\n"
    "differ are written, read back and checked against the file, then the unit\n"
    "saves them (SU) so that they outlast a power cycle. Address, ports, rates and\n"
    "calibration stay the unit's own. The pulse rate and pulses of every mode are\n"
    "written (the unit is switched to each mode for its own), and the unit ends in\n"
    "the file's mode; after a change of units every distance is written. A unit\n"
    "that fails after it took a write gets its earlier settings back; where that\n"
    "fails too, the reason names the settings it holds unsaved. One line of\n"
    "result per unit:\n"
    "  <address>: ok (<n> settings changed, saved)\n"
    "  <address>: FAILED: <reason>\n"
    "\n"
    "  --no-save            write and check the settings, but do not save them\n"
    "  --dry-run            read each unit and print what would be written to it\n"
    "                       (each setting with the unit's value now); write nothing\n"
    "\n"
    "Every write is entered in the change journal (dxu-cli history); apply ends\n"
    "once they are written, waiting up to 30 s for another program that holds the\n"
    "journal. A change that cannot be entered is named on standard error and the\n"
    "exit status is 1 (when every unit succeeded).\n"
    "\n";

const char kMeasure[] =
    "Usage: dxu-cli measure --port PORT [--address A[,B,...]] [--count N | --seconds S]\n"
    "\n"
    "Starts the unit measuring and prints each result as one CSV line:\n"
    "  time (ISO 8601),distance,intensity,unit (m or ft)\n"
    "until N results, S seconds, or Ctrl+C; then the unit is stopped. A field the\n"
    "unit does not report in its display mode is empty. Averaging and Last Target\n"
    "modes only.\n"
    "\n"
    "With several addresses of an RS-485 line, each unit is read, then asked for\n"
    "one result (BM) in turn, as DXU Interface asks a network unit, one line each:\n"
    "  time (ISO 8601),address,distance,intensity,unit (m or ft)\n"
    "A unit that gives no result three times in a row is reported and left out;\n"
    "the others go on. --count N: N results from each unit.\n"
    "\n"
    "  -n, --count N        stop after N results (of each unit)\n"
    "  -s, --seconds S      stop after S seconds\n"
    "\n";

const char kScan[] =
    "Usage: dxu-cli scan --port PORT [--rate RATE | --rates] [--answer-within MS]\n"
    "\n"
    "Asks every address of an RS-485 line for its version and prints one line per\n"
    "unit that answers: address,rate,version. An address is given up when no reply\n"
    "has begun by the question's time on the line plus MS (and 10 ms); 62 addresses\n"
    "take about 4.5 s at 9600 bit/s. An address at which more than one unit answers\n"
    "is reported on standard error (\"address c: more than one unit answers?\"),\n"
    "not listed, and the exit status is then 1. Units are printed when the scan of\n"
    "their rate ends.\n"
    "\n"
    "  --rates              scan at each of the nine rates in turn\n"
    "  --answer-within MS   how long a unit takes to start its reply, 1 to 1000 ms\n"
    "                       (default: as set in DXU Interface's Find Units, else 50)\n"
    "\n";

const char kBackup[] =
    "Usage: dxu-cli backup --port PORT --address LIST --dir FOLDER\n"
    "\n"
    "Reads all settings of each unit of the RS-485 line and writes one setup file\n"
    "per unit into FOLDER (created when missing), named by its address: a.dxu,\n"
    "7.dxu, and A-upper.dxu for an upper-case address, so that a and A stay apart\n"
    "on any disk. Then FOLDER/manifest.csv lists the units backed up (address,\n"
    "version,file,time): a unit is listed only once its file is on the disk. One\n"
    "line of result per unit:\n"
    "  <address>: ok (<file>)\n"
    "  <address>: FAILED: <reason>\n"
    "Units not read now keep their place in the manifest while their own files\n"
    "of an earlier backup are in FOLDER and good. A symbolic link in FOLDER is\n"
    "replaced by the file, never written through.\n"
    "\n"
    "  -d, --dir FOLDER     the folder of the backup\n"
    "  -f, --format csv     results for programs: one line per unit,\n"
    "                       unit,<address>,ok|failed,<line of result>\n"
    "                       and last manifest,,written|failed|unchanged,<text>\n"
    "\n";

const char kRestore[] =
    "Usage: dxu-cli restore --dir FOLDER --port PORT [--address LIST] [--no-save]\n"
    "\n"
    "Puts each setup file of a line's backup (FOLDER/manifest.csv, as \"dxu-cli\n"
    "backup\" wrote it) into the unit at its address, as apply does: the settings\n"
    "that differ are written, read back and checked against the file, then the\n"
    "unit saves them. A unit that fails does not stop the others. One line of\n"
    "result per unit, as apply's.\n"
    "\n"
    "  -d, --dir FOLDER     the folder of the backup\n"
    "  -a, --address LIST   only these units of the backup\n"
    "  --no-save            write and check the settings, but do not save them\n"
    "  -f, --format csv     results for programs: one line per unit,\n"
    "                       unit,<address>,saved|unsaved|unchanged|failed,<line>\n"
    "\n";

const char kServe[] =
    "Usage: dxu-cli serve --port PORT [--address LIST] [--modbus tcp://HOST:PORT]\n"
    "                     [--publish URL]\n"
    "\n"
    "A line's gateway, run until SIGTERM or Ctrl+C: reads each unit, keeps it\n"
    "measuring as measure does (one unit streams its results; the units of an\n"
    "RS-485 line are asked for one result each in turn) and holds its last\n"
    "result, which it serves to PLCs over Modbus TCP and/or publishes to an MQTT\n"
    "broker. A unit that stops answering is marked so and asked again while the\n"
    "others go on. When the port goes away (a USB adapter pulled, a device server\n"
    "restarted) this is said once, the units are marked not answering, and the\n"
    "port is opened again after pauses of at most 5 s until it is back; it need\n"
    "not be there when serve starts. On SIGTERM or Ctrl+C the streaming unit is\n"
    "stopped, the port closed, and the status is 0 (3 when the unit did not\n"
    "confirm the stop). Notices go to standard error, nothing to standard output.\n"
    "\n"
    "  --modbus tcp://HOST:PORT\n"
    "                       serve Modbus TCP there: HOST an IP address of this\n"
    "                       machine (0.0.0.0 or [::] for every interface,\n"
    "                       127.0.0.1 for this machine only); 502 is Modbus's port\n"
    "  --publish URL        publish each result and state to an MQTT broker, as\n"
    "                       measure --publish does (below)\n"
    "At least one of --modbus and --publish is required.\n"
    "  --interval MS        the units of an RS-485 line are asked in rounds, each\n"
    "                       unit once a round; a round starts MS after the one\n"
    "                       before at the soonest (default 20: 50 results a\n"
    "                       second from each unit; 0: as fast as the line goes)\n"
    "\n"
    "Modbus TCP, read-only (a PLC cannot change a unit):\n"
    "  unit identifier: the code of the unit's address character (a = 97,\n"
    "  c = 99, 0 = 48); the RS-232 unit also answers at 1.\n"
    "  Input registers (function 4), 16-bit words, high word first:\n"
    "    0-1  distance, float32, in metres (converted for a unit measuring in\n"
    "         feet); NaN before the first result and when the unit's display\n"
    "         mode leaves it out\n"
    "    2-3  intensity, float32, as the unit shows it; NaN when not reported\n"
    "    4    status bits: 0 answering, 1 measuring, 2 the result is fresh\n"
    "         (younger than 1 s or three result intervals), 3 a device error is\n"
    "         present (the unit's last answer was an error reply)\n"
    "    5    the number of the unit's last error reply, signed (0 none)\n"
    "    6-7  results counter, uint32\n"
    "    8    age of the last result in 0.1 s, 65535 at the most (and before\n"
    "         the first)\n"
    "  Exceptions: 0x0B (gateway target failed to respond) for a unit identifier\n"
    "  not on the line, 0x02 for registers outside 0-8, 0x01 for any other\n"
    "  function (every write among them). Up to 32 clients at once; a request\n"
    "  that is not Modbus TCP closes that client's connection only.\n"
    "\n";

bool validAddress(char c) { return c != 0 && std::strchr(AddressAlphabet, c) != nullptr; }

QString take(const QStringList& args, int& i, const QString& name, QString& error)
{
    if (i + 1 >= args.size()) {
        error = QStringLiteral("%1 needs a value").arg(name);
        return {};
    }
    return args[++i];
}

bool parsePort(const QString& text, Options& o)
{
    static const QRegularExpression com(QStringLiteral("^COM\\s*(\\d+)$"), QRegularExpression::CaseInsensitiveOption);
    const auto m = com.match(text.trimmed());
    if (m.hasMatch()) {
        const int n = m.captured(1).toInt();
        if (n < 1 || n > DriverPortCount)
            return false;
        o.comNumber = n;
        return true;
    }
    if (text.isEmpty())
        return false;
    o.comNumber = PathComNumber;
    o.devicePath = text;
    return true;
}

bool parseAddresses(const QString& text, std::vector<char>& out)
{
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString a = part.trimmed();
        if (a.size() != 1 || !validAddress(a[0].toLatin1()))
            return false;
        const char c = a[0].toLatin1();
        if (std::find(out.begin(), out.end(), c) == out.end())
            out.push_back(c);
    }
    return !out.empty();
}

// Every rate the driver can set, 14400 and 56000 included.
bool rateKnown(int rate)
{
    for (int r = br110; r <= br115200; ++r)
        if (baudRateValue(static_cast<TComPortBaudRate>(r)) == static_cast<uint32_t>(rate))
            return true;
    return false;
}

// The checks that need the whole command line.
QString checkCombination(const Options& o)
{
    if (o.command == Command::None)
        return QStringLiteral("no command given");
    if (o.port.isEmpty())
        return QStringLiteral("--port is required");
    if (o.command == Command::Apply && o.file.isEmpty())
        return QStringLiteral("apply needs a setup file");
    if (o.command == Command::Read && o.addresses.size() > 1 && !o.output.isEmpty()
        && !o.output.contains(QLatin1String("%a")))
        return QStringLiteral("with several units, --output must hold %a for the address");
    if ((o.command == Command::Backup || o.command == Command::Restore) && o.dir.isEmpty())
        return QStringLiteral("--dir is required");
    if (o.command == Command::Backup && o.addresses.empty())
        return QStringLiteral("backup needs the units of the line (--address)");
    if (o.command == Command::Serve && !o.modbus && o.publish.url.isEmpty())
        return QStringLiteral("serve needs --modbus tcp://HOST:PORT or --publish mqtt://HOST:PORT/PREFIX (or both)");
    if (o.command == Command::Scan && !o.addresses.empty())
        return QStringLiteral("scan asks every address; --address does not apply");
    return {};
}

} // namespace

QString unitName(char address)
{
    return address ? QString(QLatin1Char(address)) : QStringLiteral("unit");
}

QString helpText(Command command)
{
    switch (command) {
    case Command::Read:
        return QString::fromLatin1(kRead) + QLatin1String(kCommon);
    case Command::Apply:
        return QString::fromLatin1(kApply) + QLatin1String(kCommon);
    case Command::Measure:
        return QString::fromLatin1(kMeasure) + publish::optionsHelp() + QLatin1String(kCommon);
    case Command::Scan:
        return QString::fromLatin1(kScan) + QLatin1String(kCommon);
    case Command::Backup:
        return QString::fromLatin1(kBackup) + QLatin1String(kCommon);
    case Command::Restore:
        return QString::fromLatin1(kRestore) + QLatin1String(kCommon);
    case Command::Serve:
        // serve prints no CSV lines: measure's word about them does not hold.
        return QString::fromLatin1(kServe)
               + publish::optionsHelp().replace(QLatin1String(" (the CSV lines are printed as well)"), QString())
               + QLatin1String(kCommon);
    case Command::None:
        break;
    }
    return QString::fromLatin1(kProgram) + QLatin1String(kCommon);
}

Parsed parseArguments(const QStringList& args)
{
    Parsed p;
    Options& o = p.options;
    QString& error = p.error;
    static const struct {
        const char* name;
        Command command;
    } kCommands[] = {{"read", Command::Read}, {"apply", Command::Apply}, {"measure", Command::Measure},
                     {"scan", Command::Scan}, {"backup", Command::Backup}, {"restore", Command::Restore},
                     {"serve", Command::Serve}};

    for (int i = 0; i < args.size() && error.isEmpty(); ++i) {
        const QString& a = args[i];
        auto is = [&](const char* s, const char* l) { return a == QLatin1String(s) || a == QLatin1String(l); };
        if (is("-h", "--help")) {
            o.help = true;
        } else if (is("-p", "--port")) {
            o.port = take(args, i, a, error);
            if (error.isEmpty() && !parsePort(o.port, o))
                error = QStringLiteral("bad port '%1' (a device path or COM 1 .. COM %2)").arg(o.port).arg(DriverPortCount);
        } else if (is("-r", "--rate")) {
            const QString v = take(args, i, a, error);
            bool ok = false;
            o.rate = v.toInt(&ok);
            if (error.isEmpty() && (!ok || !rateKnown(o.rate)))
                error = QStringLiteral("bad rate '%1'").arg(v);
        } else if (is("-a", "--address")) {
            const QString v = take(args, i, a, error);
            if (error.isEmpty() && !parseAddresses(v, o.addresses))
                error = QStringLiteral("bad address list '%1' (addresses a-z, A-Z, 0-9)").arg(v);
        } else if (is("-o", "--output") && o.command == Command::Read) {
            o.output = take(args, i, a, error);
        } else if (is("-f", "--format")
                   && (o.command == Command::Read || o.command == Command::Backup || o.command == Command::Restore)) {
            const QString v = take(args, i, a, error);
            if (v == QLatin1String("text"))
                o.format = Format::Text;
            else if (v == QLatin1String("csv"))
                o.format = Format::Csv;
            else if (error.isEmpty())
                error = QStringLiteral("bad format '%1' (text or csv)").arg(v);
        } else if (is("-d", "--dir") && (o.command == Command::Backup || o.command == Command::Restore)) {
            o.dir = take(args, i, a, error);
        } else if (a == QLatin1String("--no-save") && (o.command == Command::Apply || o.command == Command::Restore)) {
            o.noSave = true;
        } else if (a == QLatin1String("--dry-run") && o.command == Command::Apply) {
            o.dryRun = true;
        } else if (is("-n", "--count") && o.command == Command::Measure) {
            const QString v = take(args, i, a, error);
            bool ok = false;
            o.count = v.toLong(&ok);
            if (error.isEmpty() && (!ok || o.count < 1))
                error = QStringLiteral("bad count '%1'").arg(v);
        } else if (is("-s", "--seconds") && o.command == Command::Measure) {
            const QString v = take(args, i, a, error);
            bool ok = false;
            o.seconds = v.toDouble(&ok);
            if (error.isEmpty() && (!ok || !(o.seconds > 0)))
                error = QStringLiteral("bad number of seconds '%1'").arg(v);
        } else if ((o.command == Command::Measure || o.command == Command::Serve)
                   && publish::takeOption(args, i, o.publish, error)) {
        } else if (a == QLatin1String("--modbus") && o.command == Command::Serve) {
            const QString v = take(args, i, a, error);
            gateway::Endpoint at;
            if (error.isEmpty())
                error = gateway::parseEndpoint(v, at);
            o.modbus = at;
        } else if (a == QLatin1String("--interval") && o.command == Command::Serve) {
            const QString v = take(args, i, a, error);
            bool ok = false;
            o.intervalMs = v.toInt(&ok);
            if (error.isEmpty() && (!ok || o.intervalMs < 0 || o.intervalMs > gateway::Gateway::MaxIntervalMs))
                error = QStringLiteral("bad interval '%1' (0 .. %2 ms)").arg(v).arg(gateway::Gateway::MaxIntervalMs);
        } else if (a == QLatin1String("--rates") && o.command == Command::Scan) {
            o.allRates = true;
        } else if (a == QLatin1String("--answer-within") && o.command == Command::Scan) {
            const QString v = take(args, i, a, error);
            bool ok = false;
            o.answerWithinMs = v.toInt(&ok);
            if (error.isEmpty() && (!ok || o.answerWithinMs < UnitScan::MinAnswerWithinMs
                                    || o.answerWithinMs > UnitScan::MaxAnswerWithinMs))
                error = QStringLiteral("bad answer time '%1' (%2 .. %3 ms)")
                            .arg(v)
                            .arg(UnitScan::MinAnswerWithinMs)
                            .arg(UnitScan::MaxAnswerWithinMs);
        } else if (a == QLatin1String("--rs485")) {
            const QString v = take(args, i, a, error);
            Rs485Mode mode{};
            if (error.isEmpty() && !parseRs485Mode(v, mode))
                error = QStringLiteral("bad RS-485 mode '%1' (adapter, rts-on-send or rts-after-send)").arg(v);
            o.rs485 = mode;
        } else if (a == QLatin1String("--rts-delays")) {
            const QString v = take(args, i, a, error);
            const QStringList parts = v.split(QLatin1Char(','));
            bool ok1 = false, ok2 = false;
            const int before = parts.value(0).toInt(&ok1), after = parts.value(1).toInt(&ok2);
            const auto inRange = [](int ms) { return ms >= 0 && ms <= PortOptions::MaxDelayMs; };
            if (error.isEmpty() && (parts.size() != 2 || !ok1 || !ok2 || !inRange(before) || !inRange(after)))
                error = QStringLiteral("bad RTS delays '%1' (BEFORE,AFTER in ms, 0 .. %2)").arg(v).arg(PortOptions::MaxDelayMs);
            o.rtsDelays = {before, after};
        } else if (a == QLatin1String("--drop-echo")) {
            o.dropEcho = true;
        } else if (a == QLatin1String("--ca-file")) {
            o.caFile = take(args, i, a, error);
        } else if (a == QLatin1String("--reply-allowance")) {
            const QString v = take(args, i, a, error);
            bool ok = false;
            const int ms = v.toInt(&ok);
            if (error.isEmpty() && (!ok || ms < 0 || ms > PortOptions::MaxReplyAllowanceMs))
                error = QStringLiteral("bad reply allowance '%1' (0 .. %2 ms)").arg(v).arg(PortOptions::MaxReplyAllowanceMs);
            o.replyAllowanceMs = ms;
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            error = QStringLiteral("unknown option '%1'").arg(a);
        } else if (o.command == Command::None) {
            for (const auto& c : kCommands)
                if (a == QLatin1String(c.name))
                    o.command = c.command;
            if (o.command == Command::None)
                error = QStringLiteral("unknown command '%1'").arg(a);
        } else if (o.command == Command::Apply && o.file.isEmpty()) {
            o.file = a;
        } else {
            error = QStringLiteral("unexpected argument '%1'").arg(a);
        }
    }
    p.noCommand = error.isEmpty() && !o.help && o.command == Command::None;
    if (error.isEmpty() && !o.help)
        error = checkCombination(o);
    if (error.isEmpty() && !o.help)
        error = publish::completeSettings(o.publish);
    if (o.command == Command::Read && o.format == Format::None && o.output.isEmpty())
        o.format = Format::Text;
    return p;
}

PortOptions portOptionsOf(const Options& o, PortOptions stored)
{
    if (o.rs485)
        stored.rs485 = *o.rs485;
    if (o.rtsDelays) {
        stored.rtsBeforeMs = o.rtsDelays->first;
        stored.rtsAfterMs = o.rtsDelays->second;
    }
    if (o.dropEcho)
        stored.dropEcho = true;
    if (o.caFile)
        stored.caFile = *o.caFile;
    if (o.replyAllowanceMs)
        stored.replyAllowanceMs = *o.replyAllowanceMs;
    return stored;
}

QDateTime sinceTime(const QString& text)
{
    const QDate day = QDate::fromString(text, Qt::ISODate);
    const QDateTime t = day.isValid() && text.size() == 10 ? day.startOfDay() : QDateTime::fromString(text, Qt::ISODate);
    const int year = t.toUTC().date().year();
    return t.isValid() && year >= 1 && year <= 9999 ? t : QDateTime();
}

} // namespace dxu::cli
