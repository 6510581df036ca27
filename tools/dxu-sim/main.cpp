// dxu-sim: a simulated DXU, or an RS-485 line of them, on a pseudo-terminal.
// See --help.
#include "options.h"
#include "ttyrate.h"
#include "wire.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

using namespace dxusim;

namespace {

volatile sig_atomic_t stopRequested = 0;

void onStopSignal(int) { stopRequested = 1; }

[[noreturn]] void die(const char* what)
{
    std::fprintf(stderr, "dxu-sim: %s: %s\n", what, std::strerror(errno));
    std::exit(1);
}

// Follows the opens and closes of the device; returns the users left.
int deviceUsers(int watch, int device, int users, Log& log)
{
    alignas(inotify_event) char buf[4096];
    ssize_t n;
    while ((n = read(watch, buf, sizeof buf)) > 0) {
        for (char* p = buf; p < buf + n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(p);
            if (ev->mask & IN_OPEN) {
                ++users;
            } else if (ev->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) {
                users = std::max(0, users - 1);
                if (users == 0) {
                    releaseDevice(device);
                    log.write(monotonicNow(), "NOTE", "the device was closed");
                }
            }
            p += sizeof(inotify_event) + ev->len;
        }
    }
    return users;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("dxu-sim " DXU_VERSION);
        return 0;
    }
    const Options opt = parseOptions(argc, argv);
    const Micros start = monotonicNow();

    Log log;
    if (!opt.logFile.empty() && !log.open(opt.logFile, start))
        die(opt.logFile.c_str());

    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        die("cannot open a pseudo-terminal");
    const char* name = ptsname(master);
    if (!name)
        die("ptsname");
    const std::string path = name;
    // Our own descriptor of the device side: the terminal does not hang up when
    // the program closes it between connections, and its line settings (the
    // rate the program has chosen) can be read here. It takes no lock, so the
    // program can still open the device exclusively.
    const int device = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (device < 0)
        die(path.c_str());

    // Opens and closes of the device by others: when the last one closes it,
    // the exclusive mode it set must end, or the next open would be refused
    // while we hold the device open.
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch >= 0 && inotify_add_watch(watch, path.c_str(), IN_OPEN | IN_CLOSE) < 0)
        std::fprintf(stderr, "dxu-sim: cannot watch %s: %s\n", path.c_str(), std::strerror(errno));
    int users = 0;

    Wire wire(opt, master, device, log, start);
    wire.setListening(watch < 0);
    setRawRate(device, wire.units().front()->linkRate());

    sigset_t stopSignals, waitMask;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    if (opt.envIndex > 0)
        std::printf("DXU_COM%d=%s\n", opt.envIndex, path.c_str());
    else
        std::printf("%s\n", path.c_str());
    std::fflush(stdout);
    log.write(start, "NOTE", "serving on " + path);

    int rc = 0;
    while (!stopRequested) {
        Micros now = monotonicNow();
        wire.tick(now);
        if (wire.exitRequested())
            break;
        const Micros next = wire.nextEvent();
        timespec timeout{};
        timespec* wait = nullptr;
        if (next != kNever) {
            const Micros d = std::max<Micros>(0, next - monotonicNow());
            timeout.tv_sec = time_t(d / 1000000);
            timeout.tv_nsec = long(d % 1000000) * 1000;
            wait = &timeout;
        }
        pollfd pfd[2] = {{master, short(POLLIN | (wire.wantsWritable() ? POLLOUT : 0)), 0}, {watch, POLLIN, 0}};
        const int r = ppoll(pfd, watch >= 0 ? 2 : 1, wait, &waitMask);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            die("poll");
        }
        if (r > 0 && (pfd[1].revents & POLLIN)) {
            users = deviceUsers(watch, device, users, log);
            wire.setListening(users > 0);
        }
        if (r > 0 && (pfd[0].revents & POLLOUT))
            wire.writable();
        if (r > 0 && (pfd[0].revents & (POLLIN | POLLHUP | POLLERR))) {
            wire.readAvailable(monotonicNow());
            if (wire.hungUp()) {
                std::fprintf(stderr, "dxu-sim: the pseudo-terminal closed\n");
                rc = 1;
                break;
            }
        }
    }
    if (opt.minTurnaroundUs > 0) {
        const std::string summary = std::to_string(wire.turnaroundViolations())
                                    + " commands sooner than the turnaround of " + std::to_string(opt.minTurnaroundUs)
                                    + " us";
        log.write(monotonicNow(), "NOTE", summary);
        std::fprintf(stderr, "dxu-sim: %s\n", summary.c_str());
    }
    log.write(monotonicNow(), "NOTE", stopRequested ? "stopped by a signal" : "exiting");
    if (watch >= 0)
        close(watch);
    close(device);
    close(master);
    return rc;
}
