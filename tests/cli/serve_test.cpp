// dxu-cli serve against the simulator, read by a Modbus TCP client of
// libmodbus over loopback as a PLC reads it.
#include "e2e/simprocess.h"
#include "gateway/gateway.h"
#include "gateway/unittable.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <modbus/modbus.h>

#include <algorithm>
#include <chrono>
#include <arpa/inet.h>
#include <bit>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <functional>
#include <map>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#ifndef DXU_CLI_PATH
#define DXU_CLI_PATH "dxu-cli"
#endif

namespace dxu::test {
namespace {

bool waitUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QThread::msleep(50);
    }
    return true;
}

// dxu-cli serve, running until signalled; its standard error gathered.
class Serve {
public:
    ~Serve()
    {
        if (p_.state() != QProcess::NotRunning) {
            p_.kill();
            p_.waitForFinished();
        }
    }
    // Starts it with Modbus on a free loopback port; the port, 0 when it
    // did not say where it serves.
    int start(const QStringList& args)
    {
        p_.start(QStringLiteral(DXU_CLI_PATH), QStringList{"serve", "--modbus", "tcp://127.0.0.1:0"} + args);
        if (!p_.waitForStarted())
            return 0;
        static const QRegularExpression serving(QStringLiteral("serving Modbus TCP on tcp://127.0.0.1:(\\d+)"));
        int port = 0;
        waitUntil([&] { return (port = serving.match(err()).captured(1).toInt()) > 0 || !running(); }, 10000);
        return port;
    }
    bool running() const { return p_.state() == QProcess::Running; }
    QString err()
    {
        p_.waitForReadyRead(0);
        err_ += QString::fromLocal8Bit(p_.readAllStandardError());
        return err_;
    }
    // Signals it and waits for its end: its exit status, -1 when it did not end.
    int stop(int signal)
    {
        ::kill(static_cast<pid_t>(p_.processId()), signal);
        if (!p_.waitForFinished(20000))
            return -1;
        err();
        return p_.exitStatus() == QProcess::NormalExit ? p_.exitCode() : -1;
    }

private:
    QProcess p_;
    QString err_;
};

// A Modbus TCP client of libmodbus.
class Plc {
public:
    explicit Plc(int port) : ctx_(modbus_new_tcp("127.0.0.1", port))
    {
        connected_ = ctx_ && modbus_connect(ctx_) == 0;
    }
    ~Plc()
    {
        if (ctx_) {
            modbus_close(ctx_);
            modbus_free(ctx_);
        }
    }
    bool connected() const { return connected_; }
    // The input registers of unit id from address on; 0 when read, else the
    // exception code (-1: no reply).
    int read(int id, int address, int count, uint16_t* out, int function = MODBUS_FC_READ_INPUT_REGISTERS)
    {
        modbus_set_slave(ctx_, id);
        const int n = function == MODBUS_FC_READ_INPUT_REGISTERS ? modbus_read_input_registers(ctx_, address, count, out)
                      : function == MODBUS_FC_READ_HOLDING_REGISTERS ? modbus_read_registers(ctx_, address, count, out)
                                                                      : modbus_write_register(ctx_, address, 1);
        if (n >= 0)
            return 0;
        return errno > MODBUS_ENOBASE && errno < MODBUS_ENOBASE + 0x20 ? errno - MODBUS_ENOBASE : -1;
    }
    struct Unit {
        float distance = 0, intensity = 0;
        uint16_t status = 0;
        int16_t error = 0;
        uint32_t results = 0;
        uint16_t age = 0;
    };
    bool unit(int id, Unit& u)
    {
        uint16_t r[9] = {};
        if (read(id, 0, 9, r) != 0)
            return false;
        const auto f = [&](int i) { return std::bit_cast<float>(uint32_t(r[i]) << 16 | r[i + 1]); };
        u = {f(0), f(2), r[4], int16_t(r[5]), uint32_t(r[6]) << 16 | r[7], r[8]};
        return true;
    }

private:
    modbus_t* ctx_;
    bool connected_ = false;
};

// A raw loopback connection to the server.
int rawClient(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Whether the server closed the connection within ms (with unread bytes
// left, by a reset).
bool closedByServer(int fd, int ms)
{
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    char buf[64];
    ssize_t n;
    while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0) {
    }
    return n == 0 || (n < 0 && errno == ECONNRESET);
}

constexpr uint16_t AnsweringBit = 1, MeasuringBit = 2, FreshBit = 4, ErrorBit = 8;

// A line of a, b (silent) and c (in feet, distance and intensity shown):
// every unit's registers, the exceptions, and clients that say nothing,
// garbage or too much beside one that reads.
TEST(ServeTest, ALineIsReadOverModbusTcpWhateverElseConnects)
{
    QTemporaryDir dir;
    const QString state = dir.filePath(QStringLiteral("line.state"));
    QFile f(state);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("unit 2\nMU 0\nDM 2\n");
    f.close();
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--reply-delay", "0", "--units", "a,b,c", "--silent", "b", "--state", state}));
    Serve serve;
    const int port = serve.start({"--port", QString::fromStdString(sim.devicePath()), "--address", "a,b,c"});
    ASSERT_GT(port, 0) << serve.err().toStdString();

    // Beside the PLC: one that says nothing, one that speaks HTTP, one whose
    // request is longer than Modbus allows, one that stops half-way.
    const int silent = rawClient(port);
    const int http = rawClient(port);
    const int oversize = rawClient(port);
    const int halfway = rawClient(port);
    ASSERT_TRUE(silent >= 0 && http >= 0 && oversize >= 0 && halfway >= 0);
    const char get[] = "GET / HTTP/1.0\r\n\r\n";
    ASSERT_EQ(::send(http, get, sizeof get - 1, 0), ssize_t(sizeof get - 1));
    // Write Multiple Registers announcing 255 bytes of values.
    std::string big = std::string("\x00\x01\x00\x00\x01\x06\x61\x10\x00\x00\x00\x7f\xff", 13) + std::string(255, '\0');
    ASSERT_EQ(::send(oversize, big.data(), big.size(), 0), ssize_t(big.size()));
    ASSERT_EQ(::send(halfway, "\x00\x01\x00", 3, 0), 3);

    Plc plc(port);
    ASSERT_TRUE(plc.connected());
    Plc::Unit a, b, c;
    ASSERT_TRUE(waitUntil([&] { return plc.unit('a', a) && plc.unit('c', c) && a.results > 2 && c.results > 2; }, 20000))
        << serve.err().toStdString();
    ASSERT_TRUE(plc.unit('b', b));

    const struct {
        char name;
        const Plc::Unit& unit;
        float distance;  // m; NaN: none
        bool intensity;  // shown
        uint16_t status;
    } units[] = {
        {'a', a, 12.345f, false, AnsweringBit | MeasuringBit | FreshBit},
        {'b', b, NAN, false, 0},
        {'c', c, 14.345f, true, AnsweringBit | MeasuringBit | FreshBit}, // measured in feet
    };
    for (const auto& u : units) {
        SCOPED_TRACE(u.name);
        EXPECT_EQ(u.unit.status, u.status);
        EXPECT_EQ(u.unit.error, 0);
        if (std::isnan(u.distance)) {
            EXPECT_TRUE(std::isnan(u.unit.distance));
            EXPECT_EQ(u.unit.results, 0u);
            EXPECT_EQ(u.unit.age, 65535);
        } else {
            EXPECT_NEAR(u.unit.distance, u.distance, 0.01);
            EXPECT_LT(u.unit.age, 10);
        }
        if (u.intensity) {
            EXPECT_NEAR(u.unit.intensity, 1.5, 0.1);
        } else {
            EXPECT_TRUE(std::isnan(u.unit.intensity));
        }
    }
    // The counters go on.
    Plc::Unit later;
    EXPECT_TRUE(waitUntil([&] { return plc.unit('a', later) && later.results > a.results + 2; }, 5000));

    const struct {
        const char* what;
        int id, address, count, function, exception;
    } requests[] = {
        {"one register", 'c', 4, 1, MODBUS_FC_READ_INPUT_REGISTERS, 0},
        {"a unit not on the line", 'd', 0, 9, MODBUS_FC_READ_INPUT_REGISTERS, MODBUS_EXCEPTION_GATEWAY_TARGET},
        {"the RS-232 unit's identifier on a line", 1, 0, 9, MODBUS_FC_READ_INPUT_REGISTERS,
         MODBUS_EXCEPTION_GATEWAY_TARGET},
        {"beyond the map", 'a', 8, 2, MODBUS_FC_READ_INPUT_REGISTERS, MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS},
        {"holding registers", 'a', 0, 2, MODBUS_FC_READ_HOLDING_REGISTERS, MODBUS_EXCEPTION_ILLEGAL_FUNCTION},
        {"a write", 'a', 0, 1, MODBUS_FC_WRITE_SINGLE_REGISTER, MODBUS_EXCEPTION_ILLEGAL_FUNCTION},
    };
    for (const auto& r : requests) {
        SCOPED_TRACE(r.what);
        uint16_t out[16] = {};
        EXPECT_EQ(plc.read(r.id, r.address, r.count, out, r.function), r.exception);
    }

    // Each bad client lost its own connection; the silent one keeps its own.
    EXPECT_TRUE(closedByServer(http, 5000));
    EXPECT_TRUE(closedByServer(oversize, 5000));
    EXPECT_TRUE(closedByServer(halfway, 5000));
    EXPECT_FALSE(closedByServer(silent, 200));
    for (int fd : {silent, http, oversize, halfway})
        ::close(fd);
    EXPECT_TRUE(plc.unit('a', later));

    EXPECT_EQ(serve.stop(SIGTERM), 0) << serve.err().toStdString();
    EXPECT_TRUE(serve.err().contains("b: not answering: did not answer on")) << serve.err().toStdString();
    // Asked one result at a time: nothing was left measuring.
    const std::vector<std::string> rx = sim.received();
    EXPECT_GT(std::count(rx.begin(), rx.end(), "#aBM"), 3);
    EXPECT_EQ(std::count_if(rx.begin(), rx.end(), [](const std::string& l) { return l.ends_with("GO"); }), 0);
}

// The rounds over a line whose units answer in a millisecond: with an
// interval they start that far apart, each unit asked once in each; without
// one the line is asked as fast as it answers.
TEST(ServeTest, TheUnitsOfALineAreAskedOnceAnInterval)
{
    using Clock = std::chrono::steady_clock;
    class QuickLine final : public gateway::Line {
    public:
        explicit QuickLine(Clock::duration runFor) : end_(Clock::now() + runFor) {}
        gateway::Step connect(char address, gateway::UnitFacts& facts) override
        {
            facts.address = address;
            return {};
        }
        gateway::Step startStreaming() override { return {}; }
        gateway::Step stopStreaming() override { return {}; }
        gateway::Step measureOnce(char address) override
        {
            asked[address].push_back(Clock::now());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return {};
        }
        bool linkUp() const override { return true; }
        QString lostReason() const override { return {}; }
        void close() override {}
        void wait(int ms, const std::function<bool()>& done) override
        {
            const auto until = Clock::now() + std::chrono::milliseconds(ms);
            while (!done() && Clock::now() < until)
                std::this_thread::sleep_for(std::min<Clock::duration>(until - Clock::now(), std::chrono::milliseconds(1)));
        }
        bool stopRequested() const override { return Clock::now() >= end_; }
        std::map<char, std::vector<Clock::time_point>> asked;

    private:
        Clock::time_point end_;
    };

    constexpr int RunMs = 600;
    const struct {
        int intervalMs;
        int fewest, most; // results asked of each unit in RunMs
    } cases[] = {{40, RunMs / 40 - 3, RunMs / 40 + 1}, {0, RunMs / 40 * 3, RunMs}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.intervalMs);
        QuickLine line{std::chrono::milliseconds(RunMs)};
        gateway::UnitTable table({'a', 'b'});
        gateway::Gateway g(line, table, {'a', 'b'});
        g.setIntervalMs(c.intervalMs);
        g.run();
        for (const char unit : {'a', 'b'}) {
            SCOPED_TRACE(unit);
            const std::vector<Clock::time_point>& times = line.asked[unit];
            EXPECT_GE(int(times.size()), c.fewest);
            EXPECT_LE(int(times.size()), c.most);
            // The first of a round is asked as the round starts.
            for (size_t i = 1; unit == 'a' && i < times.size(); ++i)
                EXPECT_GE(times[i] - times[i - 1], std::chrono::milliseconds(c.intervalMs));
        }
    }
}

// The RS-232 unit streams behind a /dev/serial/by-id style link; the device
// goes away and another comes back under the link: said once, served
// throughout, measuring again; SIGTERM stops the unit and ends with 0.
TEST(ServeTest, TheDeviceGoesAwayAndComesBackUnderItsLink)
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"));
    const auto pointLink = [&](const SimProcess& sim) {
        QFile::remove(link);
        return QFile::link(QString::fromStdString(sim.devicePath()), link);
    };
    // Every fifth streamed result is the unit's error 4.
    const QStringList simOptions{"--reply-delay", "0", "--measure-error", "5,4"};
    SimProcess first;
    ASSERT_TRUE(first.start(simOptions) && pointLink(first));
    Serve serve;
    const int port = serve.start({"--port", link});
    ASSERT_GT(port, 0) << serve.err().toStdString();
    Plc plc(port);
    ASSERT_TRUE(plc.connected());
    Plc::Unit u;
    // At identifier 1 and at its own address.
    ASSERT_TRUE(waitUntil([&] { return plc.unit(1, u) && u.results > 5; }, 20000)) << serve.err().toStdString();
    ASSERT_TRUE(plc.unit('a', u));
    EXPECT_EQ(u.status & (AnsweringBit | MeasuringBit), AnsweringBit | MeasuringBit);
    EXPECT_EQ(u.error, 4);
    EXPECT_TRUE(waitUntil([&] { return plc.unit(1, u) && (u.status & ErrorBit) != 0; }, 5000));

    first.kill();
    QFile::remove(link);
    ASSERT_TRUE(waitUntil([&] { return plc.unit(1, u) && (u.status & AnsweringBit) == 0; }, 10000));
    const uint32_t before = u.results;
    QThread::msleep(3000); // away for a while: tried again, said once
    ASSERT_TRUE(plc.unit(1, u));
    EXPECT_EQ(u.status & (AnsweringBit | MeasuringBit | FreshBit), 0);
    EXPECT_EQ(u.results, before);
    EXPECT_EQ(serve.err().count(QStringLiteral("Waiting for the port to come back")), 1) << serve.err().toStdString();

    SimProcess second;
    ASSERT_TRUE(second.start(simOptions) && pointLink(second));
    EXPECT_TRUE(waitUntil([&] { return plc.unit(1, u) && u.results > before + 5 && (u.status & FreshBit); }, 15000))
        << serve.err().toStdString();
    EXPECT_EQ(u.status & (AnsweringBit | MeasuringBit), AnsweringBit | MeasuringBit);

    EXPECT_EQ(serve.stop(SIGTERM), 0) << serve.err().toStdString();
    const std::vector<std::string> rx = second.received();
    const auto go = std::find(rx.begin(), rx.end(), "$GO");
    ASSERT_NE(go, rx.end());
    EXPECT_NE(std::find(go, rx.end(), "$ST"), rx.end());
}

} // namespace
} // namespace dxu::test
