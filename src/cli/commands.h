#pragma once
// The sub-commands of dxu-cli. Each returns the program's exit status.
#include "cli/options.h"
#include "cli/unitline.h"

#include <QDateTime>

namespace dxu::publish {
class Publisher;
}

namespace dxu::cli {

class Progress;

int runRead(const Options& o);
int runApply(const Options& o);
int runMeasure(const Options& o);
int runScan(const Options& o);

// Runs the command of o (after the port was checked).
int runCommand(const Options& o);
// Makes the port of o usable for this run (a device path as its COM number,
// the port's options, notes on standard error): ExitOk when it is free (or
// need not be there yet: mustBeThere false), else ExitPortClosed with the
// reason said.
int preparePort(const Options& o, bool mustBeThere = true);

// What the commands share.
// Prints to standard output at once; false when it cannot be written, and
// from then on: the results are lost, so the command fails.
bool printOut(const QString& text);
bool outputFailed();
void printError(const QString& text);
// The status of a command whose work is done: a failure when its results
// could not be written.
int finished(int status);
// The status of a run: that of the first unit that failed.
struct Tally {
    int status = ExitOk;
    void add(const Outcome& o)
    {
        if (status == ExitOk)
            status = o.status;
    }
};
// A result as the window shows it: metres to the millimetre, feet to the
// hundredth; a field the display mode leaves out is empty.
struct ResultFields {
    QString time, distance, intensity, unit;
    QDateTime utc;
};
ResultFields resultFields(const UnitRecord& u);
// Results taken as Averaging or Last Target gives them.
bool measurableMode(const UnitRecord& u);
QString unmeasurableText();
// --publish: the connection to the broker (none without --publish); the
// status to end with when it cannot be made.
int openPublisher(publish::Publisher& publisher);
// Connects to a unit with the read progress shown.
Outcome connectShown(UnitLine& line, Progress& progress, char address);
// A unit's result of apply: how it went, apply's line of result for it, and
// one word for programs that read the result: "saved", "unsaved" (written,
// --no-save), "unchanged" (nothing to write) or "failed".
struct Applied {
    Outcome outcome;
    QString line;
    const char* word = "failed";
};
// Puts image into the unit at address as apply does: connects and reads it,
// writes what differs, reads it back and checks it against the file, then
// saves (SU) when anything was written, unless noSave; closes the port.
Applied applyToUnit(UnitLine& line, Progress& progress, char address, const UnitRecord& image, bool noSave);

} // namespace dxu::cli
