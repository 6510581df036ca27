// The fastest stream of one unit (about 930 results a second) through the
// MQTT publisher to a private mosquitto broker on loopback, with mosquitto_sub
// counting what arrives:
// 1. 30 s at QoS 0 with the broker up: results lost between the source and
//    the subscriber, the publisher's processor share (its network thread
//    included) and its resident memory at the start and the end.
// 2. The broker away for 10 s with a hold of 5000 results: what was dropped
//    and said, and the memory while results pile up against the bound.
//
//   build/bench/bench_publish_stream [seconds]
#include "procstats.h"
#include "publish/broker.h"
#include "publish/publisher.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>

namespace {

constexpr double Rate = 930.0; // results a second

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

void runFor(int ms, const std::function<void()>& every = {})
{
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.start(10);
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (every)
            every();
    }
}

// Lines of the subscriber's output that hold a result.
long resultsIn(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    long n = 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        n += line.startsWith("bench/unit/result ");
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
    QTemporaryDir dir;
    dxu::test::Broker broker(dir.path());
    if (!broker.start()) {
        std::fprintf(stderr, "mosquitto did not start\n");
        return 1;
    }
    const QString received = dir.filePath(QStringLiteral("received"));
    QProcess sub;
    sub.setStandardOutputFile(received);
    sub.start(QStringLiteral("stdbuf"), {"-oL", "mosquitto_sub", "-d", "-v", "-h", "127.0.0.1", "-p",
                                         QString::number(broker.port()), "-t", "bench/#"});
    runFor(1000);

    auto run = [&](long hold, int totalMs, const std::function<void(qint64 ms)>& during) {
        dxu::publish::Settings s;
        QString error = dxu::publish::parseUrl(broker.url(QStringLiteral("bench")), s);
        s.hold = hold;
        dxu::publish::Publisher publisher(s);
        publisher.onNotice = [](const QString& t) { std::printf("  publisher: %s\n", qPrintable(t)); };
        if (!error.isEmpty() || !publisher.open()) {
            std::fprintf(stderr, "cannot publish: %s%s\n", qPrintable(error), qPrintable(publisher.failure()));
            std::exit(1);
        }
        const long before = resultsIn(received);
        long sent = 0;
        QElapsedTimer clock;
        clock.start();
        // Every tick of the loop publishes the results due by now.
        runFor(totalMs, [&] {
            const long due = long(double(clock.elapsed()) * Rate / 1000.0);
            for (; sent < due; ++sent)
                publisher.publishResult(QStringLiteral("unit"), QDateTime::currentDateTimeUtc(), QStringLiteral("12.345"),
                                        QString(), QStringLiteral("m"));
            if (during)
                during(clock.elapsed());
        });
        publisher.close();
        runFor(1000); // the subscriber's last lines
        const auto c = publisher.counts();
        const long got = resultsIn(received) - before;
        // A result counted as lost with a connection may have reached the
        // broker before the connection went: then more arrive than were
        // not counted as lost.
        const long unsaid = sent - c.dropped - c.lost - c.held - got;
        std::printf("  %ld results sent at %.0f/s, %ld delivered, %ld dropped, %ld lost with a connection, %ld not "
                    "delivered (all said), %ld received by the subscriber: ",
                    sent, Rate, c.published, c.dropped, c.lost, c.held, got);
        if (unsaid >= 0)
            std::printf("%ld lost without a word\n", unsaid);
        else
            std::printf("none lost without a word; %ld of those said lost reached the subscriber after all\n", -unsaid);
    };

    std::printf("1. %d s at QoS 0, broker up:\n", seconds);
    double cpu0 = 0;
    long rss0 = 0, rssEnd = 0;
    run(dxu::publish::DefaultHold, (seconds + 2) * 1000, [&](qint64 ms) {
        if (ms >= 2000 && rss0 == 0) { // after a warm-up of 2 s
            rss0 = benchsupport::residentKb();
            cpu0 = cpuSeconds();
        }
        rssEnd = benchsupport::residentKb();
    });
    const double cpu = cpuSeconds() - cpu0;
    std::printf("  processor: %.2f s in %d s = %.1f %% of one core\n", cpu, seconds, 100.0 * cpu / seconds);
    std::printf("  resident memory: %ld kB -> %ld kB (growth %ld kB)\n", rss0, rssEnd, rssEnd - rss0);

    std::printf("2. the broker away for 10 s, hold 5000 results:\n");
    long rssPeak = 0, rssStart = 0;
    bool stopped = false, restarted = false;
    run(5000, 20000, [&](qint64 ms) {
        if (rssStart == 0)
            rssStart = benchsupport::residentKb();
        rssPeak = std::max(rssPeak, benchsupport::residentKb());
        if (ms >= 3000 && !stopped) {
            stopped = true;
            broker.stop();
        }
        if (ms >= 13000 && !restarted) {
            restarted = true;
            broker.restart();
        }
    });
    std::printf("  resident memory: %ld kB at the start, %ld kB at the most\n", rssStart, rssPeak);
    std::printf("  (the subscriber is away with the broker: what was published to the dead connection before the\n"
                "   loss was noticed, and what went before the subscriber was back, is not received)\n");
    sub.kill();
    sub.waitForFinished();
    return 0;
}
