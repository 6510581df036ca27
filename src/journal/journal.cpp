#include "journal/journal.h"

#include "services/csv.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QSysInfo>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <set>
#include <tuple>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace dxu {
namespace {

// SQLite's primary result codes: another connection holds the file, and a
// file that is not a sound database.
constexpr int SqliteBusy = 5;
constexpr int SqliteLocked = 6;
constexpr int SqliteCorrupt = 11;
constexpr int SqliteNotADatabase = 26;

const char kSchema[] =
    "CREATE TABLE IF NOT EXISTS changes ("
    " id INTEGER PRIMARY KEY,"
    " time TEXT NOT NULL,"
    " user TEXT NOT NULL, host TEXT NOT NULL, link TEXT NOT NULL,"
    " address TEXT NOT NULL, version TEXT NOT NULL,"
    " code TEXT NOT NULL, caption TEXT NOT NULL,"
    " old_value TEXT NOT NULL, new_value TEXT NOT NULL,"
    " outcome TEXT NOT NULL, detail TEXT NOT NULL,"
    " device TEXT NOT NULL DEFAULT '')";
// One index only: each one is more pages written with every change. A unit's
// rows are asked for by address, device and version, from a time on.
const char kUnitIndex[] = "changes_by_unit_link";
const char kMakeUnitIndex[] =
    "CREATE INDEX IF NOT EXISTS changes_by_unit_link ON changes(address, device, version, time)";
// The index of the journals before the device was stored.
const char kOldUnitIndex[] = "DROP INDEX IF EXISTS changes_by_unit";
// The columns a row is read from, in Change's order; a journal from before
// one of them reads it as empty.
const char* const kColumns[] = {"id",   "time",    "user",    "host",    "link",      "address",  "version",
                                "code", "caption", "old_value", "new_value", "outcome", "detail"};
constexpr int ColumnCount = static_cast<int>(std::size(kColumns));

constexpr ChangeOutcome kOutcomes[] = {ChangeOutcome::Accepted, ChangeOutcome::Refused,
                                       ChangeOutcome::ReadBackDifferent, ChangeOutcome::NotAnswered};

// Time stamps are stored as fixed-width UTC text, so they sort as they compare.
QString timeText(const QDateTime& t) { return t.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ")); }

// Who and where this process runs, learnt once.
QString thisUser()
{
#ifdef Q_OS_UNIX
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
#endif
    return qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
}

// SQLite tells NULL from "": a null text is bound as "".
QString notNull(const QString& text) { return text.isNull() ? QStringLiteral("") : text; }

int primaryCode(const QSqlError& error) { return error.nativeErrorCode().toInt() & 0xff; }
bool isBusy(const QSqlError& error)
{
    const int code = primaryCode(error);
    return code == SqliteBusy || code == SqliteLocked;
}

bool driverAvailable() { return QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")); }
const char kNoDriver[] = "the Qt SQLite driver (QSQLITE) is not installed";

// The columns of the changes table; empty when there is none.
QSet<QString> columnsOf(const QSqlDatabase& db, QSqlError& error)
{
    QSet<QString> names;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA table_info(changes)")))
        error = q.lastError();
    while (q.next())
        names.insert(q.value(1).toString());
    return names;
}

// A change in one line: what was written, the unit and its link, the time.
QString changeLine(const Change& c)
{
    QString what = c.caption.isEmpty() ? c.code : c.caption;
    if (!c.oldValue.isEmpty() || !c.newValue.isEmpty())
        what += QStringLiteral(" %1 -> %2").arg(c.oldValue, c.newValue);
    QString outcome = outcomeText(c.outcome);
    if (!c.detail.isEmpty())
        outcome += QStringLiteral(": ") + c.detail;
    const QString unit = c.address.isEmpty() ? QStringLiteral("the unit") : QStringLiteral("unit ") + c.address;
    return QStringLiteral("%1 (%2), %3%4 at %5")
        .arg(what, outcome, unit, c.link.isEmpty() ? QString() : QStringLiteral(" on ") + c.link,
             c.time.toLocalTime().toString(QStringLiteral("HH:mm:ss")));
}

} // namespace

QString outcomeText(ChangeOutcome outcome)
{
    switch (outcome) {
    case ChangeOutcome::Accepted:
        return QStringLiteral("accepted");
    case ChangeOutcome::Refused:
        return QStringLiteral("refused");
    case ChangeOutcome::ReadBackDifferent:
        return QStringLiteral("read back different");
    case ChangeOutcome::NotAnswered:
        break;
    }
    return QStringLiteral("not answered");
}

QString linkDevice(const QString& link)
{
    static const QRegularExpression com(QStringLiteral("^COM \\d+ \\((.*)\\)$"));
    const QRegularExpressionMatch m = com.match(link);
    return m.hasMatch() ? m.captured(1) : link;
}

bool filterSelects(const JournalFilter& f, const Change& c)
{
    return (!f.address || c.address == *f.address) && (!f.version || c.version == *f.version)
           && (!f.link || linkDevice(c.link) == linkDevice(*f.link)) && (!f.from.isValid() || c.time >= f.from)
           && (!f.to.isValid() || c.time < f.to);
}

// One connection of Qt SQL, named for this journal alone, with its prepared insert.
struct Journal::Db {
    QString name;
    QSqlDatabase db;
    std::unique_ptr<QSqlQuery> insert;

    Db(const QString& database, const QString& options)
    {
        static std::atomic<int> serial{0};
        name = QStringLiteral("dxu-journal-%1").arg(++serial);
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(database);
        db.setConnectOptions(options);
    }
    ~Db()
    {
        insert.reset();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
};

Journal::Journal(QString path, Notice notice)
    : path_(path.isEmpty() ? defaultPath() : std::move(path)), notice_(std::move(notice)), user_(thisUser()),
      host_(QSysInfo::machineHostName())
{
}

Journal::~Journal()
{
    if (!queue_.empty())
        finish(0);
}

QString Journal::defaultPath()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/dxu-interface/journal.sqlite");
}

void Journal::fail(const QString& what, const QString& why)
{
    error_ = QStringLiteral("The change journal \"%1\" %2: %3.").arg(QDir::toNativeSeparators(path_), what, why);
    if (said_)
        return;
    said_ = true;
    if (notice_)
        notice_(queue_.empty() ? error_
                               : error_ + QStringLiteral(" Your work goes on; the changes are kept and written when it "
                                                         "can be."));
}

void Journal::sayLost(const std::vector<Change>& lost, const QString& why)
{
    if (lost.empty() || !notice_)
        return;
    QString text = why + (lost.size() == 1 ? QStringLiteral(" This change is not recorded:")
                                           : QStringLiteral(" These changes are not recorded:"));
    for (const Change& c : lost)
        text += QStringLiteral("\n  ") + changeLine(c);
    notice_(text);
}

bool Journal::damaged(const QString& nativeCode) const
{
    const int code = nativeCode.toInt() & 0xff;
    return code == SqliteCorrupt || code == SqliteNotADatabase;
}

void Journal::moveAside()
{
    writer_.reset();
    reader_.reset();
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddTHHmmssZ"));
    QString kept = path_ + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFile::exists(kept); ++n)
        kept = path_ + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(n);
    for (const char* suffix : {"", "-wal", "-shm"}) {
        const QString from = path_ + QLatin1String(suffix);
        if (QFile::exists(from) && !QFile::rename(from, kept + QLatin1String(suffix)))
            QFile::remove(from);
    }
    if (notice_)
        notice_(QStringLiteral("The change journal \"%1\" was damaged. It was kept as \"%2\" and a new journal was "
                               "started.")
                    .arg(QDir::toNativeSeparators(path_), QDir::toNativeSeparators(kept)));
}

bool Journal::upgrade(QSqlError& error)
{
    const QSet<QString> before = columnsOf(writer_->db, error);
    if (error.isValid())
        return false;
    QSqlQuery q(writer_->db);
    const QString indexQuery =
        QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = '%1'").arg(QLatin1String(kUnitIndex));
    if (!q.exec(indexQuery)) {
        error = q.lastError();
        return false;
    }
    const bool indexed = q.next();
    q.finish();
    if (indexed && before.contains(QStringLiteral("device")))
        return true;
    // A new journal, or one from before the device was stored: each row's
    // device comes from its link ("COM 1 (/dev/ttyUSB0)" gives
    // /dev/ttyUSB0); a row without a link keeps an unknown one.
    const auto run = [&q, &error](const QString& sql) {
        if (q.exec(sql))
            return true;
        error = q.lastError();
        return false;
    };
    if (!run(QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    bool ok = run(QLatin1String(kSchema));
    if (ok && !before.isEmpty() && !before.contains(QStringLiteral("link")))
        ok = run(QStringLiteral("ALTER TABLE changes ADD COLUMN link TEXT NOT NULL DEFAULT ''"));
    if (ok && !before.isEmpty() && !before.contains(QStringLiteral("device"))) {
        ok = run(QStringLiteral("ALTER TABLE changes ADD COLUMN device TEXT NOT NULL DEFAULT ''"));
        QStringList links;
        if (ok && (ok = run(QStringLiteral("SELECT DISTINCT link FROM changes"))))
            while (q.next())
                links << q.value(0).toString();
        QSqlQuery set(writer_->db);
        set.prepare(QStringLiteral("UPDATE changes SET device = ? WHERE link = ?"));
        for (const QString& link : links) {
            if (!ok || link.isEmpty())
                continue;
            set.bindValue(0, notNull(linkDevice(link)));
            set.bindValue(1, link);
            if (!set.exec()) {
                error = set.lastError();
                ok = false;
            }
        }
    }
    ok = ok && run(QLatin1String(kOldUnitIndex)) && run(QLatin1String(kMakeUnitIndex)) && run(QStringLiteral("COMMIT"));
    if (!ok) {
        const QSqlError kept = error;
        q.exec(QStringLiteral("ROLLBACK"));
        error = kept;
    }
    return ok;
}

Journal::Open Journal::openWriter()
{
    if (writer_)
        return Open::Ready;
    if (!driverAvailable()) {
        fail(QStringLiteral("cannot be opened"), QLatin1String(kNoDriver));
        return Open::Failed;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QString folder = QFileInfo(path_).absolutePath();
        if (!QDir().mkpath(folder)) {
            fail(QStringLiteral("cannot be written"), QStringLiteral("its folder cannot be made"));
            return Open::Failed;
        }
        // Never waiting: a journal held by another writer is tried again later.
        writer_ = std::make_unique<Db>(path_, QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
        QSqlError error;
        if (!writer_->db.open()) {
            error = writer_->db.lastError();
        } else {
            QSqlQuery q(writer_->db);
            // Switching to write-ahead mode writes the file: only when it is not so yet.
            if (!q.exec(QStringLiteral("PRAGMA journal_mode")))
                error = q.lastError();
            else if (!(q.next() && q.value(0).toString() == QLatin1String("wal"))
                     && !q.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
                error = q.lastError();
            else if (!q.exec(QStringLiteral("PRAGMA synchronous=NORMAL")))
                error = q.lastError();
            q.finish();
            if (!error.isValid())
                upgrade(error);
        }
        if (!error.isValid()) {
            writer_->insert = std::make_unique<QSqlQuery>(writer_->db);
            writer_->insert->prepare(QStringLiteral("INSERT INTO changes (time, user, host, link, address, version, "
                                                    "code, caption, old_value, new_value, outcome, detail, device) "
                                                    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
            return Open::Ready;
        }
        writer_.reset();
        if (isBusy(error)) {
            busy_ = true;
            return Open::Busy;
        }
        if (attempt == 0 && damaged(error.nativeErrorCode())) {
            moveAside();
            continue;
        }
        fail(QStringLiteral("cannot be opened"), error.text());
        return Open::Failed;
    }
    return Open::Failed;
}

bool Journal::writeQueue()
{
    busy_ = false;
    if (queue_.empty())
        return true;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const Open open = openWriter();
        if (open != Open::Ready)
            return false;
        // The whole queue in one transaction, in the order it came.
        QSqlQuery q(writer_->db);
        QSqlError error;
        if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            error = q.lastError();
        } else {
            QSqlQuery& insert = *writer_->insert;
            for (const Change& c : queue_) {
                const QString values[] = {timeText(c.time), c.user,    c.host,     c.link,     c.address,
                                          c.version,        c.code,    c.caption,  c.oldValue, c.newValue,
                                          outcomeText(c.outcome),      c.detail,   linkDevice(c.link)};
                for (int i = 0; i < static_cast<int>(std::size(values)); ++i)
                    insert.bindValue(i, notNull(values[i]));
                const bool done = insert.exec();
                if (!done)
                    error = insert.lastError();
                insert.finish();
                if (!done)
                    break;
            }
            if (!error.isValid() && !q.exec(QStringLiteral("COMMIT")))
                error = q.lastError();
            if (error.isValid())
                QSqlQuery(writer_->db).exec(QStringLiteral("ROLLBACK"));
        }
        if (!error.isValid()) {
            queue_.clear();
            error_.clear();
            said_ = false;
            return true;
        }
        if (isBusy(error)) {
            busy_ = true;
            return false;
        }
        if (attempt == 0 && damaged(error.nativeErrorCode())) {
            moveAside();
            continue;
        }
        // The file may come back (space freed, a folder made writable): the
        // next try opens it afresh.
        writer_.reset();
        fail(QStringLiteral("cannot be written"), error.text());
        return false;
    }
    return false;
}

void Journal::schedule(int ms)
{
    if (ms < 0) {
        if (timer_)
            timer_->stop();
        return;
    }
    if (!timer_) {
        if (!QCoreApplication::instance())
            return; // no event loop: the next call that writes tries again
        timer_ = std::make_unique<QTimer>();
        timer_->setSingleShot(true);
        QObject::connect(timer_.get(), &QTimer::timeout, [this] { flush(); });
    }
    timer_->start(ms);
}

void Journal::queueChange(const Change& change)
{
    Change c = change;
    if (!c.time.isValid())
        c.time = QDateTime::currentDateTimeUtc();
    if (c.user.isEmpty())
        c.user = user_;
    if (c.host.isEmpty())
        c.host = host_;
    queue_.push_back(std::move(c));
    if (queue_.size() > size_t(MaxQueued)) {
        const Change oldest = queue_.front();
        queue_.pop_front();
        sayLost({oldest}, QStringLiteral("More than %1 changes wait for the change journal \"%2\". %3")
                              .arg(MaxQueued)
                              .arg(QDir::toNativeSeparators(path_), error_)
                              .trimmed());
    }
    // Written at the next turn of the event loop, never on the caller's path;
    // a queue waiting for its next try waits with it.
    if (!timer_ || !timer_->isActive())
        schedule(0);
}

bool Journal::recordChange(const Change& change)
{
    queueChange(change);
    return flush();
}

bool Journal::flush()
{
    const bool done = writeQueue();
    schedule(done ? -1 : busy_ ? RetryMs : RetryFailedMs);
    return done;
}

std::vector<Change> Journal::finish(int waitMs)
{
    QElapsedTimer waited;
    waited.start();
    while (!writeQueue() && busy_ && waited.elapsed() < waitMs)
        QThread::msleep(20);
    schedule(-1);
    if (queue_.empty())
        return {};
    std::vector<Change> lost(queue_.begin(), queue_.end());
    queue_.clear();
    sayLost(lost, busy_ ? QStringLiteral("The change journal \"%1\" was held by another program for %2 s.")
                              .arg(QDir::toNativeSeparators(path_))
                              .arg((waited.elapsed() + 500) / 1000)
                        : error_);
    return lost;
}

bool Journal::openReader()
{
    if (reader_)
        return true;
    if (!driverAvailable()) {
        fail(QStringLiteral("cannot be opened"), QLatin1String(kNoDriver));
        return false;
    }
    if (!QFile::exists(path_))
        return false; // no journal yet: nothing to read
    // Read-only, so that a journal in a folder that cannot be written is read
    // too. There a journal without its write-ahead files cannot make them: it
    // is read as the file stands (nothing can write it meanwhile).
    QString database = path_;
    QString options = QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1").arg(ReadWaitMs);
    if (!QFileInfo(QFileInfo(path_).absolutePath()).isWritable() && !QFile::exists(path_ + QStringLiteral("-wal"))) {
        database = QUrl::fromLocalFile(path_).toString(QUrl::FullyEncoded) + QStringLiteral("?immutable=1");
        options += QStringLiteral(";QSQLITE_OPEN_URI");
    }
    reader_ = std::make_unique<Db>(database, options);
    if (reader_->db.open())
        return true;
    const QSqlError error = reader_->db.lastError();
    reader_.reset();
    fail(QStringLiteral("cannot be opened"), error.text());
    return false;
}

std::vector<Change> Journal::changes(const JournalFilter& filter)
{
    flush();
    std::vector<Change> rows;
    for (auto it = queue_.rbegin(); it != queue_.rend(); ++it)
        if (filterSelects(filter, *it))
            rows.push_back(*it);
    if (!openReader())
        return rows;
    QSqlError error;
    const QSet<QString> have = columnsOf(reader_->db, error);
    QStringList select;
    for (const char* column : kColumns)
        select << (have.contains(QLatin1String(column)) ? QLatin1String(column) : QLatin1String("''"));
    QStringList where;
    QVariantList binds;
    if (filter.address) {
        where << QStringLiteral("address = ?");
        binds << notNull(*filter.address);
    }
    if (filter.version) {
        where << QStringLiteral("version = ?");
        binds << notNull(*filter.version);
    }
    // A journal not yet brought up to date has no devices: its rows are
    // chosen by their links here.
    const bool byDevice = filter.link && have.contains(QStringLiteral("device"));
    if (byDevice) {
        where << QStringLiteral("device = ?");
        binds << notNull(linkDevice(*filter.link));
    }
    if (filter.from.isValid()) {
        where << QStringLiteral("time >= ?");
        binds << timeText(filter.from);
    }
    if (filter.to.isValid()) {
        where << QStringLiteral("time < ?");
        binds << timeText(filter.to);
    }
    QString sql = QStringLiteral("SELECT %1 FROM changes").arg(select.join(QStringLiteral(", ")));
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY time DESC, id DESC");
    if (filter.limit > 0 && (byDevice || !filter.link))
        sql += QStringLiteral(" LIMIT %1").arg(filter.limit);
    QSqlQuery q(reader_->db);
    q.setForwardOnly(true);
    if (!error.isValid() && !have.isEmpty()) {
        q.prepare(sql);
        for (int i = 0; i < binds.size(); ++i)
            q.bindValue(i, binds[i]);
        if (!q.exec())
            error = q.lastError();
    }
    if (error.isValid()) {
        if (damaged(error.nativeErrorCode()) && QFileInfo(QFileInfo(path_).absolutePath()).isWritable())
            moveAside();
        else
            fail(QStringLiteral("cannot be read"), error.text());
        return rows;
    }
    while (q.next()) {
        Change c;
        c.id = q.value(0).toLongLong();
        c.time = QDateTime::fromString(q.value(1).toString(), Qt::ISODateWithMs);
        c.user = q.value(2).toString();
        c.host = q.value(3).toString();
        c.link = q.value(4).toString();
        c.address = q.value(5).toString();
        c.version = q.value(6).toString();
        c.code = q.value(7).toString();
        c.caption = q.value(8).toString();
        c.oldValue = q.value(9).toString();
        c.newValue = q.value(10).toString();
        const QString outcome = q.value(11).toString();
        for (ChangeOutcome o : kOutcomes)
            if (outcomeText(o) == outcome)
                c.outcome = o;
        c.detail = q.value(12).toString();
        if (filterSelects(filter, c))
            rows.push_back(std::move(c));
    }
    // The queued changes first among changes of the same time: they came last.
    std::stable_sort(rows.begin(), rows.end(), [](const Change& a, const Change& b) { return a.time > b.time; });
    if (filter.limit > 0 && rows.size() > size_t(filter.limit))
        rows.resize(size_t(filter.limit));
    return rows;
}

std::vector<JournalUnit> Journal::units()
{
    flush();
    std::set<std::tuple<QString, QString, QString>> seen;
    for (const Change& c : queue_)
        seen.emplace(c.address, c.version, linkDevice(c.link));
    if (openReader()) {
        QSqlError error;
        const QSet<QString> have = columnsOf(reader_->db, error);
        const QString device = have.contains(QStringLiteral("device")) ? QStringLiteral("device")
                               : have.contains(QStringLiteral("link")) ? QStringLiteral("link")
                                                                        : QStringLiteral("''");
        QSqlQuery q(reader_->db);
        if (!error.isValid() && !have.isEmpty()
            && !q.exec(QStringLiteral("SELECT DISTINCT address, version, %1 FROM changes").arg(device)))
            error = q.lastError();
        if (error.isValid())
            fail(QStringLiteral("cannot be read"), error.text());
        while (q.next())
            seen.emplace(q.value(0).toString(), q.value(1).toString(), linkDevice(q.value(2).toString()));
    }
    std::vector<JournalUnit> out;
    for (const auto& [address, version, device] : seen)
        out.push_back({device, address, version});
    return out;
}

QString changesCsv(const std::vector<Change>& rows)
{
    QString out = QStringLiteral("Time (UTC),User,Host,Link,Address,Version,Code,Setting,Old,New,Outcome,Detail\n");
    for (const Change& c : rows) {
        const QString fields[] = {timeText(c.time), c.user,    c.host,     c.link,     c.address,             c.version,
                                  c.code,           c.caption, c.oldValue, c.newValue, outcomeText(c.outcome), c.detail};
        QStringList line;
        for (const QString& f : fields)
            line << csvField(f);
        out += line.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return out;
}

QString exportChangesCsv(const QString& path, const std::vector<Change>& rows)
{
    QSaveFile file(path);
    const QByteArray text = changesCsv(rows).toUtf8();
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit())
        return {};
    return QStringLiteral("Cannot export the history to \"%1\": %2.").arg(QDir::toNativeSeparators(path), file.errorString());
}

} // namespace dxu
