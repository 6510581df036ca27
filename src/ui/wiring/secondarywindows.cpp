#include "ui/wiring/secondarywindows.h"

#include "ui/capture/viewcapture.h"
#include "ui/currentloop/clcalibration.h"
#include "ui/currentloop/clsettings.h"
#include "ui/diagnostics/about.h"
#include "ui/diagnostics/errors.h"
#include "ui/diagnostics/terminal.h"
#include "ui/network/assignaddress.h"
#include "ui/network/findunits.h"
#include "ui/network/netsetup.h"
#include "ui/ports/commsetup.h"

namespace dxu {

std::array<QWidget*, 10> SecondaryWindows::all() const
{
    std::array<QWidget*, 10> windows{};
    size_t i = 0;
    forEachMember([&](auto member) { windows.at(i++) = this->*member; });
    return windows;
}

} // namespace dxu
