#pragma once
// What the core learns from the unit and from the line, told to whoever
// listens: the window's modules, dxu-cli, the journal. The parser and the
// engine report here and name no control; each subscriber renders what it
// needs. Every event has an empty default so that a subscriber overrides only
// what it shows. Events carry views into the parser's buffers and small
// structs: nothing is allocated per reply.
#include <cstdint>
#include <string_view>
#include <vector>

namespace dxu {

struct SettingCode;

// A measurement reply ($BM) or a trip time of detection mode.
struct Result {
    enum class Kind {
        Distance,   // averaging modes: distance and intensity in the current record
        Target,     // binning: one target of a set
        Detection,  // detection mode: the trigger state
        TripTime,   // detection mode with TBE output: a bare hex trip time
        Other,      // a result in a mode that shows no value
    };
    Kind kind = Kind::Distance;
    char address = '\0';
    float distance = 0;
    float intensity = 0;
    bool metres = false;
    bool noValue = false;
    // Target: its index (-1 when unreadable), the count of the set, and
    // whether this target completed the set.
    int targetIndex = -1;
    int targetCount = 0;
    bool setComplete = false;
    // Detection and TripTime: "ON ", "OFF" or empty, and the line beneath
    // ("1234 mm", "0.250 s").
    std::string_view state;
    std::string_view detail;
};

// An error reply (ER,n) the unit gave to the command in flight.
struct DeviceError {
    int code = 0;
    std::string_view text; // the error's text, or "ER nn" when unknown
    bool known = false;
    char address = '\0';
    // The same error again, to a retry of the same command: already told.
    bool repeated = false;
};

class UnitEvents {
public:
    virtual ~UnitEvents() = default;

    // Replies.
    virtual void result(const Result& /*result*/) {}
    virtual void deviceError(const DeviceError& /*error*/) {}
    // A setting reply was stored in the current record.
    virtual void settingRead(const SettingCode& /*code*/) {}
    // The SV text of the unit on screen.
    virtual void version(std::string_view /*text*/) {}
    // US: whether the unit on screen has its laser on.
    virtual void laserState(bool /*on*/) {}
    // BP (beam power) and LD (laser diode) readings.
    virtual void beamPower(int /*value*/) {}
    virtual void laserDiode(bool /*on*/) {}
    // The address is not assigned on this line (ER,-82).
    virtual void addressNotAssigned() {}
    // A reply came from an address other than the one asked; the command in
    // flight failed for it.
    virtual void replyFromOtherAddress(char /*address*/) {}
    // A status request to the unit of that record index was answered (its
    // status and laser are in its record), or went unanswered.
    virtual void unitStatus(int /*unitIndex*/, bool /*answered*/) {}

    // The engine.
    // A write of an upload went out (once, not again for its retries).
    virtual void settingWriteSent(uint32_t /*commandId*/) {}
    // A write of an upload was answered by the unit.
    virtual void settingWritten(uint32_t /*commandId*/) {}
    // A write of an upload the unit refused (ER) or left unanswered after
    // every try: nothing changed in the unit. reason is the unit's error text
    // or "Cmd Timeout".
    virtual void settingRefused(uint32_t /*commandId*/, std::string_view /*reason*/) {}
    // The panel holds nothing the unit lacks: its settings were read, or
    // written and about to be read back.
    virtual void nothingToUpload() {}
    // The unit on screen answered Save Settings (SU): what was written is saved.
    virtual void settingsSaved() {}
    // Save Settings failed for good (an error or no answer after every try).
    virtual void settingsNotSaved() {}
    // A step the user waits for began (the line is busy with it) or ended:
    // the window shows the hourglass meanwhile.
    virtual void busy(bool /*on*/) {}
    // Measuring resumed at the end of a list.
    virtual void measuringStarted() {}
    // No result came within the reply time-out.
    virtual void resultOverdue() {}
    // The last try of the item in flight went unanswered.
    virtual void itemUnanswered() {}
    // A command found the port closed: nothing of it reached the unit.
    virtual void portClosed() {}
    // The list in hand moved on (or ended): its progress may be shown.
    virtual void listProgress() {}
    // A list other than the connect list ended.
    virtual void listEnded() {}
    // The unit answered every item of the connect list, or did not answer it.
    virtual void connectAnswered() {}
    virtual void connectUnanswered() {}
};

// Hands each event to every subscriber, in the order they were added.
class EventFanout final : public UnitEvents {
public:
    void add(UnitEvents& subscriber) { subs_.push_back(&subscriber); }
    void remove(UnitEvents& subscriber) { std::erase(subs_, &subscriber); }

    void result(const Result& r) override { each(&UnitEvents::result, r); }
    void deviceError(const DeviceError& e) override { each(&UnitEvents::deviceError, e); }
    void settingRead(const SettingCode& c) override { each(&UnitEvents::settingRead, c); }
    void version(std::string_view t) override { each(&UnitEvents::version, t); }
    void laserState(bool on) override { each(&UnitEvents::laserState, on); }
    void beamPower(int v) override { each(&UnitEvents::beamPower, v); }
    void laserDiode(bool on) override { each(&UnitEvents::laserDiode, on); }
    void addressNotAssigned() override { each(&UnitEvents::addressNotAssigned); }
    void replyFromOtherAddress(char address) override { each(&UnitEvents::replyFromOtherAddress, address); }
    void settingWriteSent(uint32_t id) override { each(&UnitEvents::settingWriteSent, id); }
    void unitStatus(int i, bool answered) override { each(&UnitEvents::unitStatus, i, answered); }
    void settingWritten(uint32_t id) override { each(&UnitEvents::settingWritten, id); }
    void settingRefused(uint32_t id, std::string_view reason) override
    {
        each(&UnitEvents::settingRefused, id, reason);
    }
    void nothingToUpload() override { each(&UnitEvents::nothingToUpload); }
    void settingsSaved() override { each(&UnitEvents::settingsSaved); }
    void settingsNotSaved() override { each(&UnitEvents::settingsNotSaved); }
    void busy(bool on) override { each(&UnitEvents::busy, on); }
    void measuringStarted() override { each(&UnitEvents::measuringStarted); }
    void resultOverdue() override { each(&UnitEvents::resultOverdue); }
    void itemUnanswered() override { each(&UnitEvents::itemUnanswered); }
    void portClosed() override { each(&UnitEvents::portClosed); }
    void listProgress() override { each(&UnitEvents::listProgress); }
    void listEnded() override { each(&UnitEvents::listEnded); }
    void connectAnswered() override { each(&UnitEvents::connectAnswered); }
    void connectUnanswered() override { each(&UnitEvents::connectUnanswered); }

private:
    template <typename F, typename... A>
    void each(F f, const A&... a)
    {
        for (UnitEvents* s : subs_)
            (s->*f)(a...);
    }
    std::vector<UnitEvents*> subs_;
};

} // namespace dxu
