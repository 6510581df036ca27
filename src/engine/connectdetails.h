#pragma once
// The details shown beside a failed connect: what was tried and what to look at.
#include "protocol/dxustate.h"

#include <QString>

namespace dxu {

// The port with its device, the rate and the mode that Connect opens now:
// "COM1 (/dev/ttyS0) at 115200 bit/s, RS-232" or "..., RS-485".
QString connectTarget(const DxuState& st);

// Which units the failed connect tried.
enum class TriedUnits { Current, WholeNetwork };

// The port and device, the rate, the mode (with the address tried in network
// mode) and the two usual causes to check: a unit at another rate and a
// silent line.
QString connectFailureDetails(const DxuState& st, TriedUnits tried = TriedUnits::Current);

} // namespace dxu
