#pragma once
// The termios image of a set of line settings. Kept apart from posixport.h
// because <termios.h> cannot share a translation unit with the termios2
// header that linerate.cpp needs.
#include "serial/posixport.h"

#include <termios.h>

namespace dxu::serialio {

// Turns t into raw transfer with the format and handshaking of s, keeping
// the flags that s does not speak of. The rate is set separately.
void makeRaw(termios& t, const LineSettings& s);

} // namespace dxu::serialio
