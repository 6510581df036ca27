// A unit behind ser2net on loopback beside the same unit on its own
// pseudo-terminal, with the real main window and driver.
//
//   bench_network_link [stream seconds, default 20]
//
// 1. Connect + full settings read, five times over the direct pseudo-terminal
//    and five times over rfc2217:// through ser2net (chardelay off), taking
//    turns: the median of each and their ratio (bound 1.2 x).
// 2. The unit measuring at the fastest rate through ser2net: results shown
//    against results sent (bound: none lost).
// A driver, not a timed test: it prints the figures and exits 0 when they are
// within their bounds, 1 otherwise.
#include "ui/app/topform.h"
#include "e2e/ser2net.h"
#include "protocol/protocol.h"
#include "serial/commportdriver.h"
#include "simdriver.h"

#include <QAbstractButton>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using namespace dxu;
using bench::CountingTopForm;
using bench::waitFor;


void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void click(TTopForm& top, const char* name)
{
    if (auto* b = qobject_cast<QAbstractButton*>(top.control(name)))
        b->click();
}

int deviceCloses(const test::SimProcess& sim)
{
    const std::string log = sim.logText();
    int n = 0;
    for (size_t at = 0; (at = log.find("the device was closed", at)) != std::string::npos; ++at)
        ++n;
    return n;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const int streamSeconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 20;
    bench::SimDriver driver(argc, argv);
    if (!driver.started())
        return 1;
    test::SimProcess& sim = driver.sim;
    test::Ser2net server;
    if (!server.start(sim.devicePath(), driver.filePath(QString()))) {
        std::fprintf(stderr, "ser2net did not start\n");
        return 1;
    }
    bench::PrintedMessages messages;
    setMessageService(&messages);
    CountingTopForm top;
    top.show();
    DxuState& st = top.state();
    const auto readDone = [&] { return top.settingsReadAndIdle(); };
    const QByteArray direct = QByteArray::fromStdString(sim.devicePath());
    const QByteArray network = server.address(test::Ser2net::Rfc2217).toLatin1();

    // Connects and reads once over the device; -1 when it did not complete.
    const auto connectAndRead = [&](const QByteArray& device) {
        qputenv("DXU_COM1", device);
        QElapsedTimer clock;
        clock.start();
        click(top, "pbConnect");
        if (!waitFor(readDone, 30000))
            return -1.0;
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        const int closes = deviceCloses(sim);
        click(top, "pbConnect");
        waitFor([&] { return st.connected == 0; }, 5000);
        // ser2net lets the device go after the client: both start alike.
        waitFor([&] { return deviceCloses(sim) > closes; }, 3000);
        runFor(200);
        return ms;
    };
    std::vector<double> directMs, networkMs;
    for (int i = 0; i < 5; ++i) {
        directMs.push_back(connectAndRead(direct));
        networkMs.push_back(connectAndRead(network));
        if (directMs.back() < 0 || networkMs.back() < 0) {
            std::fprintf(stderr, "a connect did not complete\n");
            return 1;
        }
    }
    const double d = median(directMs), n = median(networkMs), ratio = n / d;
    const auto runs = [](const std::vector<double>& v) {
        QString s;
        for (double ms : v)
            s += QStringLiteral(" %1").arg(ms, 0, 'f', 0);
        return s;
    };
    std::printf("connect + full read at 115200 bit/s, median of 5:\n");
    std::printf("  direct pty           %.0f ms  (runs:%s)\n", d, qPrintable(runs(directMs)));
    std::printf("  rfc2217 via ser2net  %.0f ms  (runs:%s)  %.2f x, bound 1.2\n", n, qPrintable(runs(networkMs)), ratio);

    // 2. The fastest stream through ser2net.
    qputenv("DXU_COM1", network);
    click(top, "pbConnect");
    if (!waitFor(readDone, 30000))
        return 1;
    for (auto [code, value] : {std::pair{"AW", 0}, std::pair{"PO", 1}, std::pair{"PF", 4000}, std::pair{"DM", 1}}) {
        top.protocol().sendIntCommand(code, value);
        runFor(120);
    }
    const auto sentResults = [&] {
        long c = 0;
        for (const std::string& l : sim.sent())
            c += l.rfind("$BM", 0) == 0 ? 1 : 0;
        return c;
    };
    const long sentBefore = sentResults(), shownBefore = top.shown;
    click(top, "pbContinuous");
    runFor(streamSeconds * 1000);
    click(top, "pbContinuous");
    waitFor([&] { return st.queue.queueState == QueueIdle && st.current().laserOn == 0; }, 5000);
    runFor(500);
    const long sent = sentResults() - sentBefore, shown = top.shown - shownBefore;
    std::printf("stream through ser2net, %d s: %ld results sent, %ld shown (%ld lost), %.0f results/s\n",
                streamSeconds, sent, shown, sent - shown, double(sent) / streamSeconds);
    click(top, "pbConnect");
    waitFor([&] { return st.connected == 0; }, 5000);
    server.stop();
    const bool ok = ratio <= 1.2 && sent > 0 && sent == shown && messages.count == 0;
    std::printf("%s\n", ok ? "within bounds" : "OUT OF BOUNDS");
    return ok ? 0 : 1;
}
