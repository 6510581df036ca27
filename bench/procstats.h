#pragma once
// What a benchmark reads about its own process.
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>

namespace benchsupport {

// Resident memory now, in kB, of this process or of another (-1 when /proc
// cannot tell).
inline long residentKb(long pid = 0)
{
    std::ifstream in(pid > 0 ? "/proc/" + std::to_string(pid) + "/status" : std::string("/proc/self/status"));
    std::string key;
    while (in >> key) {
        if (key == "VmRSS:") {
            long kb = 0;
            in >> kb;
            return kb;
        }
        in.ignore(1 << 16, '\n');
    }
    return -1;
}

// The processor time another process has used so far, user and system, in s
// (-1 when /proc cannot tell).
inline double cpuSecondsOf(long pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return -1;
    // After the command come the state (field 3), ..., utime (14), stime (15).
    std::istringstream fields(text.substr(close + 2));
    std::string f;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> f; ++i)
        if (i >= 14)
            ticks += std::stod(f);
    return ticks / double(sysconf(_SC_CLK_TCK));
}

} // namespace benchsupport
