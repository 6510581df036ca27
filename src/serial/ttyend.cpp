#include "serial/linkend.h"

#include <cerrno>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace dxu::serialio {
namespace {

bool wouldBlock(int err) { return err == EAGAIN || err == EWOULDBLOCK || err == EINTR; }

// A tty that has hung up reads as empty; poll() tells it apart.
bool hungUp(int fd)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

} // namespace

int setRs485(int fd, const PortOptions& o, serial_rs485* before)
{
    serial_rs485 r{};
    if (::ioctl(fd, TIOCGRS485, &r) != 0)
        return errno;
    if (before)
        *before = r;
    r.flags |= SER_RS485_ENABLED;
    r.flags &= ~(SER_RS485_RTS_ON_SEND | SER_RS485_RTS_AFTER_SEND);
    r.flags |= o.rs485 == Rs485Mode::RtsAfterSend ? SER_RS485_RTS_AFTER_SEND : SER_RS485_RTS_ON_SEND;
    r.delay_rts_before_send = uint32_t(o.rtsBeforeMs);
    r.delay_rts_after_send = uint32_t(o.rtsAfterMs);
    return ::ioctl(fd, TIOCSRS485, &r) == 0 ? 0 : errno;
}

TtyEnd::TtyEnd(int fd, const PortOptions& options) : fd_(fd), options_(options) {}

TtyEnd::~TtyEnd() = default;

int TtyEnd::read(char* buffer, int size)
{
    const ssize_t n = ::read(fd_, buffer, size_t(size));
    if (n > 0)
        return int(n);
    if (n < 0 ? !wouldBlock(errno) : hungUp(fd_))
        return -1;
    return 0;
}

int TtyEnd::write(const char* data, int size)
{
    const ssize_t n = ::write(fd_, data, size_t(size));
    if (n >= 0)
        return int(n);
    return wouldBlock(errno) ? 0 : -1;
}

// The line settings, and once per open the kernel's RS-485 mode when chosen.
void TtyEnd::apply(const LineSettings& s)
{
    applyLineSettings(fd_, s);
    if (options_.rs485 == Rs485Mode::Adapter || rs485Set_ || rs485Error_)
        return;
    before_ = std::make_unique<serial_rs485>();
    rs485Error_ = setRs485(fd_, options_, before_.get());
    rs485Set_ = rs485Error_ == 0;
}

void TtyEnd::close()
{
    if (fd_ < 0)
        return;
    // The kernel keeps the mode past the close: the next user of the
    // adapter finds it as it was.
    if (rs485Set_ && before_)
        ::ioctl(fd_, TIOCSRS485, before_.get());
    releasePort(fd_);
    fd_ = -1;
}

} // namespace dxu::serialio
