// The line overview's cost on the wire, against dxu-sim with the real windows
// and driver.
//
//   bench_line_overview [seconds per phase, default 30]
//
// An RS-485 line of units a, c and 7 at 115200 bit/s; connected to a, which
// streams its results (about ten a second), with the status requests of
// "Polling" 1 to each unit in turn. The bytes on the wire (both ways, from the simulator's log) are
// counted for a phase with the Line Overview window closed and a phase of the
// same length with it open and refreshing. The window sends nothing of its
// own: the driver exits 0 when the two rates are within 5 % of each other and
// the program sent the same number of bytes per second within 5 % (PASS),
// 1 otherwise.
#include "ui/app/application.h"
#include "ui/network/lineoverview.h"
#include "ui/network/networkedit.h"
#include "protocol/protocol.h"
#include "services/store.h"
#include "simdriver.h"

#include <QAbstractButton>
#include <QAction>
#include <QEventLoop>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

using namespace dxu;
using bench::waitFor;

struct Bytes {
    double fromProgram = 0, fromUnits = 0;
};

Bytes wireBytes(const test::SimProcess& sim)
{
    Bytes b;
    for (const std::string& l : sim.received())
        b.fromProgram += double(l.size() + 1);
    for (const std::string& l : sim.sent())
        b.fromUnits += double(l.size() + 1);
    return b;
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 30;
    bench::SimDriver driver(argc, argv, {"--units", "a,c,7"});
    if (!driver.started())
        return 1;
    bench::PrintedMessages messages;
    setMessageService(&messages);
    Store::writeInt(QStringLiteral("Polling"), 1);

    AppWindows windows;
    TTopForm& top = windows.top();
    DxuState& st = top.state();
    top.show();
    st.unitTable[0].port485 = 0; // COM1, the simulator
    if (auto* multiDrop = qobject_cast<QAction*>(top.control("MultiDrop1")))
        multiDrop->trigger();
    for (char address : {'a', 'c', '7'})
        addNetworkMember(st, top, top.hooks(), {}, addressPosition(address));
    if (auto* b = qobject_cast<QAbstractButton*>(top.control("pbConnect")))
        b->click();
    if (!waitFor([&] { return st.connected == 1 && st.queue.queueState == QueueIdle && st.current().settingsRead; }, 20000)) {
        std::fprintf(stderr, "the connect did not complete\n");
        return 1;
    }
    // a streams its results (continuous output on) while it measures.
    top.protocol().sendIntCommand("CO", 1);
    runFor(300);
    if (auto* b = qobject_cast<QAbstractButton*>(top.control("pbContinuous")))
        b->click();
    runFor(3000); // measuring, every unit polled once

    const auto phase = [&](const char* name) {
        const Bytes before = wireBytes(driver.sim);
        runFor(seconds * 1000);
        const Bytes after = wireBytes(driver.sim);
        const Bytes rate{(after.fromProgram - before.fromProgram) / seconds, (after.fromUnits - before.fromUnits) / seconds};
        std::printf("  %-22s %8.1f bytes/s on the wire: %7.1f from the program, %8.1f from the units\n", name,
                    rate.fromProgram + rate.fromUnits, rate.fromProgram, rate.fromUnits);
        return rate;
    };
    std::printf("line of a, c, 7 at 115200 bit/s, a streaming results, status requests to each unit; %d s a phase:\n", seconds);
    const Bytes closed = phase("overview closed:");
    if (auto* item = qobject_cast<QAction*>(top.control("LineOverview1")))
        item->trigger();
    TfrmLineOverview* window = top.lineOverview().window();
    const Bytes open = phase("overview open:");
    auto* grid = window ? window->findChild<QTableWidget*>(QStringLiteral("grdLineOverview")) : nullptr;
    const int rows = grid ? grid->rowCount() : 0;

    const auto within = [](double a, double b) { return b > 0 && std::abs(a - b) / b <= 0.05; };
    const double total = (open.fromProgram + open.fromUnits) / (closed.fromProgram + closed.fromUnits);
    const bool pass = window && window->isVisible() && rows == 3 && messages.count == 0
                      && within(open.fromProgram + open.fromUnits, closed.fromProgram + closed.fromUnits)
                      && within(open.fromProgram, closed.fromProgram);
    std::printf("  open / closed: %.3f (bound 0.95 .. 1.05), %d rows shown: %s\n", total, rows, pass ? "PASS" : "FAIL");
    if (auto* b = qobject_cast<QAbstractButton*>(top.control("pbContinuous")))
        b->click();
    waitFor([&] { return st.queue.queueState == QueueIdle; }, 5000);
    setMessageService(nullptr);
    return pass ? 0 : 1;
}
