// The network side of the driver against an in-process fake server (a
// thread on a loopback port playing a script), and the local port options
// on a pseudo-terminal.
#include "pty.h"
#include "serial/commportdriver.h"
#include "serial/netlink.h"
#include "serial/telnetport.h"

#include <QElapsedTimer>
#include <QTest>

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

// Accepts one client on 127.0.0.1 and plays the script: waits for bytes
// (anywhere in what came since the last wait) or sends them. Then it closes
// the connection, as a server that went away would.
class FakeServer {
public:
    explicit FakeServer(std::vector<Step> script) : script_(std::move(script))
    {
        listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listen_, 2);
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
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

// Each failure to open says what happened, within the connect time-out.
TEST(NetworkLink, OpenFailuresSayWhatHappened)
{
    PortOptions quick;
    quick.connectTimeoutMs = 400;
    FakeServer silent({expect("never")});  // takes the connection, answers nothing
    FakeServer taken({send("Port already in use\r\n")});
    // A port bound but never listened on refuses connections.
    const int closed = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(closed, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(closed, reinterpret_cast<sockaddr*>(&a), &len);
    const int closedPort = ntohs(a.sin_port);
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
