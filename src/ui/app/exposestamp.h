#pragma once
// For start-up measurements (bench/startup.cpp): with DXU_EXPOSE_STAMP set in
// the environment, the moment the first window is exposed on the screen is
// printed once on standard error as "exposed <CLOCK_MONOTONIC in µs>".
// DXU_EXPOSE_STAMP=quit ends the program there (for a profiler's run of the
// start-up alone). Without the variable nothing is installed.
#include <QCoreApplication>
#include <QEvent>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace dxu {

class ExposeStamp : public QObject {
public:
    static void installIfAsked()
    {
        const char* asked = std::getenv("DXU_EXPOSE_STAMP");
        if (asked && *asked && QCoreApplication::instance())
            QCoreApplication::instance()->installEventFilter(
                new ExposeStamp(std::strcmp(asked, "quit") == 0, QCoreApplication::instance()));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && watched->isWindowType()
            && static_cast<QWindow*>(watched)->isExposed()) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::fprintf(stderr, "exposed %lld\n", static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000);
            std::fflush(stderr);
            QCoreApplication::instance()->removeEventFilter(this);
            if (quit_)
                QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return false;
    }

private:
    ExposeStamp(bool quit, QObject* parent) : QObject(parent), quit_(quit) {}
    bool quit_;
};

} // namespace dxu
