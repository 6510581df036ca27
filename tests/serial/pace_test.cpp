// The pace of the line: received bytes handed over as they arrive, and the
// turnaround the next block waits for after them (on the fake clock).
#include "pty.h"
#include "serial/commportdriver.h"
#include "services/clock.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace dxu;
using dxu::test::Pty;

namespace {

constexpr int kCom = 6;

struct ClockScope : FakeClock {
    ClockScope() { setClock(this); }
    ~ClockScope() override { setClock(nullptr); }
};

} // namespace

TEST(SerialPace, BytesArriveWithoutWaitingForThePoll)
{
    Pty pty{kCom};
    TCommPortDriver d;
    d.SetComPort(pnCOM6);
    d.SetComPortPollingDelay(60000); // the poll would come far too late
    QByteArray received;
    d.SetOnReceiveData([&](TCommPortDriver*, const char* p, int32_t n) { received.append(p, n); });
    ASSERT_TRUE(d.Connect());
    EXPECT_TRUE(d.ReceivesOnArrival());
    for (const char* piece : {"$U", "S", ",1", "\r"}) {
        pty.write(piece);
        dxu::test::runEventsFor(30);
    }
    EXPECT_EQ(received, "$US,1\r");
    d.Disconnect();
    EXPECT_FALSE(d.ReceivesOnArrival());
}

// A handler that shows a message box runs the event loop: bytes arriving
// meanwhile are handed over then, without touching the bytes it holds.
TEST(SerialPace, HandlerWithANestedLoopKeepsItsBytes)
{
    Pty pty{kCom};
    TCommPortDriver d;
    d.SetComPort(pnCOM6);
    QByteArray received, held;
    d.SetOnReceiveData([&](TCommPortDriver*, const char* p, int32_t n) {
        const QByteArray mine(p, n);
        received.append(mine);
        if (received.size() == n) { // the first call: a "message box"
            pty.write("$US,0\r");
            dxu::test::runEventsFor(100);
            held = QByteArray(p, n);
        }
    });
    ASSERT_TRUE(d.Connect());
    pty.write("$SV,1\r");
    dxu::test::runEventsFor(300);
    EXPECT_EQ(held, "$SV,1\r");
    EXPECT_EQ(received, "$SV,1\r$US,0\r");
}

// More than a reply's worth of bytes with nothing sent is a stream: it is
// handed over every polling delay, not line by line, until the next send.
TEST(SerialPace, StreamIsGatheredUntilTheNextSend)
{
    // A long polling delay: what must wait is checked well inside it, so a
    // loaded machine's late timers cannot end it early; what must come is
    // waited for.
    constexpr int Delay = 1000;
    Pty pty{kCom};
    TCommPortDriver d;
    d.SetComPort(pnCOM6);
    d.SetComPortPollingDelay(Delay);
    QByteArray received;
    d.SetOnReceiveData([&](TCommPortDriver*, const char* p, int32_t n) { received.append(p, n); });
    ASSERT_TRUE(d.Connect());
    const QByteArray stream(TCommPortDriver::StreamBytes + 1, 'x');
    pty.write(stream);
    ASSERT_TRUE(QTest::qWaitFor([&] { return received == stream; }, Delay / 2));
    pty.write("$BM,1.0\r");
    dxu::test::runEventsFor(60);
    EXPECT_EQ(received, stream) << "gathered for the polling delay";
    EXPECT_TRUE(QTest::qWaitFor([&] { return received == stream + "$BM,1.0\r"; }, 2 * Delay));
    received.clear();
    pty.write("$BM,2.0\r");
    dxu::test::runEventsFor(60);
    EXPECT_TRUE(received.isEmpty());
    d.SendData("$ST\r", 4);
    EXPECT_TRUE(QTest::qWaitFor([&] { return received == "$BM,2.0\r"; }, Delay / 2)) << "a send ends the gathering";
    pty.read(4, 400);
    pty.write("$OK\r");
    EXPECT_TRUE(QTest::qWaitFor([&] { return received == "$BM,2.0\r$OK\r"; }, Delay / 2)) << "the reply comes on arrival";
}

// After the last received byte a block waits one character at the line rate
// plus 2 ms, or the set turnaround when that is longer, and goes out at its
// end; blocks keep their order, and a busy wait lets a kept block go out on
// time.
TEST(SerialPace, NextBlockWaitsForTheTurnaround)
{
    struct Case {
        TComPortBaudRate rate;
        TComPortParity parity;
        uint16_t setMs;
        uint32_t gapUs;
    };
    const Case cases[] = {
        {br1200, ptNONE, 0, 8334 + 2000},  {br9600, ptNONE, 0, 1042 + 2000}, {br115200, ptNONE, 0, 87 + 2000},
        {br9600, ptEVEN, 0, 1146 + 2000},  {br115200, ptNONE, 50, 50000},    {br1200, ptNONE, 5, 8334 + 2000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << baudRateValue(c.rate) << " bit/s, parity " << int(c.parity)
                                        << ", set " << c.setMs << " ms");
        ClockScope clock;
        Pty pty{kCom};
        TCommPortDriver d;
        d.SetComPort(pnCOM6);
        d.SetComPortSpeed(c.rate);
        d.SetComPortParity(c.parity);
        d.SetTurnaround(c.setMs);
        EXPECT_EQ(d.TurnaroundMicros(), c.gapUs);
        ASSERT_TRUE(d.Connect());
        EXPECT_EQ(d.SendData("$US\r", 4), 4) << "nothing received yet: sent at once";
        EXPECT_EQ(pty.read(4), "$US\r");

        pty.write("$US,0\r");
        QByteArray reply;
        d.SetOnReceiveData([&](TCommPortDriver*, const char* p, int32_t n) { reply.append(p, n); });
        pty.read(0, 20);
        d.PollReceive();
        ASSERT_EQ(reply, "$US,0\r");
        const uint64_t replied = clock.microTicks();
        EXPECT_EQ(d.SendData("$GO\r", 4), 4);
        EXPECT_EQ(d.SendData("$US\r", 4), 4);
        clock.advanceMicros(c.gapUs - 1001);
        d.SendPending();
        EXPECT_EQ(pty.read(1, 30), "") << "too soon after the reply";
        EXPECT_EQ(d.PendingBytes(), 8);
        // Less than a millisecond left when the timer fires: slept off.
        clock.advanceMicros(1000);
        d.SendPending();
        EXPECT_EQ(pty.read(8), "$GO\r$US\r") << "both blocks, in order, once the turnaround has passed";
        EXPECT_EQ(clock.microTicks() - replied, c.gapUs) << "sent at the turnaround's end, not a timer's millisecond later";
        EXPECT_EQ(d.SendData("$ST\r", 4), 4);
        EXPECT_EQ(pty.read(4), "$ST\r") << "later than the turnaround: sent at once";

        // A busy wait right after the send (a reset): the block goes out
        // during the wait, which keeps its length.
        pty.write("$RS\r");
        pty.read(0, 20);
        d.PollReceive();
        EXPECT_EQ(d.SendData("$RS\r", 4), 4);
        const uint64_t before = clock.waited();
        waitMs(2000);
        EXPECT_EQ(clock.waited() - before, 2000u);
        EXPECT_EQ(pty.read(4), "$RS\r");

        // Kept bytes leave with the port.
        pty.write("x\r");
        pty.read(0, 20);
        d.PollReceive();
        d.SendData("$GO\r", 4);
        d.Disconnect();
        EXPECT_EQ(d.PendingBytes(), 0);
    }
}
