// Fuzz entry for a line backup's manifest: a manifest read lists each unit
// of the line at most once with a file inside the folder, and written again
// it reads back the same.
#include "entries.h"

#include "network/linebackup.h"
#include "protocol/dxustate.h"

#include <QDir>
#include <QFileInfo>

#include <cstring>

namespace dxu::fuzz {

int runManifestInput(const uint8_t* data, std::size_t size)
{
    const QString path = writeScratchFile(QStringLiteral("backup/%1").arg(QLatin1String(ManifestName)),
                                          QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const Manifest m = readManifest(QFileInfo(path).absolutePath());
    if (!m.ok()) {
        check(m.rows.empty());
        return 0;
    }
    check(!m.rows.empty());
    for (std::size_t i = 0; i < m.rows.size(); ++i) {
        const ManifestRow& r = m.rows[i];
        check(r.address != 0 && std::strchr(AddressAlphabet, r.address));
        check(!r.file.isEmpty() && !r.file.contains(QLatin1Char('/')) && r.file != QLatin1String("..")
              && r.file != QLatin1String("."));
        for (std::size_t j = 0; j < i; ++j)
            check(m.rows[j].address != r.address);
    }
    const QString copy = QFileInfo(writeScratchFile(QStringLiteral("copy/x"), {})).absolutePath();
    check(writeManifest(copy, m.rows).isEmpty());
    const Manifest again = readManifest(copy);
    check(again.ok() && again.rows.size() == m.rows.size());
    for (std::size_t i = 0; i < m.rows.size(); ++i) {
        const ManifestRow &r = m.rows[i], &a = again.rows[i];
        check(a.address == r.address && a.file == r.file && a.version == r.version.simplified());
        check(a.time.toUTC().toString(Qt::ISODate) == r.time.toUTC().toString(Qt::ISODate));
    }
    check(manifestText(again.rows) == manifestText(m.rows));
    return 0;
}

} // namespace dxu::fuzz
