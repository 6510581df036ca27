#include "e2e/ser2net.h"

#include <QFile>
#include <QProcess>
#include <QTextStream>

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace dxu::test {
namespace {

// A loopback port nobody listens on now.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

} // namespace

bool Ser2net::start(const std::string& device, const QString& folder)
{
    folder_ = folder;
    const int made = QProcess::execute(
        QStringLiteral("openssl"),
        {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
         QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
         QStringLiteral("-keyout"), folder + QStringLiteral("/key.pem"), QStringLiteral("-out"), caFile(),
         QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=localhost"),
         QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1,DNS:localhost")});
    if (made != 0)
        return false;
    for (int& p : ports_)
        p = freePort();
    const QString dev = QString::fromStdString(device);
    const QString ssl = QStringLiteral("ssl(key=%1/key.pem,cert=%2),").arg(folder, caFile());
    const char* accepters[PortCount] = {"telnet(rfc2217),", "", "telnet(rfc2217),%SSL%", "%SSL%"};
    QFile f(folder + QStringLiteral("/ser2net.yaml"));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(&f);
    for (int i = 0; i < PortCount; ++i) {
        out << "connection: &c" << i << "\n"
            << "  accepter: " << QString::fromLatin1(accepters[i]).replace(QStringLiteral("%SSL%"), ssl)
            << "tcp,127.0.0.1," << ports_[i] << "\n"
            << "  connector: serialdev," << dev << ",115200n81,local\n"
            << "  options:\n"
            << "    chardelay: false\n";
        if (i == Rfc2217)
            out << "    kickolduser: true\n";
    }
    f.close();
    return restart();
}

bool Ser2net::restart()
{
    stop();
    const QByteArray config = QFile::encodeName(folder_ + QStringLiteral("/ser2net.yaml"));
    const QByteArray pidFile = QFile::encodeName(folder_ + QStringLiteral("/ser2net.pid"));
    pid_ = ::fork();
    if (pid_ == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execlp("ser2net", "ser2net", "-n", "-c", config.constData(), "-P", pidFile.constData(), nullptr);
        ::_exit(127);
    }
    if (pid_ < 0)
        return false;
    for (int i = 0; i < 100; ++i) {
        if (listening())
            return true;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    stop();
    return false;
}

void Ser2net::stop(bool hard)
{
    if (pid_ <= 0)
        return;
    ::kill(pid_, hard ? SIGKILL : SIGTERM);
    int status = 0;
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

// Every port is in the kernel's table of listening sockets.
bool Ser2net::listening() const
{
    QFile f(QStringLiteral("/proc/net/tcp"));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray table = f.readAll();
    for (int p : ports_) {
        const QByteArray entry = QByteArray("0100007F:") + QByteArray::number(p, 16).toUpper().rightJustified(4, '0')
                                 + " 00000000:0000 0A";
        if (!table.contains(entry))
            return false;
    }
    return true;
}

QString Ser2net::address(Port port) const
{
    static const char* schemes[PortCount] = {"rfc2217", "tcp", "rfc2217+tls", "tls"};
    return QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(schemes[port])).arg(ports_[port]);
}

} // namespace dxu::test
