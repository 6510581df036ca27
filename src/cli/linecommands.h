#pragma once
// dxu-cli backup and restore: every unit of a line into a folder of setup
// files with its manifest, and back.
#include "cli/options.h"

namespace dxu::cli {

int runBackup(const Options& o);
int runRestore(const Options& o);

} // namespace dxu::cli
