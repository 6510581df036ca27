// Fuzz entries for the change journal as it is read back: any file where the
// journal should be (the rows read from it, the rows of one unit, its CSV),
// and the time of `dxu-cli history --since`, which selects exactly the rows
// from that time on.
#include "entries.h"

#include "cli/options.h"
#include "journal/journal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace dxu::fuzz {
namespace {

// The database driver wants an application object.
void needApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

} // namespace

int runJournalInput(const uint8_t* data, std::size_t size)
{
    needApplication();
    // A fresh folder each time: a damaged file is moved aside there.
    const QString path = writeScratchFile(QStringLiteral("journal/x"), {});
    QDir folder = QFileInfo(path).absoluteDir();
    folder.removeRecursively();
    const QString file = writeScratchFile(QStringLiteral("journal/journal.sqlite"),
                                          QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    Journal journal(file, [](const QString& text) { check(!text.isEmpty()); });
    const std::vector<Change> rows = journal.changes();
    journal.units();
    changesCsv(rows);
    if (rows.empty())
        return 0;
    JournalFilter one;
    one.address = rows.front().address;
    one.limit = 2;
    const std::vector<Change> ofUnit = journal.changes(one);
    check(ofUnit.size() <= 2);
    for (const Change& c : ofUnit)
        check(c.address == *one.address);
    return 0;
}

int runSinceInput(const uint8_t* data, std::size_t size)
{
    needApplication();
    const QDateTime from = cli::sinceTime(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!from.isValid())
        return 0;
    // One journal for every input, with rows at the edges of what a time can be.
    static const QDateTime kTimes[] = {
        QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC),
        QDateTime(QDate(1969, 12, 31), QTime(23, 59, 59, 999), Qt::UTC),
        QDateTime(QDate(1970, 1, 1), QTime(0, 0), Qt::UTC),
        QDateTime(QDate(2026, 12, 8), QTime(6, 0), Qt::UTC),
        QDateTime(QDate(2026, 12, 8), QTime(6, 0, 0, 1), Qt::UTC),
        QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59, 999), Qt::UTC),
    };
    // Never destroyed: the database driver is gone before static objects are.
    static Journal& journal = *new Journal(QFileInfo(writeScratchFile(QStringLiteral("since/x"), {})).absolutePath()
                                           + QStringLiteral("/journal.sqlite"));
    static const bool written = [] {
        for (const QDateTime& t : kTimes) {
            Change c;
            c.time = t;
            c.code = QStringLiteral("PF");
            check(journal.recordChange(c));
        }
        return true;
    }();
    check(written);
    JournalFilter filter;
    filter.from = from;
    const std::vector<Change> rows = journal.changes(filter);
    const auto expected = std::count_if(std::begin(kTimes), std::end(kTimes), [&](const QDateTime& t) { return t >= from; });
    check(qsizetype(rows.size()) == qsizetype(expected));
    for (const Change& c : rows)
        check(c.time >= from);
    return 0;
}

} // namespace dxu::fuzz
