#pragma once
// dxu-cli history and dxu-cli report (the change journal and the
// commissioning report). They need no port check before they run and the
// report draws text, so they start before the other commands' application.

#include "journal/journal.h"
#include "journal/journalfeed.h"
#include "journal/recorder.h"

#include <QString>

namespace dxu::cli {

class UnitLine;
struct Options;
struct Outcome;

// The link as the journal names it: "COM 1 (/dev/ttyS0)" or the device path.
QString journalLink(const Options& o);

// The change journal of a command that writes to units: every write on the
// line, with the unit's answer, while it lives. The rows are written off the
// line's path; finish() waits for them at the end.
class LineJournal {
public:
    // How long the end of a command waits for another program holding the journal.
    static constexpr int FinishWaitMs = 30000;

    LineJournal(UnitLine& line, const Options& o);
    // finish(), when it has not been called.
    ~LineJournal();
    LineJournal(const LineJournal&) = delete;
    LineJournal& operator=(const LineJournal&) = delete;

    // Writes every row of the run, waiting up to FinishWaitMs for another
    // program that holds the journal. A row that cannot be written is named
    // on standard error and the outcome is ExitFailed.
    Outcome finish();

private:
    UnitLine& line_;
    Journal journal_;
    ChangeRecorder recorder_;
    JournalFeed feed_;
};

// Runs history or report when argv[1] names one of them and returns its exit
// status; -1 for any other command line.
int runJournalCommand(int argc, char** argv);

} // namespace dxu::cli
