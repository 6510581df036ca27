#pragma once
// The four sub-commands of dxu-cli. Each returns the program's exit status.
#include "cli/options.h"

namespace dxu::cli {

int runRead(const Options& o);
int runApply(const Options& o);
int runMeasure(const Options& o);
int runScan(const Options& o);

// Runs the command of o (after the port was checked).
int runCommand(const Options& o);

} // namespace dxu::cli
