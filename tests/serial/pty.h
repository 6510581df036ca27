#pragma once
// A pseudo-terminal standing in for a serial device: the driver opens the
// slave side through the COM mapping, the test plays the far end on the master.
#include <QByteArray>

#include <string>

namespace dxu::test {

class Pty {
public:
    // Creates the pair and maps "COM comNumber" to its slave path.
    explicit Pty(int comNumber);
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    int master() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }

    void write(const QByteArray& bytes) const;
    // Reads what the driver sent, waiting up to timeoutMs for at least
    // `atLeast` bytes.
    QByteArray read(int atLeast = 1, int timeoutMs = 500) const;
    // The far end goes away (cable pulled, adapter unplugged).
    void hangUp();

private:
    int master_ = -1;
    int comNumber_;
    std::string slavePath_;
};

// Processes events (and so the driver's poll timer) for ms milliseconds.
void runEventsFor(int ms);
// Processor time (user + system) this process has used, in ms.
double cpuMs();

} // namespace dxu::test
