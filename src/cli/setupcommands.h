#pragma once
// dxu-cli show, import and diff (setups as text, and their comparison), and
// apply --dry-run.
#include "cli/options.h"

namespace dxu {
struct UnitRecord;
}

namespace dxu::cli {

// Runs show, import or diff when argv[1] names one of them and returns its
// exit status; -1 for any other command line.
int runSetupCommand(int argc, char** argv);

// apply --dry-run: reads each unit and prints what apply would write to it.
int runApplyDryRun(const Options& o, const UnitRecord& file);

} // namespace dxu::cli
