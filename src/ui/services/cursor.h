#pragma once

namespace dxu {

// The hourglass: set and restored any number of times, the application's
// override cursor stack stays balanced.
void setBusyCursor(bool busy);
bool busyCursor();

} // namespace dxu
