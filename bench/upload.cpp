// An upload of every writable setting and its read-back against dxu-sim with
// no reply delay, with the real main window and driver.
//
//   bench_upload
//
// Every changed flag is set and the upload started: 47 writes, the 8
// distance queries after the units write and 47 read-backs, 102 exchanges.
// Each exchange waits at most one 50 ms receive poll; the driver prints the
// time against that bound and exits 0 when it is within 1.2 x, 1 otherwise.
#include "app/topform.h"
#include "simdriver.h"
#include "protocol/settingcodes.h"
#include "services/messages.h"
#include "settings/transfer.h"

#include <QAbstractButton>
#include <QElapsedTimer>

#include <cstdio>
#include <functional>

namespace {

using namespace dxu;
using bench::waitFor;

long countReceived(const test::SimProcess& sim)
{
    return static_cast<long>(sim.received().size());
}

} // namespace

int main(int argc, char** argv)
{
    bench::SimDriver driver(argc, argv);
    if (!driver.started())
        return 1;
    const test::SimProcess& sim = driver.sim;
    bench::PrintedMessages messages(MsgAnswer::No);
    setMessageService(&messages);

    TTopForm top;
    top.show();
    DxuState& st = top.state();
    const auto idle = [&] {
        return st.connected == 1 && st.current().settingsRead == 1 && st.queue.queueState == QueueIdle;
    };
    if (auto* b = qobject_cast<QAbstractButton*>(top.control("pbConnect")))
        b->click();
    if (!waitFor(idle, 20000)) {
        std::fprintf(stderr, "the connect did not finish\n");
        return 1;
    }

    // Every writable setting is written with the value the unit holds.
    UnitRecord& unit = st.current();
    st.editRecord = unit;
    for (const SettingCode* row : uploadOrder())
        for (const SettingField& f : row->fields)
            if (f.changed)
                unit.*f.changed = 1;

    const long before = countReceived(sim);
    QElapsedTimer clock;
    clock.start();
    top.settingsTransfer().queueUpload();
    if (!waitFor(idle, 60000)) {
        std::fprintf(stderr, "the upload did not finish\n");
        return 1;
    }
    const double seconds = double(clock.elapsed()) / 1000.0;
    const long exchanges = countReceived(sim) - before;
    const double bound = double(exchanges) * 0.050;
    const double ratio = seconds / bound;
    std::printf("upload and read-back: %ld exchanges in %.2f s; bound %.2f s; ratio %.2f (limit 1.20)\n", exchanges,
                seconds, bound, ratio);
    return ratio <= 1.2 && messages.count == 0 && exchanges == 102 ? 0 : 1;
}
