#include "serial/posixport.h"
#include "serial/rawmode.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace dxu::serialio {
namespace {

bool modemLine(int fd, int line, bool on)
{
    return ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0;
}

tcflag_t sizeFlag(int dataBits)
{
    switch (dataBits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

OpenFailure failureOfOpen(int err)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:  // a device node without its device (a UART not fitted, an adapter gone)
    case ENODEV:
    case EIO:
        return OpenFailure::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return OpenFailure::NoPermission;
    case EISDIR:
        return OpenFailure::NotSerial;
    case EBUSY: // the tty's exclusive flag, set by another holder
        return OpenFailure::Busy;
    default:
        return OpenFailure::Other;
    }
}

int systemOpen(const char* path, int flags) { return ::open(path, flags); }

} // namespace

OpenAttempt tryOpenExclusive(const QByteArray& path, OpenCall openCall)
{
    if (path.isEmpty())
        return {-1, OpenFailure::NotFound, ENOENT};
    if (!openCall)
        openCall = systemOpen;
    int fd;
    do
        fd = openCall(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int err = errno;
        return {-1, failureOfOpen(err), err};
    }
    if (!::isatty(fd)) {
        const int err = errno;
        ::close(fd);
        return {-1, OpenFailure::NotSerial, err};
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        return {-1, err == EWOULDBLOCK ? OpenFailure::Busy : OpenFailure::Other, err};
    }
    ::ioctl(fd, TIOCEXCL);
    return {fd, OpenFailure::None, 0};
}

int openExclusive(const QByteArray& path) { return tryOpenExclusive(path).fd; }

void releasePort(int fd)
{
    if (fd < 0)
        return;
    ::ioctl(fd, TIOCNXCL);
    // A serial tty's close waits (up to half a minute) until the transmit
    // queue has gone out, also on a non-blocking descriptor; with the line
    // held off by flow control or a slow rate that would freeze the user
    // interface. What was not sent by now is dropped instead.
    ::tcflush(fd, TCOFLUSH);
    ::close(fd); // also drops the flock
}

void makeRaw(termios& t, const LineSettings& s)
{
    // Raw bytes both ways: no line editing, echo, signals, translations or
    // end-of-file character; parity errors are neither checked nor marked.
    t.c_iflag &= ~tcflag_t(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON
                           | IXOFF | IXANY | INPCK);
    t.c_oflag &= ~tcflag_t(OPOST);
    t.c_lflag &= ~tcflag_t(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
#ifdef CMSPAR
    t.c_cflag &= ~tcflag_t(CMSPAR);
#endif
    // Modem status lines (DSR, DCD) are ignored; lines drop when the port closes.
    t.c_cflag |= CREAD | CLOCAL | HUPCL | sizeFlag(s.dataBits);

    // 1.5 stop bits: the nearest the tty offers is 2 (a UART sends 1.5 for
    // 5-bit characters when asked for 2).
    if (s.stopBits != StopBits::One)
        t.c_cflag |= CSTOPB;

    switch (s.parity) {
    case Parity::None: break;
    case Parity::Odd: t.c_cflag |= PARENB | PARODD; break;
    case Parity::Even: t.c_cflag |= PARENB; break;
#ifdef CMSPAR
    case Parity::Mark: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case Parity::Space: t.c_cflag |= PARENB | CMSPAR; break;
#else
    // Without stick parity a mark bit looks like one more stop bit on the
    // wire; a space bit is left out.
    case Parity::Mark: t.c_cflag |= CSTOPB; break;
    case Parity::Space: break;
#endif
    }

    if (s.rtsCts)
        t.c_cflag |= CRTSCTS;
    if (s.xonXoff)
        t.c_iflag |= IXON | IXOFF;
    t.c_cc[VSTART] = 0x11;
    t.c_cc[VSTOP] = 0x13;
    // A read returns at once with whatever has arrived.
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
}

bool applyLineSettings(int fd, const LineSettings& s)
{
    struct termios t {};
    if (::tcgetattr(fd, &t) != 0)
        return false;
    makeRaw(t, s);
    bool ok = ::tcsetattr(fd, TCSANOW, &t) == 0;
    ok = setLineRate(fd, s.rate) && ok;
    // With handshaking the driver moves RTS itself; without it RTS is held dropped.
    if (!s.rtsCts)
        ok = setRts(fd, false) && ok;
    ok = setDtr(fd, s.dtrOn) && ok;
    return ok;
}

bool setDtr(int fd, bool on) { return modemLine(fd, TIOCM_DTR, on); }

bool setRts(int fd, bool on) { return modemLine(fd, TIOCM_RTS, on); }

bool purge(int fd, bool input, bool output)
{
    if (!input && !output)
        return true;
    const int which = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
    return ::tcflush(fd, which) == 0;
}

int bytesWaitingToSend(int fd)
{
    int n = 0;
    if (::ioctl(fd, TIOCOUTQ, &n) != 0)
        return -1;
    return n;
}

} // namespace dxu::serialio
