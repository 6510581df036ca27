// Find Units over a whole RS-485 line against dxu-sim, with the real windows
// and driver.
//
//   bench_find_units
//
// The line runs at 9600 bit/s and holds three units, a, c and 7, that each
// answer after 50 ms; the other 59 addresses are silent. The driver starts
// the scan from the Find Units window ("Units answer within" at its default
// of 50 ms), prints the time until the scan ends and the units it found, and
// exits 0 when the scan took at most 5 s, found exactly a, c and 7 and showed
// no message (PASS), 1 otherwise (FAIL).
#include "ui/app/application.h"
#include "ui/network/findunits.h"
#include "simdriver.h"
#include "ui/services/messages.h"

#include <QAbstractButton>
#include <QAction>
#include <QElapsedTimer>
#include <QListWidget>

#include <cstdio>

namespace {

using namespace dxu;
using bench::waitFor;

constexpr int Rate9600Index = 3;
constexpr double BoundSeconds = 5.0;

} // namespace

int main(int argc, char** argv)
{
    bench::SimDriver driver(argc, argv, {"--units", "a,c,7", "--rate", "9600", "--reply-delay", "50"});
    if (!driver.started())
        return 1;
    bench::PrintedMessages messages;
    setMessageService(&messages);

    AppWindows windows;
    TTopForm& top = windows.top();
    DxuState& st = top.state();
    top.show();
    // RS-485 on COM1, the simulator, at 9600 bit/s; choosing the mode sets the port up.
    st.unitTable[0].port485 = 0;
    st.unitTable[0].port485RateIndex = Rate9600Index;
    if (auto* multiDrop = qobject_cast<QAction*>(top.control("MultiDrop1")))
        multiDrop->trigger();

    TfrmFindUnits* window = top.windows().findUnits;
    auto* start = window->findChild<QAbstractButton*>(QStringLiteral("pbStartScan"));
    auto* list = window->findChild<QListWidget*>(QStringLiteral("lstUnits"));
    if (!start || !list || !st.networkMode()) {
        std::fprintf(stderr, "the Find Units window or network mode is missing\n");
        return 1;
    }
    window->show();

    QElapsedTimer clock;
    clock.start();
    start->click();
    const bool ended = waitFor([&] { return st.queue.queueState == QueueIdle; }, 180000);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;

    QString found;
    for (int i = 0; i < list->count(); ++i)
        found += list->item(i)->data(Qt::UserRole).toChar();
    const long asked = static_cast<long>(driver.sim.received().size());
    const bool pass = ended && seconds <= BoundSeconds && found == QStringLiteral("ac7") && messages.count == 0;
    std::printf("find units, 62 addresses at 9600 bit/s, units a,c,7 answering after 50 ms:\n"
                "  %.2f s (bound %.0f s), %ld requests, found \"%s\" (expected \"ac7\"): %s\n",
                seconds, BoundSeconds, asked, qPrintable(found), pass ? "PASS" : "FAIL");
    window->hide();
    return pass ? 0 : 1;
}
