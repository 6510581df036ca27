#pragma once
// Runs a dxu-sim process for a test: starts it with the given options, learns
// the path of its pseudo-terminal, and reads back its wire log.
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace dxu::test {

class SimProcess {
public:
    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts dxu-sim with options (a --log file is added); false if it did
    // not come up within a few seconds.
    bool start(const QStringList& options = {});
    // SIGTERM and wait; safe to call twice.
    void stop();
    // Ends the simulator at once, as a pulled cable would.
    void kill();
    // Freezes the simulator (a unit that stops answering while its port stays
    // open) or lets it go on.
    void pause(bool frozen);
    bool running() const { return pid_ > 0; }

    const std::string& devicePath() const { return path_; }
    // Maps "COM n" to the simulator for this process (DXU_COM<n>).
    void exportAs(int comNumber) const;

    // The lines the simulator received ("RX") or sent ("TX"), without stamps.
    std::vector<std::string> received() const { return logLines("RX"); }
    std::vector<std::string> sent() const { return logLines("TX"); }
    std::string logText() const;

private:
    std::vector<std::string> logLines(const char* dir) const;

    int pid_ = -1;
    int outFd_ = -1;
    std::string path_;
    std::string logFile_;
    std::string stateDir_;
};

} // namespace dxu::test
