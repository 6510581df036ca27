#pragma once
// A CommLink over the simulator's core: every line the window writes goes to
// one simulated unit at once; its replies wait until the test delivers them,
// so a whole conversation runs in process on the fake clock.
#include "serial/commlink.h"
#include "unit.h"

#include <functional>
#include <string>
#include <vector>

namespace dxu::test {

class SimLink : public CommLink, public dxusim::Line {
public:
    explicit SimLink(dxusim::Settings saved = dxusim::Settings::defaults('a', 0, 115200));

    bool Connect() override { return open_ = true; }
    void Disconnect() override { open_ = false; }
    bool Connected() const override { return open_; }
    int32_t SendData(const void* data, int32_t size) override;

    void send(dxusim::Unit&, const std::string& frame, const std::string& text, bool measurement,
              dxusim::Micros) override;
    void discardPending(const dxusim::Unit&) override { replies_.clear(); }
    int backlog() const override { return 0; }
    dxusim::Micros lineFreeAt() const override { return 0; }
    void note(dxusim::Micros, const std::string&) override {}
    void savedChanged() override {}

    // Hands the waiting replies to receive until the unit has nothing more to say.
    void deliver(const std::function<void(const std::string&)>& receive);
    // The command lines written since the last call, without their CR.
    std::vector<std::string> takeLines();
    dxusim::Unit& unit() { return unit_; }

private:
    dxusim::Options opt_;
    dxusim::Unit unit_;
    bool open_ = false;
    std::string partial_, replies_;
    std::vector<std::string> lines_;
};

} // namespace dxu::test
