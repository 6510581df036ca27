// dxu-cli: read, apply, measure and scan from the command line, on the same
// library as the window.
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/journalcommands.h"
#include "cli/options.h"
#include "cli/setupcommands.h"
#include "cli/unitline.h"

#include "serial/commportdriver.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    using namespace dxu::cli;
    if (const int status = runJournalCommand(argc, argv); status >= 0)
        return status;
    // show, import, diff: setups as text and compared.
    if (const int status = runSetupCommand(argc, argv); status >= 0)
        return status;
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    if (args == QStringList{QStringLiteral("--version")}) {
        std::puts("dxu-cli " DXU_VERSION);
        return ExitOk;
    }

    const Parsed parsed = parseArguments(args);
    const Options& o = parsed.options;
    if (o.help) {
        std::fputs(qPrintable(helpText(o.command)), stdout);
        return ExitOk;
    }
    // Without a command, what there is to choose from: the commands, as
    // --help lists them; nothing was done, so the status is a usage error.
    if (parsed.noCommand) {
        std::fputs(qPrintable(helpText(Command::None)), stdout);
        std::fflush(stdout);
        std::fprintf(stderr, "dxu-cli: %s\n", qPrintable(parsed.error));
        return ExitUsage;
    }
    if (!parsed.error.isEmpty()) {
        std::fprintf(stderr, "dxu-cli: %s (dxu-cli --help)\n", qPrintable(parsed.error));
        return ExitUsage;
    }
    installInterruptHandler(&app);
    // A gateway waits for a port that is not there yet.
    if (const int status = preparePort(o, o.command != Command::Serve); status != ExitOk)
        return status;
    return runCommand(o);
}
