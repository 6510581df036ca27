#pragma once
// Line rate and raw mode of a terminal device, for any rate (Linux termios2).
// Kept apart from <termios.h>, whose struct clashes with the kernel's.

namespace dxusim {

// Raw 8N1, no flow control, the given rate in bit/s. Returns false on failure.
bool setRawRate(int fd, unsigned rate);
// The output rate now set on the terminal, 0 when it cannot be read.
unsigned lineRate(int fd);

// After the last user of the device closed it: end the exclusive mode it may
// have set and drop what it left unread, as a real port does when closed.
void releaseDevice(int fd);

} // namespace dxusim
