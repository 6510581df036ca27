#pragma once
// An in-process simulated line: the simulator's units behind the program's
// link interface, on the fake clock. Lines written to it reach the addressed
// unit at once; replies arrive after the unit's reply delay, handed to
// onReceive by pump(). Whole conversations run in milliseconds; what only a
// real pseudo-terminal shows (rates, hang-ups, exclusive opening) stays with
// the end-to-end tests against the dxu-sim process.
#include "serial/commlink.h"

#include "options.h"
#include "unit.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace dxu::test {

class SimLink : public CommLink, private dxusim::Line {
public:
    using Values = std::map<std::string, std::vector<double>>;
    // One unit on RS-232 unless options say otherwise; saved overrides the
    // units' default settings (e.g. {{"MM", {2}}}).
    explicit SimLink(dxusim::Options options = {}, const Values& saved = {});
    ~SimLink() override;

    bool Connect() override;
    void Disconnect() override;
    bool Connected() const override { return open_; }
    int32_t SendData(const void* data, int32_t size) override;

    // Runs the units and hands what has arrived by now to onReceive.
    void pump();

    // Where pump() hands what arrived (the engine, once the window uses
    // this link).
    Receiver onReceive;
    void SetReceiver(Receiver receiver) override { onReceive = std::move(receiver); }
    // Command lines the units received, without line end.
    std::vector<std::string> received;
    bool openable = true;
    // The rate the PC side runs at in bit/s; a unit at another rate hears
    // nothing. Unset: every unit hears every line.
    std::function<unsigned()> lineRate;
    const dxusim::Unit& unit(int index) const { return *units_.at(static_cast<size_t>(index)); }

private:
    struct Reply {
        dxusim::Micros due;
        std::string bytes;
        const dxusim::Unit* unit;
    };

    void lineReceived(const std::string& line);
    static dxusim::Micros now();

    void send(dxusim::Unit& from, const std::string& frame, const std::string& text, bool measurement,
              dxusim::Micros now) override;
    void discardPending(const dxusim::Unit& from) override;
    int backlog() const override { return static_cast<int>(pending_.size()); }
    dxusim::Micros lineFreeAt() const override { return lineFreeAt_; }
    void note(dxusim::Micros, const std::string&) override {}
    void savedChanged() override {}

    dxusim::Options opt_;
    std::vector<std::unique_ptr<dxusim::Unit>> units_;
    std::string rx_;
    std::deque<Reply> pending_;
    dxusim::Micros lineFreeAt_ = 0;
    bool open_ = false;
};

} // namespace dxu::test
