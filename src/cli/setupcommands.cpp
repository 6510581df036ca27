// dxu-cli show, import and diff: setups as text and compared with each other
// or with units; and apply --dry-run.
#include "cli/setupcommands.h"

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/unitline.h"

#include "protocol/settingcodes.h"
#include "serial/commportdriver.h"
#include "serial/portoptions.h"
#include "settings/setupfile.h"
#include "settings/setuptext.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstring>

namespace dxu::cli {
namespace {

const char kShow[] =
    "Usage: dxu-cli show FILE.dxu\n"
    "\n"
    "Prints the setup file as text: every setting as \"name = value unit\", grouped\n"
    "by panel, distances in the file's units; then the unit's own values (address,\n"
    "version, port rates, calibration) and whatever else the file holds. The text\n"
    "diffs well and \"dxu-cli import\" turns it back into the same file.\n"
    "Exit status: 0 printed, 2 the file is no setup file.\n";

const char kImport[] =
    "Usage: dxu-cli import TEXT --output FILE.dxu [--base BASE.dxu]\n"
    "\n"
    "Builds a setup file from its text form (as \"dxu-cli show\" prints it; TEXT -\n"
    "reads standard input). Unknown names, values that are no number or choice,\n"
    "wrong units and values outside the unit's limits are refused with the line.\n"
    "Every setting must be given, unless BASE gives the ones the text leaves out\n"
    "(converted when the text sets other units).\n"
    "\n"
    "  -o, --output FILE    the setup file to write\n"
    "  --base FILE          the setup file that gives what the text leaves out\n"
    "\n"
    "Exit status: 0 written, 1 the file cannot be written, 2 bad arguments or text.\n";

const char kDiff[] =
    "Usage: dxu-cli diff A B\n"
    "\n"
    "Compares two setups, each a setup file (or its text form) or a unit, and\n"
    "prints the settings that differ, A's value after '-' and B's after '+', both\n"
    "in A's distance units. The same length in feet and in metres is no\n"
    "difference, and values within the unit's resolution are equal.\n"
    "\n"
    "  dxu-cli diff old.dxu new.dxu\n"
    "  dxu-cli diff pump.dxu --port /dev/ttyUSB0           (the RS-232 unit is B)\n"
    "  dxu-cli diff --port /dev/ttyUSB0 --address b pump.dxu   (unit b is A)\n"
    "  dxu-cli diff --port /dev/ttyUSB0 --address a,b      (unit a against unit b)\n"
    "\n"
    "Port, rate and addresses are given as for the other commands (dxu-cli --help).\n"
    "Exit status as diff's: 0 the same, 1 different, 2 trouble (bad arguments or\n"
    "file, a unit that cannot be read).\n";

constexpr int DiffSame = 0, DiffDifferent = 1, DiffTrouble = 2;
// A text is a few kilobytes; anything far larger is no setup text.
constexpr qint64 MaxTextBytes = 1 << 20;

int usage(const char* command, const QString& text)
{
    std::fprintf(stderr, "dxu-cli: %s (dxu-cli %s --help)\n", qPrintable(text), command);
    return ExitUsage;
}

// The bytes of a regular file (or of standard input for "-"); error says why not.
QByteArray readText(const QString& path, QString& error)
{
    QFile f;
    if (path == QLatin1String("-")) {
        if (!f.open(stdin, QIODevice::ReadOnly))
            error = QStringLiteral("cannot read standard input");
    } else if (!QFileInfo(path).isFile()) {
        error = QStringLiteral("cannot read \"%1\": %2").arg(path, QFileInfo::exists(path) ? QStringLiteral("it is not a regular file")
                                                                                             : QStringLiteral("no such file"));
    } else {
        f.setFileName(path);
        if (!f.open(QIODevice::ReadOnly))
            error = QStringLiteral("cannot read \"%1\": %2").arg(path, f.errorString());
    }
    if (!error.isEmpty())
        return {};
    QByteArray bytes = f.read(MaxTextBytes + 1);
    if (bytes.size() > MaxTextBytes)
        error = QStringLiteral("\"%1\" is too large for a setup text").arg(path);
    return bytes;
}

// A setup given as a file: the 556-byte image, or its text form.
bool readSetup(const QString& path, UnitRecord& out, QString& error)
{
    if (QFileInfo(path).size() == qint64(UnitRecord::ImageSize)) {
        const SetupImage image = readSetupFile(path);
        error = image.error;
        out = image.record;
        return image.ok();
    }
    const QByteArray text = readText(path, error);
    if (!error.isEmpty())
        return false;
    const SetupFromText read = parseSetupText(text, path);
    error = read.error;
    out = read.record;
    return read.ok();
}

int runShow(const QStringList& args)
{
    QString path;
    for (const QString& a : args) {
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            std::fputs(kShow, stdout);
            return ExitOk;
        }
        if (!path.isEmpty() || (a.startsWith(QLatin1Char('-')) && a.size() > 1))
            return usage("show", QStringLiteral("unexpected argument '%1'").arg(a));
        path = a;
    }
    if (path.isEmpty())
        return usage("show", QStringLiteral("show needs a setup file"));
    const SetupImage image = readSetupFile(path);
    if (!image.ok()) {
        printError(image.error.simplified());
        return ExitUsage;
    }
    if (!printOut(setupText(image.record))) {
        printError(QStringLiteral("cannot write to standard output"));
        return ExitFailed;
    }
    return ExitOk;
}

int runImport(const QStringList& args)
{
    QString input, output, basePath;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            std::fputs(kImport, stdout);
            return ExitOk;
        }
        const bool isOutput = a == QLatin1String("-o") || a == QLatin1String("--output");
        if (isOutput || a == QLatin1String("--base")) {
            if (i + 1 >= args.size())
                return usage("import", QStringLiteral("%1 needs a value").arg(a));
            (isOutput ? output : basePath) = args[++i];
        } else if (input.isEmpty() && (a == QLatin1String("-") || !a.startsWith(QLatin1Char('-')))) {
            input = a;
        } else {
            return usage("import", QStringLiteral("unexpected argument '%1'").arg(a));
        }
    }
    if (input.isEmpty())
        return usage("import", QStringLiteral("import needs a setup text"));
    if (output.isEmpty())
        return usage("import", QStringLiteral("--output is required"));
    SetupImage base;
    if (!basePath.isEmpty()) {
        base = readSetupFile(basePath);
        if (!base.ok()) {
            printError(base.error.simplified());
            return ExitUsage;
        }
    }
    QString error;
    const QByteArray text = readText(input, error);
    if (!error.isEmpty()) {
        printError(error);
        return ExitUsage;
    }
    const SetupFromText read = parseSetupText(text, input == QLatin1String("-") ? QStringLiteral("<stdin>") : input,
                                              basePath.isEmpty() ? nullptr : &base.record);
    if (!read.ok()) {
        printError(read.error.simplified());
        return ExitUsage;
    }
    error = writeSetupFile(output, read.record);
    if (!error.isEmpty()) {
        printError(error.simplified());
        return ExitFailed;
    }
    return ExitOk;
}

// One side of a diff: a file, or a unit on the line.
struct Side {
    QString file;
    char address = 0;
    bool unit = false;
    UnitRecord record{};
    QString label;
};

// "  name = value" lines of A and B, each panel named once.
QString diffText(const std::vector<const SettingField*>& fields, const UnitRecord& a, const UnitRecord& b)
{
    QString out, section;
    for (const SettingField* f : fields) {
        if (sectionOf(*f) != section) {
            section = sectionOf(*f);
            out += QLatin1Char('[') + section + QStringLiteral("]\n");
        }
        out += QLatin1Char('-') + settingLine(*f, a) + QLatin1Char('\n');
        out += QLatin1Char('+') + settingLine(*f, b) + QLatin1Char('\n');
    }
    return out;
}

int runDiff(const QStringList& args)
{
    std::vector<Side> sides;
    QStringList line{QStringLiteral("read")};
    int unitsAt = -1; // where the first line option came, among the files
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            std::fputs(kDiff, stdout);
            return ExitOk;
        }
        if (!a.startsWith(QLatin1Char('-')) || a == QLatin1String("-")) {
            Side file;
            file.file = a;
            sides.push_back(file);
            continue;
        }
        if (unitsAt < 0 && (a == QLatin1String("-p") || a == QLatin1String("--port") || a == QLatin1String("-a")
                            || a == QLatin1String("--address")))
            unitsAt = static_cast<int>(sides.size());
        line << a;
        // Every option of the line but --drop-echo takes a value.
        if (a != QLatin1String("--drop-echo") && i + 1 < args.size())
            line << args[++i];
    }
    Options o;
    if (unitsAt >= 0) {
        const Parsed parsed = parseArguments(line);
        if (!parsed.error.isEmpty())
            return usage("diff", parsed.error);
        o = parsed.options;
        std::vector<Side> units;
        for (char address : o.addresses.empty() ? std::vector<char>{0} : o.addresses)
            units.push_back({{}, address, true, {}, {}});
        sides.insert(sides.begin() + unitsAt, units.begin(), units.end());
    } else if (line.size() > 1) {
        return usage("diff", QStringLiteral("unexpected argument '%1'").arg(line[1]));
    }
    if (sides.size() != 2)
        return usage("diff", QStringLiteral("diff compares two setups; %1 given").arg(sides.size()));

    for (Side& s : sides) {
        if (s.unit)
            continue;
        QString error;
        if (!readSetup(s.file, s.record, error)) {
            printError(error.simplified());
            return DiffTrouble;
        }
        s.label = s.file;
    }
    if (unitsAt >= 0) {
        if (preparePort(o) != ExitOk)
            return DiffTrouble;
        UnitLine unitLine(o.comNumber, o.rate, !o.addresses.empty(), o.devicePath);
        for (Side& s : sides) {
            if (!s.unit)
                continue;
            const Outcome read = unitLine.connectUnit(s.address);
            s.record = unitLine.unit();
            s.label = QStringLiteral("%1 %2").arg(unitName(s.address), unitLine.where());
            unitLine.disconnect();
            if (!read.ok()) {
                printError(QStringLiteral("%1: %2").arg(unitName(s.address), unitLine.withWhere(read.message)));
                return DiffTrouble;
            }
        }
    }
    UnitRecord b;
    const std::vector<const SettingField*> fields = setupDifferences(sides[0].record, sides[1].record, &b);
    if (fields.empty())
        return DiffSame;
    if (!printOut(QStringLiteral("--- %1\n+++ %2\n").arg(sides[0].label, sides[1].label)
                  + diffText(fields, sides[0].record, b)))
        return DiffTrouble;
    return DiffDifferent;
}

// The value part of a setting's line.
QString valueOf(const SettingField& f, const UnitRecord& r) { return settingLine(f, r).section(QStringLiteral(" = "), 1); }

} // namespace

int runApplyDryRun(const Options& o, const UnitRecord& file)
{
    UnitLine line(o.comNumber, o.rate, !o.addresses.empty(), o.devicePath);
    int status = ExitOk;
    for (char address : o.addresses.empty() ? std::vector<char>{0} : o.addresses) {
        const QString name = unitName(address);
        Outcome result = line.connectUnit(address);
        // What apply would put into the unit and write: the file's settings,
        // in the file's units (the unit converts when its units change).
        const UnitRecord unit = line.unit();
        const UnitRecord edit = withFileSettings(unit, file);
        line.disconnect();
        QString out;
        if (!result.ok()) {
            out = QStringLiteral("%1: FAILED: %2\n").arg(name, line.withWhere(result.message));
            if (status == ExitOk)
                status = result.status;
        } else {
            const std::vector<const SettingField*> fields = settingsToWrite(unit, edit);
            if (fields.empty())
                out = QStringLiteral("%1: no change (nothing would be written)\n").arg(name);
            else
                out = QStringLiteral("%1: would write %2 setting%3%4:\n")
                          .arg(name)
                          .arg(fields.size())
                          .arg(fields.size() == 1 ? "" : "s")
                          .arg(o.noSave ? QString() : QStringLiteral(", then save them (SU)"));
            for (const SettingField* f : fields)
                out += QStringLiteral("  %1  (now %2)\n").arg(settingLine(*f, edit), valueOf(*f, unit));
        }
        if (!printOut(out))
            return ExitFailed;
        if (interrupted())
            break;
    }
    return status;
}

int runSetupCommand(int argc, char** argv)
{
    if (argc < 2)
        return -1;
    const char* command = argv[1];
    if (std::strcmp(command, "show") != 0 && std::strcmp(command, "import") != 0 && std::strcmp(command, "diff") != 0)
        return -1;
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(2);
    if (std::strcmp(command, "show") == 0)
        return runShow(args);
    if (std::strcmp(command, "import") == 0)
        return runImport(args);
    installInterruptHandler(&app);
    return runDiff(args);
}

} // namespace dxu::cli
