// An upload of every writable setting and its read-back against dxu-sim with
// no reply delay, with the real main window and driver.
//
//   bench_upload
//
// Every changed flag is set and the upload started: 112 exchanges, 54 writes
// (the pulse settings of the three measuring modes each written in its
// mode, with the mode switches between them) and 58 reads (the read-backs
// and the distance queries after the units write).
// The driver prints the time against the line bound of the exchanges (every
// byte both ways at 10 bits plus the turnarounds, see simdriver.h).
//
// Beside it, the change journal's part of such an upload: the 47 writes
// recorded as an upload records them (sent, accepted, read back) and written
// as the journal writes its queue (one transaction) into a fresh journal
// file, over 20 uploads, against the same upload without a journal; its
// limit is 5 ms per upload. Exits 0 when the upload is within 1.5 x of the
// line bound and the journal within its limit, 1 otherwise.
#include "ui/app/topform.h"
#include "journal/recorder.h"
#include "simdriver.h"
#include "protocol/settingcodes.h"
#include "serial/commportdriver.h"
#include "ui/services/messages.h"
#include "ui/settings/settingstransfer.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace dxu;
using bench::waitFor;

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

    auto* port = top.findChild<TCommPortDriver*>(QStringLiteral("CommPort"));
    if (!port)
        return 1;
    const size_t rx = sim.received().size(), tx = sim.sent().size();
    QElapsedTimer clock;
    clock.start();
    top.settingsTransfer().queueUpload();
    if (!waitFor(idle, 60000)) {
        std::fprintf(stderr, "the upload did not finish\n");
        return 1;
    }
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const bench::Exchange e =
        bench::lineBound(sim, rx, tx, baudRateValue(port->ComPortSpeed()), port->TurnaroundMicros());
    const double ratio = seconds * 1000 / e.boundMs;
    std::printf("%s", bench::kLineBoundNote);
    std::printf("upload and read-back: %zu exchanges, %zu bytes in %.3f s; line bound %.3f s; ratio %.2f (limit 1.50)\n",
                e.commands, e.bytes, seconds, e.boundMs / 1000, ratio);

    // The journal's part of an upload, measured on the settings just uploaded.
    QTemporaryDir state;
    Journal journal(state.filePath(QStringLiteral("journal.sqlite")));
    ChangeRecorder recorder(journal, [] {
        return WriteTarget{QStringLiteral("COM 1"), QStringLiteral("a"), QStringLiteral("DXU v1.05")};
    });
    UnitRecord before = unit;
    before.prfAveraging += 1; // every write has an old and a new value
    const auto recordUpload = [&](bool on) {
        QElapsedTimer t;
        t.start();
        if (on) {
            for (const SettingCode* row : uploadOrder()) {
                recorder.settingSent(*row, before, unit);
                recorder.accepted(QString::fromLatin1(row->code));
                recorder.settingReadBack(*row, unit);
            }
            recorder.settle();
            journal.flush();
        }
        return double(t.nsecsElapsed()) / 1e6;
    };
    const double firstMs = recordUpload(true); // creates the file
    constexpr int Uploads = 20;
    double onMs = 0, offMs = 0, worstMs = 0;
    for (int i = 0; i < Uploads; ++i) {
        const double with = recordUpload(true);
        offMs += recordUpload(false);
        onMs += with;
        worstMs = std::max(worstMs, with);
    }
    const double perUploadMs = (onMs - offMs) / Uploads;
    std::printf("journal: %d uploads of %d changes; %.3f ms more per upload (%.1f us per change, worst upload "
                "%.3f ms, first with the new file %.3f ms; limit 5 ms)\n",
                Uploads, UploadWriteCount, perUploadMs, perUploadMs * 1000 / UploadWriteCount, worstMs, firstMs);
    const bool journalOk = perUploadMs <= 5 && journal.changes().size() == size_t(UploadWriteCount * (Uploads + 1));
    return ratio <= 1.5 && messages.count == 0 && e.commands == 112 && journalOk ? 0 : 1;
}
