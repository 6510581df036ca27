// Start-up of the program against a bare Qt main window (bench/bare_window.cpp:
// a menu bar and a status bar), on the same display.
//
//   bench_startup [pairs, default 10] [--no-strace]
//
// Each pair starts the program and the bare window once each (taking turns
// at going first) from an empty folder and once each from a folder of 3,000
// small files; the folder is the working directory, where every file dialog
// starts, and HOME. Settings, state and caches go to private folders, and
// COM1 leads to dxu-sim. For every start:
//   - the time from the start to the first window exposed on the screen
//     (the programs print it when DXU_EXPOSE_STAMP asks);
//   - the resident memory 0.5 s after the start;
//   - the processor time the program used from its start to 2 s after its
//     window was exposed.
// Prints the medians and their ratios. Then, where strace is installed (and
// --no-strace does not say otherwise), one more start of the program from the
// full folder runs under strace -f -e trace=openat until 2 s after the expose
// and counts the opens of that folder and of its files.
// Without DISPLAY an Xvfb of its own is started (-noreset) and stopped by its pid.
// A driver, not a timed test: exits 0 when start-up is within 2.0 x the bare
// window, memory within 1.5 x, and the full folder's start-up and processor
// time within 1.1 x the empty folder's (and, under strace, nothing of the
// folder opened); 1 otherwise.
#include "e2e/simprocess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

long long nowUs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

long residentKbOf(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (in >> key) {
        if (key == "VmRSS:") {
            long kb = -1;
            in >> kb;
            return kb;
        }
        in.ignore(1 << 16, '\n');
    }
    return -1;
}

bool makeFolder(const std::string& path) { return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST; }

// Starts args (looked up on PATH) with a pipe to this process, its standard
// output on /dev/null. The pipe is its standard error when pipeArg is
// empty; otherwise its standard error goes to /dev/null as well and the pipe
// stays open under its own number, which takes the place of pipeArg in args.
// prepare runs in the child just before the program. The child's pid (-1
// when it did not start); readEnd receives this side of the pipe.
pid_t startPiped(std::vector<std::string> args, const std::string& pipeArg, int& readEnd,
                 const std::function<void()>& prepare = {})
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    if (!pipeArg.empty())
        std::replace(args.begin(), args.end(), pipeArg, std::to_string(fds[1]));
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, STDOUT_FILENO);
        dup2(pipeArg.empty() ? fds[1] : devnull, STDERR_FILENO);
        if (prepare)
            prepare();
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return -1;
    }
    readEnd = fds[0];
    return pid;
}

// An X server of our own, when there is no display.
class OwnXvfb {
public:
    bool start()
    {
        int displayFd = -1;
        pid_ = startPiped({"Xvfb", "-displayfd", "{pipe}", "-noreset", "-screen", "0", "1280x1024x24"}, "{pipe}",
                          displayFd);
        if (pid_ < 0)
            return false;
        // Xvfb writes its display number once it accepts clients.
        std::string number;
        pollfd p{displayFd, POLLIN, 0};
        char c = 0;
        while (poll(&p, 1, 10000) > 0 && read(displayFd, &c, 1) == 1 && c != '\n')
            number += c;
        close(displayFd);
        if (number.empty())
            return false;
        display_ = ":" + number;
        return true;
    }
    ~OwnXvfb()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

struct Start {
    bool ok = false;
    double exposedMs = 0;
    long rssKb = -1;
    double cpuMs = 0;
};

struct Setting {
    std::string folder;     // working directory and HOME
    std::string privateDir; // settings, state and caches
};

// Runs args from the folder until 2 s after its first expose.
Start runOnce(const std::vector<std::string>& args, const Setting& where)
{
    Start s;
    int err = -1; // the program's standard error
    const long long t0 = nowUs();
    const pid_t pid = startPiped(args, {}, err, [&where] {
        if (chdir(where.folder.c_str()) != 0)
            _exit(126);
        setenv("HOME", where.folder.c_str(), 1);
        for (const char* v : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
            setenv(v, (where.privateDir + "/" + v).c_str(), 1);
        setenv("DXU_EXPOSE_STAMP", "1", 1);
        unsetenv("QT_QPA_PLATFORM");
    });
    if (pid < 0)
        return s;
    // Read stderr for the stamp, take the memory at 0.5 s, stop 2 s after
    // the expose (or after 15 s without one).
    std::string out;
    long long exposedUs = 0;
    long long stopAt = t0 + 15000000;
    bool open = true;
    while (nowUs() < stopAt) {
        const long long now = nowUs();
        long long next = stopAt;
        if (s.rssKb < 0)
            next = std::min(next, t0 + 500000);
        if (s.rssKb < 0 && now >= t0 + 500000) {
            s.rssKb = residentKbOf(pid);
            continue;
        }
        pollfd p{err, POLLIN, 0};
        const int wait = static_cast<int>(std::max(0LL, (next - now) / 1000));
        if (open && poll(&p, 1, wait) > 0) {
            char buf[4096];
            const ssize_t n = read(err, buf, sizeof buf);
            if (n <= 0) {
                open = false;
                continue;
            }
            out.append(buf, static_cast<size_t>(n));
            const size_t at = out.find("exposed ");
            if (!exposedUs && at != std::string::npos && out.find('\n', at) != std::string::npos) {
                exposedUs = std::atoll(out.c_str() + at + 8);
                stopAt = exposedUs + 2000000;
            }
        } else if (!open) {
            usleep(static_cast<useconds_t>(std::min<long long>(wait, 100) * 1000));
        }
    }
    close(err);
    kill(pid, SIGKILL);
    int status = 0;
    rusage use{};
    wait4(pid, &status, 0, &use);
    s.cpuMs = (double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) * 1e6 + double(use.ru_utime.tv_usec + use.ru_stime.tv_usec))
              / 1000.0;
    s.ok = exposedUs > 0 && s.rssKb > 0;
    s.exposedMs = double(exposedUs - t0) / 1000.0;
    if (!s.ok)
        std::fprintf(stderr, "%s: no window exposed within 15 s\n%s", args[0].c_str(), out.c_str());
    return s;
}

struct Series {
    std::vector<double> exposed, rss, cpu;
    void add(const Start& s)
    {
        exposed.push_back(s.exposedMs);
        rss.push_back(double(s.rssKb) / 1024.0);
        cpu.push_back(s.cpuMs);
    }
};

// Opens of the folder and of its files by the program under strace, from
// its start to 2 s after its window was exposed.
struct Opens {
    int folder = 0, files = 0;
    bool ok = false;
};

Opens straceOpens(const std::string& program, const Setting& where)
{
    const std::string log = where.privateDir + "/strace.log";
    Opens o;
    const Start s = runOnce({"strace", "-f", "-qq", "-e", "trace=openat", "-o", log, program}, where);
    if (!s.ok)
        return o;
    std::ifstream in(log);
    std::string line;
    const std::string inFolder = "\"" + where.folder + "/";
    while (std::getline(in, line)) {
        if (line.find("openat(") == std::string::npos)
            continue;
        const size_t quote = line.find('"');
        if (quote == std::string::npos)
            continue;
        const size_t end = line.find('"', quote + 1);
        const std::string path = line.substr(quote + 1, end - quote - 1);
        // Only what was opened: a look for a file that is not there (fontconfig's ~/.fonts.conf) reads nothing.
        const size_t result = line.rfind(" = ");
        if (result == std::string::npos || line.compare(result + 3, 1, "-") == 0)
            continue;
        const bool relative = !path.empty() && path[0] != '/';
        if (path == where.folder || path == where.folder + "/" || path == ".")
            ++o.folder;
        else if (relative || line.compare(quote, inFolder.size(), inFolder) == 0)
            ++o.files;
    }
    o.ok = true;
    return o;
}

} // namespace

int main(int argc, char** argv)
{
    int pairs = 10;
    bool withStrace = std::system("strace -V >/dev/null 2>&1") == 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-strace") == 0)
            withStrace = false;
        else
            pairs = std::max(1, std::atoi(argv[i]));
    }
    const std::string program = DXU_PROGRAM_PATH;
    const std::string bare = BARE_WINDOW_PATH;

    OwnXvfb xvfb;
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        if (!xvfb.start()) {
            std::fprintf(stderr, "Xvfb did not start\n");
            return 1;
        }
        setenv("DISPLAY", xvfb.display().c_str(), 1);
    }
    std::printf("display %s\n", std::getenv("DISPLAY"));

    char base[] = "/tmp/dxu-bench-startup-XXXXXX";
    if (!mkdtemp(base))
        return 1;
    const std::string root = base;
    const Setting empty{root + "/empty", root + "/private"};
    const Setting full{root + "/full", root + "/private"};
    bool made = makeFolder(empty.folder) && makeFolder(full.folder) && makeFolder(empty.privateDir);
    for (int i = 0; made && i < 3000; ++i) {
        std::ofstream f(full.folder + "/file" + std::to_string(i));
        f << "a small file " << i << "\n";
        made = bool(f);
    }
    if (!made) {
        std::fprintf(stderr, "cannot make the folders under %s\n", base);
        return 1;
    }

    // COM1 leads to a simulated unit, as with make run.
    dxu::test::SimProcess sim;
    if (!sim.start({"--reply-delay", "0"})) {
        std::fprintf(stderr, "dxu-sim did not start\n");
        return 1;
    }
    sim.exportAs(1);

    // One start of each first: caches (fonts, the shared libraries) warm.
    runOnce({program}, empty);
    runOnce({bare}, empty);

    Series prog[2], anchor[2];
    const Setting* settings[2] = {&empty, &full};
    for (int i = 0; i < pairs; ++i) {
        for (int f = 0; f < 2; ++f) {
            const bool programFirst = (i + f) % 2 == 0;
            for (int k = 0; k < 2; ++k) {
                const bool isProgram = (k == 0) == programFirst;
                const Start s = runOnce({isProgram ? program : bare}, *settings[f]);
                if (!s.ok)
                    return 1;
                (isProgram ? prog[f] : anchor[f]).add(s);
            }
        }
    }

    const char* names[2] = {"empty folder", "3,000 files"};
    std::printf("medians of %d starts each; start-up = start to the first window exposed,\n"
                "memory = resident 0.5 s after the start, processor = start to 2 s after the expose\n",
                pairs);
    std::printf("%-13s %12s %12s %7s   %12s %12s %7s   %12s\n", "", "program ms", "bare ms", "ratio", "program MB",
                "bare MB", "ratio", "program cpu");
    double worstStart = 0, worstMemory = 0;
    for (int f = 0; f < 2; ++f) {
        const double ps = median(prog[f].exposed), bs = median(anchor[f].exposed);
        const double pm = median(prog[f].rss), bm = median(anchor[f].rss);
        worstStart = std::max(worstStart, ps / bs);
        worstMemory = std::max(worstMemory, pm / bm);
        std::printf("%-13s %12.1f %12.1f %7.2f   %12.1f %12.1f %7.2f   %9.0f ms\n", names[f], ps, bs, ps / bs, pm, bm,
                    pm / bm, median(prog[f].cpu));
    }
    const double folderStart = median(prog[1].exposed) / median(prog[0].exposed);
    const double folderCpu = median(prog[1].cpu) / median(prog[0].cpu);
    std::printf("program from 3,000 files against an empty folder: start-up %.2f x, processor %.2f x (bound 1.10)\n",
                folderStart, folderCpu);
    std::printf("bounds: start-up %.2f x the bare window (bound 2.0), memory %.2f x (bound 1.5)\n", worstStart,
                worstMemory);

    bool opensOk = true;
    if (withStrace) {
        const Opens o = straceOpens(program, full);
        opensOk = o.ok && o.folder == 0 && o.files == 0;
        std::printf("under strace from 3,000 files until 2 s after the expose: the folder opened %d times, its "
                    "files %d times%s\n",
                    o.folder, o.files, o.ok ? "" : " (strace did not run)");
    } else {
        std::printf("the opens of the folder's files were not counted (no strace)\n");
    }
    const bool ok = worstStart <= 2.0 && worstMemory <= 1.5 && folderStart <= 1.1 && folderCpu <= 1.1 && opensOk;
    std::printf("%s\n", ok ? "within bounds" : "OUT OF BOUNDS");
    sim.stop();
    std::string cleanup = "rm -rf '" + root + "'";
    if (std::system(cleanup.c_str()) != 0)
        std::fprintf(stderr, "could not remove %s\n", base);
    return ok ? 0 : 1;
}
