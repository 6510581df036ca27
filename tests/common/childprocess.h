#pragma once
// Starting a helper program for a test and reading the first line it prints.
#include <string>
#include <sys/types.h>
#include <vector>

namespace dxu::test {

// Starts args[0] with args, its standard output on a pipe, and reads the first
// line it prints (without the newline) within timeoutMs. Returns the child's
// pid, or -1 when it could not be started. The pipe is closed unless keepFd
// is given, in which case the caller owns the read end.
pid_t startReadingFirstLine(std::vector<std::string> args, std::string& firstLine, int timeoutMs,
                            int* keepFd = nullptr);

} // namespace dxu::test
