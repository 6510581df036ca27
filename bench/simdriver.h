#pragma once
// What the drivers that run the program against dxu-sim share: a private
// settings store, the offscreen platform unless another is asked for, the
// simulator answering at once as COM1, and waiting on the event loop.
#include "ui/app/topform.h"
#include "e2e/simprocess.h"
#include "ui/services/messages.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

namespace dxu::bench {

class SimDriver {
public:
    // simOptions: more options for the simulator (the scene).
    SimDriver(int& argc, char** argv, const QStringList& simOptions = {})
    {
        if (!std::getenv("QT_QPA_PLATFORM"))
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // Never the user's stored settings.
        setenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit().constData(), 1);
        app_ = std::make_unique<QApplication>(argc, argv);
        started_ = sim.start(QStringList{"--reply-delay", "0"} + simOptions);
        if (started_)
            sim.exportAs(1);
        else
            std::fprintf(stderr, "dxu-sim did not start\n");
    }
    bool started() const { return started_; }
    // A private folder for the run's files.
    QString filePath(const QString& name) const { return config_.filePath(name); }

    test::SimProcess sim;

private:
    QTemporaryDir config_{QDir::tempPath() + QStringLiteral("/dxu-bench-XXXXXX")};
    std::unique_ptr<QApplication> app_;
    bool started_ = false;
};

// Prints every message box on stderr and counts them; a Yes/No question gets
// yesNo, any other box OK.
class PrintedMessages : public MessageService {
public:
    explicit PrintedMessages(MsgAnswer yesNo = MsgAnswer::Yes) : yesNo_(yesNo) {}
    MsgAnswer show(const QString& caption, const QString& text, MsgButtons buttons) override
    {
        std::fprintf(stderr, "message [%s] %s\n", qPrintable(caption), qPrintable(text));
        ++count;
        return buttons == MsgButtons::YesNo ? yesNo_ : MsgAnswer::Ok;
    }
    int count = 0;

private:
    MsgAnswer yesNo_;
};

// What the line needs for the exchanges from the first'th line on in the
// simulator's log, in ms: every byte both ways (line and CR) at 10 bits
// (8N1), plus one turnaround for each command that follows a reply.
// A pseudo-terminal does not pace bytes: the program's lines reach dxu-sim
// at once, and dxu-sim holds the line busy for 10 bits a byte at the rate
// after each reply it writes, so the replies keep the line's pace.
struct Exchange {
    size_t commands = 0;
    size_t bytes = 0;
    double boundMs = 0;
};

inline Exchange lineBound(const test::SimProcess& sim, size_t firstRx, size_t firstTx, unsigned rate, uint32_t turnaroundUs)
{
    Exchange e;
    const auto rx = sim.received();
    const auto tx = sim.sent();
    for (size_t i = firstRx; i < rx.size(); ++i, ++e.commands)
        e.bytes += rx[i].size() + 1;
    for (size_t i = firstTx; i < tx.size(); ++i)
        e.bytes += tx[i].size() + 1;
    const double turnarounds = e.commands > 0 ? double(e.commands - 1) : 0;
    e.boundMs = double(e.bytes) * 10 * 1000 / rate + turnarounds * turnaroundUs / 1000.0;
    return e;
}

inline const char* const kLineBoundNote =
    "line bound: every byte both ways at 10 bits (8N1) plus a turnaround for each command after a\n"
    "reply. A pseudo-terminal does not pace bytes: dxu-sim holds the line busy for 10 bits a byte\n"
    "after each reply it writes, while the program's commands reach it at once, so at low rates a\n"
    "run can beat the bound.\n";

// Sleeps in the event loop as the program does, waking for each event and
// at least every millisecond to look at the condition. (processEvents with a
// time limit never sleeps: it would spin a core the simulator, a device server
// and the program's own timers need.)
inline bool waitFor(const std::function<bool()>& condition, int ms)
{
    QElapsedTimer t;
    t.start();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.start(1);
    while (!condition()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// The main window, counting every result the display writes into the result
// line.
class CountingTopForm : public TTopForm {
public:
    void setText(std::string_view name, std::string_view text) override
    {
        if (name == "lblResult" && !text.empty())
            ++shown;
        TTopForm::setText(name, text);
    }
    // Connected, the unit's settings read and nothing more queued.
    bool settingsReadAndIdle()
    {
        const DxuState& st = state();
        return st.connected == 1 && st.current().settingsRead == 1 && st.queue.queueState == QueueIdle;
    }
    long shown = 0;
};

} // namespace dxu::bench
