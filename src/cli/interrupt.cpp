#include "cli/interrupt.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace dxu::cli {
namespace {

int g_pipe[2] = {-1, -1};
bool g_interrupted = false;
volatile sig_atomic_t g_signal = 0;

extern "C" void onSignal(int signal)
{
    const int saved = errno;
    if (g_signal == 0)
        g_signal = signal;
    const char byte = 1;
    // Nothing else is safe here; a full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

void installInterruptHandler(QObject* parent)
{
    std::signal(SIGPIPE, SIG_IGN);
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char buf[16];
        while (::read(g_pipe[0], buf, sizeof buf) > 0) {
        }
        g_interrupted = true;
    });
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

bool interrupted() { return g_interrupted; }

int interruptSignal() { return g_interrupted ? static_cast<int>(g_signal) : 0; }

void interruptNow() { g_interrupted = true; }

} // namespace dxu::cli
