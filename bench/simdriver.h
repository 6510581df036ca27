#pragma once
// What the drivers that run the program against dxu-sim share: a private
// settings store, the offscreen platform unless another is asked for, the
// simulator answering at once as COM1, and waiting on the event loop.
#include "e2e/simprocess.h"

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
    SimDriver(int& argc, char** argv)
    {
        if (!std::getenv("QT_QPA_PLATFORM"))
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // Never the user's stored settings.
        setenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit().constData(), 1);
        app_ = std::make_unique<QApplication>(argc, argv);
        started_ = sim.start({"--reply-delay", "0"});
        if (started_)
            sim.exportAs(1);
        else
            std::fprintf(stderr, "dxu-sim did not start\n");
    }
    bool started() const { return started_; }

    test::SimProcess sim;

private:
    QTemporaryDir config_{QDir::tempPath() + QStringLiteral("/dxu-bench-XXXXXX")};
    std::unique_ptr<QApplication> app_;
    bool started_ = false;
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
