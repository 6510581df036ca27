#pragma once
// The change journal: every write to a unit, one row each, in a local SQLite
// database (Qt SQL) at ${XDG_STATE_HOME:-~/.local/state}/dxu-interface/journal.sqlite.
//
// Each change is one transaction. The database runs in write-ahead mode with
// synchronous=NORMAL: a crash of the program loses at most the change being
// written, and the window and dxu-cli may write at the same time (a writer
// waits up to BusyTimeoutMs for the other).
//
// A journal that cannot be written (a read-only folder, a full disk) never
// stops the caller: recordChange returns false and the notice is called once,
// with one sentence for the user; the next change tries again. A file that is
// not a database or is damaged is renamed to "journal.sqlite.damaged-<UTC time>"
// (with its -wal and -shm files), the notice says so, and a new one is started.
#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace dxu {

enum class ChangeOutcome {
    Accepted,          // the unit took the value (and read it back as sent)
    Refused,           // the unit answered with an error; detail holds its text
    ReadBackDifferent, // the unit took the write but holds another value; detail holds it
    NotAnswered,       // the write went out and no answer came (time-out, link lost)
};

// The outcome as the journal stores and shows it ("accepted", "refused", ...).
QString outcomeText(ChangeOutcome outcome);

struct Change {
    QDateTime time;      // UTC, to the millisecond; empty: the time of recording
    QString user, host;  // empty: this process's user and host
    QString link;        // the port or network address of the line ("COM 1 (/dev/ttyUSB0)")
    QString address;     // the unit's RS-485 address character; empty when it has none
    QString version;     // the unit's version text
    QString code;        // the setting code written ("PF"), or the command ("SU")
    QString caption;     // the setting as the panel names it
    QString oldValue, newValue; // each with its units
    ChangeOutcome outcome = ChangeOutcome::Accepted;
    QString detail;      // the device error, or the value read back
    qint64 id = 0;       // the row's number in the journal (set when read)
};

// Which rows to read. An empty optional or an invalid time is no limit.
struct JournalFilter {
    std::optional<QString> address, version; // the unit's ("" for a unit without address)
    QDateTime from, to;                      // from <= time < to
    int limit = 0;            // 0: every row
};

// A unit as the journal knows it (for the history's unit choice).
struct JournalUnit {
    QString address, version;
};

class Journal {
public:
    using Notice = std::function<void(const QString& text)>;
    static constexpr int BusyTimeoutMs = 5000;

    // path empty: defaultPath(). Nothing is opened or created before the
    // first call that needs the file.
    explicit Journal(QString path = {}, Notice notice = {});
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    static QString defaultPath();
    const QString& path() const { return path_; }
    void setNotice(Notice notice) { notice_ = std::move(notice); }

    // Writes one change; false when it could not be (said once through the notice).
    bool recordChange(const Change& change);
    // The rows the filter selects, newest first. Empty when there is no
    // journal yet or it cannot be read (said through the notice).
    std::vector<Change> changes(const JournalFilter& filter = {});
    // Every unit with at least one row, by address then version.
    std::vector<JournalUnit> units();
    // The last failure, one sentence; empty after a success.
    const QString& lastError() const { return error_; }

private:
    struct Db;
    bool ensureOpen();
    void fail(const QString& what, const QString& why);
    bool damaged(const QString& nativeCode) const;
    void moveAside();

    QString path_;
    Notice notice_;
    QString user_, host_;
    std::unique_ptr<Db> db_;
    QString error_;
    bool said_ = false;
};

// The rows as CSV with a heading line: time (UTC, ISO 8601), user, host,
// link, address, version, code, setting, old, new, outcome, detail.
QString changesCsv(const std::vector<Change>& rows);
// Writes changesCsv(rows) to path, whole or not at all. Empty on success, else
// a sentence naming the file.
QString exportChangesCsv(const QString& path, const std::vector<Change>& rows);

} // namespace dxu
