// The whole program reaching the simulated unit through a real ser2net on
// loopback: each kind of network address, the unit-rate change reaching
// the far pseudo-terminal, and the server going away under a connection.
#include "e2e/e2efixture.h"
#include "e2e/ser2net.h"

#include "ui/ports/commsetup.h"
#include "serial/portoptions.h"

#include <QComboBox>
#include <QElapsedTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace dxu::test {
namespace {

double cpuMs()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

class ThroughSer2net : public EndToEnd {
protected:
    void startServer()
    {
        startSim();
        ASSERT_TRUE(server.start(sim.devicePath(), folder.path())) << "ser2net did not start";
    }
    // COM1 is the address; its CA file trusts the test's certificate.
    void useAddress(Ser2net::Port port, bool trusted = true)
    {
        qputenv("DXU_COM1", server.address(port).toLatin1());
        PortOptions o;
        if (trusted)
            o.caFile = server.caFile();
        ASSERT_TRUE(storePortOptions(1, o));
    }
    // Disconnects, and waits for ser2net to have let the simulator's device
    // go, so that another of its ports can open it.
    void disconnect()
    {
        const auto closes = [&] {
            const std::string log = sim.logText();
            int n = 0;
            for (size_t at = 0; (at = log.find("the device was closed", at)) != std::string::npos; ++at)
                ++n;
            return n;
        };
        const int before = closes();
        click("pbConnect");
        ASSERT_TRUE(waitFor([&] { return st().connected == 0 && !top().driver().Connected(); }, 3000));
        ASSERT_TRUE(waitFor([&] { return closes() > before; }, 3000));
    }

    Ser2net server;
};

// Each kind of address connects and reads the unit's settings as a local
// port would; an untrusted certificate is refused with the reason.
TEST_F(ThroughSer2net, EachKindOfAddressConnectsAndReads)
{
    startServer();
    const struct {
        Ser2net::Port port;
        bool carriesSettings;
    } rows[] = {{Ser2net::Rfc2217, true}, {Ser2net::Raw, false}, {Ser2net::Rfc2217Tls, true}, {Ser2net::Tls, false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(server.address(r.port).toStdString());
        useAddress(r.port);
        messages.shown.clear();
        const size_t before = sim.received().size();
        connectAndRead();
        const Lines rx = sim.received();
        EXPECT_EQ(Lines(rx.begin() + long(before), rx.end()), concat({"$US", "$SV"}, readLines("$")));
        // A raw link is said to leave the line settings with the server.
        ASSERT_TRUE(waitFor([&] { return messages.shown.size() == (r.carriesSettings ? 0u : 1u); }, 1000))
            << (messages.shown.empty() ? "" : messages.shown[0].text.toStdString());
        if (!r.carriesSettings) {
            EXPECT_TRUE(messages.shown[0].text.contains(QLatin1String("carries no line settings")));
        }
        disconnect();
    }

    useAddress(Ser2net::Tls, false);
    messages.shown.clear();
    click("pbConnect");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text.toStdString(),
              "Serial port: COM1 (" + server.address(Ser2net::Tls).toStdString()
                  + ") was refused: the server's certificate is not trusted (self-signed certificate).");
    EXPECT_EQ(st().connected, 0);
}

// The unit's new rate with the PC following goes to the server, which sets
// the far pseudo-terminal to it: the unit goes on answering at 9600 bit/s
// (the simulator garbles whatever arrives at a rate other than its own).
TEST_F(ThroughSer2net, UnitRateChangeReachesTheFarPty)
{
    startServer();
    useAddress(Ser2net::Rfc2217);
    connectAndRead();
    messages.answerNext(MsgAnswer::Yes);
    auto* list = top().windows().commSetup->findChild<QComboBox*>(QStringLiteral("cmbDXUConfigRate"));
    ASSERT_NE(list, nullptr);
    list->setCurrentIndex(3);
    top().windows().commSetup->pbConfigBaudRateClick();
    ASSERT_TRUE(waitFor([&] { return readDone() && st().current().port0Baud == 9600; }, 20000)) << sim.logText();
    const size_t after = sim.received().size();
    click("pbRead");
    ASSERT_TRUE(waitFor([&] { return readDone() && sim.received().size() >= after + readLines("$").size(); }, 10000))
        << sim.logText();
    EXPECT_EQ(sim.logText().find(" RX! "), std::string::npos) << sim.logText();
    EXPECT_EQ(st().unitTable[0].port232RateIndex, 3);
}

// The server goes away under a connection (another client takes the port,
// or ser2net dies while the unit measures): the user is told within 3 s,
// nothing spins meanwhile, and Connect works again once the server is back.
TEST_F(ThroughSer2net, ServerGoingAwayIsSaidAndConnectWorksAgain)
{
    startServer();
    useAddress(Ser2net::Rfc2217);
    for (const bool killed : {false, true}) {
        SCOPED_TRACE(killed ? "ser2net killed while measuring" : "a second client takes the port");
        connectAndRead();
        messages.shown.clear();
        int second = -1;
        if (killed) {
            click("pbContinuous");
            ASSERT_TRUE(waitFor([&] { return text("lblResult").startsWith("12.3"); }, 3000));
        }
        const double cpu = cpuMs();
        QElapsedTimer t;
        t.start();
        if (killed) {
            server.stop(true);
        } else {
            second = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            a.sin_port = htons(uint16_t(server.port(Ser2net::Rfc2217)));
            ASSERT_EQ(::connect(second, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        }
        ASSERT_TRUE(waitFor([&] { return !messages.shown.empty(); }, 3000));
        EXPECT_LT(t.elapsed(), 3000);
        EXPECT_EQ(messages.shown[0].text.toStdString(),
                  "Serial port: COM1 (" + server.address(Ser2net::Rfc2217).toStdString()
                      + ") was closed by the server; another client may have taken the port.\n"
                        "Connect again once the server is back.");
        EXPECT_EQ(st().connected, 0);
        QTest::qWait(300);
        EXPECT_LT(cpuMs() - cpu, 0.5 * double(t.elapsed())) << "the lost link keeps the processor busy";

        if (killed)
            ASSERT_TRUE(server.restart());
        else
            ::close(second);
        messages.shown.clear();
        connectAndRead();
        EXPECT_TRUE(messages.shown.empty());
        disconnect();
    }
}

} // namespace
} // namespace dxu::test
