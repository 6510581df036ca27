// What the far end of the line sees of the driver's settings, and the rules
// for changing them while the port is open.
#include "pty.h"
#include "serial/commportdriver.h"
#include "serial/posixport.h"
#include "serial/rawmode.h"
#include "services/store.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <sys/ioctl.h>
#include <termios.h>

using namespace dxu;
using dxu::test::Pty;

namespace {

constexpr int kCom = 7;

struct Seen {
    termios t{};
    uint32_t inRate = 0, outRate = 0;
};

// The slave's settings, read through the master as the other side would.
Seen seen(const Pty& pty)
{
    Seen s;
    EXPECT_EQ(tcgetattr(pty.master(), &s.t), 0);
    EXPECT_TRUE(serialio::lineRate(pty.master(), s.inRate, s.outRate));
    return s;
}

struct LineCase {
    const char* name;
    TComPortBaudRate speed;
    TComPortDataBits bits;
    TComPortStopBits stop;
    TComPortParity parity;
    TComPortHwHandshaking hw;
    TComPortSwHandshaking sw;
    uint32_t rate;
    tcflag_t size;
    tcflag_t cflagsSet; // of PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS
    bool xonXoff;
};

constexpr tcflag_t kFormatFlags = PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;

const LineCase kLineCases[] = {
    {"defaults", br115200, db8BITS, sb1BITS, ptNONE, hhNONE, shNONE, 115200, CS8, 0, false},
    {"14400 has no Bxxx constant", br14400, db8BITS, sb1BITS, ptNONE, hhNONE, shNONE, 14400, CS8, 0, false},
    {"56000 has no Bxxx constant", br56000, db7BITS, sb1BITS, ptEVEN, hhNONE, shNONE, 56000, CS7, PARENB, false},
    {"slowest, odd, 2 stop", br110, db5BITS, sb2BITS, ptODD, hhNONE, shNONE, 110, CS5, PARENB | PARODD | CSTOPB, false},
    {"1.5 stop bits become 2", br9600, db6BITS, sb1HALFBITS, ptNONE, hhNONE, shNONE, 9600, CS6, CSTOPB, false},
    {"mark parity", br57600, db7BITS, sb1BITS, ptMARK, hhNONE, shNONE, 57600, CS7, PARENB | CMSPAR | PARODD, false},
    {"space parity", br38400, db7BITS, sb1BITS, ptSPACE, hhNONE, shNONE, 38400, CS7, PARENB | CMSPAR, false},
    {"rts/cts", br19200, db8BITS, sb1BITS, ptNONE, hhRTSCTS, shNONE, 19200, CS8, CRTSCTS, false},
    {"xon/xoff", br1200, db8BITS, sb1BITS, ptNONE, hhNONE, shXONXOFF, 1200, CS8, 0, true},
};

void configure(TCommPortDriver& d, const LineCase& c)
{
    d.SetComPortSpeed(c.speed);
    d.SetComPortDataBits(c.bits);
    d.SetComPortStopBits(c.stop);
    d.SetComPortParity(c.parity);
    d.SetComPortHwHandshaking(c.hw);
    d.SetComPortSwHandshaking(c.sw);
}

// A pseudo-terminal forces 8 data bits and drops the parity-enable flag
// whatever it is told, so size and parity enable are checked on the termios
// image the driver hands over; everything else as the far end sees it.
constexpr tcflag_t kPtyForced = CSIZE | PARENB;

// A line as a terminal program would leave it: cooked, echoing, checking parity.
termios cookedLine()
{
    termios t{};
    t.c_iflag = ICRNL | IXON | IXANY | INPCK | PARMRK | ISTRIP | BRKINT;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    t.c_cflag = CS7 | PARENB | PARODD | CSTOPB | CRTSCTS | CMSPAR;
    t.c_cc[VMIN] = 1;
    return t;
}

void expectRaw(const termios& t)
{
    EXPECT_EQ(t.c_iflag & (INPCK | PARMRK | ISTRIP | ICRNL | IGNCR | INLCR | IXANY | BRKINT), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL), tcflag_t(CREAD | CLOCAL));
    EXPECT_EQ(t.c_cc[VSTART], 0x11);
    EXPECT_EQ(t.c_cc[VSTOP], 0x13);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);
}

} // namespace

TEST(SerialLineSettings, EveryRowSetBeforeOrAfterOpening)
{
    for (bool whileOpen : {false, true}) {
        for (const LineCase& c : kLineCases) {
            SCOPED_TRACE(std::string(c.name) + (whileOpen ? " (set while open)" : " (set before open)"));
            Pty pty(kCom);
            TCommPortDriver d;
            d.SetComPort(pnCOM7);
            if (!whileOpen)
                configure(d, c);
            ASSERT_TRUE(d.Connect());
            if (whileOpen)
                configure(d, c);

            const Seen s = seen(pty);
            EXPECT_EQ(s.outRate, c.rate);
            EXPECT_EQ(s.inRate, c.rate);
            EXPECT_EQ(s.t.c_cflag & kFormatFlags & ~kPtyForced, c.cflagsSet & ~kPtyForced);
            EXPECT_EQ(bool(s.t.c_iflag & IXON), c.xonXoff);
            EXPECT_EQ(bool(s.t.c_iflag & IXOFF), c.xonXoff);
            expectRaw(s.t);

            termios handed = cookedLine();
            serialio::makeRaw(handed, d.lineSettings());
            EXPECT_EQ(handed.c_cflag & CSIZE, c.size);
            EXPECT_EQ(handed.c_cflag & kFormatFlags, c.cflagsSet);
            EXPECT_EQ(bool(handed.c_iflag & IXON), c.xonXoff);
            expectRaw(handed);
        }
    }
}

TEST(SerialLineSettings, ControlBytesPassUntouchedBothWays)
{
    Pty pty(kCom);
    TCommPortDriver d;
    d.SetComPort(pnCOM7);
    QByteArray got;
    d.SetOnReceiveData([&](TCommPortDriver* sender, const char* p, int32_t n) {
        EXPECT_EQ(sender, &d);
        got.append(p, n);
    });
    ASSERT_TRUE(d.Connect());
    const QByteArray bytes("\r\n\x03\x04\x1a\x7f\xff\x00 end\r", 13);
    pty.write(bytes);
    dxu::test::runEventsFor(150);
    EXPECT_EQ(got, bytes);
    EXPECT_EQ(d.SendData(bytes.constData(), int32_t(bytes.size())), bytes.size());
    EXPECT_EQ(pty.read(int(bytes.size())), bytes);
}

TEST(SerialLineSettings, ConnectRules)
{
    Pty first(7), second(9), last(100);
    TCommPortDriver d;
    d.SetComPort(pnCOM7);
    ASSERT_TRUE(d.Connect());
    const int fd = d.ComHandle();
    // Connect on an open port neither reopens nor re-applies: a change made by
    // someone else stays.
    termios t{};
    tcgetattr(first.master(), &t);
    t.c_lflag |= ICANON;
    tcsetattr(first.master(), TCSANOW, &t);
    EXPECT_TRUE(d.Connect());
    EXPECT_EQ(d.ComHandle(), fd);
    EXPECT_TRUE(seen(first).t.c_lflag & ICANON);

    // The port number is frozen while open, also for the next Connect.
    d.SetComPort(pnCOM9);
    EXPECT_EQ(d.ComPort(), pnCOM7);
    d.Disconnect();
    ASSERT_TRUE(d.Connect());
    d.SendData("x", 1);
    EXPECT_EQ(first.read(1), "x");
    EXPECT_EQ(second.read(1, 50), "");

    d.Disconnect();
    d.SetComPort(pnCOM100);
    ASSERT_TRUE(d.Connect());
    d.SendData("y", 1);
    EXPECT_EQ(last.read(1), "y");
    d.Disconnect();

    // A missing device, or one that is no serial line, leaves the driver closed.
    for (const char* path : {"/dev/nonexistent-serial", "/dev/null"}) {
        ::setenv("DXU_COM12", path, 1);
        d.SetComPort(pnCOM12);
        EXPECT_FALSE(d.Connect()) << path;
        EXPECT_FALSE(d.Connected());
    }
    ::unsetenv("DXU_COM12");
}

TEST(SerialLineSettings, SpeedChangeWhileOpenPurgesBothQueues)
{
    Pty pty(kCom);
    TCommPortDriver d;
    d.SetComPort(pnCOM7);
    d.SetComPortPollingDelay(10000); // nothing is read behind the test's back
    int calls = 0;
    d.SetOnReceiveData([&](TCommPortDriver*, const char*, int32_t) { ++calls; });
    ASSERT_TRUE(d.Connect());
    // In packet mode the master hears of every purge of the slave's queues.
    int on = 1;
    ASSERT_EQ(::ioctl(pty.master(), TIOCPKT, &on), 0);
    pty.write("unread reply");
    d.SetComPortSpeed(br9600);
    EXPECT_EQ(seen(pty).outRate, 9600u);
    const QByteArray status = pty.read(1);
    ASSERT_EQ(status.size(), 1) << "a purge report comes alone, ahead of any data";
    EXPECT_EQ(status[0] & (TIOCPKT_FLUSHREAD | TIOCPKT_FLUSHWRITE), TIOCPKT_FLUSHREAD | TIOCPKT_FLUSHWRITE);
    d.PollReceive();
    EXPECT_EQ(calls, 0) << "the unread reply was discarded";
    // The line works afterwards.
    pty.write("fresh");
    d.PollReceive();
    EXPECT_EQ(calls, 1);
}

TEST(SerialLineSettings, PortMapPrefersEnvironmentThenStoreThenTtyS)
{
    ::unsetenv("DXU_COM3");
    EXPECT_EQ(comDevicePath(3), "/dev/ttyS2");
    ASSERT_TRUE(Store::setPortPath(3, "/dev/serial/by-id/usb-adapter"));
    EXPECT_EQ(comDevicePath(3), "/dev/serial/by-id/usb-adapter");
    ::setenv("DXU_COM3", "/dev/pts/99", 1);
    EXPECT_EQ(comDevicePath(3), "/dev/pts/99");
    ::unsetenv("DXU_COM3");
    Store::setPortPath(3, {});
    EXPECT_EQ(comDevicePath(100), "/dev/ttyS99");
    EXPECT_EQ(comDevicePath(0), "");
}
