#pragma once
// The operating-system side of a serial port on POSIX: opening a tty for this
// process alone, the line settings, the modem lines and the queues. The driver
// class on top decides when each is used.
#include <QByteArray>

#include <cstdint>

namespace dxu::serialio {

enum class Parity { None, Odd, Even, Mark, Space };
enum class StopBits { One, OneAndHalf, Two };

struct LineSettings {
    uint32_t rate = 115200;  // bit/s
    int dataBits = 8;        // 5..8
    StopBits stopBits = StopBits::One;
    Parity parity = Parity::None;
    bool rtsCts = false;     // RTS/CTS hardware handshaking
    bool xonXoff = false;    // XON/XOFF in both directions
    bool dtrOn = true;       // DTR held raised while open
};

// Why a port could not be opened.
enum class OpenFailure {
    None,         // it opened
    NotFound,     // no such path, or no device behind it
    NoPermission, // the user may not open it
    NotSerial,    // it opened, but is no tty (a directory, /dev/null, a file)
    Busy,         // another program holds it
    Other         // anything else; the error number tells
};

struct OpenAttempt {
    int fd = -1;                             // the claimed port, -1 on failure
    OpenFailure failure = OpenFailure::None;
    int error = 0;                           // errno of the failing call
};

// The open(2) call used to open a port; tests put a failing one in its place.
using OpenCall = int (*)(const char* path, int flags);

// Opens the tty at path for reading and writing, non-blocking, without making
// it the controlling terminal, and claims it for this process: a whole-file
// lock that every other opener using this code (or flock) sees, plus the tty's
// exclusive flag that turns away other non-root openers. On failure nothing
// stays open and the attempt says why.
OpenAttempt tryOpenExclusive(const QByteArray& path, OpenCall openCall = nullptr);
// The descriptor of tryOpenExclusive, or -1.
int openExclusive(const QByteArray& path);
// Gives up the claim and closes fd without waiting for unsent bytes (they are
// discarded). The exclusive flag is cleared first: it belongs to the tty, not
// to this descriptor, and can outlive the close (a pseudo-terminal whose other
// side stays open keeps it).
void releasePort(int fd);

// Raw transfer with the given format, rate and handshaking; parity is
// generated on output but never checked on input. False when the tty refused.
bool applyLineSettings(int fd, const LineSettings& s);
// Exact line rate, also for rates without a Bxxx constant (see linerate.cpp).
bool setLineRate(int fd, uint32_t rate);
bool lineRate(int fd, uint32_t& inRate, uint32_t& outRate);

// Raises (on) or drops the DTR or RTS line.
bool setDtr(int fd, bool on);
bool setRts(int fd, bool on);
// Discards what waits in the receive and/or transmit queue.
bool purge(int fd, bool input, bool output);
// Bytes written but not yet sent; -1 when the tty cannot tell.
int bytesWaitingToSend(int fd);

} // namespace dxu::serialio
