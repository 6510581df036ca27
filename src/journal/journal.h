#pragma once
// The change journal: every write to a unit, one row each, in a local SQLite
// database (Qt SQL) at ${XDG_STATE_HOME:-~/.local/state}/dxu-interface/journal.sqlite.
//
// A unit is its link and its address: each row names the link it was made
// through ("COM 1 (/dev/ttyUSB0)", a device path or a device server's URL)
// and the unit's address on an RS-485 line (none on RS-232), and the rows of
// a unit are chosen by the link's device and the address.
//
// Writing never holds up the caller's line: a change is queued and written,
// in order with the others, at the next turn of the event loop, without ever
// waiting for another writer (the window and dxu-cli may write at the same
// time; the database runs in write-ahead mode with synchronous=NORMAL). While
// another writer holds the journal, the queue is kept and tried again every
// RetryMs. A journal that cannot be written (a read-only folder, a full disk)
// never stops the caller: the notice is called once, with one sentence for
// the user, and the queue is kept and tried again every RetryFailedMs. A
// change is lost only when finish() cannot write it (or the queue overflows):
// then the notice names every such change, with its setting.
//
// A file that is not a database or is damaged is renamed to
// "journal.sqlite.damaged-<UTC time>" (with its -wal and -shm files), the
// notice says so, and a new one is started. A journal from before the link's
// device was stored is brought up to date when it is first written; until
// then (and in a folder that cannot be written) it is read as it is.
#include <QDateTime>
#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QSqlError;
class QTimer;

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
    QString link;        // the line the unit was reached through: "COM 1 (/dev/ttyUSB0)", a
                         // device path or a device server's URL; empty when not known
    QString address;     // the unit's RS-485 address character; empty for the unit on an
                         // RS-232 cable, which its link alone names
    QString version;     // the unit's version text
    QString code;        // the setting code written ("PF"), or the command ("SU")
    QString caption;     // the setting as the panel names it
    QString oldValue, newValue; // each with its units
    ChangeOutcome outcome = ChangeOutcome::Accepted;
    QString detail;      // the device error, or the value read back
    qint64 id = 0;       // the row's number in the journal (set when read)
};

// The device of a link, the part that tells one line from another: the path
// or URL inside "COM n (...)", else the link itself.
QString linkDevice(const QString& link);

// Which rows to read. An empty optional or an invalid time is no limit.
struct JournalFilter {
    std::optional<QString> address, version; // the unit's ("" for a unit without address)
    QDateTime from, to;                      // from <= time < to
    int limit = 0;                           // 0: every row
    std::optional<QString> link;             // rows of the same device ("": of an unknown link)
};

// A unit as the journal knows it (for the history's unit choice).
struct JournalUnit {
    QString device; // linkDevice() of its rows' link; empty: not known
    QString address, version;
};

// Whether the filter selects the change.
bool filterSelects(const JournalFilter& filter, const Change& change);

class Journal {
public:
    using Notice = std::function<void(const QString& text)>;
    // How often a queue held up by another writer is tried again.
    static constexpr int RetryMs = 200;
    // How often a queue is tried again after the journal failed otherwise.
    static constexpr int RetryFailedMs = 5000;
    // How long a read waits for another writer (never on a write's path).
    static constexpr int ReadWaitMs = 2000;
    // The changes kept while the journal cannot be written; the oldest goes beyond.
    static constexpr int MaxQueued = 10000;

    // path empty: defaultPath(). Nothing is opened or created before the
    // first call that needs the file.
    explicit Journal(QString path = {}, Notice notice = {});
    // What is still queued gets one last try; what cannot be written is said.
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    static QString defaultPath();
    const QString& path() const { return path_; }
    void setNotice(Notice notice) { notice_ = std::move(notice); }

    // Queues one change; it is written at the next turn of the event loop
    // (or the next call that writes).
    void queueChange(const Change& change);
    // Queues one change and writes the queue now, never waiting; true when
    // all of it is written (false: the rest stays queued, see lastError()).
    bool recordChange(const Change& change);
    // Writes the queue now, never waiting; true when nothing is left.
    bool flush();
    // Writes the queue, waiting up to waitMs for another writer to let go.
    // What cannot be written then is lost: named through the notice and returned.
    std::vector<Change> finish(int waitMs);
    // Changes queued, not yet written.
    int queued() const { return static_cast<int>(queue_.size()); }
    // The last write met another writer holding the journal.
    bool heldByAnother() const { return busy_; }

    // The rows the filter selects, newest first, the queued ones among them.
    // Empty when there is no journal yet or it cannot be read (said through
    // the notice).
    std::vector<Change> changes(const JournalFilter& filter = {});
    // Every unit with at least one row, by address, version and device.
    std::vector<JournalUnit> units();
    // The last failure, one sentence; empty after a success.
    const QString& lastError() const { return error_; }

private:
    struct Db;
    enum class Open { Ready, Busy, Failed };
    Open openWriter();
    bool openReader();
    // Brings an older journal's table up to date (in a transaction of its own).
    bool upgrade(QSqlError& error);
    bool writeQueue();
    void fail(const QString& what, const QString& why);
    // Says the changes as lost, with why.
    void sayLost(const std::vector<Change>& lost, const QString& why);
    bool damaged(const QString& nativeCode) const;
    void moveAside();
    void schedule(int ms);

    QString path_;
    Notice notice_;
    QString user_, host_;
    std::unique_ptr<Db> writer_, reader_;
    std::deque<Change> queue_;
    std::unique_ptr<QTimer> timer_;
    QString error_;
    bool said_ = false;
    bool busy_ = false;
};

// The rows as CSV with a heading line: time (UTC, ISO 8601), user, host,
// link, address, version, code, setting, old, new, outcome, detail.
QString changesCsv(const std::vector<Change>& rows);
// Writes changesCsv(rows) to path, whole or not at all. Empty on success, else
// a sentence naming the file.
QString exportChangesCsv(const QString& path, const std::vector<Change>& rows);

} // namespace dxu
