#include "pty.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/resource.h>
#include <unistd.h>

namespace dxu::test {

Pty::Pty(int comNumber) : comNumber_(comNumber)
{
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master_, &slave, name, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    ::close(slave); // the driver opens it by name
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    slavePath_ = name;
    ::setenv(("DXU_COM" + std::to_string(comNumber_)).c_str(), name, 1);
}

Pty::~Pty()
{
    ::unsetenv(("DXU_COM" + std::to_string(comNumber_)).c_str());
    hangUp();
}

void Pty::write(const QByteArray& bytes) const
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            throw std::runtime_error("write to pty master failed");
        else
            ::poll(nullptr, 0, 1);
    }
}

QByteArray Pty::read(int atLeast, int timeoutMs) const
{
    QByteArray got;
    QElapsedTimer t;
    t.start();
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) {
            got.append(buf, n);
            continue;
        }
        if (got.size() >= atLeast || t.elapsed() >= timeoutMs)
            return got;
        pollfd p{master_, POLLIN, 0};
        ::poll(&p, 1, 5);
    }
}

void Pty::hangUp()
{
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

void runEventsFor(int ms) { QTest::qWait(ms); }

double cpuMs()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0
         + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

} // namespace dxu::test
