#pragma once
// The command line of dxu-cli: sub-command, port, rate, unit addresses and
// the options of each sub-command, checked before anything is opened.
#include "gateway/gateway.h"
#include "gateway/modbusserver.h"
#include "publish/settings.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include "serial/portoptions.h"

#include <optional>
#include <utility>
#include <vector>

namespace dxu::cli {

// Exit statuses, as the help and the README list them.
enum ExitStatus : int {
    ExitOk = 0,          // every unit succeeded
    ExitFailed = 1,      // another failure: the port went away, interrupted
    ExitUsage = 2,       // bad arguments or a bad setup file
    ExitNoAnswer = 3,    // a unit did not answer (scan: no unit answered)
    ExitRefused = 4,     // a unit refused a value or did not keep it
    ExitPortClosed = 5,  // the port cannot be opened
    ExitBrokerRefused = 6, // measure, serve --publish: the MQTT broker refused the login
};

enum class Command { None, Read, Apply, Measure, Scan, Backup, Restore, Serve };
enum class Format { None, Text, Csv };

struct Options {
    Command command = Command::None;
    bool help = false;
    QString port;              // as given: a device path or "COM n"
    int comNumber = 0;         // "COM n" the port is opened as
    QString devicePath;        // the device given by path; empty for "COM n"
    int rate = 115200;
    std::vector<char> addresses; // RS-485 units; empty: the RS-232 unit
    QString file;              // apply: the setup file
    QString output;            // read: the setup file to write
    Format format = Format::None;
    bool noSave = false;
    bool dryRun = false;       // apply: print what would be written, write nothing
    long count = -1;           // measure: results to print; -1 no limit
    double seconds = -1;       // measure: how long; -1 no limit
    bool allRates = false;     // scan: at every rate
    QString dir;               // backup, restore: the folder of the line's backup
    int answerWithinMs = -1;   // scan: how long units take to answer; -1 the stored value
    publish::Settings publish; // measure, serve: the MQTT broker (--publish)
    std::optional<gateway::Endpoint> modbus; // serve: where Modbus TCP is served
    int intervalMs = gateway::Gateway::DefaultIntervalMs; // serve: least time between a unit's results
    // Port options given (each replaces the stored one).
    std::optional<Rs485Mode> rs485;
    std::optional<std::pair<int, int>> rtsDelays; // before, after (ms)
    bool dropEcho = false;
    std::optional<QString> caFile;
    std::optional<int> replyAllowanceMs;
};

struct Parsed {
    Options options;
    QString error; // one line; empty when the command line is good
    // Nothing wrong but the command missing (no arguments at all, or options only).
    bool noCommand = false;
};

// Parses the arguments after the program name.
Parsed parseArguments(const QStringList& args);
// The port options of the run: the stored ones with those given replacing them.
PortOptions portOptionsOf(const Options& o, PortOptions stored);
// The help of a command (Command::None: the program's).
QString helpText(Command command);
// The name of a unit in result lines: its address, or "unit" on RS-232.
QString unitName(char address);
// history --since: a day (YYYY-MM-DD, from its start in local time) or an
// ISO 8601 time; invalid when the text is neither or the time falls outside
// the years 1 to 9999 in UTC (the journal's times are written with four digits).
QDateTime sinceTime(const QString& text);

} // namespace dxu::cli
