#include "simharness.h"

#include "ttyrate.h"

#include "common/childprocess.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace simtest {

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point end)
{
    auto d = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    return d < 0 ? 0 : int(d);
}

} // namespace

std::string readFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string tempDir()
{
    struct Folders {
        std::vector<std::string> made;
        ~Folders()
        {
            for (const auto& d : made)
                std::system(("rm -rf '" + d + "'").c_str());
        }
    };
    static Folders folders;
    char tmpl[] = "/tmp/dxu-sim-test-XXXXXX";
    if (!mkdtemp(tmpl))
        throw std::runtime_error("mkdtemp");
    folders.made.push_back(tmpl);
    return tmpl;
}

Sim::Sim(std::vector<std::string> args)
{
    dir_ = tempDir();
    logPath_ = dir_ + "/traffic.log";
    args.insert(args.begin(), {DXU_SIM_PATH, "--log", logPath_});

    std::string first;
    pid_ = dxu::test::startReadingFirstLine(args, first, 5000);
    if (pid_ < 0)
        throw std::runtime_error("cannot start dxu-sim");
    firstLine_ = first;
    path_ = first.substr(first.find('=') + 1);
    if (path_.empty())
        throw std::runtime_error("dxu-sim printed no device path");
    openPort();
}

Sim::~Sim()
{
    closePort();
    stop();
}

void Sim::openPort(unsigned rate)
{
    closePort();
    fd_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0)
        throw std::runtime_error("cannot open " + path_ + ": " + std::strerror(errno));
    setRate(rate);
    pending_.clear();
}

void Sim::closePort()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void Sim::setRate(unsigned rate) { ASSERT_TRUE(dxusim::setRawRate(fd_, rate)); }

void Sim::sendRaw(const std::string& bytes)
{
    ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
}

void Sim::send(const std::string& line) { sendRaw(line + "\r"); }

bool Sim::fill(int timeoutMs)
{
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0)
        return false;
    char buf[4096];
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n <= 0)
        return false;
    pending_.append(buf, size_t(n));
    return true;
}

std::string Sim::readLine(int timeoutMs)
{
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        while (!pending_.empty() && (pending_[0] == '\r' || pending_[0] == '\n'))
            pending_.erase(0, 1);
        const size_t eol = pending_.find_first_of("\r\n");
        if (eol != std::string::npos) {
            std::string line = pending_.substr(0, eol);
            pending_.erase(0, eol + 1);
            return line;
        }
        if (!fill(msLeft(end)) && msLeft(end) == 0)
            return {};
    }
}

std::string Sim::ask(const std::string& line, int timeoutMs)
{
    send(line);
    return readLine(timeoutMs);
}

std::string Sim::readFor(int ms)
{
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (msLeft(end) > 0)
        fill(msLeft(end));
    std::string all;
    all.swap(pending_);
    return all;
}

std::vector<std::string> Sim::linesFor(int ms)
{
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    std::vector<std::string> lines;
    for (;;) {
        std::string l = readLine(msLeft(end));
        if (l.empty() && msLeft(end) == 0)
            return lines;
        if (!l.empty())
            lines.push_back(l);
    }
}

bool Sim::readUntilHangup(int timeoutMs, std::string& got)
{
    got.swap(pending_);
    pending_.clear();
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buf[4096];
    while (msLeft(end) > 0) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, msLeft(end)) <= 0)
            continue;
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n > 0)
            got.append(buf, size_t(n));
        else if (n == 0 || errno != EAGAIN || (p.revents & POLLHUP))
            return true;
    }
    return false;
}

std::string Sim::log() const { return readFile(logPath_); }

int Sim::waitExit(int timeoutMs)
{
    if (pid_ <= 0)
        return -1;
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    for (;;) {
        const pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (msLeft(end) == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            pid_ = -1;
            return -1;
        }
        usleep(5000);
    }
}

int Sim::stop(int signal)
{
    if (pid_ <= 0)
        return -1;
    kill(pid_, signal);
    return waitExit(3000);
}

} // namespace simtest
