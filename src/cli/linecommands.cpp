#include "cli/linecommands.h"

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/journalcommands.h"
#include "cli/progress.h"

#include "network/linebackup.h"
#include "settings/setupfile.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace dxu::cli {

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
            const QString error = writeSetupFile(QDir(o.dir).filePath(row.file), line.unit());
            if (!error.isEmpty())
                result = {ExitFailed, error.simplified()};
        }
        line.disconnect();
        progress.clear();
        if (result.ok()) {
            rows.push_back(row);
            printOut(QStringLiteral("%1: ok (%2)\n").arg(name, row.file));
        } else {
            printOut(QStringLiteral("%1: FAILED: %2\n").arg(name, line.withWhere(result.message)));
        }
        tally.add(result);
        if (interrupted() || outputFailed())
            break;
    }
    // Without a unit backed up nothing was written: an earlier manifest of
    // the folder still matches its files.
    if (rows.empty()) {
        printError(QStringLiteral("no unit was backed up; \"%1\" is unchanged").arg(o.dir));
        return finished(tally.status == ExitOk ? ExitFailed : tally.status);
    }
    // A unit not backed up now keeps the place it had in an earlier backup
    // of this folder: its file there is untouched (written whole or not at all).
    const Manifest earlier = readManifest(o.dir);
    for (const ManifestRow& old : earlier.rows)
        if (std::none_of(rows.begin(), rows.end(), [&old](const ManifestRow& r) { return r.address == old.address; })
            && QFileInfo::exists(QDir(o.dir).filePath(old.file)))
            rows.push_back(old);
    const QString error = writeManifest(o.dir, rows);
    if (!error.isEmpty()) {
        printError(error.simplified());
        return finished(tally.status == ExitOk ? ExitFailed : tally.status);
    }
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
        QString resultLine;
        if (image.ok()) {
            tally.add(applyToUnit(line, progress, row.address, image.record, o.noSave, resultLine));
        } else {
            resultLine = QStringLiteral("%1: FAILED: %2\n").arg(unitName(row.address), image.error.simplified());
            tally.add({ExitUsage, image.error});
        }
        printOut(resultLine);
        if (interrupted() || outputFailed())
            break;
    }
    return finished(tally.status);
}

} // namespace dxu::cli
