#pragma once
// What the drivers that run the program against dxu-sim share: a private
// settings store, the offscreen platform unless another is asked for, the
// simulator answering at once as COM1, and waiting on the event loop.
#include "e2e/simprocess.h"
#include "services/messages.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

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

inline bool waitFor(const std::function<bool()>& condition, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

} // namespace dxu::bench
