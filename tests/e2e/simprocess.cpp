#include "e2e/simprocess.h"

#include "common/childprocess.h"

#include <QDir>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#ifndef DXU_SIM_PATH
#define DXU_SIM_PATH "dxu-sim"
#endif

namespace dxu::test {

SimProcess::~SimProcess() { stop(); }

bool SimProcess::start(const QStringList& options)
{
    stop();
    char dirTemplate[] = "/tmp/dxu-e2e-XXXXXX";
    if (!mkdtemp(dirTemplate))
        return false;
    stateDir_ = dirTemplate;
    logFile_ = stateDir_ + "/wire.log";

    std::vector<std::string> args{DXU_SIM_PATH, "--log", logFile_};
    for (const QString& o : options)
        args.push_back(o.toStdString());

    std::string line;
    pid_ = startReadingFirstLine(args, line, 5000, &outFd_);
    if (pid_ > 0 && !line.empty()) {
        path_ = line;
        return true;
    }
    stop();
    return false;
}

void SimProcess::stop()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGCONT);
        ::kill(pid_, SIGTERM);
        int status = 0;
        for (int i = 0; i < 50; ++i) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            usleep(20000);
        }
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            pid_ = -1;
        }
    }
    if (outFd_ >= 0) {
        close(outFd_);
        outFd_ = -1;
    }
}

void SimProcess::kill()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}

void SimProcess::pause(bool frozen)
{
    if (pid_ > 0)
        ::kill(pid_, frozen ? SIGSTOP : SIGCONT);
}

void SimProcess::exportAs(int comNumber) const
{
    setenv(("DXU_COM" + std::to_string(comNumber)).c_str(), path_.c_str(), 1);
}

std::string SimProcess::logText() const
{
    std::ifstream in(logFile_);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> SimProcess::logLines(const char* dir) const
{
    // Each log line: a time stamp, the direction, then the line as it went
    // over the wire (without its CR).
    std::vector<std::string> out;
    std::istringstream in(logText());
    std::string line;
    const std::string tag = std::string(" ") + dir + " ";
    while (std::getline(in, line)) {
        const auto at = line.find(tag);
        if (at != std::string::npos)
            out.push_back(line.substr(at + tag.size()));
    }
    return out;
}

} // namespace dxu::test
