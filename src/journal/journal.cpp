#include "journal/journal.h"

#include "services/csv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QSysInfo>

#include <atomic>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace dxu {
namespace {

// SQLite's primary result codes for a file that is not a sound database.
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
    " outcome TEXT NOT NULL, detail TEXT NOT NULL)";
const char kUnitIndex[] = "CREATE INDEX IF NOT EXISTS changes_by_unit ON changes(address, version, time)";
const char kColumns[] = "id, time, user, host, link, address, version, code, caption, old_value, new_value, outcome, detail";

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

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

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

// One connection of Qt SQL, named for this journal alone, with its prepared insert.
struct Journal::Db {
    QString name;
    QSqlDatabase db;
    std::unique_ptr<QSqlQuery> insert;

    explicit Db(const QString& path)
    {
        static std::atomic<int> serial{0};
        name = QStringLiteral("dxu-journal-%1").arg(++serial);
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
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

Journal::~Journal() = default;

QString Journal::defaultPath()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/dxu-interface/journal.sqlite");
}

void Journal::fail(const QString& what, const QString& why)
{
    error_ = QStringLiteral("The change journal \"%1\" %2: %3.").arg(shown(path_), what, why);
    if (said_)
        return;
    said_ = true;
    if (notice_)
        notice_(error_ + QStringLiteral(" Your work goes on; changes are not recorded until it can be written."));
}

bool Journal::damaged(const QString& nativeCode) const
{
    const int code = nativeCode.toInt() & 0xff;
    return code == SqliteCorrupt || code == SqliteNotADatabase;
}

void Journal::moveAside()
{
    db_.reset();
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
                    .arg(shown(path_), shown(kept)));
}

bool Journal::ensureOpen()
{
    if (db_)
        return true;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QString folder = QFileInfo(path_).absolutePath();
        if (!QDir().mkpath(folder)) {
            fail(QStringLiteral("cannot be written"), QStringLiteral("its folder cannot be made"));
            return false;
        }
        db_ = std::make_unique<Db>(path_);
        QSqlError error;
        if (!db_->db.open()) {
            error = db_->db.lastError();
        } else {
            QSqlQuery q(db_->db);
            // One index only: each one is more pages written with every change.
            for (const char* statement : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL", kSchema, kUnitIndex}) {
                if (!q.exec(QString::fromLatin1(statement))) {
                    error = q.lastError();
                    break;
                }
            }
        }
        if (!error.isValid()) {
            db_->insert = std::make_unique<QSqlQuery>(db_->db);
            db_->insert->prepare(QStringLiteral("INSERT INTO changes (time, user, host, link, address, version, code, "
                                                "caption, old_value, new_value, outcome, detail) "
                                                "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
            return true;
        }
        db_.reset();
        if (attempt == 0 && damaged(error.nativeErrorCode())) {
            moveAside();
            continue;
        }
        fail(QStringLiteral("cannot be opened"), error.text());
        return false;
    }
    return false;
}

bool Journal::recordChange(const Change& c)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!ensureOpen())
            return false;
        QSqlQuery& q = *db_->insert;
        const QString values[] = {timeText(c.time.isValid() ? c.time : QDateTime::currentDateTimeUtc()),
                                  c.user.isEmpty() ? user_ : c.user,
                                  c.host.isEmpty() ? host_ : c.host,
                                  c.link,
                                  c.address,
                                  c.version,
                                  c.code,
                                  c.caption,
                                  c.oldValue,
                                  c.newValue,
                                  outcomeText(c.outcome),
                                  c.detail};
        for (int i = 0; i < 12; ++i)
            q.bindValue(i, values[i].isNull() ? QStringLiteral("") : values[i]);
        // One statement outside an explicit transaction is one transaction.
        if (q.exec()) {
            q.finish();
            error_.clear();
            said_ = false;
            return true;
        }
        const QSqlError error = q.lastError();
        if (attempt == 0 && damaged(error.nativeErrorCode())) {
            moveAside();
            continue;
        }
        // The file may come back (space freed, a folder made writable): the
        // next change opens it afresh.
        db_.reset();
        fail(QStringLiteral("cannot be written"), error.text());
        return false;
    }
    return false;
}

std::vector<Change> Journal::changes(const JournalFilter& filter)
{
    std::vector<Change> rows;
    if (!QFile::exists(path_) || !ensureOpen())
        return rows;
    QStringList where;
    QVariantList binds;
    if (filter.address) {
        where << QStringLiteral("address = ?");
        binds << *filter.address;
    }
    if (filter.version) {
        where << QStringLiteral("version = ?");
        binds << *filter.version;
    }
    if (filter.from.isValid()) {
        where << QStringLiteral("time >= ?");
        binds << timeText(filter.from);
    }
    if (filter.to.isValid()) {
        where << QStringLiteral("time < ?");
        binds << timeText(filter.to);
    }
    QString sql = QStringLiteral("SELECT %1 FROM changes").arg(QLatin1String(kColumns));
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY time DESC, id DESC");
    if (filter.limit > 0)
        sql += QStringLiteral(" LIMIT %1").arg(filter.limit);
    QSqlQuery q(db_->db);
    q.setForwardOnly(true);
    q.prepare(sql);
    for (int i = 0; i < binds.size(); ++i)
        q.bindValue(i, binds[i]);
    if (!q.exec()) {
        const QSqlError error = q.lastError();
        if (damaged(error.nativeErrorCode()))
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
        rows.push_back(std::move(c));
    }
    return rows;
}

std::vector<JournalUnit> Journal::units()
{
    std::vector<JournalUnit> out;
    if (!QFile::exists(path_) || !ensureOpen())
        return out;
    QSqlQuery q(db_->db);
    if (!q.exec(QStringLiteral("SELECT DISTINCT address, version FROM changes ORDER BY address, version"))) {
        fail(QStringLiteral("cannot be read"), q.lastError().text());
        return out;
    }
    while (q.next())
        out.push_back({q.value(0).toString(), q.value(1).toString()});
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
    return QStringLiteral("Cannot export the history to \"%1\": %2.").arg(shown(path), file.errorString());
}

} // namespace dxu
