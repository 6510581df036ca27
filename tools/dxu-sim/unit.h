#pragma once
// One simulated unit: its settings, the commands it understands and the
// measurements it makes of the scene.
#include "options.h"
#include "settings.h"

#include <cstdint>
#include <random>
#include <string>

namespace dxusim {

using Micros = int64_t;  // monotonic time in microseconds
constexpr Micros kNever = INT64_MAX;

class Unit;

// What a unit needs from the line it sits on.
class Line {
public:
    virtual ~Line() = default;
    // Sends one reply: frame ("$" or "#x") + text. Measurements go out at once,
    // other replies after the reply delay.
    virtual void send(Unit& from, const std::string& frame, const std::string& text, bool measurement, Micros now) = 0;
    // Replies of this unit not yet on the wire are lost.
    virtual void discardPending(const Unit& from) = 0;
    // Replies waiting to be written, and when the line is free again.
    virtual int backlog() const = 0;
    virtual Micros lineFreeAt() const = 0;
    virtual void note(Micros now, const std::string& text) = 0;
    // The saved settings of some unit changed.
    virtual void savedChanged() = 0;
};

class Unit {
public:
    Unit(int index, const Options& opt, const Settings& saved, Line& line, Micros now);

    int index() const { return index_; }
    char address() const { return work_.address(); }
    unsigned linkRate() const { return rate_; }
    bool restarting(Micros now) const { return now < silentUntil_; }
    bool measuring() const { return measuring_; }
    const Settings& saved() const { return saved_; }
    const Settings& settings() const { return work_; }

    // One command line addressed to this unit; frame is the frame of its replies.
    void handle(const std::string& frame, const std::string& body, Micros now);
    Micros nextEvent() const;
    void tick(Micros now);

private:
    void command(const std::string& frame, const std::string& body, Micros now);
    void handleAction(const std::string& frame, const std::string& code, const std::vector<std::string>& args,
                      Micros now);
    void reply(const std::string& frame, const std::string& text, Micros now);
    void calibrate(const std::string& frame, const std::vector<std::string>& args, Micros now);
    void restart(Micros now);
    void start(const std::string& frame, Micros now);
    int pulsesCheck() const;
    Micros period() const;
    void measure(const std::string& frame, Micros now, bool single);
    std::vector<double> targets(Micros now);

    int index_;
    const Options& opt_;
    Line& line_;
    Settings work_, saved_;
    unsigned rate_;  // rate the unit listens and talks at on the link
    std::mt19937 rng_;
    bool measuring_ = false;
    bool pointer_ = false;
    std::string streamFrame_;
    Micros nextMeasure_ = kNever;
    Micros singleAt_ = kNever;
    std::string singleFrame_;
    Micros poweredAt_ = 0;
    Micros silentUntil_ = 0;
    Micros restartedAt_ = kNever;
    double reference_ = 0;       // relative detection: range when measuring began
    Micros detectedSince_ = -1;  // detection time stream
    long streamed_ = 0;          // streamed measurements, for --measure-error
};

} // namespace dxusim
