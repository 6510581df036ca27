// dxu-cli apply to ten units on one simulated RS-485 line, the tool run as a
// script runs it, against dxu-sim with no reply delay.
//
//   bench_cli_apply
//
// Each unit is connected and read, the settings of the file that differ are
// written and read back, and the unit saves them. Every exchange waits at
// most one 50 ms receive poll; the driver counts the exchanges on the
// simulator's wire log, prints the time against that bound and exits 0 when it
// is within 1.2 x, 1 otherwise.
#include "e2e/simprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

int runCli(const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    p.start(QStringLiteral(DXU_CLI_PATH), args);
    if (!p.waitForFinished(300000))
        return -1;
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("setup.dxu"));
    const QString units = QStringLiteral("a,b,c,d,e,f,g,h,i,j");

    // The setup: a unit in Last Target mode.
    dxu::test::SimProcess source;
    if (!source.start({"--reply-delay", "0", "--mode", "4"})
        || runCli({"read", "--port", QString::fromStdString(source.devicePath()), "--output", file}) != 0) {
        std::fprintf(stderr, "the setup file could not be read\n");
        return 1;
    }
    source.stop();

    dxu::test::SimProcess line;
    if (!line.start({"--reply-delay", "0", "--units", units})) {
        std::fprintf(stderr, "dxu-sim did not start\n");
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    const int status = runCli({"apply", file, "--port", QString::fromStdString(line.devicePath()), "--address", units});
    const double seconds = double(clock.elapsed()) / 1000.0;
    const long exchanges = static_cast<long>(line.received().size());
    const double bound = double(exchanges) * 0.050;
    const double ratio = seconds / bound;
    std::printf("apply to 10 units: %ld exchanges in %.2f s; bound %.2f s; ratio %.2f (limit 1.20); status %d\n",
                exchanges, seconds, bound, ratio, status);
    return status == 0 && ratio <= 1.2 ? 0 : 1;
}
