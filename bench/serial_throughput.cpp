// Throughput of the serial driver on a pseudo-terminal: SendData, the receive
// poll (with a count of heap allocations per poll), and the processor time the
// driver needs to keep a 115200 bit/s line busy in both directions.
#include "serial/commportdriver.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include "alloccount.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <new>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using benchsupport::g_allocations;

namespace {

using namespace dxu;

constexpr int kCom = 42;

// A pseudo-terminal mapped to COM42; the bench plays the far end on the master.
struct Line {
    int master = -1;
    TCommPortDriver driver;

    Line()
    {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
            std::abort();
        ::close(slave);
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        ::setenv("DXU_COM42", name, 1);
        driver.SetComPort(TComPortNumber(kCom - 1));
        if (!driver.Connect())
            std::abort();
    }
    ~Line()
    {
        driver.Disconnect();
        ::close(master);
    }

    // Reads exactly n bytes from the master.
    void drain(size_t n) const
    {
        static char buf[65536];
        while (n > 0) {
            const ssize_t r = ::read(master, buf, std::min(n, sizeof buf));
            if (r > 0)
                n -= size_t(r);
            else {
                pollfd p{master, POLLIN, 0};
                ::poll(&p, 1, 10);
            }
        }
    }
    void feed(const char* data, size_t n) const
    {
        while (n > 0) {
            const ssize_t w = ::write(master, data, n);
            if (w > 0) {
                data += w;
                n -= size_t(w);
            }
        }
    }
};

double cpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
         + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void BM_SendData(benchmark::State& state)
{
    Line line;
    const std::vector<char> block(size_t(state.range(0)), 'x');
    for (auto _ : state) {
        const int32_t sent = line.driver.SendData(block.data(), int32_t(block.size()));
        benchmark::DoNotOptimize(sent);
        line.drain(block.size());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_SendData)->Arg(16)->Arg(200)->Arg(2048);

void BM_ReceivePoll(benchmark::State& state)
{
    Line line;
    int64_t received = 0;
    line.driver.SetOnReceiveData(
        [&received](TCommPortDriver*, const char*, int32_t n) { received += n; });
    const std::vector<char> block(size_t(state.range(0)), 'y');
    long allocations = 0;
    for (auto _ : state) {
        state.PauseTiming();
        line.feed(block.data(), block.size());
        state.ResumeTiming();
        const long before = g_allocations.load();
        line.driver.PollReceive();
        allocations += g_allocations.load() - before;
    }
    state.SetBytesProcessed(received);
    state.counters["allocs_per_poll"] =
        benchmark::Counter(double(allocations) / double(state.iterations()));
}
BENCHMARK(BM_ReceivePoll)->Arg(576)->Arg(2048);

// The far end of a 115200 bit/s line in both directions: every 50 ms it
// sends 576 bytes (11,520 bytes/s) and reads whatever the driver sent.
pid_t startFarEnd(int master)
{
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    static char out[576], in[8192];
    for (auto& c : out)
        c = 'r';
    timespec next{};
    ::clock_gettime(CLOCK_MONOTONIC, &next);
    for (;;) {
        next.tv_nsec += 50'000'000;
        if (next.tv_nsec >= 1'000'000'000) {
            next.tv_nsec -= 1'000'000'000;
            ++next.tv_sec;
        }
        ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        while (::read(master, in, sizeof in) > 0) {
        }
        (void)!::write(master, out, sizeof out);
    }
}

void BM_FullDuplex115200(benchmark::State& state)
{
    const int seconds = int(state.range(0));
    for (auto _ : state) {
        Line line;
        int64_t received = 0, sent = 0;
        line.driver.SetOnReceiveData(
            [&received](TCommPortDriver*, const char*, int32_t n) { received += n; });
        const pid_t farEnd = startFarEnd(line.master);
        static const std::vector<char> command(576, 's');
        QTimer sender;
        QObject::connect(&sender, &QTimer::timeout, [&] {
            sent += line.driver.SendData(command.data(), int32_t(command.size()));
        });
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        const double cpu0 = cpuSeconds();
        const long alloc0 = g_allocations.load();
        sender.start(50);
        loop.exec();
        const double cpu = cpuSeconds() - cpu0;
        const long allocs = g_allocations.load() - alloc0;
        ::kill(farEnd, SIGTERM);
        ::waitpid(farEnd, nullptr, 0);

        state.counters["cpu_percent"] = 100.0 * cpu / seconds;
        state.counters["rx_bytes_per_s"] = double(received) / seconds;
        state.counters["tx_bytes_per_s"] = double(sent) / seconds;
        state.counters["allocs_whole_run"] = double(allocs);
    }
}
BENCHMARK(BM_FullDuplex115200)->Arg(8)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
