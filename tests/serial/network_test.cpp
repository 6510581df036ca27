// The network side of the driver against an in-process fake server (a
// thread on a loopback port playing a script), and the local port options
// on a pseudo-terminal.
#include "pty.h"
#include "serial/commportdriver.h"
#include "serial/netlink.h"
#include "serial/telnetport.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace dxu;

namespace {

constexpr int kCom = 7;
const QByteArray kWillComPort("\xff\xfb\x2c", 3), kDoComPort("\xff\xfd\x2c", 3), kDontComPort("\xff\xfe\x2c", 3);
const QByteArray kRate115200("\xff\xfa\x2c\x01\x00\x01\xc2\x00\xff\xf0", 10);
const QByteArray kRate9600("\xff\xfa\x2c\x01\x00\x00\x25\x80\xff\xf0", 10);
const QByteArray kPurgeBoth("\xff\xfa\x2c\x0c\x03\xff\xf0", 7);

struct Step {
    enum Kind { Expect, Send } kind;
    QByteArray bytes;
    int pauseMs = 0; // before a send
};
Step expect(const QByteArray& b) { return {Step::Expect, b}; }
Step send(const QByteArray& b, int pauseMs = 0) { return {Step::Send, b, pauseMs}; }

// A socket on a free port of 127.0.0.1, listening unless told not to (a
// port bound but never listened on refuses connections).
int listenOnLoopback(int& port, bool listening = true)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    if (listening)
        ::listen(fd, 2);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

// Accepts one client on 127.0.0.1 and plays the script: waits for bytes
// (anywhere in what came since the last wait) or sends them. Then it closes
// the connection, as a server that went away would.
class FakeServer {
public:
    explicit FakeServer(std::vector<Step> script) : script_(std::move(script))
    {
        listen_ = listenOnLoopback(port);
        thread_ = std::thread([this] { run(); });
    }
    ~FakeServer()
    {
        if (thread_.joinable())
            thread_.join();
        ::close(listen_);
    }
    // Waits for the script's end.
    void finish()
    {
        if (thread_.joinable())
            thread_.join();
    }
    QByteArray received()
    {
        std::lock_guard lock(m_);
        return received_;
    }
    QString address(const char* scheme) const { return QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(port); }

    int port = 0;
    std::string failure;

private:
    // False once the client has closed.
    bool readSome(int fd, int ms)
    {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0)
            return true;
        char buf[512];
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return false;
        std::lock_guard lock(m_);
        received_.append(buf, int(n));
        return true;
    }
    void run()
    {
        pollfd p{listen_, POLLIN, 0};
        if (::poll(&p, 1, 3000) <= 0) {
            failure = "no client";
            return;
        }
        const int fd = ::accept(listen_, nullptr, nullptr);
        qsizetype from = 0;
        for (const Step& s : script_) {
            if (s.kind == Step::Send) {
                std::this_thread::sleep_for(std::chrono::milliseconds(s.pauseMs));
                ::send(fd, s.bytes.constData(), size_t(s.bytes.size()), MSG_NOSIGNAL);
                continue;
            }
            QElapsedTimer t;
            t.start();
            qsizetype at = -1;
            bool open = true;
            while ((at = received().indexOf(s.bytes, from)) < 0 && open && t.elapsed() < 3000)
                open = readSome(fd, 50);
            if (at < 0) {
                failure = "never came: " + s.bytes.toHex().toStdString();
                break;
            }
            from = at + s.bytes.size();
        }
        ::close(fd);
    }

    std::vector<Step> script_;
    int listen_ = -1;
    std::thread thread_;
    std::mutex m_;
    QByteArray received_;
};

// A device server that does not play by the rules: it accepts one client,
// sends `first`, waits for `await` from it, then sends `burst` bytes of port
// data and `then`, and then `flood` over and over, never reading again, until
// the client has gone or forMs have passed.
struct Hostility {
    QByteArray first, await;
    qint64 burst = 0;
    QByteArray then, flood;
};

class HostileServer {
public:
    HostileServer(Hostility h, int forMs) : h_(std::move(h)), forMs_(forMs)
    {
        listen_ = listenOnLoopback(port);
        thread_ = std::thread([this] { run(); });
    }
    ~HostileServer()
    {
        thread_.join();
        ::close(listen_);
    }
    QString address() const { return QStringLiteral("rfc2217://127.0.0.1:%1").arg(port); }
    int port = 0;

private:
    // False once the client has gone or the time is up.
    bool sendAll(int fd, const char* p, qint64 n)
    {
        while (n > 0 && clock_.elapsed() < forMs_) {
            pollfd w{fd, POLLOUT, 0};
            if (::poll(&w, 1, 20) <= 0)
                continue;
            const ssize_t sent = ::send(fd, p, size_t(n), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent < 0 && errno != EAGAIN)
                return false;
            if (sent > 0)
                p += sent, n -= sent;
        }
        return n == 0;
    }
    void run()
    {
        clock_.start();
        pollfd p{listen_, POLLIN, 0};
        if (::poll(&p, 1, 3000) <= 0)
            return;
        const int fd = ::accept(listen_, nullptr, nullptr);
        bool open = sendAll(fd, h_.first.constData(), h_.first.size());
        QByteArray got;
        while (open && !h_.await.isEmpty() && !got.contains(h_.await) && clock_.elapsed() < forMs_) {
            char buf[512];
            pollfd r{fd, POLLIN, 0};
            if (::poll(&r, 1, 20) > 0) {
                const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
                open = n > 0;
                got.append(buf, open ? int(n) : 0);
            }
        }
        const QByteArray filler(64 * 1024, 'x');
        for (qint64 left = h_.burst; open && left > 0; left -= filler.size())
            open = sendAll(fd, filler.constData(), std::min<qint64>(left, filler.size()));
        open = open && sendAll(fd, h_.then.constData(), h_.then.size());
        while (open && !h_.flood.isEmpty())
            open = sendAll(fd, h_.flood.constData(), h_.flood.size());
        while (open && clock_.elapsed() < forMs_) {
            pollfd r{fd, POLLIN, 0};
            char buf[512];
            open = ::poll(&r, 1, 20) <= 0 || ::recv(fd, buf, sizeof buf, 0) > 0;
        }
        ::close(fd);
    }

    Hostility h_;
    int forMs_;
    int listen_ = -1;
    QElapsedTimer clock_;
    std::thread thread_;
};

// The notes the drivers said.
QStringList g_notes;

struct Client {
    TCommPortDriver d;
    QByteArray received;
    explicit Client(const QString& address, const PortOptions& options = {})
    {
        qputenv("DXU_COM7", address.toLatin1());
        setRunPortOptions(kCom, options);
        d.SetComPort(pnCOM7);
        d.SetOnReceiveData([this](TCommPortDriver*, const char* p, int32_t n) { received.append(p, n); });
        QObject::connect(&d, &TCommPortDriver::portNote, [](const QString& t) { g_notes << t; });
    }
    const serialio::NetLink* link() const { return dynamic_cast<const serialio::NetLink*>(d.End()); }
};

} // namespace

// The COM-PORT-OPTION's edge cases, each played by the fake server: what
// the port's owner receives, what the server was sent, and what the link
// made of the negotiation. Every server closes at the end, and the driver
// reports that as the server's doing.
TEST(NetworkLink, TelnetComPortNegotiationEdgeCases)
{
    const QByteArray ack255("\xff\xfa\x2c\x65\x00\x00\x00\xff\xff\xff\xf0", 11);
    struct Row {
        const char* name;
        std::vector<Step> script;
        std::function<void(TCommPortDriver&)> act;
        QByteArray gets;
        bool comPort;
        uint32_t confirmedRate;
        const char* note; // the one note said, if any
    } rows[] = {
        {"IAC doubled both ways; the acknowledgement is used",
         {expect(kWillComPort), send(kDoComPort + QByteArray("\xff\xfb\x00", 3)), expect(kRate115200),
          send(QByteArray("\xff\xfa\x2c\x65\x00\x01\xc2\x00\xff\xf0", 10) + QByteArray("A\xff\xff" "B", 4)),
          expect(QByteArray("x\xff\xffy", 4))},
         [](TCommPortDriver& d) { d.SendData("x\xffy", 3); }, QByteArray("A\xff" "B", 3), true, 115200, nullptr},
        {"every sequence split across reads, IAC inside the subnegotiation; another rate confirmed is said",
         {expect(kWillComPort), send("\xff", 0), send("\xfd", 30), send("\x2c", 30), expect(kRate115200),
          send(ack255.left(5), 30), send(ack255.mid(5, 3), 30), send(ack255.mid(8) + "ok", 30)},
         nullptr, "ok", true, 255, "the server runs the line at 255 bit/s, not at the 115200 bit/s asked for"},
        {"no acknowledgements; a rate change sends the rate again",
         {expect(kWillComPort), send(kDoComPort), expect(kRate115200), expect(kPurgeBoth), expect(kRate9600),
          send("pong")},
         [](TCommPortDriver& d) { d.SetComPortSpeed(br9600); }, "pong", true, 0, nullptr},
        {"COM-PORT refused: a raw link, with a note",
         {expect(kWillComPort), send(kDontComPort), expect("ping"), send("pong")},
         [](TCommPortDriver& d) { d.SendData("ping", 4); }, "pong", false, 0, "the server does not take line settings"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        g_notes.clear();
        FakeServer server(r.script);
        Client c(server.address("rfc2217"));
        ASSERT_TRUE(c.d.Connect());
        if (r.act)
            r.act(c.d);
        EXPECT_TRUE(QTest::qWaitFor([&] { return c.received.size() >= r.gets.size(); }, 3000));
        EXPECT_EQ(c.received, r.gets);
        ASSERT_NE(c.link(), nullptr);
        EXPECT_EQ(c.link()->settingsWithServer(), !r.comPort);
        EXPECT_EQ(c.link()->telnet()->confirmedRate(), r.confirmedRate);
        ASSERT_EQ(g_notes.size(), r.note ? 1 : 0) << g_notes.join(QLatin1Char('\n')).toStdString();
        if (r.note) {
            EXPECT_TRUE(g_notes[0].contains(QLatin1String(r.note))) << g_notes[0].toStdString();
        }
        if (!r.comPort) {
            EXPECT_FALSE(server.received().contains("\xff\xfa")) << "settings sent to a server that refused them";
        }
        server.finish();
        EXPECT_EQ(server.failure, "");
        ASSERT_TRUE(QTest::qWaitFor([&] { return c.d.LinkLost(); }, 3000));
        EXPECT_NE(c.d.LostText().find("was closed by the server; another client may have taken the port"),
                  std::string::npos)
            << c.d.LostText();
        c.d.Disconnect();
    }
    // IAC inside a subnegotiation this side sends.
    serialio::LineSettings odd;
    odd.rate = 255;
    EXPECT_TRUE(serialio::TelnetComPort::lineSettings(odd).startsWith(
        QByteArray("\xff\xfa\x2c\x01\x00\x00\x00\xff\xff\xff\xf0", 11)));
}

// A server that floods the link with option requests, or sends a burst of
// data before it answers the negotiation, costs bounded memory, and the
// program's timers fire on time meanwhile. A flood drops the link with a
// reason; a burst arrives whole.
TEST(NetworkLink, AHostileServerCostsBoundedMemoryAndTime)
{
    // Every option both ways, asked for again and again; before the
    // negotiation, every option but the COM-PORT-OPTION.
    QByteArray requests, others;
    for (int o = 0; o < 256; ++o) {
        const QByteArray both = QByteArray("\xff\xfb") + char(o) + QByteArray("\xff\xfd") + char(o);
        requests += both;
        if (o != serialio::TelnetComPort::COMPORT)
            others += both;
    }
    constexpr qint64 kBurst = 100 * 1000 * 1000;
    constexpr qsizetype kBounded = 1024 * 1024;
    PortOptions quick;
    quick.connectTimeoutMs = 2000;
    const struct {
        const char* name;
        Hostility hostility;
        bool opens;
        const char* lost; // why the link was dropped in the end; none: port data keeps coming
    } rows[] = {
        {"option requests without end from the start", {{}, {}, 0, {}, others}, false, nullptr},
        {"option requests without end once the line is set", {kDoComPort, kRate115200, 0, {}, requests}, true,
         "was dropped: the server floods the link"},
        {"100 MB of data before the negotiation", {{}, {}, kBurst, kDoComPort, {}}, true, nullptr},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        HostileServer server(r.hostility, 8000);
        Client c(server.address(), quick);
        qint64 received = 0;
        qsizetype held = 0;
        c.d.SetOnReceiveData([&](TCommPortDriver*, const char*, int32_t n) {
            received += n;
            if (c.link())
                held = std::max(held, c.link()->heldBytes());
        });
        QElapsedTimer t;
        t.start();
        if (!r.opens) {
            EXPECT_FALSE(portIsFree(kCom));
            EXPECT_LT(t.elapsed(), quick.connectTimeoutMs + 500);
            const QString text = portOpenFailureText(kCom);
            EXPECT_TRUE(text.endsWith(QLatin1String("was dropped: the server floods the link."))) << text.toStdString();
            continue;
        }
        ASSERT_TRUE(c.d.Connect());
        EXPECT_LT(t.elapsed(), quick.connectTimeoutMs + 500);
        ASSERT_NE(c.link(), nullptr);
        EXPECT_LT(c.link()->heldBytes(), kBounded);
        // A time-out of the program's fires on time whatever arrives.
        bool fired = false;
        t.restart();
        QTimer::singleShot(200, [&] { fired = true; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return fired; }, 5000));
        EXPECT_LT(t.elapsed(), 2000);
        if (r.lost) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return c.d.LinkLost(); }, 5000));
            EXPECT_NE(c.d.LostText().find(r.lost), std::string::npos) << c.d.LostText();
        } else {
            // The burst is read at the pace of the port's owner; the rest of
            // it waits with the server.
            const qint64 before = received;
            EXPECT_TRUE(QTest::qWaitFor([&] { return received > before + kBounded; }, 5000));
        }
        EXPECT_LT(held, kBounded);
        EXPECT_LT(c.link()->heldBytes(), kBounded);
        c.d.Disconnect();
    }
}

// Each failure to open says what happened, within the connect time-out.
TEST(NetworkLink, OpenFailuresSayWhatHappened)
{
    PortOptions quick;
    quick.connectTimeoutMs = 400;
    FakeServer silent({expect("never")});  // takes the connection, answers nothing
    FakeServer taken({send("Port already in use\r\n")});
    int closedPort = 0;
    const int closed = listenOnLoopback(closedPort, false);
    const struct {
        QString address;
        const char* says;
    } rows[] = {
        {QStringLiteral("rfc2217://127.0.0.1"), "is no network address this program knows"},
        {QStringLiteral("tcp://127.0.0.1:%1").arg(closedPort), "cannot be reached: connection refused"},
        {silent.address("tls"), "cannot be reached: no answer within the connect time-out (no TLS handshake)"},
        {taken.address("rfc2217"),
         "was closed by the server; another client may have taken the port (Port already in use)"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.address.toStdString());
        Client c(r.address, quick);
        QElapsedTimer t;
        t.start();
        EXPECT_FALSE(portIsFree(kCom));
        EXPECT_LT(t.elapsed(), quick.connectTimeoutMs + 300);
        const QString text = portOpenFailureText(kCom);
        EXPECT_TRUE(text.startsWith(QStringLiteral("Serial port: COM7 (%1) ").arg(r.address))) << text.toStdString();
        EXPECT_TRUE(text.contains(QLatin1String(r.says))) << text.toStdString();
    }
    ::close(closed);
}

// A pseudo-terminal refuses the kernel's RS-485 mode: the user is told once
// and the port works as it is. With the echo dropped, what comes back as
// sent is not handed on; the unit's reply is.
TEST(LocalPortOptions, Rs485RefusedIsSaidOnceAndTheEchoIsDropped)
{
    g_notes.clear();
    test::Pty pty(kCom);
    PortOptions o;
    o.rs485 = Rs485Mode::RtsOnSend;
    o.dropEcho = true;
    setRunPortOptions(kCom, o);
    TCommPortDriver d;
    QByteArray received;
    d.SetComPort(pnCOM7);
    d.SetOnReceiveData([&](TCommPortDriver*, const char* p, int32_t n) { received.append(p, n); });
    QObject::connect(&d, &TCommPortDriver::portNote, [](const QString& t) { g_notes << t; });
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(d.Connect());
        ASSERT_EQ(g_notes.size(), 1);
        EXPECT_TRUE(g_notes[0].contains(QLatin1String("refuses the kernel's RS-485 mode"))) << g_notes[0].toStdString();
        ASSERT_EQ(d.SendData("$US\r", 4), 4);
        EXPECT_EQ(pty.read(4), "$US\r");
        pty.write("$US\r");                // the converter's echo
        pty.write("$US,0,0\r");            // the unit's reply
        ASSERT_TRUE(QTest::qWaitFor([&] { return received.size() >= 8; }, 2000));
        EXPECT_EQ(received, "$US,0,0\r");
        received.clear();
        d.Disconnect();
    }
}
