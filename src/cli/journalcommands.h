#pragma once
// dxu-cli history and dxu-cli report (the change journal and the
// commissioning report). They need no port check before they run and the
// report draws text, so they start before the other commands' application.

namespace dxu::cli {

// Runs history or report when argv[1] names one of them and returns its exit
// status; -1 for any other command line.
int runJournalCommand(int argc, char** argv);

} // namespace dxu::cli
