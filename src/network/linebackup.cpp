#include "network/linebackup.h"

#include "protocol/dxustate.h"
#include "services/csv.h"
#include "services/safewrite.h"
#include "settings/setupfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace dxu {
namespace {

// A manifest is a line per unit: anything far larger is no manifest.
constexpr qint64 MaxManifestBytes = 64 * 1024;
const char kHeader[] = "address,version,file,time";

bool isAddress(const QString& text)
{
    return text.size() == 1 && text[0].toLatin1() != 0 && std::strchr(AddressAlphabet, text[0].toLatin1()) != nullptr;
}

// A plain file name: no folder, nothing that leaves the folder.
bool plainName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
           && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

} // namespace

QString backupFileName(char address)
{
    const QString a = QString(QLatin1Char(address));
    return (address >= 'A' && address <= 'Z') ? a + QStringLiteral("-upper.dxu") : a + QStringLiteral(".dxu");
}

QByteArray manifestText(const std::vector<ManifestRow>& rows)
{
    QString text = QLatin1String(kHeader) + QLatin1Char('\n');
    for (const ManifestRow& r : rows)
        text += QStringLiteral("%1,%2,%3,%4\n")
                    .arg(QString(QLatin1Char(r.address)), csvField(r.version.simplified()), csvField(r.file),
                         r.time.toUTC().toString(Qt::ISODate));
    return text.toUtf8();
}

QString writeManifest(const QString& dir, const std::vector<ManifestRow>& rows)
{
    const QString path = QDir(dir).filePath(QLatin1String(ManifestName));
    const QString error = replaceFile(path, manifestText(rows), Links::Replace);
    return error.isEmpty() ? QString() : QStringLiteral("Cannot write \"%1\": %2.").arg(path, error);
}

namespace {

// The rows of dir's manifest; with lenient, a bad line is passed over and
// the good rows are kept.
Manifest manifestOf(const QString& dir, bool lenient)
{
    Manifest m;
    const QString path = QDir(dir).filePath(QLatin1String(ManifestName));
    const auto refuse = [&](const QString& why) {
        m.rows.clear();
        m.error = QStringLiteral("\"%1\" %2").arg(path, why);
        return m;
    };
    if (!QFileInfo(path).isFile())
        return refuse(QFileInfo::exists(path) ? QStringLiteral("is not a regular file.")
                                              : QStringLiteral("does not exist: the folder holds no line backup."));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return refuse(QStringLiteral("cannot be read: %1.").arg(f.errorString()));
    const QByteArray bytes = f.read(MaxManifestBytes + 1);
    if (bytes.size() > MaxManifestBytes)
        return refuse(QStringLiteral("is too large for a manifest."));
    const QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    if (lines.value(0).trimmed() != QLatin1String(kHeader))
        return refuse(QStringLiteral("is no manifest (its first line is not \"%1\").").arg(QLatin1String(kHeader)));
    for (int i = 1; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty())
            continue;
        const QStringList f = csvLineFields(line);
        const QString where = QStringLiteral("line %1").arg(i + 1);
        QString bad;
        if (f.size() != 4)
            bad = QStringLiteral("%1: 4 fields expected, %2 found.").arg(where).arg(f.size());
        else if (!isAddress(f[0]))
            bad = QStringLiteral("%1: '%2' is no unit address (a-z, A-Z, 0-9).").arg(where, f[0]);
        else if (!plainName(f[2]))
            bad = QStringLiteral("%1: '%2' is no file name inside the folder.").arg(where, f[2]);
        else if (std::any_of(m.rows.begin(), m.rows.end(), [&f](const ManifestRow& r) { return r.address == f[0][0].toLatin1(); }))
            bad = QStringLiteral("%1: unit %2 is listed twice.").arg(where, f[0]);
        if (!bad.isEmpty()) {
            if (lenient)
                continue;
            return refuse(bad);
        }
        ManifestRow row;
        row.address = f[0][0].toLatin1();
        row.version = f[1];
        row.file = f[2];
        row.time = QDateTime::fromString(f[3], Qt::ISODate);
        m.rows.push_back(row);
    }
    if (m.rows.empty() && !lenient)
        return refuse(QStringLiteral("lists no unit."));
    return m;
}

} // namespace

Manifest readManifest(const QString& dir) { return manifestOf(dir, false); }

bool holdsBackupOf(const QString& dir, char address)
{
    const QString path = QDir(dir).filePath(backupFileName(address));
    const QFileInfo info(path);
    return info.isFile() && !info.isSymLink() && readSetupFile(path).ok();
}

std::vector<ManifestRow> rowsOfFolder(const QString& dir, std::vector<ManifestRow> rows)
{
    const std::vector<ManifestRow> earlier = manifestOf(dir, true).rows;
    for (const char* a = AddressAlphabet; *a; ++a) {
        const char address = *a;
        if (std::any_of(rows.begin(), rows.end(), [address](const ManifestRow& r) { return r.address == address; })
            || !holdsBackupOf(dir, address))
            continue;
        const QString file = backupFileName(address);
        const auto old = std::find_if(earlier.begin(), earlier.end(), [&](const ManifestRow& r) {
            return r.address == address && r.file == file;
        });
        rows.push_back(old != earlier.end()
                           ? *old
                           : ManifestRow{address, {}, file, QFileInfo(QDir(dir).filePath(file)).lastModified().toUTC()});
    }
    return rows;
}

} // namespace dxu
