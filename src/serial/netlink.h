#pragma once
// A port behind a serial device server, reached over the network:
//   rfc2217://HOST:PORT       Telnet with the COM-PORT-OPTION (line settings travel)
//   tcp://HOST:PORT           raw bytes (line settings stay with the server)
//   rfc2217+tls://, tls://    the same inside TLS, the server's certificate
//                             verified against the system's CAs or a CA file
// Opening is bounded by the connect time-out and never spins: a name lookup
// that hangs is left behind, the connect and the TLS handshake wait in
// poll(). Once open, the socket never blocks.
#include "serial/linkend.h"
#include "serial/telnetport.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>

struct ssl_st;
struct ssl_ctx_st;

namespace dxu::serialio {

struct NetAddress {
    bool telnet = false;
    bool tls = false;
    QByteArray host;
    uint16_t port = 0;
};

// True when the device text names a network address (by its scheme).
bool isNetworkDevice(const QString& device);
// False when the text is no address this program can reach.
bool parseNetAddress(const QString& device, NetAddress& out);

enum class NetFailure { None, BadAddress, HostNotFound, Refused, TimedOut, Untrusted, Tls, Closed, Flooded, Other };

struct NetAttempt {
    NetFailure failure = NetFailure::None;
    QString detail; // the reason beside the failure (the certificate's fault, the server's words)
};

// What went wrong, as it follows "Serial port: COM n (address)".
QString netFailureText(const NetAttempt& attempt);

class NetLink : public LinkEnd {
public:
    static std::unique_ptr<NetLink> open(const QString& device, const PortOptions& options, NetAttempt& attempt);
    ~NetLink() override;

    int fd() const override { return fd_; }
    int read(char* buffer, int size) override;
    int write(const char* data, int size) override;
    int waitingToSend() const override;
    void apply(const LineSettings& s) override;
    void purge(bool input, bool output) override;
    void close() override;
    QString lostReason() const override { return lostReason_; }

    // True when the line settings stay with the server: a raw link, or a
    // Telnet server that refused (or has not taken up) the COM-PORT-OPTION.
    bool settingsWithServer() const;
    const TelnetComPort* telnet() const { return telnet_.get(); }
    // Still connected, as far as can be told without reading.
    bool alive() const;
    // The bytes this side holds for the connection (what it owes the server
    // and what it took from it and has not handed on); bounded whatever the
    // server sends.
    qsizetype heldBytes() const;

private:
    NetLink(int fd, ssl_st* ssl, ssl_ctx_st* ctx, bool telnet, const QString& device);
    // Reads what the socket has: >0 bytes, 0 nothing now, -1 lost.
    int receiveRaw(char* buffer, int size);
    // Takes what arrived into early_ until the server has answered the
    // COM-PORT-OPTION or the deadline passes; false when the link was lost.
    bool negotiate(int64_t deadlineMs);
    void decode(const char* raw, int size, QByteArray& data);
    void control(const QByteArray& bytes);
    void queue(const QByteArray& bytes);
    void flush();
    void lose(const QString& reason);
    // The server sends what no negotiation needs, or does not read what it
    // is owed: the link is dropped.
    void flood();
    void checkConfirmedRate();

    int fd_;
    ssl_st* ssl_;
    ssl_ctx_st* ctx_;
    std::unique_ptr<TelnetComPort> telnet_;
    QString device_;
    LineSettings settings_;
    bool settingsSent_ = false;
    // Rates asked for on this connection; the server confirms them in order.
    int ratesAsked_ = 0;
    // Encoded bytes the socket has not taken yet.
    QByteArray out_;
    // Port data received while nobody asked for it (during the negotiation).
    QByteArray early_;
    QByteArray raw_, data_, reply_;
    bool lost_ = false;
    bool flooded_ = false;
    QString lostReason_;
};

// The check before a connect: opens the device and keeps the connection for
// the next open of the same device within a few seconds, so the server sees
// one connection, not two. The failure of the last check is kept for the
// message.
bool probeNetwork(const QString& device, const PortOptions& options, NetAttempt& attempt);
std::unique_ptr<NetLink> takeProbed(const QString& device);
// The failure of the last check of the device (None when it succeeded).
NetAttempt lastProbeFailure(const QString& device);

} // namespace dxu::serialio
