#include "publish/broker.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace dxu::test {
namespace {

QString findProgram(const QString& name)
{
    // The broker lives in sbin, which a user's PATH may leave out.
    QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
    return path;
}

sockaddr_in loopback(int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

} // namespace

int freeLoopbackPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(0);
    socklen_t len = sizeof a;
    int port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0
        && getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    if (fd >= 0)
        close(fd);
    return port;
}

bool waitForListener(int port, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = loopback(port);
        const bool up = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        close(fd);
        if (up)
            return true;
        QThread::msleep(20);
    }
    return false;
}

int runTool(const QString& program, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(findProgram(program), args);
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

bool makeCertificates(const QString& dir)
{
    auto file = [&](const char* name) { return dir + QLatin1Char('/') + QLatin1String(name); };
    QFile ext(file("server.ext"));
    if (!ext.open(QIODevice::WriteOnly))
        return false;
    ext.write("subjectAltName=DNS:localhost,IP:127.0.0.1\n");
    ext.close();
    const QStringList ec{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    return runTool("openssl", QStringList{"req", "-x509"} + ec
                                  + QStringList{"-keyout", file("ca.key"), "-out", file("ca.pem"), "-days", "2", "-subj",
                                                "/CN=DXU test CA", "-addext", "basicConstraints=critical,CA:TRUE",
                                                "-addext", "keyUsage=critical,keyCertSign,cRLSign"})
            == 0
        && runTool("openssl", QStringList{"req", "-new"} + ec
                                  + QStringList{"-keyout", file("server.key"), "-out", file("server.csr"), "-subj",
                                                "/CN=localhost"})
            == 0
        && runTool("openssl", {"x509", "-req", "-in", file("server.csr"), "-CA", file("ca.pem"), "-CAkey",
                               file("ca.key"), "-CAcreateserial", "-out", file("server.pem"), "-days", "2",
                               "-extfile", file("server.ext")})
            == 0;
}

bool Broker::start(const Setup& setup)
{
    stop();
    setup_ = setup;
    if (port_ == 0)
        port_ = freeLoopbackPort();
    const bool tls = !setup.certFile.isEmpty();
    if (tls && tlsPort_ == 0)
        tlsPort_ = freeLoopbackPort();

    // The broker gives up root for the user named here; this user can read
    // the caller's folder.
    const passwd* pw = getpwuid(geteuid());
    QString config = QStringLiteral("per_listener_settings false\npersistence false\nlog_dest file %1/broker.log\n")
                         .arg(dir_);
    if (pw)
        config += QStringLiteral("user %1\n").arg(QString::fromLocal8Bit(pw->pw_name));
    if (setup.passwordFile.isEmpty())
        config += QStringLiteral("allow_anonymous true\n");
    else
        config += QStringLiteral("allow_anonymous false\npassword_file %1\n").arg(setup.passwordFile);
    config += QStringLiteral("listener %1 127.0.0.1\n").arg(port_);
    if (tls)
        config += QStringLiteral("listener %1 127.0.0.1\ncertfile %2\nkeyfile %3\n")
                      .arg(tlsPort_)
                      .arg(setup.certFile, setup.keyFile);
    const QString configPath = dir_ + QStringLiteral("/mosquitto.conf");
    QFile f(configPath);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(config.toLocal8Bit());
    f.close();

    const QByteArray program = findProgram(QStringLiteral("mosquitto")).toLocal8Bit();
    const QByteArray configArg = configPath.toLocal8Bit();
    const QByteArray output = (dir_ + QStringLiteral("/broker.out")).toLocal8Bit();
    if (program.isEmpty())
        return false;
    pid_ = fork();
    if (pid_ == 0) {
        // What the broker says about itself stays out of the test's output.
        const int fd = open(output.constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (fd >= 0) {
            dup2(fd, STDOUT_FILENO);
            dup2(fd, STDERR_FILENO);
        }
        execl(program.constData(), program.constData(), "-c", configArg.constData(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid_ < 0)
        return false;
    return waitForListener(port_, 5000) && (!tls || waitForListener(tlsPort_, 5000));
}

void Broker::freeze()
{
    if (pid_ > 0)
        kill(pid_, SIGSTOP);
}

void Broker::stop(bool hard)
{
    if (pid_ <= 0)
        return;
    kill(pid_, hard ? SIGKILL : SIGTERM);
    int status = 0;
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        QThread::msleep(20);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

} // namespace dxu::test
