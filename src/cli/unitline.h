#pragma once
// The serial line of the command-line tool: the program's driver, protocol,
// engine, session, upload and unit scan, wired as the main window wires them
// but with nothing on screen: it listens to the core's events, shows the
// session's read progress and answers the core's questions. Each call runs
// the event loop until its step is done and says how it went.
#include "cli/options.h"

#include "engine/asking.h"
#include "engine/engine.h"
#include "engine/session.h"
#include "engine/sessionview.h"
#include "network/unitscan.h"
#include "protocol/events.h"
#include "protocol/protocol.h"
#include "serial/commportdriver.h"

#include <QString>
#include <QTimer>

#include <functional>
#include <vector>

namespace dxu::cli {

// How a step went: a status and, unless it is ExitOk, one line saying why.
struct Outcome {
    int status = ExitOk;
    QString message;
    bool ok() const { return status == ExitOk; }
};

// A message of the library as one line; with a device path given, the port
// named by it in place of "COM n".
QString messageLine(const QString& text, int comNumber, const QString& devicePath);

class UnitLine : public Hooks, private Asker, private SessionView {
public:
    // devicePath: the device the port was given as, named in messages in
    // place of "COM n"; empty when it was given as "COM n".
    UnitLine(int comNumber, int rate, bool network, const QString& devicePath = {});
    // The driver's rate value of a rate in bit/s (br115200 for one it does not know).
    static TComPortBaudRate driverRateOf(int rate);
    ~UnitLine() override;
    UnitLine(const UnitLine&) = delete;
    UnitLine& operator=(const UnitLine&) = delete;

    // Opens the port, connects to the unit at address (0: the RS-232 unit) and
    // reads all of its settings.
    Outcome connectUnit(char address);
    // Puts the settings of file into the connected unit (the ones that
    // differ, each read back), then checks the unit against the file.
    // changed: how many settings differed; wrote: whether anything was sent.
    // On a failure after the unit took a write, its earlier settings are
    // put back as putBack does.
    Outcome applySettings(const UnitRecord& file, int& changed, bool& wrote);
    // The unit saves its settings (SU).
    Outcome saveSettings();
    // After a failed apply or save: when the unit took any write of the
    // apply and still answers, the settings it held before are written back.
    // The failure, its message ending with how the unit was left: its
    // earlier settings put back, or those it now holds that are not saved.
    Outcome putBack(Outcome failure);
    // Measuring on or off.
    Outcome startMeasuring();
    Outcome stopMeasuring();
    // Closes the port (nothing when closed).
    void disconnect();
    // One result of a unit of the line while the port is open from a
    // connect: the unit's record (as its connect read it) becomes the
    // current one and is asked for a single measurement, as a network unit
    // is. ok when a result came; ExitNoAnswer when nothing came within the
    // reply time-out; ExitRefused when the unit answered with an error.
    Outcome measureOnce(const UnitRecord& unit);

    // Asks every address of the line at the rate (bit/s), giving units
    // answerWithinMs to start their replies; progress is called with the scan
    // as it goes on.
    using ScanProgress = std::function<void(const UnitScan& scan)>;
    Outcome scanLine(int rate, int answerWithinMs, const ScanProgress& progress);

    // Runs the event loop until done() or timeoutMs; false on time-out, and
    // on an interrupt unless interruptible is false.
    bool runUntil(const std::function<bool()>& done, int timeoutMs, bool interruptible = true);

    UnitRecord& unit() { return st_.current(); }
    const DxuState& state() const { return st_; }
    // Another listener to what the line tells (the journal); removed before it goes.
    void subscribe(UnitEvents& listener) { events_.add(listener); }
    void unsubscribe(UnitEvents& listener) { events_.remove(listener); }
    // The port is open (it closes when the device goes away).
    bool linkUp() const { return driver_.Connected(); }
    // What went wrong with the port, or empty.
    QString portMessage() const { return portLost_ ? message_ : QString(); }
    const char* versionText() const { return st_.versionText; }
    // Where the line is, for messages: "on /dev/ttyUSB0 at 115200 bit/s".
    QString where() const;
    // The message with where the line is, unless it names the port already.
    QString withWhere(const QString& message) const;

    // Called for every measurement result.
    std::function<void()> onResult;
    // Each error reply of the unit, as its text ("ER nn" when unknown).
    std::function<void(const QString& text)> onDeviceError;
    // Called with the read progress ("Reading settings n of m").
    std::function<void(const QString& text, int value, int maximum)> onProgress;

    // Hooks.
    bool claimPort(int comNumber) override;
    void scanVersion(std::string_view text) override { scan_.versionReceived(text); }
    void scanStepDone(bool answered) override { scan_.stepDone(answered); }
    void scanReplyFrom(char address) override { scan_.replyFrom(address); }

private:
    class Listener;

    // Asker: the core's notices become the reason of the step; its questions
    // are answered No (nothing is reset or left unsaved unasked).
    bool ask(const Asking& asking) override;
    // SessionView: the settings read's progress.
    void readProgress(int item, int count) override;

    void beginStep();
    void applyRate(int rate);
    QString failedItem() const;
    // The outcome of a step in which an item failed for good.
    Outcome failedOutcome(const QString& doing, int status) const;
    Outcome putSettings(const UnitRecord& file, int& changed, bool& wrote);
    // What the unit is known to hold, as writes are answered and read back.
    void noteWritten(uint32_t commandId);
    void noteRead(const SettingCode& row);
    bool queueIdle() const;
    // Runs until the queue is idle; the outcome of the step.
    Outcome finishList(const char* what, int timeoutMs);
    Outcome interruptedOutcome() const;
    QString messageLine(const QString& text) const { return cli::messageLine(text, comNumber_, devicePath_); }

    DxuState st_;
    TCommPortDriver driver_;
    std::unique_ptr<Listener> listener_;
    EventFanout events_;
    Protocol protocol_;
    Engine engine_;
    Session session_;
    UnitScan scan_;
    QTimer tick_;
    int comNumber_;
    int rate_;
    QString devicePath_;

    // What the step in hand met.
    QString message_;     // the last notice of the core, or why the port was refused
    QString refusal_;     // an error the unit replied with, as the window shows it
    bool unanswered_ = false;
    bool portRefused_ = false;
    bool portLost_ = false;
    bool otherAddress_ = false; // a reply came from another address

    // Of an apply: the unit's settings before it, what it holds as far as
    // its answers tell, and whether it took any write.
    bool tracking_ = false;
    bool tookWrite_ = false;
    bool saveSent_ = false;
    UnitRecord before_{};
    UnitRecord known_{};
    long results_ = 0;    // distance results since the line was made
};

} // namespace dxu::cli
