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

// The link as the journal names it: "COM 1 (/dev/ttyS0)" or the device path.
QString journalLink(const Options& o);

// The change journal of a command that writes to units: every write on the
// line, with the unit's answer, while it lives.
class LineJournal {
public:
    LineJournal(UnitLine& line, const Options& o);
    ~LineJournal();
    LineJournal(const LineJournal&) = delete;
    LineJournal& operator=(const LineJournal&) = delete;

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
