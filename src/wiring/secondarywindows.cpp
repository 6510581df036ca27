#include "wiring/secondarywindows.h"

#include "capture/viewcapture.h"
#include "currentloop/clcalibration.h"
#include "currentloop/clsettings.h"
#include "diagnostics/about.h"
#include "diagnostics/errors.h"
#include "diagnostics/terminal.h"
#include "network/assignaddress.h"
#include "network/findunits.h"
#include "network/netsetup.h"
#include "ports/commsetup.h"

namespace dxu {

std::array<QWidget*, 10> SecondaryWindows::all() const
{
    return {viewCapture, about, clSettings, clCalibration, commSetup, netSetup, assignAddress, findUnits, terminal,
            errors};
}

} // namespace dxu
