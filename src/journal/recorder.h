#pragma once
// Turns what happens to a write on the line into journal rows: a write goes
// out (writeSent), the unit takes it (accepted) or answers with an error
// (refused), and the value is read back (readBack). One row per write, with
// its final outcome:
//   - refused: written at once, with the device error;
//   - accepted and read back: "accepted" when the unit holds the value sent,
//     "read back different" (with the value it holds) when it does not;
//   - accepted, no read-back expected or none came before settle(): "accepted";
//   - sent and neither accepted nor refused by settle(): "not answered".
// Replies are matched to the oldest waiting write of the same code, so a
// reply never stands for another command's write; a new write of a setting
// ends the wait for the last one (a late reply cannot stand for it).
//
// No widgets and no line: whoever follows the line (the window, dxu-cli)
// calls these as the unit answers. A finished row is queued in the journal,
// which writes it off the line's path; its failures never reach the caller
// (see Journal).
#include "journal/journal.h"

#include <QString>

#include <functional>
#include <vector>

namespace dxu {

struct SettingCode;
struct UnitRecord;

// The line and the unit a write goes to, asked for when the write is sent.
struct WriteTarget {
    QString link;    // the line: "COM 1 (/dev/ttyUSB0)", a device path or a device server's URL
    QString address; // the unit's address character, empty for none
    QString version; // the unit's version text
};

class ChangeRecorder {
public:
    using Target = std::function<WriteTarget()>;

    ChangeRecorder(Journal& journal, Target target);

    // A write gone out: its code, caption and values with units; readBack:
    // whether a read-back of it will follow its acceptance.
    void writeSent(const QString& code, const QString& caption, const QString& oldValue, const QString& newValue,
                   bool readBack = false);
    // The write of a setting-table row: the old value from the unit's
    // record, the new one from the record the write was made from (the
    // fields that differ; all of the row's when none does). A read-back follows.
    void settingSent(const SettingCode& row, const UnitRecord& unit, const UnitRecord& sent);

    // The unit's "OK" to the oldest waiting write of code.
    void accepted(const QString& code);
    // The unit's error reply to it; deviceError: the error's text.
    void refused(const QString& code, const QString& deviceError);
    // The value the unit holds after the write, with its units.
    void readBack(const QString& code, const QString& value);
    // The same from the unit's record after the read-back reply of row.
    void settingReadBack(const SettingCode& row, const UnitRecord& unit);

    // The end of a command list, a disconnect or a lost link: every write
    // still waiting is written with what is known of it.
    void settle();
    // Writes waiting for an answer or a read-back.
    int waiting() const { return static_cast<int>(waiting_.size()); }

    // The caption and value text (with units) of a row's fields in a record;
    // mask: which fields (bit i: field i).
    static QString captionOf(const SettingCode& row, unsigned mask);
    static QString valueOf(const SettingCode& row, unsigned mask, const UnitRecord& record);

private:
    struct Waiting {
        Change change;
        const SettingCode* row = nullptr; // the table row written, if any
        unsigned mask = 0;                // its fields written
        bool readBack = false;
        bool accepted = false;
    };
    void send(const SettingCode* row, unsigned mask, const QString& code, const QString& caption,
              const QString& oldValue, const QString& newValue, bool readBack);
    // The oldest waiting write of code (unanswered: not yet accepted).
    std::vector<Waiting>::iterator oldest(const QString& code, bool unanswered);
    void finish(std::vector<Waiting>::iterator it, ChangeOutcome outcome, const QString& detail);
    // Accepted when it was, else not answered.
    void finishAsKnown(std::vector<Waiting>::iterator it);
    // The read-back of a waiting write: the unit holds value.
    void heldAfterWrite(std::vector<Waiting>::iterator it, const QString& value);

    Journal& journal_;
    Target target_;
    std::vector<Waiting> waiting_;
};

} // namespace dxu
