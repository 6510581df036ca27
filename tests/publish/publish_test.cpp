// dxu-cli measure --publish against the simulator and a real mosquitto
// broker: what a subscriber receives, the broker going away and coming back,
// logins, TLS and the options.
#include "e2e/simprocess.h"
#include "publish/broker.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

#ifndef DXU_CLI_PATH
#define DXU_CLI_PATH "dxu-cli"
#endif

namespace dxu::test {
namespace {

const char kUser[] = "line1";
const char kPassword[] = "s3cret:with colon";

// mosquitto_sub on the broker, printing "topic payload" a line.
class Subscriber {
public:
    bool start(const Broker& broker, const QString& topic = QStringLiteral("plant/#"), bool login = false)
    {
        QStringList args{"-d", "-v", "-h", "127.0.0.1", "-p", QString::number(broker.port()), "-t", topic};
        if (login)
            args += {"-u", kUser, "-P", kPassword};
        // Line-buffered, so that the confirmation of the subscription is seen at once.
        p_.start(QStringLiteral("stdbuf"), QStringList{"-oL", "mosquitto_sub"} + args);
        return waitFor([this] { return subscriptions() >= 1; }, 5000);
    }
    // Subscriptions confirmed so far (one more after each reconnect).
    int subscriptions() { return int(read().count(QLatin1String("received SUBACK"))); }
    // The messages of a topic, their payloads.
    QList<QJsonObject> messages(const QString& topic)
    {
        QList<QJsonObject> out;
        for (const QString& line : read().split(QLatin1Char('\n')))
            if (line.startsWith(topic + QLatin1Char(' ')))
                out.append(QJsonDocument::fromJson(line.mid(topic.size() + 1).toUtf8()).object());
        return out;
    }
    static bool waitFor(const std::function<bool()>& done, int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > timeoutMs)
                return false;
            QThread::msleep(20);
        }
        return true;
    }
    ~Subscriber()
    {
        p_.kill();
        p_.waitForFinished();
    }

private:
    const QString& read()
    {
        p_.waitForReadyRead(10);
        text_ += QString::fromUtf8(p_.readAllStandardOutput());
        return text_;
    }
    QProcess p_;
    QString text_;
};

struct CliRun {
    int status = -1;
    QStringList out;
    QStringList err;
};

class PublishTest : public ::testing::Test {
protected:
    QString startSim()
    {
        EXPECT_TRUE(sim.start(QStringList{QStringLiteral("--reply-delay"), QStringLiteral("0")} + simOptions));
        return QString::fromStdString(sim.devicePath());
    }
    void startCli(const QStringList& args, const QStringList& env = {})
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (const QString& kv : env)
            e.insert(kv.section('=', 0, 0), kv.section('=', 1));
        cli.setProcessEnvironment(e);
        cli.start(QStringLiteral(DXU_CLI_PATH), QStringList{"measure", "--port", startSim()} + args);
    }
    CliRun finishCli()
    {
        CliRun r;
        if (!cli.waitForFinished(60000)) {
            cli.kill();
            cli.waitForFinished();
            ADD_FAILURE() << "dxu-cli did not end";
            return r;
        }
        r.status = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
        r.out = QString::fromLocal8Bit(cli.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        r.err = QString::fromLocal8Bit(cli.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
        return r;
    }
    CliRun measure(const QStringList& args, const QStringList& env = {})
    {
        startCli(args, env);
        return finishCli();
    }
    QString credentials(const QString& password)
    {
        const QString path = dir.filePath(QStringLiteral("login-%1").arg(++files));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("%1\n%2\n").arg(kUser, password).toUtf8());
        return path;
    }

    QTemporaryDir dir;
    Broker broker{dir.path()};
    SimProcess sim;
    QStringList simOptions;
    QProcess cli;
    int files = 0;
};

// The figures of the closing line: delivered, results, dropped, lost, not delivered.
struct Summary {
    long published = -1, results = -1, dropped = 0, lost = 0, held = 0;
};
Summary summaryOf(const QStringList& err)
{
    static const QRegularExpression re(QStringLiteral(
        R"(MQTT: (\d+) of (\d+) results delivered to [^\s;]+(?:; (\d+) dropped[^;]*)?(?:; (\d+) lost[^;]*)?(?:; (\d+) not delivered)?)"));
    Summary s;
    for (const QString& line : err)
        if (const auto m = re.match(line); m.hasMatch())
            s = {m.captured(1).toLong(), m.captured(2).toLong(), m.captured(3).toLong(), m.captured(4).toLong(),
                 m.captured(5).toLong()};
    return s;
}

TEST_F(PublishTest, EveryResultReachesASubscriberAtEitherQualityOfService)
{
    ASSERT_TRUE(broker.start());
    for (const char* qos : {"0", "1"}) {
        SCOPED_TRACE(qos);
        Subscriber sub;
        ASSERT_TRUE(sub.start(broker));
        const CliRun r = measure({"--count", "20", "--publish", broker.url(), "--publish-qos", qos});
        EXPECT_EQ(r.status, 0) << r.err.join('\n').toStdString();
        EXPECT_EQ(r.out.size(), 20);
        const Summary s = summaryOf(r.err);
        EXPECT_EQ(s.published, 20);
        EXPECT_EQ(s.results, 20);

        ASSERT_TRUE(Subscriber::waitFor(
            [&] { return sub.messages(QStringLiteral("plant/unit/result")).size() >= 20; }, 5000));
        const QList<QJsonObject> results = sub.messages(QStringLiteral("plant/unit/result"));
        ASSERT_EQ(results.size(), 20);
        static const QRegularExpression utc(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$)"));
        for (int i = 0; i < results.size(); ++i) {
            const QJsonObject& o = results[i];
            EXPECT_TRUE(utc.match(o["time"].toString()).hasMatch()) << o["time"].toString().toStdString();
            EXPECT_EQ(o["address"].toString(), "unit");
            EXPECT_NEAR(o["distance"].toDouble(), 12.345, 0.01);
            EXPECT_TRUE(o["intensity"].isNull()); // the simulator's display mode shows distance only
            EXPECT_EQ(o["unit"].toString(), "m");
            // The same result as the CSV line printed for it.
            EXPECT_TRUE(r.out.value(i).contains(QString::number(o["distance"].toDouble(), 'f', 3)));
        }
    }
    // Retained for whoever subscribes later: the unit idle, the publisher offline.
    Subscriber late;
    ASSERT_TRUE(late.start(broker));
    ASSERT_TRUE(Subscriber::waitFor([&] { return !late.messages(QStringLiteral("plant/unit/status")).isEmpty(); }, 5000));
    const QJsonObject status = late.messages(QStringLiteral("plant/unit/status")).last();
    EXPECT_EQ(status["state"].toString(), "idle");
    EXPECT_TRUE(status["error"].isNull());
    const QString presence = QStringLiteral("plant/publisher/") + status["publisher"].toString();
    ASSERT_TRUE(Subscriber::waitFor([&] { return !late.messages(presence).isEmpty(); }, 5000));
    EXPECT_EQ(late.messages(presence).last()["state"].toString(), "offline");
}

// An error the unit reports while measuring goes with its retained status,
// once, and the next idle status without an error clears it.
TEST_F(PublishTest, TheUnitsLastErrorWhileMeasuringIsInItsStatus)
{
    ASSERT_TRUE(broker.start());
    simOptions = {"--measure-error", "4,12"};
    Subscriber sub;
    ASSERT_TRUE(sub.start(broker, QStringLiteral("plant/unit/status")));
    const CliRun r = measure({"--count", "12", "--publish", broker.url()});
    EXPECT_EQ(r.status, 0) << r.err.join('\n').toStdString();
    Subscriber::waitFor([&] { return sub.messages(QStringLiteral("plant/unit/status")).size() >= 3; }, 5000);
    QStringList seen;
    for (const QJsonObject& o : sub.messages(QStringLiteral("plant/unit/status")))
        seen << o["state"].toString() + ":" + (o["error"].isNull() ? QStringLiteral("-") : o["error"].toString());
    EXPECT_EQ(seen, QStringList({"measuring:-", "measuring:Averaging Error", "idle:-"}));
}

// A broker that goes away mid-run, at either quality of service: stopped
// and started again, or frozen (it takes bytes into its socket but reads
// nothing) and then killed before it is started again. Only what the broker
// confirmed counts as delivered.
TEST_F(PublishTest, ABrokerThatGoesAwayIsRiddenOutAndOnlyWhatItConfirmedCounts)
{
    ASSERT_TRUE(broker.start());
    // About ten results a second for 7 s, the broker away for about 2 s of them.
    const struct {
        const char* qos;
        const char* hold;
        bool frozen; // frozen, then killed
        bool drops;  // the hold overflows while the broker is away
    } cases[] = {{"0", "5", false, true}, {"1", "1000", false, false}, {"0", "1000", true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "QoS " << c.qos << (c.frozen ? ", frozen" : ""));
        Subscriber before;
        ASSERT_TRUE(before.start(broker));
        startCli({"--seconds", "7", "--publish", broker.url(), "--publish-qos", c.qos, "--publish-hold", c.hold});
        ASSERT_TRUE(
            Subscriber::waitFor([&] { return before.messages(QStringLiteral("plant/unit/result")).size() >= 5; }, 10000));
        if (c.frozen) {
            broker.freeze();
            QThread::msleep(1500);
            broker.stop(true);
            QThread::msleep(500);
        } else {
            broker.stop();
            QThread::msleep(2000);
        }
        ASSERT_TRUE(broker.restart());
        Subscriber after;
        ASSERT_TRUE(after.start(broker));
        const CliRun r = finishCli();

        const QString err = r.err.join('\n');
        EXPECT_TRUE(err.contains("lost the MQTT broker")) << err.toStdString();
        EXPECT_TRUE(err.contains(QRegularExpression("the MQTT broker \\S+ is back: publishing the \\d+ results held")))
            << err.toStdString();
        const Summary s = summaryOf(r.err);
        EXPECT_EQ(s.results, r.out.size());
        EXPECT_EQ(s.published + s.dropped + s.lost + s.held, s.results) << err.toStdString();
        if (c.drops || c.frozen) {
            // What did not reach the broker is said with its number and makes the run fail.
            EXPECT_EQ(r.status, 1);
            if (c.drops) {
                EXPECT_TRUE(err.contains(QRegularExpression("is back: .*; \\d+ dropped while it was away")))
                    << err.toStdString();
                EXPECT_GT(s.dropped, 0);
            } else {
                // Written into the frozen broker's socket, never read: lost with it.
                EXPECT_GT(s.lost, 0) << err.toStdString();
                EXPECT_TRUE(err.contains(QRegularExpression("\\d+ results sent were not confirmed and count as lost")))
                    << err.toStdString();
            }
            EXPECT_TRUE(r.err.last().contains(QStringLiteral("%1 of %2 results did not reach the MQTT broker")
                                                  .arg(s.dropped + s.lost + s.held)
                                                  .arg(s.results)))
                << r.err.last().toStdString();
        } else {
            // At QoS 1 what was in flight is sent again: every result acknowledged.
            EXPECT_EQ(r.status, 0) << err.toStdString();
            EXPECT_EQ(s.published, s.results);
        }
        // Results reach the broker again after the restart.
        EXPECT_GT(after.messages(QStringLiteral("plant/unit/result")).size(), 0);
    }
}

TEST_F(PublishTest, ALoginIsCheckedAndTheBrokerIsVerified)
{
    const QString passwords = dir.filePath(QStringLiteral("passwords"));
    ASSERT_EQ(runTool("mosquitto_passwd", {"-b", "-c", passwords, kUser, kPassword}), 0);
    ASSERT_TRUE(makeCertificates(dir.path()));
    ASSERT_TRUE(broker.start({passwords, dir.filePath("server.pem"), dir.filePath("server.key")}));
    const QString secure = QStringLiteral("mqtts://localhost:%1/plant").arg(broker.tlsPort());
    const QString ca = dir.filePath(QStringLiteral("ca.pem"));

    const struct {
        const char* what;
        QStringList args;
        QStringList env;
        int status;
        const char* says; // in the last line of standard error
    } cases[] = {
        {"login from a file", {"--publish", broker.url(), "--publish-credentials", credentials(kPassword)}, {}, 0, "3 of 3 results"},
        {"login from the environment", {"--publish", broker.url()},
         {QStringLiteral("DXU_MQTT_USER=") + kUser, QStringLiteral("DXU_MQTT_PASSWORD=") + kPassword}, 0, "3 of 3 results"},
        {"wrong password", {"--publish", broker.url(), "--publish-credentials", credentials("guess")}, {}, 6,
         "refused the login of user 'line1'"},
        {"no login", {"--publish", broker.url()}, {}, 6, "refused the login (no user name given)"},
        {"TLS, the test's authority trusted", {"--publish", secure, "--publish-ca", ca, "--publish-credentials", credentials(kPassword)}, {}, 0, "3 of 3 results"},
        {"TLS, only the system's authorities", {"--publish", secure, "--publish-credentials", credentials(kPassword)}, {}, 1, "certificate verify failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Subscriber sub;
        ASSERT_TRUE(sub.start(broker, QStringLiteral("plant/unit/result"), true));
        const CliRun r = measure(QStringList{"--count", "3"} + c.args, c.env);
        EXPECT_EQ(r.status, c.status) << r.err.join('\n').toStdString();
        ASSERT_FALSE(r.err.isEmpty());
        EXPECT_TRUE(r.err.last().contains(QLatin1String(c.says))) << r.err.last().toStdString();
        if (c.status == 0)
            EXPECT_TRUE(Subscriber::waitFor([&] { return sub.messages(QStringLiteral("plant/unit/result")).size() == 3; }, 5000));
        else // refused before the unit was touched
            EXPECT_TRUE(r.out.isEmpty());
        sim.stop();
    }
}

TEST_F(PublishTest, AKilledPublisherIsMarkedOfflineByItsLastWill)
{
    ASSERT_TRUE(broker.start());
    Subscriber sub;
    ASSERT_TRUE(sub.start(broker, QStringLiteral("plant/publisher/#")));
    startCli({"--publish", broker.url(), "--publish-id", "line1-pc"});
    const QString topic = QStringLiteral("plant/publisher/line1-pc");
    ASSERT_TRUE(Subscriber::waitFor([&] { return !sub.messages(topic).isEmpty(); }, 10000));
    EXPECT_EQ(sub.messages(topic).last()["state"].toString(), "online");
    ::kill(static_cast<pid_t>(cli.processId()), SIGKILL);
    cli.waitForFinished();
    ASSERT_TRUE(Subscriber::waitFor([&] { return sub.messages(topic).size() >= 2; }, 5000));
    EXPECT_EQ(sub.messages(topic).last()["state"].toString(), "offline");
}

TEST_F(PublishTest, BadPublishingOptionsAreRefusedBeforeAnythingOpens)
{
    const QString missing = dir.filePath(QStringLiteral("none"));
    const struct {
        QStringList args;
        const char* says;
    } cases[] = {
        {{"--publish", "http://broker/plant"}, "is not mqtt://HOST[:PORT]/PREFIX"},
        {{"--publish", "mqtt://broker"}, "has no topic prefix"},
        {{"--publish", "mqtt://broker/plant/+"}, "wildcard"},
        {{"--publish", "mqtt://broker/$SYS/plant"}, "begins with '$'"},
        {{"--publish", "mqtt://broker:0/plant"}, "port 0"},
        {{"--publish", "mqtt://broker/pl%00ant"}, "control character"},
        {{"--publish", "mqtt://broker/" + QString(70000, QLatin1Char('p'))}, "MQTT topics allow at most"},
        {{"--publish", "mqtt://user:pw@broker/plant"}, "no user name or password in the URL"},
        {{"--publish", "mqtt://broker/plant", "--publish-qos", "2"}, "bad quality of service '2'"},
        {{"--publish", "mqtt://broker/plant", "--publish-credentials", missing}, "cannot read the credentials file"},
        {{"--publish", "mqtt://broker/plant", "--publish-ca", missing}, "cannot read the certificate file"},
        {{"--publish", "mqtt://broker/plant", "--publish-hold", "0"}, "bad hold '0'"},
        {{"--publish-qos", "1"}, "need --publish URL"},
    };
    for (const auto& c : cases) {
        QProcess p;
        p.start(QStringLiteral(DXU_CLI_PATH), QStringList{"measure", "--port", missing} + c.args);
        ASSERT_TRUE(p.waitForFinished(10000));
        const QString err = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
        EXPECT_EQ(p.exitCode(), 2) << c.args.join(' ').left(80).toStdString();
        EXPECT_TRUE(err.contains(QLatin1String(c.says))) << err.toStdString();
        EXPECT_FALSE(err.contains('\n')) << err.toStdString();
    }
}

} // namespace
} // namespace dxu::test
