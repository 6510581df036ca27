#include "cli/linecommands.h"

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/journalcommands.h"
#include "cli/progress.h"

#include "network/linebackup.h"
#include "services/csv.h"
#include "settings/setupfile.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace dxu::cli {
namespace {

// A result of the run: with --format csv one line "unit,<address>,<word>,<text>"
// or "manifest,,<word>,<text>" for programs to read; else the text alone,
// and of the manifest only a failure, on standard error.
void report(const Options& o, const char* record, char address, const char* word, const QString& text)
{
    const bool manifest = std::strcmp(record, "manifest") == 0;
    if (o.format == Format::Csv)
        printOut(QStringLiteral("%1,%2,%3,%4\n")
                     .arg(QLatin1String(record), address ? QString(QLatin1Char(address)) : QString(),
                          QLatin1String(word), csvField(text)));
    else if (!manifest)
        printOut(text + QLatin1Char('\n'));
    else if (std::strcmp(word, "written") != 0)
        printError(text);
}

} // namespace

int runBackup(const Options& o)
{
    if (!QDir().mkpath(o.dir)) {
        printError(QStringLiteral("cannot create the folder \"%1\"").arg(o.dir));
        return ExitFailed;
    }
    UnitLine line(o.comNumber, o.rate, true, o.devicePath);
    Progress progress;
    Tally tally;
    std::vector<ManifestRow> rows;
    for (char address : o.addresses) {
        const QString name = unitName(address);
        Outcome result = connectShown(line, progress, address);
        ManifestRow row{address, QString::fromLatin1(line.versionText()).trimmed(), backupFileName(address),
                        QDateTime::currentDateTimeUtc()};
        if (result.ok()) {
            progress.step(QStringLiteral("%1: writing %2").arg(name, row.file));
            // A link in the folder is replaced, never followed out of it.
            const QString error = writeSetupFile(QDir(o.dir).filePath(row.file), line.unit(), Links::Replace);
            if (!error.isEmpty())
                result = {ExitFailed, error.simplified()};
        }
        line.disconnect();
        progress.clear();
        if (result.ok()) {
            rows.push_back(row);
            report(o, "unit", address, "ok", QStringLiteral("%1: ok (%2)").arg(name, row.file));
        } else {
            report(o, "unit", address, "failed", QStringLiteral("%1: FAILED: %2").arg(name, line.withWhere(result.message)));
        }
        tally.add(result);
        if (interrupted() || outputFailed())
            break;
    }
    // Without a unit backed up nothing was written: an earlier manifest of
    // the folder still matches its files.
    if (rows.empty()) {
        report(o, "manifest", 0, "unchanged", QStringLiteral("no unit was backed up; \"%1\" is unchanged").arg(o.dir));
        return finished(tally.status == ExitOk ? ExitFailed : tally.status);
    }
    // The manifest lists the units backed up now and every other unit whose
    // own file of an earlier backup is still in the folder, whole and good
    // (a file is written whole or not at all).
    rows = rowsOfFolder(o.dir, std::move(rows));
    const QString error = writeManifest(o.dir, rows);
    if (!error.isEmpty()) {
        // The units read now are not listed: what the folder restores is an
        // earlier backup's list, or nothing.
        const Manifest earlier = readManifest(o.dir);
        report(o, "manifest", 0, "failed",
               error.simplified() + QLatin1Char(' ')
                   + (earlier.ok() ? QStringLiteral("It still lists the earlier backup.")
                                   : QStringLiteral("The folder is not a usable backup.")));
        return finished(tally.status == ExitOk ? ExitFailed : tally.status);
    }
    report(o, "manifest", 0, "written",
           QStringLiteral("%1 lists %2 unit%3").arg(QLatin1String(ManifestName)).arg(rows.size()).arg(rows.size() == 1 ? "" : "s"));
    return finished(tally.status);
}

int runRestore(const Options& o)
{
    const Manifest manifest = readManifest(o.dir);
    if (!manifest.ok()) {
        printError(manifest.error.simplified());
        return ExitUsage;
    }
    std::vector<ManifestRow> rows;
    for (char address : o.addresses) {
        const auto it = std::find_if(manifest.rows.begin(), manifest.rows.end(),
                                     [address](const ManifestRow& r) { return r.address == address; });
        if (it == manifest.rows.end()) {
            printError(QStringLiteral("unit %1 is not in the backup in \"%2\"").arg(unitName(address), o.dir));
            return ExitUsage;
        }
        rows.push_back(*it);
    }
    if (o.addresses.empty())
        rows = manifest.rows;

    UnitLine line(o.comNumber, o.rate, true, o.devicePath);
    LineJournal journal(line, o);
    Progress progress;
    Tally tally;
    for (const ManifestRow& row : rows) {
        const SetupImage image = readSetupFile(QDir(o.dir).filePath(row.file));
        Applied a;
        if (image.ok()) {
            a = applyToUnit(line, progress, row.address, image.record, o.noSave);
        } else {
            a.outcome = {ExitUsage, image.error};
            a.line = QStringLiteral("%1: FAILED: %2\n").arg(unitName(row.address), image.error.simplified());
        }
        tally.add(a.outcome);
        report(o, "unit", row.address, a.word, a.line.trimmed());
        if (interrupted() || outputFailed())
            break;
    }
    return finished(tally.status);
}

} // namespace dxu::cli
