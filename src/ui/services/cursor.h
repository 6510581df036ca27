#pragma once
#include "protocol/events.h"

namespace dxu {

// The hourglass: set and restored any number of times, the application's
// override cursor stack stays balanced.
void setBusyCursor(bool busy);
bool busyCursor();

// The hourglass while the core reports a step the user waits for.
class BusyCursor final : public UnitEvents {
public:
    void busy(bool on) override { setBusyCursor(on); }
};

} // namespace dxu
