#pragma once
// The serial line between the program and the units: it gathers the lines the
// program sends, hands them to the units that can read them, and writes the
// units' replies no faster than the line's rate allows, with the faults asked
// for on the command line.
#include "options.h"
#include "unit.h"

#include <cstdio>
#include <deque>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace dxusim {

Micros monotonicNow();

// The traffic log: "<seconds> <tag> <text>", flushed per line.
class Log {
public:
    ~Log();
    bool open(const std::string& path, Micros start);
    void write(Micros now, const char* tag, const std::string& text);

private:
    std::FILE* file_ = nullptr;
    Micros start_ = 0;
};

// Printable form of bytes on the wire: "\xNN" for anything else.
std::string escaped(const std::string& bytes);

class Wire : public Line {
public:
    // master: the pseudo-terminal's master side; device: our own descriptor
    // of its device side, used to read the rate the program has set.
    Wire(const Options& opt, int master, int device, Log& log, Micros now);

    void readAvailable(Micros now);
    void tick(Micros now);
    Micros nextEvent() const;
    bool wantsWritable() const { return blocked_; }
    void writable() { blocked_ = false; }
    // Whether the program has the device open; bytes sent while nobody
    // listens are lost, as on a real line.
    void setListening(bool on) { listening_ = on; }
    bool exitRequested() const { return exit_; }
    bool hungUp() const { return hungUp_; }
    // Commands that came sooner than --min-turnaround-us after a reply.
    long turnaroundViolations() const { return turnaroundViolations_; }
    const std::vector<std::unique_ptr<Unit>>& units() const { return units_; }

    void send(Unit& from, const std::string& frame, const std::string& text, bool measurement, Micros now) override;
    void discardPending(const Unit& from) override;
    int backlog() const override { return int(queue_.size()); }
    Micros lineFreeAt() const override { return lineFreeAt_; }
    void note(Micros now, const std::string& text) override { log_.write(now, "NOTE", text); }
    void savedChanged() override;

private:
    struct Chunk {
        std::string bytes;
        Micros notBefore = 0;
        Micros gapAfterPrevious = 0;  // a later piece of a split reply
        unsigned rate = 115200;
        const Unit* unit = nullptr;
        const char* tag = nullptr;    // logged when its first byte goes out
        std::string logText;
        bool endsMeasurement = false;
        bool measurement = false;
        long answers = 0;             // the command line it answers
    };

    void lineReceived(const std::string& line, Micros now);
    void checkTurnaround(Micros now);
    void writeDue(Micros now);
    Micros due(const Chunk& c) const;
    std::string junk(size_t n, bool lineSafeOnly);
    char strangerAddress() const;
    bool collides(const Unit& from, Micros start, const std::string& bytes, const std::string& line);

    const Options& opt_;
    int master_, device_;
    Log& log_;
    std::vector<std::unique_ptr<Unit>> units_;
    std::string rx_;
    bool rxOverrun_ = false;
    std::deque<Chunk> queue_;
    Micros lineFreeAt_ = 0, lastWrite_ = 0;
    // When the last byte of a reply was handed to the line; 0: none yet.
    Micros lastReplyWrite_ = 0;
    long turnaroundViolations_ = 0;
    bool blocked_ = false, exit_ = false, hungUp_ = false, listening_ = true;
    long replies_ = 0, measurementsSent_ = 0;
    long linesReceived_ = 0;
    std::mt19937 rng_;
};

} // namespace dxusim
