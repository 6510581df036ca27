#include "common/childprocess.h"

#include <chrono>
#include <poll.h>
#include <unistd.h>

namespace dxu::test {

pid_t startReadingFirstLine(std::vector<std::string> args, std::string& firstLine, int timeoutMs, int* keepFd)
{
    firstLine.clear();
    if (args.empty())
        return -1;
    // Everything the child needs is prepared before the fork.
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2];
    if (pipe(out) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    if (pid < 0) {
        close(out[0]);
        return -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now()).count();
        pollfd p{out[0], POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0)
            break;
        char c;
        if (read(out[0], &c, 1) != 1 || c == '\n')
            break;
        firstLine.push_back(c);
    }
    if (keepFd)
        *keepFd = out[0];
    else
        close(out[0]);
    return pid;
}

} // namespace dxu::test
