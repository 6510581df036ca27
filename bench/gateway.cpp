// dxu-cli serve under load: one RS-485 line of three units (dxu-sim, no reply
// delay) measuring at their fastest (one pulse per result at 4000 Hz), the
// gateway asking them in turn, and eight Modbus TCP clients of libmodbus on
// loopback, each reading all three units 50 times a second.
//
//   bench_gateway [SECONDS [SERVE OPTION...]]    (default 30; the options go
//                                                 to dxu-cli serve, such as
//                                                 --interval 0)
//
// 1. The load for SECONDS: wrong values (a failed read, a distance off the
//    simulated scene, a unit not answering, measuring and fresh, an error, a
//    counter that goes back), the response time of the reads (p50, p99, the
//    longest; bound p99 5 ms), the gateway's processor share of one core
//    (bound 5 %; beside it the share of the line alone, measured for 10 s
//    before the clients come), its resident memory at the start and the end.
// 2. The device away for 10 s (the simulator ended), no clients: the
//    gateway's processor share while it waits for the port (bound 5 %).
// Exits 0 when every bound holds, 1 otherwise.
#include "e2e/simprocess.h"
#include "procstats.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <modbus/modbus.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <string>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Clients = 8;
constexpr int PollsPerSecond = 50;
constexpr char Units[] = {'a', 'b', 'c'};

struct ClientTally {
    std::vector<double> latencyMs;
    long reads = 0;
    long wrong = 0;
    uint32_t firstCount[3] = {}, lastCount[3] = {};
    std::string firstWrong;
};

// One PLC: every unit every 1/50 s, each read timed and its values checked.
void poll(int port, const std::atomic<bool>& stop, ClientTally& t)
{
    modbus_t* ctx = modbus_new_tcp("127.0.0.1", port);
    if (!ctx || modbus_connect(ctx) != 0) {
        t.wrong = -1;
        return;
    }
    const auto period = std::chrono::microseconds(1000000 / PollsPerSecond);
    auto next = std::chrono::steady_clock::now();
    bool first = true;
    while (!stop) {
        for (int i = 0; i < 3; ++i) {
            uint16_t r[9] = {};
            modbus_set_slave(ctx, Units[i]);
            const auto start = std::chrono::steady_clock::now();
            const int n = modbus_read_input_registers(ctx, 0, 9, r);
            t.latencyMs.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            ++t.reads;
            const float distance = std::bit_cast<float>(uint32_t(r[0]) << 16 | r[1]);
            const uint32_t count = uint32_t(r[6]) << 16 | r[7];
            // The simulated scene: unit k at 12.345 m + k, within 2 mm.
            const bool right = n == 9 && std::fabs(distance - (12.345f + float(i))) < 0.01f && (r[4] & 0x7) == 0x7
                               && r[5] == 0 && (first || count >= t.lastCount[i]);
            if (!right) {
                if (t.wrong++ == 0)
                    t.firstWrong = "unit " + std::string(1, Units[i]) + ": read " + std::to_string(n) + ", distance "
                                   + std::to_string(distance) + ", status " + std::to_string(r[4]) + ", error "
                                   + std::to_string(r[5]) + ", count " + std::to_string(count);
            }
            if (first)
                t.firstCount[i] = count;
            t.lastCount[i] = count;
        }
        first = false;
        next += period;
        std::this_thread::sleep_until(next);
    }
    modbus_close(ctx);
    modbus_free(ctx);
}

// Eight PLCs reading from port while measure() runs, after 2 s of warm-up.
std::vector<ClientTally> withClients(int port, const std::function<void()>& measure)
{
    std::atomic<bool> stop{false};
    std::vector<ClientTally> tallies(Clients);
    std::vector<std::thread> clients;
    for (int c = 0; c < Clients; ++c)
        clients.emplace_back(poll, port, std::cref(stop), std::ref(tallies[size_t(c)]));
    std::this_thread::sleep_for(std::chrono::seconds(2));
    measure();
    stop = true;
    for (std::thread& t : clients)
        t.join();
    return tallies;
}

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The line's floor: the units asked in rounds of 20 ms as the gateway asks
// them (check the room, write, wait for the reply, read it, wait out the
// turnaround), with nothing else. Its processor share of one core.
double bareLineShare(const std::string& device, int seconds)
{
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios t{};
    if (fd >= 0 && ::tcgetattr(fd, &t) == 0) {
        ::cfmakeraw(&t);
        ::cfsetspeed(&t, B115200);
        ::tcsetattr(fd, TCSANOW, &t);
    }
    using std::chrono::steady_clock;
    const auto turnaround = std::chrono::microseconds(2090); // a character at 115200 bit/s and 2 ms
    const auto end = steady_clock::now() + std::chrono::seconds(seconds);
    const double start = threadCpuSeconds();
    const auto began = steady_clock::now();
    bool answered = fd >= 0;
    while (answered && steady_clock::now() < end) {
        const auto roundEnds = steady_clock::now() + std::chrono::milliseconds(20);
        for (char unit : Units) {
            const char command[] = {'#', unit, 'B', 'M', '\r'};
            int queued = 0;
            ::ioctl(fd, TIOCOUTQ, &queued);
            char reply[256];
            size_t have = 0;
            if (::write(fd, command, sizeof command) == ssize_t(sizeof command))
                for (pollfd p{fd, POLLIN, 0}; have < sizeof reply && ::poll(&p, 1, 50) > 0;) {
                    const ssize_t n = ::read(fd, reply + have, sizeof reply - have);
                    have += n > 0 ? size_t(n) : 0;
                    if (have > 0 && reply[have - 1] == '\r')
                        break;
                }
            // Every exchange answered, or there is no floor to tell.
            answered = answered && have > 0 && reply[have - 1] == '\r';
            std::this_thread::sleep_for(turnaround);
        }
        std::this_thread::sleep_for(roundEnds - steady_clock::now());
    }
    const double cpu = threadCpuSeconds() - start;
    if (fd >= 0)
        ::close(fd);
    return answered ? cpu / std::chrono::duration<double>(steady_clock::now() - began).count() : -1;
}

// The Modbus side's floor: an epoll server answering each read with the
// values the clients expect, and nothing else, on a thread of its own.
class BareServer {
public:
    BareServer()
    {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&a), size) != 0 || ::listen(listen_, 16) != 0
            || ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &size) != 0)
            return;
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { run(); });
    }
    ~BareServer()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        ::close(listen_);
    }
    BareServer(const BareServer&) = delete;
    BareServer& operator=(const BareServer&) = delete;
    int port() const { return port_; }
    // The processor time the server's thread has used so far, in s (-1
    // when it does not run).
    double cpuSeconds()
    {
        clockid_t id{};
        timespec t{};
        if (!thread_.joinable() || pthread_getcpuclockid(thread_.native_handle(), &id) != 0
            || clock_gettime(id, &t) != 0)
            return -1;
        return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
    }

private:
    void run()
    {
        const int ep = ::epoll_create1(EPOLL_CLOEXEC);
        epoll_event e{};
        e.events = EPOLLIN;
        e.data.fd = listen_;
        ::epoll_ctl(ep, EPOLL_CTL_ADD, listen_, &e);
        std::vector<int> clients;
        while (!stop_) {
            epoll_event ready[16];
            const int n = ::epoll_wait(ep, ready, 16, 100);
            for (int i = 0; i < n; ++i) {
                const int fd = ready[i].data.fd;
                if (fd == listen_) {
                    const int c = ::accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                    if (c < 0)
                        continue;
                    const int on = 1;
                    ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
                    e.data.fd = c;
                    ::epoll_ctl(ep, EPOLL_CTL_ADD, c, &e);
                    clients.push_back(c);
                    continue;
                }
                uint8_t q[260];
                if (::recv(fd, q, sizeof q, 0) < 12) {
                    ::close(fd);
                    clients.erase(std::find(clients.begin(), clients.end(), fd));
                    continue;
                }
                // Header, function 4, 18 bytes: unit k at 12.345 m + k,
                // measuring and fresh, no error, count 0.
                uint8_t r[9 + 18] = {q[0], q[1], 0, 0, 0, 3 + 18, q[6], 4, 18};
                const uint32_t metres = std::bit_cast<uint32_t>(12.345f + float(q[6] - Units[0]));
                r[9] = uint8_t(metres >> 24);
                r[10] = uint8_t(metres >> 16);
                r[11] = uint8_t(metres >> 8);
                r[12] = uint8_t(metres);
                r[9 + 9] = 0x7;
                ::send(fd, r, sizeof r, MSG_NOSIGNAL);
            }
        }
        for (int c : clients)
            ::close(c);
        ::close(ep);
    }

    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

double percentile(std::vector<double>& v, double p)
{
    if (v.empty())
        return 0;
    const size_t k = std::min(v.size() - 1, size_t(p * double(v.size())));
    std::nth_element(v.begin(), v.begin() + long(k), v.end());
    return v[k];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    QTemporaryDir dir;
    // Each unit at its fastest: one pulse per result at 4000 Hz.
    const QString state = dir.filePath(QStringLiteral("line.state"));
    QFile f(state);
    if (!f.open(QIODevice::WriteOnly))
        return 1;
    for (int u = 0; u < 3; ++u)
        f.write(QStringLiteral("unit %1\nAW 0\nPO 1 50\nPF 4000 500 1000\nDM 1\n").arg(u).toUtf8());
    f.close();
    dxu::test::SimProcess sim;
    if (!sim.start({"--reply-delay", "0", "--units", "a,b,c", "--state", state})) {
        std::fprintf(stderr, "dxu-sim did not start\n");
        return 1;
    }

    // The floor first, on the same line and with the same clients.
    const double bareLine = bareLineShare(sim.devicePath(), 10);
    double bareModbus = -1;
    {
        BareServer bare;
        double share = -1;
        long bareWrong = 0;
        for (const ClientTally& t : withClients(bare.port(), [&] {
                 const double start = bare.cpuSeconds();
                 const auto began = std::chrono::steady_clock::now();
                 std::this_thread::sleep_for(std::chrono::seconds(10));
                 share = (bare.cpuSeconds() - start)
                         / std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
             }))
            bareWrong += t.wrong < 0 ? 1 : t.wrong;
        if (bareWrong == 0 && bare.port() > 0)
            bareModbus = share;
    }

    QProcess serve;
    QStringList options{"serve", "--port", QString::fromStdString(sim.devicePath()), "--address", "a,b,c", "--modbus",
                        "tcp://127.0.0.1:0"};
    for (int i = 2; i < argc; ++i)
        options << QString::fromLocal8Bit(argv[i]);
    serve.start(QStringLiteral(DXU_CLI_PATH), options);
    QString err;
    int port = 0;
    static const QRegularExpression serving(QStringLiteral("serving Modbus TCP on tcp://127.0.0.1:(\\d+)"));
    QElapsedTimer clock;
    clock.start();
    while ((port = serving.match(err).captured(1).toInt()) == 0 && clock.elapsed() < 10000) {
        serve.waitForReadyRead(100);
        err += QString::fromLocal8Bit(serve.readAllStandardError());
    }
    if (port == 0) {
        std::fprintf(stderr, "dxu-cli serve did not start: %s\n", qPrintable(err));
        return 1;
    }
    const qint64 pid = serve.processId();
    QThread::msleep(3000); // the units read
    // The line alone first: what the clients add is the rest.
    const double lineStart = benchsupport::cpuSecondsOf(pid);
    clock.restart();
    QThread::msleep(10000);
    const double lineWall = double(clock.elapsed()) / 1000.0;
    const double lineCpu = benchsupport::cpuSecondsOf(pid) - lineStart;

    long rssStart = 0, rssEnd = 0;
    double wall = 0, cpu = 0;
    const std::vector<ClientTally> tallies = withClients(port, [&] {
        rssStart = benchsupport::residentKb(pid);
        const double cpuStart = benchsupport::cpuSecondsOf(pid);
        clock.restart();
        QThread::msleep(unsigned(seconds) * 1000);
        wall = double(clock.elapsed()) / 1000.0;
        cpu = benchsupport::cpuSecondsOf(pid) - cpuStart;
        rssEnd = benchsupport::residentKb(pid);
    });

    std::vector<double> latencies;
    long reads = 0, wrong = 0;
    std::string firstWrong;
    for (const ClientTally& t : tallies) {
        latencies.insert(latencies.end(), t.latencyMs.begin(), t.latencyMs.end());
        reads += t.reads;
        wrong += t.wrong < 0 ? 1 : t.wrong;
        if (firstWrong.empty())
            firstWrong = t.firstWrong;
    }
    const double p99 = percentile(latencies, 0.99), p50 = percentile(latencies, 0.50);
    const double longest = latencies.empty() ? 0 : *std::max_element(latencies.begin(), latencies.end());
    const ClientTally& one = tallies.front();
    const double total = wall + 2.0; // the counters of one client span the warm-up too
    std::printf("1. %d clients x 3 units x %d/s for %.0f s (and 2 s of warm-up):\n", Clients, PollsPerSecond, wall);
    std::printf("  %ld reads, %ld wrong values (bound 0)%s%s\n", reads, wrong, firstWrong.empty() ? "" : "; first: ",
                firstWrong.c_str());
    std::printf("  results from the line: a %.0f/s, b %.0f/s, c %.0f/s\n", (one.lastCount[0] - one.firstCount[0]) / total,
                (one.lastCount[1] - one.firstCount[1]) / total, (one.lastCount[2] - one.firstCount[2]) / total);
    std::printf("  response time: p50 %.2f ms, p99 %.2f ms (bound 5 ms), longest %.2f ms\n", p50, p99, longest);
    std::printf("  gateway processor: %.2f s in %.0f s = %.1f %% of one core (bound 5 %%); the line alone before: "
                "%.1f %%\n",
                cpu, wall, 100.0 * cpu / wall, 100.0 * lineCpu / lineWall);
    if (bareLine >= 0 && bareModbus >= 0)
        std::printf("  the floor, the same load on bare system calls (measured first): line %.1f %%, Modbus %.1f %%, "
                    "together %.1f %%; the gateway is %.2f x that\n",
                    100.0 * bareLine, 100.0 * bareModbus, 100.0 * (bareLine + bareModbus),
                    cpu / wall / (bareLine + bareModbus));
    else
        std::printf("  the floor could not be measured (bare line %.3f, bare Modbus %.3f)\n", bareLine, bareModbus);
    std::printf("  gateway resident memory: %ld kB at the start, %ld kB at the end\n", rssStart, rssEnd);

    // 2. The device away: the port is tried again, without a busy loop.
    sim.kill();
    QThread::msleep(1000);
    const double awayStart = benchsupport::cpuSecondsOf(pid);
    clock.restart();
    QThread::msleep(10000);
    const double awayWall = double(clock.elapsed()) / 1000.0;
    const double away = benchsupport::cpuSecondsOf(pid) - awayStart;
    std::printf("2. the device away for %.0f s: gateway processor %.3f s = %.2f %% of one core (bound 5 %%)\n", awayWall,
                away, 100.0 * away / awayWall);

    ::kill(pid_t(pid), SIGTERM);
    serve.waitForFinished(20000);
    const int status = serve.exitStatus() == QProcess::NormalExit ? serve.exitCode() : -1;
    std::printf("   stopped by SIGTERM: exit status %d\n", status);
    const bool ok = wrong == 0 && p99 <= 5.0 && cpu / wall <= 0.05 && away / awayWall <= 0.05 && status == 0;
    return ok ? 0 : 1;
}
