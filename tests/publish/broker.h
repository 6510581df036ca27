#pragma once
// A private mosquitto broker for a test or a benchmark: its own configuration
// in a folder of the caller's, on free loopback ports, started and stopped by
// its pid (the destructor stops it, also when a test fails).
#include <QString>
#include <QStringList>

#include <sys/types.h>

namespace dxu::test {

class Broker {
public:
    struct Setup {
        QString passwordFile; // set: logins are checked against it
        QString certFile;     // set (with keyFile): a TLS listener on tlsPort()
        QString keyFile;
    };

    explicit Broker(const QString& dir) : dir_(dir) {}
    ~Broker() { stop(); }
    Broker(const Broker&) = delete;
    Broker& operator=(const Broker&) = delete;

    // Starts the broker and waits until it listens; the ports are chosen on
    // the first start and kept for a restart.
    bool start(const Setup& setup = {});
    bool restart() { return start(setup_); }
    // SIGTERM by pid, then SIGKILL if it lingers; SIGKILL at once when hard.
    // Safe to call twice.
    void stop(bool hard = false);
    // SIGSTOP: the broker keeps its connections but reads nothing.
    void freeze();

    int port() const { return port_; }
    int tlsPort() const { return tlsPort_; }
    QString url(const QString& prefix = QStringLiteral("plant")) const
    {
        return QStringLiteral("mqtt://127.0.0.1:%1/%2").arg(port_).arg(prefix);
    }

private:
    QString dir_;
    Setup setup_;
    pid_t pid_ = -1;
    int port_ = 0;
    int tlsPort_ = 0;
};

// A free TCP port on the loopback interface.
int freeLoopbackPort();
// Waits until something accepts connections on the loopback port.
bool waitForListener(int port, int timeoutMs);
// Runs a program to its end; its exit status, -1 when it could not run.
int runTool(const QString& program, const QStringList& args);
// Makes a certificate authority and a server certificate for "localhost"
// and 127.0.0.1 signed by it in dir: ca.pem, server.pem, server.key.
bool makeCertificates(const QString& dir);

} // namespace dxu::test
