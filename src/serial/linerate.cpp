// The line rate on its own, because Linux needs struct termios2 from
// <asm/termbits.h> for rates without a Bxxx constant (14400, 56000), and that
// header cannot share a translation unit with <termios.h>.
#include "serial/posixport.h"

#if defined(__linux__)
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace dxu::serialio {

bool setLineRate(int fd, uint32_t rate)
{
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = rate;
    t.c_ospeed = rate;
    return ioctl(fd, TCSETS2, &t) == 0;
}

bool lineRate(int fd, uint32_t& inRate, uint32_t& outRate)
{
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    inRate = t.c_ispeed;
    outRate = t.c_ospeed;
    return true;
}

} // namespace dxu::serialio

#else
// BSD and macOS take the rate in bit/s directly.
#include <termios.h>

namespace dxu::serialio {

bool setLineRate(int fd, uint32_t rate)
{
    struct termios t {};
    if (tcgetattr(fd, &t) != 0)
        return false;
    if (cfsetispeed(&t, speed_t(rate)) != 0 || cfsetospeed(&t, speed_t(rate)) != 0)
        return false;
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

bool lineRate(int fd, uint32_t& inRate, uint32_t& outRate)
{
    struct termios t {};
    if (tcgetattr(fd, &t) != 0)
        return false;
    inRate = uint32_t(cfgetispeed(&t));
    outRate = uint32_t(cfgetospeed(&t));
    return true;
}

} // namespace dxu::serialio
#endif
