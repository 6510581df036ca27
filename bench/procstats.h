#pragma once
// What a benchmark reads about its own process.
#include <fstream>
#include <string>

namespace benchsupport {

// Resident memory now, in kB (-1 when /proc cannot tell).
inline long residentKb()
{
    std::ifstream in("/proc/self/status");
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

} // namespace benchsupport
