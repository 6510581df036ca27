// The line rate on its own, because Linux needs struct termios2 from
// <asm/termbits.h> for rates without a Bxxx constant (14400, 56000), and that
// header cannot share a translation unit with <termios.h>.
#include "serial/posixport.h"

#if defined(__linux__)
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace dxu::serialio {
namespace {

// The rate code a tty reports for a standard rate, so that programs reading
// the settings with the classic calls see the usual value; other rates are
// given in bit/s.
tcflag_t rateCode(uint32_t rate)
{
    struct Code {
        uint32_t rate;
        tcflag_t code;
    };
    static constexpr Code codes[] = {{110, B110},     {300, B300},     {600, B600},
                                     {1200, B1200},   {2400, B2400},   {4800, B4800},
                                     {9600, B9600},   {19200, B19200}, {38400, B38400},
                                     {57600, B57600}, {115200, B115200}};
    for (const Code& c : codes)
        if (c.rate == rate)
            return c.code;
    return BOTHER;
}

} // namespace

bool setLineRate(int fd, uint32_t rate)
{
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    // The input rate follows the output rate (input code 0 means "the same").
    t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= rateCode(rate);
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
