#pragma once
// A ser2net process for a test: a private YAML configuration in a folder of
// the test, on loopback ports of its own, in front of one serial device
// (dxu-sim's pseudo-terminal). Stopped by its pid, also when a test fails.
#include <QString>

#include <string>
#include <sys/types.h>

namespace dxu::test {

class Ser2net {
public:
    enum Port { Rfc2217, Raw, Rfc2217Tls, Tls, PortCount };

    Ser2net() = default;
    ~Ser2net() { stop(); }
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;

    // Writes a key and certificate for 127.0.0.1 (openssl) and the
    // configuration into folder, starts ser2net in the foreground and waits
    // until it listens. The Telnet port kicks its client for a newer one.
    bool start(const std::string& device, const QString& folder);
    // Again on the same ports (after stop or kill).
    bool restart();
    // SIGTERM, or SIGKILL when hard; waits for the end. Safe to call twice.
    void stop(bool hard = false);

    // The address of a port, such as "rfc2217://127.0.0.1:40123".
    QString address(Port port) const;
    int port(Port p) const { return ports_[p]; }
    // The CA file that trusts the server's certificate.
    QString caFile() const { return folder_ + QStringLiteral("/cert.pem"); }

private:
    bool listening() const;

    pid_t pid_ = -1;
    int ports_[PortCount] = {};
    QString folder_;
};

} // namespace dxu::test
