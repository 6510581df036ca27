// Moving bytes: sends with chunking and time-outs, the receive poll, adopted
// handles.
#include "pty.h"
#include "serial/commportdriver.h"
#include "services/clock.h"

#include <QElapsedTimer>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <memory>
#include <termios.h>
#include <thread>
#include <utility>
#include <unistd.h>

using namespace dxu;
using dxu::test::Pty;

namespace {

constexpr int kCom = 5;

QByteArray pattern(int size)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 7 + i / 251) & 0xff);
    return b;
}

struct Opened {
    Pty pty{kCom};
    TCommPortDriver d;
    QByteArray received;
    int calls = 0;

    explicit Opened(bool connect = true)
    {
        d.SetComPort(pnCOM5);
        d.SetOnReceiveData([this](TCommPortDriver*, const char* p, int32_t n) {
            ++calls;
            EXPECT_GT(n, 0);
            received.append(p, n);
        });
        if (connect) {
            EXPECT_TRUE(d.Connect());
        }
    }
};

// Every reading of the tick count moves it on by `step` ms.
class SteppingClock : public Clock {
public:
    SteppingClock(uint32_t start, uint32_t step) : now_(start), step_(step) { setClock(this); }
    ~SteppingClock() override { setClock(nullptr); }
    uint32_t tickCount() override { return std::exchange(now_, now_ + step_); }

private:
    uint32_t now_, step_;
};

} // namespace

TEST(SerialTransfer, SendsThatWriteNothing)
{
    Opened closed(false);
    const char data[] = "abc";
    EXPECT_EQ(closed.d.SendData(data, 3), 0);
    EXPECT_EQ(closed.d.OutFreeSpace(), 65535);

    Opened open;
    struct {
        const void* data;
        int32_t size;
    } cases[] = {{data, 0}, {data, -1}, {data, INT32_MIN}, {nullptr, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        EXPECT_EQ(open.d.SendData(c.data, c.size), 0);
    }
    EXPECT_EQ(open.pty.read(1, 50), "");
    EXPECT_EQ(open.d.SendData("ab", 2), 2);
    EXPECT_EQ(open.d.SendData("cd", 2), 2);
    EXPECT_EQ(open.pty.read(4), "abcd");
}

TEST(SerialTransfer, LargeBlockArrivesWholeThroughSmallTransmitRoom)
{
    Opened o(false);
    o.d.SetComPortOutBufSize(16);
    ASSERT_TRUE(o.d.Connect());
    o.d.SetComPortOutBufSize(4096); // frozen while open
    EXPECT_EQ(o.d.ComPortOutBufSize(), 16);
    EXPECT_LE(o.d.OutFreeSpace(), 16);

    const QByteArray block = pattern(300000); // more than a pty holds at once
    QByteArray far;
    std::thread reader([&] { far = o.pty.read(int(block.size()), 10000); });
    const int32_t sent = o.d.SendData(block.constData(), int32_t(block.size()));
    reader.join();
    EXPECT_EQ(sent, block.size());
    EXPECT_EQ(far.size(), block.size());
    EXPECT_TRUE(far == block) << "bytes lost, repeated or reordered between chunks";
}

TEST(SerialTransfer, GivesUpWhenNobodyReadsWithoutSpinning)
{
    Opened o;
    o.d.SetOutputTimeout(300);
    const QByteArray block = pattern(1 << 20);
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = dxu::test::cpuMs();
    const int32_t sent = o.d.SendData(block.constData(), int32_t(block.size()));
    const double cpu = dxu::test::cpuMs() - cpu0;
    const qint64 elapsed = wall.elapsed();

    EXPECT_GT(sent, 0) << "a send that ran out of time returns the positive count";
    EXPECT_LT(sent, block.size());
    EXPECT_GE(elapsed, 300);
    EXPECT_LT(elapsed, 2000);
    EXPECT_LT(cpu, elapsed * 0.5) << "waiting for room must not burn the processor";
    // Exactly what was reported as written is on its way, in order.
    const QByteArray far = o.pty.read(sent, 2000);
    EXPECT_EQ(far.size(), sent);
    EXPECT_TRUE(far == block.left(sent));
}

TEST(SerialTransfer, LateWriteReturnsNegatedCountAcrossTickWrap)
{
    struct {
        const char* name;
        uint32_t start, step;
        int32_t expected;
    } cases[] = {
        {"in time", 5000, 10, 100},
        {"in time across the 32-bit wrap", 0xFFFFFFF0u, 10, 100},
        {"late write", 5000, 4001, -100},
        {"late write across the wrap", 0xFFFFF000u, 4001, -100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Opened o;
        const QByteArray block = pattern(100);
        {
            SteppingClock clock(c.start, c.step);
            EXPECT_EQ(o.d.SendData(block.constData(), 100), c.expected);
        }
        EXPECT_EQ(o.pty.read(100), block) << "the bytes go out either way";
    }
}

TEST(SerialTransfer, ReceivePollDeliversOnlyRealBytesInBufferSizedPieces)
{
    Opened o(false);
    o.d.SetComPortInBufSize(64);
    o.d.SetComPortPollingDelay(20);
    ASSERT_TRUE(o.d.Connect());
    o.d.SetComPortInBufSize(4096); // frozen while open
    EXPECT_EQ(o.d.ComPortInBufSize(), 64);

    dxu::test::runEventsFor(120); // idle ticks: reads of zero bytes
    EXPECT_EQ(o.calls, 0);

    const QByteArray burst = pattern(200);
    o.pty.write(burst);
    dxu::test::runEventsFor(250);
    EXPECT_EQ(o.received, burst);
    EXPECT_GE(o.calls, 4) << "a burst longer than the buffer spans several ticks";

    o.d.SetOnReceiveData(nullptr);
    o.pty.write("nobody listens");
    dxu::test::runEventsFor(60); // no handler: bytes are read and dropped, no crash
}

// A driver on the heap with nothing changed: the receive buffer must hold the
// default size from the start (under AddressSanitizer with zero-filled fresh
// memory, a buffer sized from a not-yet-set member reads past its end here).
TEST(SerialTransfer, DefaultReceiveBufferTakesAFullPoll)
{
    Pty pty{kCom};
    auto d = std::make_unique<TCommPortDriver>();
    d->SetComPort(pnCOM5);
    QByteArray received;
    int32_t largest = 0;
    d->SetOnReceiveData([&](TCommPortDriver*, const char* p, int32_t n) {
        received.append(p, n);
        largest = std::max(largest, n);
    });
    ASSERT_EQ(d->ComPortInBufSize(), 2048);
    ASSERT_TRUE(d->Connect());
    const QByteArray burst = pattern(3000);
    pty.write(burst);
    dxu::test::runEventsFor(300);
    EXPECT_EQ(received, burst);
    EXPECT_LE(largest, 2048);
}

TEST(SerialTransfer, HandlerMayReplaceItselfOrDisconnect)
{
    Opened o;
    int second = 0;
    o.d.SetOnReceiveData([&](TCommPortDriver* s, const char*, int32_t) {
        int captured[64] = {};
        s->SetOnReceiveData([&, captured](TCommPortDriver* s2, const char*, int32_t) {
            second += 1 + captured[0];
            s2->Disconnect();
        });
    });
    o.pty.write("one");
    o.d.PollReceive();
    o.pty.write("two");
    o.d.PollReceive();
    EXPECT_EQ(second, 1);
    EXPECT_FALSE(o.d.Connected());
}

TEST(SerialTransfer, PollingDelayRestartsTimerOnlyOnChange)
{
    // A plain file cannot be watched by a notifier, so the poll timer reads
    // it. A tick comes 400 ms after adoption. Setting the same delay at
    // 200 ms must leave it there; a changed delay starts the period afresh.
    for (bool change : {false, true}) {
        SCOPED_TRACE(change ? "changed" : "same value");
        QTemporaryFile file;
        ASSERT_TRUE(file.open());
        Opened o(false);
        o.d.SetComPortPollingDelay(400);
        o.d.SetComHandle(::open(QFile::encodeName(file.fileName()).constData(), O_RDONLY));
        ASSERT_TRUE(o.d.Connected());
        EXPECT_FALSE(o.d.ReceivesOnArrival());
        file.write("x");
        file.flush();
        dxu::test::runEventsFor(200);
        o.d.SetComPortPollingDelay(change ? 399 : 400);
        dxu::test::runEventsFor(330); // 530 ms after adoption
        EXPECT_EQ(o.calls, change ? 0 : 1);
        dxu::test::runEventsFor(200); // 730 ms: the restarted period has ended too
        EXPECT_EQ(o.calls, 1);
        EXPECT_FALSE(o.d.LinkLost()) << "the end of a file is no hang-up";
    }
}

TEST(SerialTransfer, SetComHandleZeroInvalidAndAdopted)
{
    // Zero: the current port is closed and the driver stays closed.
    {
        Opened o;
        const int fd = o.d.ComHandle();
        o.d.SetComHandle(0);
        EXPECT_FALSE(o.d.Connected());
        EXPECT_EQ(::fcntl(fd, F_GETFD), -1) << "the port's descriptor was closed";
        EXPECT_EQ(::fcntl(0, F_GETFD) != -1, true) << "descriptor 0 is not touched";
    }
    // Invalid: the driver lets go of the port without closing it.
    {
        Opened o;
        const int fd = o.d.ComHandle();
        o.d.SetComHandle(TCommPortDriver::InvalidHandle);
        EXPECT_FALSE(o.d.Connected());
        EXPECT_EQ(o.d.SendData("a", 1), 0);
        o.pty.write("ignored");
        dxu::test::runEventsFor(120);
        EXPECT_EQ(o.calls, 0);
        ASSERT_EQ(::write(fd, "still open", 10), 10);
        EXPECT_EQ(o.pty.read(10), "still open");
        ::close(fd);
    }
    // A descriptor opened elsewhere: adopted and polled, settings untouched.
    {
        Opened o(false);
        const int fd = ::open(o.pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        termios before{};
        tcgetattr(fd, &before);
        o.d.SetComHandle(fd);
        EXPECT_TRUE(o.d.Connected());
        EXPECT_EQ(o.d.ComHandle(), fd);
        termios after{};
        tcgetattr(fd, &after);
        EXPECT_EQ(before.c_lflag, after.c_lflag);
        EXPECT_EQ(before.c_cflag, after.c_cflag);
        o.pty.write("hello\n");
        dxu::test::runEventsFor(150);
        EXPECT_EQ(o.received, "hello\n");
        EXPECT_EQ(o.d.SendData("ok", 2), 2);
        EXPECT_TRUE(o.pty.read(9).endsWith("ok")); // after the tty's own echo
        o.d.SetComHandle(fd); // the same handle: nothing happens
        EXPECT_TRUE(o.d.Connected());
        o.d.Disconnect();
        EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
    }
}
