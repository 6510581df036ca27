#pragma once
// Starts dxu-sim as a child process and talks to it over its pseudo-terminal
// the way a serial program does: raw mode, a line rate, plain read and write.
#include <sys/types.h>

#include <string>
#include <vector>

namespace simtest {

class Sim {
public:
    explicit Sim(std::vector<std::string> args = {});
    ~Sim();
    Sim(const Sim&) = delete;
    Sim& operator=(const Sim&) = delete;

    const std::string& path() const { return path_; }
    const std::string& firstLine() const { return firstLine_; }
    const std::string& dir() const { return dir_; }
    int fd() const { return fd_; }

    void openPort(unsigned rate = 115200);
    void closePort();
    void setRate(unsigned rate);

    void send(const std::string& line);  // the line and CR
    void sendRaw(const std::string& bytes);
    // The next reply line without its line end; "" when none came in time.
    std::string readLine(int timeoutMs = 1000);
    std::string ask(const std::string& line, int timeoutMs = 1000);
    // Every byte that arrives within ms (raw).
    std::string readFor(int ms);
    // Reply lines that arrive within ms.
    std::vector<std::string> linesFor(int ms);
    // Reads until the device hangs up or timeoutMs passes; true on hang-up.
    bool readUntilHangup(int timeoutMs, std::string& got);

    std::string log() const;
    // Signal and wait; the exit status, or -1 when it did not exit normally.
    int stop(int signal = 15);
    int waitExit(int timeoutMs);

private:
    bool fill(int timeoutMs);

    pid_t pid_ = -1;
    int fd_ = -1;
    std::string path_, firstLine_, dir_, logPath_, pending_;
};

std::string readFile(const std::string& path);
// A fresh folder below /tmp, removed at the end of the test program.
std::string tempDir();

} // namespace simtest
