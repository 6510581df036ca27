#pragma once

namespace dxu {

// Program entry: initialises the application, creates the windows in their
// order and runs the message loop. An exception that escapes is shown to the
// user and the process ends with exit code 0.
int runApplication(int argc, char** argv);

} // namespace dxu
