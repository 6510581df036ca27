// Connect and stream against dxu-sim, with the real main window and driver.
//
//   bench_connect_stream [stream seconds, default 60] [plain | binning | trend]
//
// 1. Connect to a unit that answers at once, three times at 115200 bit/s:
//    the time from the click to the end of the settings read, against the
//    line bound of the exchange (see lineBound below).
// 2. The unit measuring as fast as it can, its results filling the line at
//    115200 bit/s, with a capture running: results shown and lines in the
//    capture file against results sent, the program's share of one core,
//    and the growth of its resident memory after a warm-up.
// 3. Connect three times more to a unit at 9600 bit/s, against its bound.
// 4. dxu-cli read of a unit at 115200 bit/s, process start included, five
//    times: the median against the line bound of its exchange.
// "binning" streams binning sets of three targets and an empty entry into the
// histogram; "trend" streams with the trend window open.
// A driver, not a timed test: it prints the figures and exits 0 when they are
// within their bounds (connects within 1.5 x the line bound, none lost, < 2.5 %
// CPU and < 1 MB plain, < 15 % and < 2 MB with the histogram or the trend,
// dxu-cli read within 1.2 x), 1 otherwise.
#include "procstats.h"
#include "ui/app/topform.h"
#include "ui/capture/capturelog.h"
#include "simdriver.h"
#include "engine/engine.h"
#include "protocol/protocol.h"
#include "serial/commportdriver.h"
#include "ui/services/filedialogs.h"
#include "ui/services/messages.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

namespace {

using namespace dxu;
using bench::lineBound;
using bench::Exchange;
using bench::CountingTopForm;
using bench::waitFor;


// Answers every file dialog with one path.
class AnsweredFileDialogs : public FileDialogService {
public:
    explicit AnsweredFileDialogs(QString path) : path_(std::move(path)) { setFileDialogService(this); }
    ~AnsweredFileDialogs() override { setFileDialogService(nullptr); }
    QString choose(QFileDialog&) override { return path_; }

private:
    QString path_;
};

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void click(TTopForm& top, const char* name)
{
    if (auto* b = qobject_cast<QAbstractButton*>(top.control(name)))
        b->click();
}

long countSent(const test::SimProcess& sim, const std::string& prefix)
{
    long n = 0;
    for (const std::string& l : sim.sent())
        if (l.compare(0, prefix.size(), prefix) == 0)
            ++n;
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    const int streamSeconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 60;
    const std::string kind = argc > 2 ? argv[2] : "plain";
    const bool binning = kind == "binning";
    const bool trend = kind == "trend";
    QStringList scene;
    if (binning)
        scene << "--mode" << "2" << "--targets" << "5,9,20" << "--empty-bins" << "1";
    bench::SimDriver driver(argc, argv, scene);
    if (!driver.started())
        return 1;
    test::SimProcess& sim = driver.sim;
    bench::PrintedMessages messages;
    setMessageService(&messages);

    CountingTopForm top;
    top.show();
    DxuState& st = top.state();
    const auto readDone = [&] { return top.settingsReadAndIdle(); };

    auto* port = top.findChild<TCommPortDriver*>(QStringLiteral("CommPort"));
    if (!port)
        return 1;
    QElapsedTimer clock;
    double worstRatio = 0;
    // Connects and reads `times` times against the simulator, each time
    // compared with the line bound; the last one stays connected.
    const auto connectAndRead = [&](test::SimProcess& unit, int times) {
        const unsigned rate = baudRateValue(port->ComPortSpeed());
        std::printf("connect + read at %u bit/s (turnaround %u us):\n", rate, port->TurnaroundMicros());
        for (int i = 0; i < times; ++i) {
            if (st.connected) {
                click(top, "pbConnect");
                waitFor([&] { return st.connected == 0; }, 5000);
                runFor(300);
            }
            const size_t rx = unit.received().size(), tx = unit.sent().size();
            clock.restart();
            click(top, "pbConnect");
            if (!waitFor(readDone, 60000)) {
                std::fprintf(stderr, "the connect did not complete\n");
                return false;
            }
            const double ms = double(clock.nsecsElapsed()) / 1e6;
            const Exchange e = lineBound(unit, rx, tx, rate, port->TurnaroundMicros());
            const double ratio = ms / e.boundMs;
            worstRatio = std::max(worstRatio, ratio);
            std::printf("  %.0f ms for %zu exchanges, %zu bytes: line bound %.0f ms, %.2f x (bound 1.5)\n", ms,
                        e.commands, e.bytes, e.boundMs, ratio);
        }
        return true;
    };

    std::printf("%s", bench::kLineBoundNote);
    const uint32_t fastTurnaroundUs = port->TurnaroundMicros();
    // 1. Connect and read.
    clock.start();
    if (!connectAndRead(sim, 3))
        return 1;

    // 2. The fastest measurement rate: one pulse per result at the highest
    // pulse rate, so that the line's 115200 bit/s is the limit.
    // (Binning pulses at most 1000 times a second, still more sets than the line carries.)
    for (auto [code, value] :
         {std::pair{"AW", 0}, std::pair{"PO", 1}, std::pair{"PF", binning ? 1000 : 4000}, std::pair{"DM", 1}}) {
        top.protocol().sendIntCommand(code, value);
        runFor(120);
    }
    if (trend)
        if (auto* a = qobject_cast<QAction*>(top.control("Trend1")))
            a->trigger();
    // A binning set is complete with its last entry; one histogram each.
    const char* resultLine = binning ? "$BM,3," : "$BM";
    auto results = [&] { return top.shown; }; // a binning set shows its chosen target
    const long sentBefore = countSent(sim, resultLine);
    const long shownBefore = results();
    const QString capturePath = driver.filePath(QStringLiteral("dxu0001.log"));
    AnsweredFileDialogs dialogs(capturePath);
    top.captureLog().start();
    click(top, "pbContinuous");
    runFor(5000); // warm-up: allocations that happen once are behind us
    const long rssStart = benchsupport::residentKb();
    const double cpuStart = cpuSeconds();
    clock.restart();
    runFor((streamSeconds - 5) * 1000);
    const double wallS = double(clock.nsecsElapsed()) / 1e9;
    const double cpuS = cpuSeconds() - cpuStart;
    const long rssEnd = benchsupport::residentKb();

    click(top, "pbContinuous");
    waitFor([&] { return st.queue.queueState == QueueIdle && st.current().laserOn == 0; }, 5000);
    runFor(500); // the last results on the line
    top.captureLog().stop();
    const long sent = countSent(sim, resultLine) - sentBefore;
    const long shown = results() - shownBefore;
    long captured = 0;
    QFile file(capturePath);
    if (file.open(QIODevice::ReadOnly))
        captured = file.readAll().count('\n');
    const double cpuShare = cpuS / wallS;
    const long growthKb = rssEnd - rssStart;
    const double cpuBound = binning || trend ? 0.15 : 0.025;
    const long memoryBoundKb = binning || trend ? 2048 : 1024;
    std::printf("%s stream %d s: %ld results sent, %ld shown (%ld lost), %.0f results/s\n", kind.c_str(),
                streamSeconds, sent, shown,
                sent - shown, double(sent) / streamSeconds);
    std::printf("processor: %.2f s in %.1f s = %.2f %% of one core (bound %.1f %%)\n", cpuS, wallS, 100 * cpuShare,
                100 * cpuBound);
    std::printf("resident memory: %ld kB -> %ld kB, growth %ld kB (bound %ld kB)\n", rssStart, rssEnd, growthKb,
                memoryBoundKb);

    std::printf("capture file: %ld lines for %ld results sent\n", captured, sent);

    // 3. The same unit at 9600 bit/s.
    click(top, "pbConnect");
    waitFor([&] { return st.connected == 0; }, 5000);
    sim.stop();
    test::SimProcess slow;
    if (!slow.start(QStringList{"--reply-delay", "0", "--rate", "9600"} + scene))
        return 1;
    slow.exportAs(1);
    st.unitTable[0].port232RateIndex = 3;
    port->SetComPortSpeed(br9600);
    if (!connectAndRead(slow, 3))
        return 1;

    click(top, "pbConnect");
    setMessageService(nullptr);

    // 4. dxu-cli read, as a program would run it.
    slow.stop();
    test::SimProcess unit;
    if (!unit.start(QStringList{"--reply-delay", "0"} + scene))
        return 1;
    std::vector<double> cliRatios;
    std::printf("dxu-cli read at 115200 bit/s, process start included:\n");
    for (int i = 0; i < 5; ++i) {
        const size_t rx = unit.received().size(), tx = unit.sent().size();
        // Started as a shell starts it: QProcess's own set-up from this large
        // process would count against the tool.
        const std::string output = driver.filePath(QStringLiteral("read.dxu")).toStdString();
        const char* const args[] = {DXU_CLI_PATH, "read", "--port", unit.devicePath().c_str(), "--rate", "115200",
                                    "--output", output.c_str(), nullptr};
        clock.restart();
        pid_t pid = -1;
        int status = -1;
        if (::posix_spawn(&pid, DXU_CLI_PATH, nullptr, nullptr, const_cast<char* const*>(args), environ) != 0
            || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "dxu-cli read failed (status %d)\n", status);
            return 1;
        }
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        const Exchange e = lineBound(unit, rx, tx, 115200, fastTurnaroundUs);
        cliRatios.push_back(ms / e.boundMs);
        std::printf("  %.0f ms for %zu exchanges, %zu bytes: line bound %.0f ms, %.2f x\n", ms, e.commands, e.bytes,
                    e.boundMs, cliRatios.back());
    }
    std::sort(cliRatios.begin(), cliRatios.end());
    const double cliRatio = cliRatios[cliRatios.size() / 2];
    std::printf("  median %.2f x the line bound (bound 1.2)\n", cliRatio);

    const bool ok = cliRatio <= 1.2 && worstRatio <= 1.5 && shown == sent && (binning || captured == sent) && sent > 0
                    && cpuShare < cpuBound && growthKb < memoryBoundKb
                    && messages.count == 0;
    std::printf("%s\n", ok ? "within bounds" : "OUT OF BOUNDS");
    return ok ? 0 : 1;
}
