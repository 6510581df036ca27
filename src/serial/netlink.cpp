#include "serial/netlink.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <linux/sockios.h>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace dxu::serialio {
namespace {

// The longest wait for the server's answer to the COM-PORT-OPTION; a
// server that says nothing by then is used as it is.
constexpr int kNegotiationMs = 1500;
// The server hung up (ser2net does when another client takes the port).
const QString kClosedByServer = QStringLiteral("was closed by the server; another client may have taken the port");
// How long the connection of a check waits for the open that follows it.
constexpr int kParkMs = 10000;
// What a server may make this side hold: port data that arrives during the
// negotiation (the rest waits in the socket until it is read), bytes owed to
// a server that does not read, and Telnet commands without any port data in
// one read.
constexpr int kMaxEarlyBytes = 64 * 1024;
constexpr int kMaxOwedBytes = 1024 * 1024;
constexpr int kMaxCommandBytes = 64 * 1024;
const QString kFlooded = QStringLiteral("was dropped: the server floods the link");

int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int leftMs(int64_t deadline) { return int(std::max<int64_t>(deadline - nowMs(), 0)); }

// Waits for the socket to become ready for events; false at the deadline.
bool waitFor(int fd, short events, int64_t deadline)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, leftMs(deadline));
        if (r > 0)
            return true;
        if (r == 0 || errno != EINTR)
            return false;
    }
}

QString errorText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

// getaddrinfo() has no time-out of its own: it runs on a thread of its own,
// and one that outlasts the deadline is left to finish by itself.
struct Lookup {
    std::mutex m;
    std::condition_variable done;
    bool finished = false;
    int status = 0;
    addrinfo* result = nullptr;
    ~Lookup()
    {
        if (result)
            ::freeaddrinfo(result);
    }
};

std::shared_ptr<Lookup> resolve(const QByteArray& host, uint16_t port, int64_t deadline)
{
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, host, port] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_ADDRCONFIG;
        addrinfo* res = nullptr;
        const int status = ::getaddrinfo(host.constData(), QByteArray::number(port).constData(), &hints, &res);
        std::lock_guard lock(lookup->m);
        lookup->status = status;
        lookup->result = res;
        lookup->finished = true;
        lookup->done.notify_all();
    }).detach();
    std::unique_lock lock(lookup->m);
    lookup->done.wait_for(lock, std::chrono::milliseconds(leftMs(deadline)), [&] { return lookup->finished; });
    return lookup->finished ? lookup : nullptr;
}

// Acknowledges what arrived at once instead of up to 40 ms later. A device
// server that sends with Nagle's algorithm (ser2net does) holds a reply
// back until its last segment is acknowledged: with a delayed
// acknowledgement here, the reply waits for it. Linux forgets the setting
// after a while, so it is given again after every read.
void ackAtOnce(int fd)
{
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
}

void tuneSocket(int fd)
{
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ackAtOnce(fd);
    // A server that vanishes without a word is noticed within half a minute.
    const int idle = 10, interval = 5, count = 3;
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
}

// A connected, non-blocking socket to the address, or -1 with the failure.
int connectTo(const NetAddress& a, int64_t deadline, NetAttempt& attempt)
{
    const std::shared_ptr<Lookup> lookup = resolve(a.host, a.port, deadline);
    if (!lookup) {
        attempt = {NetFailure::TimedOut, QStringLiteral("the host name was not resolved in time")};
        return -1;
    }
    if (lookup->status != 0 || !lookup->result) {
        attempt = {NetFailure::HostNotFound, QString::fromLocal8Bit(::gai_strerror(lookup->status))};
        return -1;
    }
    int lastError = 0;
    for (addrinfo* ai = lookup->result; ai; ai = ai->ai_next) {
        const int fd = ::socket(ai->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        int err = ::connect(fd, ai->ai_addr, ai->ai_addrlen) == 0 ? 0 : errno;
        if (err == EINPROGRESS) {
            if (!waitFor(fd, POLLOUT, deadline)) {
                ::close(fd);
                attempt = {NetFailure::TimedOut, {}};
                return -1;
            }
            socklen_t len = sizeof err;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
                err = errno;
        }
        if (err == 0) {
            tuneSocket(fd);
            return fd;
        }
        ::close(fd);
        lastError = err;
    }
    if (lastError == ECONNREFUSED)
        attempt = {NetFailure::Refused, {}};
    else if (lastError == ETIMEDOUT)
        attempt = {NetFailure::TimedOut, {}};
    else
        attempt = {NetFailure::Other, errorText(lastError)};
    return -1;
}

QString sslErrorText()
{
    const unsigned long e = ERR_get_error();
    ERR_clear_error();
    if (e == 0)
        return QStringLiteral("the server ended the handshake");
    char buf[256];
    ERR_error_string_n(e, buf, sizeof buf);
    const char* reason = ERR_reason_error_string(e);
    return QString::fromLatin1(reason ? reason : buf);
}

// The TLS session over fd with the server's certificate checked against
// the CA file (or the system's CAs) and the host name; false with the reason.
bool startTls(int fd, const NetAddress& a, const PortOptions& o, int64_t deadline, ssl_st*& ssl, ssl_ctx_st*& ctx,
              NetAttempt& attempt)
{
    ERR_clear_error();
    ctx = SSL_CTX_new(TLS_client_method());
    if (!ctx) {
        attempt = {NetFailure::Tls, sslErrorText()};
        return false;
    }
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    const QByteArray caFile = o.caFile.trimmed().toLocal8Bit();
    if (!caFile.isEmpty()) {
        if (SSL_CTX_load_verify_locations(ctx, caFile.constData(), nullptr) != 1) {
            ERR_clear_error();
            attempt = {NetFailure::Untrusted, QStringLiteral("the CA file %1 cannot be read").arg(o.caFile)};
            return false;
        }
    } else {
        SSL_CTX_set_default_verify_paths(ctx);
    }
    ssl = SSL_new(ctx);
    if (!ssl) {
        attempt = {NetFailure::Tls, sslErrorText()};
        return false;
    }
    SSL_set_mode(ssl, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_set_fd(ssl, fd);
    in6_addr ip{};
    const bool literal = ::inet_pton(AF_INET, a.host.constData(), &ip) == 1
                         || ::inet_pton(AF_INET6, a.host.constData(), &ip) == 1;
    if (literal) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), a.host.constData());
    } else {
        SSL_set1_host(ssl, a.host.constData());
        SSL_set_tlsext_host_name(ssl, a.host.constData());
    }
    for (;;) {
        const int r = SSL_connect(ssl);
        if (r == 1)
            return true;
        const int e = SSL_get_error(ssl, r);
        if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) {
            if (!waitFor(fd, e == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, deadline)) {
                attempt = {NetFailure::TimedOut, QStringLiteral("no TLS handshake")};
                return false;
            }
            continue;
        }
        const long verify = SSL_get_verify_result(ssl);
        if (verify != X509_V_OK) {
            ERR_clear_error();
            attempt = {NetFailure::Untrusted, QString::fromLatin1(X509_verify_cert_error_string(verify))};
        } else {
            attempt = {NetFailure::Tls, sslErrorText()};
        }
        return false;
    }
}

// What a server said before it hung up ("Port already in use"), as one line.
QString serverWords(const QByteArray& data)
{
    QString s = QString::fromLatin1(data).simplified();
    s.remove(QRegularExpression(QStringLiteral("[^ -~]")));
    return s.left(80);
}

struct Parked {
    QString device;
    std::unique_ptr<NetLink> link;
    int64_t at = 0;
    QString failedDevice;
    NetAttempt failure;
};

// Never destroyed: a connection still parked at exit is closed by the
// system, after the TLS library has gone.
Parked& parked()
{
    static Parked& p = *new Parked;
    return p;
}

void dropStale()
{
    Parked& p = parked();
    if (p.link && nowMs() - p.at >= kParkMs)
        p.link.reset();
}

} // namespace

bool isNetworkDevice(const QString& device)
{
    const QString d = device.trimmed();
    for (const char* scheme : {"rfc2217://", "rfc2217+tls://", "tcp://", "tls://"})
        if (d.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            return true;
    return false;
}

bool parseNetAddress(const QString& device, NetAddress& out)
{
    if (!isNetworkDevice(device))
        return false;
    const QUrl url(device.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || url.port() <= 0 || url.port() > 65535
        || !(url.path().isEmpty() || url.path() == QLatin1String("/")) || url.hasQuery())
        return false;
    // A host name in another script is looked up in its ASCII form (xn--...).
    const QString host = url.host();
    const QByteArray ascii = std::any_of(host.begin(), host.end(), [](QChar c) { return c.unicode() >= 0x80; })
                                 ? QUrl::toAce(host)
                                 : host.toLatin1();
    // What a host name, an IP address or an IPv6 zone (an interface name) is made of.
    static const QByteArray kHostChars = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-_:%";
    if (ascii.isEmpty() || std::any_of(ascii.begin(), ascii.end(), [](char c) { return !kHostChars.contains(c); }))
        return false;
    out.telnet = scheme.startsWith(QLatin1String("rfc2217"));
    out.tls = scheme.endsWith(QLatin1String("tls"));
    out.host = ascii;
    out.port = uint16_t(url.port());
    return true;
}

QString netFailureText(const NetAttempt& a)
{
    const QString detail = a.detail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(a.detail);
    switch (a.failure) {
    case NetFailure::None:
        return QStringLiteral("is connected");
    case NetFailure::BadAddress:
        return QStringLiteral("is no network address this program knows; write it as rfc2217://HOST:PORT, "
                              "rfc2217+tls://HOST:PORT, tcp://HOST:PORT or tls://HOST:PORT");
    case NetFailure::HostNotFound:
        return QStringLiteral("cannot be reached: host not found") + detail;
    case NetFailure::Refused:
        return QStringLiteral("cannot be reached: connection refused (is the device server running and the port right?)");
    case NetFailure::TimedOut:
        return QStringLiteral("cannot be reached: no answer within the connect time-out") + detail;
    case NetFailure::Untrusted:
        return QStringLiteral("was refused: the server's certificate is not trusted") + detail;
    case NetFailure::Tls:
        return QStringLiteral("cannot be reached: the TLS handshake failed") + detail;
    case NetFailure::Closed:
        return kClosedByServer + detail;
    case NetFailure::Flooded:
        return kFlooded;
    case NetFailure::Other:
        break;
    }
    return QStringLiteral("cannot be reached") + detail;
}

std::unique_ptr<NetLink> NetLink::open(const QString& device, const PortOptions& o, NetAttempt& attempt)
{
    attempt = {};
    NetAddress a;
    if (!parseNetAddress(device, a)) {
        attempt = {NetFailure::BadAddress, {}};
        return nullptr;
    }
    const int64_t deadline = nowMs() + std::max(o.connectTimeoutMs, 100);
    const int fd = connectTo(a, deadline, attempt);
    if (fd < 0)
        return nullptr;
    ssl_st* ssl = nullptr;
    ssl_ctx_st* ctx = nullptr;
    if (a.tls && !startTls(fd, a, o, deadline, ssl, ctx, attempt)) {
        if (ssl)
            SSL_free(ssl);
        if (ctx)
            SSL_CTX_free(ctx);
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<NetLink> link(new NetLink(fd, ssl, ctx, a.telnet, device.trimmed()));
    if (link->telnet_) {
        link->queue(link->telnet_->opening());
        if (!link->negotiate(std::min(deadline, nowMs() + kNegotiationMs))) {
            attempt = link->flooded_ ? NetAttempt{NetFailure::Flooded, {}}
                                     : NetAttempt{NetFailure::Closed, serverWords(link->early_)};
            return nullptr;
        }
    }
    return link;
}

NetLink::NetLink(int fd, ssl_st* ssl, ssl_ctx_st* ctx, bool telnet, const QString& device)
    : fd_(fd), ssl_(ssl), ctx_(ctx), telnet_(telnet ? std::make_unique<TelnetComPort>() : nullptr), device_(device)
{
}

// Once the server has answered every rate asked for, the last answer is the
// rate of its line: one other than asked for is said (once).
void NetLink::checkConfirmedRate()
{
    if (ratesAsked_ == 0 || telnet_->rateConfirmations() != ratesAsked_ || telnet_->confirmedRate() == settings_.rate)
        return;
    notePort(QStringLiteral("rate %1 %2 %3").arg(device_).arg(settings_.rate).arg(telnet_->confirmedRate()),
                 QStringLiteral("%1: the server runs the line at %2 bit/s, not at the %3 bit/s asked for.")
                     .arg(device_)
                     .arg(telnet_->confirmedRate())
                     .arg(settings_.rate));
}

NetLink::~NetLink() { close(); }

bool NetLink::negotiate(int64_t deadline)
{
    char buf[512];
    // Port data beyond the cap is left in the socket for the reads that follow.
    while (telnet_->comPort() == TelnetComPort::ComPort::Asked && early_.size() < kMaxEarlyBytes) {
        if (!waitFor(fd_, POLLIN, deadline))
            break;
        const int n = receiveRaw(buf, sizeof buf);
        if (n < 0)
            return false;
        decode(buf, n, early_);
    }
    return !lost_;
}

void NetLink::decode(const char* raw, int size, QByteArray& data)
{
    const bool wasAsked = telnet_->comPort() == TelnetComPort::ComPort::Asked;
    reply_.resize(0);
    telnet_->receive(raw, size, data, reply_);
    if (telnet_->flooded()) {
        flood();
        return;
    }
    if (!reply_.isEmpty())
        queue(reply_);
    // A late yes to the COM-PORT-OPTION: the settings follow it at once.
    if (wasAsked && telnet_->comPort() == TelnetComPort::ComPort::Accepted && settingsSent_) {
        ++ratesAsked_;
        queue(TelnetComPort::lineSettings(settings_));
    }
    checkConfirmedRate();
}

int NetLink::receiveRaw(char* buffer, int size)
{
    if (lost_)
        return -1;
    if (ssl_) {
        ERR_clear_error();
        const int n = SSL_read(ssl_, buffer, size);
        if (n > 0) {
            ackAtOnce(fd_);
            return n;
        }
        const int e = SSL_get_error(ssl_, n);
        if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE)
            return 0;
        if (e == SSL_ERROR_ZERO_RETURN || (e == SSL_ERROR_SYSCALL && (errno == 0 || errno == ECONNRESET)))
            lose(kClosedByServer);
        else if (e == SSL_ERROR_SYSCALL)
            lose(QStringLiteral("was lost: %1").arg(errorText(errno)));
        else
            lose(QStringLiteral("was lost: %1").arg(sslErrorText()));
        return -1;
    }
    const ssize_t n = ::recv(fd_, buffer, size_t(size), MSG_DONTWAIT);
    if (n > 0) {
        ackAtOnce(fd_);
        return int(n);
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return 0;
    if (n == 0 || errno == ECONNRESET)
        lose(kClosedByServer);
    else if (errno == ETIMEDOUT)
        lose(QStringLiteral("stopped answering (the connection timed out)"));
    else
        lose(QStringLiteral("was lost: %1").arg(errorText(errno)));
    return -1;
}

int NetLink::read(char* buffer, int size)
{
    if (lost_)
        return -1;
    flush();
    if (!early_.isEmpty()) {
        const int n = std::min<int>(size, int(early_.size()));
        std::memcpy(buffer, early_.constData(), size_t(n));
        early_.remove(0, n);
        return n;
    }
    if (!telnet_)
        return receiveRaw(buffer, size);
    raw_.resize(size);
    // Commands alone carry no data: read on until data or nothing comes, but
    // not without end.
    int commandBytes = 0;
    for (;;) {
        if (commandBytes > kMaxCommandBytes) {
            flood();
            return -1;
        }
        const int n = receiveRaw(raw_.data(), size);
        if (n <= 0)
            return n;
        commandBytes += n;
        data_.resize(0);
        decode(raw_.constData(), n, data_);
        flush();
        if (lost_)
            return -1;
        if (!data_.isEmpty()) {
            // Decoding never makes the data longer than what was read.
            std::memcpy(buffer, data_.constData(), size_t(data_.size()));
            return int(data_.size());
        }
    }
}

int NetLink::write(const char* data, int size)
{
    if (lost_)
        return -1;
    flush();
    if (!out_.isEmpty())
        return lost_ ? -1 : 0;
    if (telnet_)
        out_ = TelnetComPort::encode(data, size);
    else
        out_ = QByteArray(data, size);
    flush();
    return lost_ ? -1 : size;
}

int NetLink::waitingToSend() const
{
    int queued = 0;
    if (::ioctl(fd_, SIOCOUTQ, &queued) != 0)
        queued = 0;
    return queued + int(out_.size());
}

void NetLink::apply(const LineSettings& s)
{
    settings_ = s;
    settingsSent_ = true;
    if (telnet_ && telnet_->comPort() == TelnetComPort::ComPort::Accepted) {
        ++ratesAsked_;
        queue(TelnetComPort::lineSettings(s));
    }
}

void NetLink::purge(bool input, bool output)
{
    if (input)
        early_.clear();
    control(TelnetComPort::purge(input, output));
}

void NetLink::control(const QByteArray& bytes)
{
    if (telnet_ && telnet_->comPort() == TelnetComPort::ComPort::Accepted)
        queue(bytes);
}

void NetLink::queue(const QByteArray& bytes)
{
    out_ += bytes;
    flush();
    if (out_.size() > kMaxOwedBytes)
        flood();
}

// Hands the socket what it takes of the waiting bytes; the rest goes with
// the next read or write.
void NetLink::flush()
{
    while (!out_.isEmpty() && !lost_) {
        int n = 0;
        if (ssl_) {
            ERR_clear_error();
            n = SSL_write(ssl_, out_.constData(), int(out_.size()));
            if (n <= 0) {
                const int e = SSL_get_error(ssl_, n);
                if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE)
                    return;
                lose(QStringLiteral("was lost: %1").arg(e == SSL_ERROR_SYSCALL ? errorText(errno) : sslErrorText()));
                return;
            }
        } else {
            const ssize_t w = ::send(fd_, out_.constData(), size_t(out_.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
            if (w < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                    return;
                lose(errno == EPIPE || errno == ECONNRESET
                         ? kClosedByServer
                         : QStringLiteral("was lost: %1").arg(errorText(errno)));
                return;
            }
            n = int(w);
        }
        out_.remove(0, n);
    }
}

void NetLink::flood()
{
    if (!lost_)
        flooded_ = true;
    lose(kFlooded);
}

qsizetype NetLink::heldBytes() const
{
    return out_.capacity() + early_.capacity() + raw_.capacity() + data_.capacity() + reply_.capacity();
}

void NetLink::lose(const QString& reason)
{
    if (lost_)
        return;
    lost_ = true;
    lostReason_ = reason;
}

bool NetLink::settingsWithServer() const
{
    return !telnet_ || telnet_->comPort() != TelnetComPort::ComPort::Accepted;
}

bool NetLink::alive() const
{
    if (lost_ || fd_ < 0)
        return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0)
        return true;
    if (p.revents & (POLLHUP | POLLERR | POLLNVAL))
        return false;
    char c;
    return ::recv(fd_, &c, 1, MSG_PEEK | MSG_DONTWAIT) != 0;
}

void NetLink::close()
{
    if (fd_ < 0)
        return;
    if (ssl_) {
        SSL_shutdown(ssl_); // one try: the close notice, without waiting for the answer
        SSL_free(ssl_);
        ssl_ = nullptr;
    }
    if (ctx_) {
        SSL_CTX_free(ctx_);
        ctx_ = nullptr;
    }
    ::close(fd_);
    fd_ = -1;
}

bool probeNetwork(const QString& device, const PortOptions& options, NetAttempt& attempt)
{
    Parked& p = parked();
    dropStale();
    if (p.link && p.device == device && p.link->alive()) {
        attempt = {};
        return true;
    }
    p.link.reset();
    std::unique_ptr<NetLink> link = NetLink::open(device, options, attempt);
    p.failedDevice = device;
    p.failure = attempt;
    if (!link)
        return false;
    p.link = std::move(link);
    p.device = device;
    p.at = nowMs();
    // Nobody came for it: the server's port is given back.
    if (QCoreApplication::instance())
        QTimer::singleShot(kParkMs, QCoreApplication::instance(), dropStale);
    return true;
}

std::unique_ptr<NetLink> takeProbed(const QString& device)
{
    Parked& p = parked();
    dropStale();
    if (!p.link || p.device != device || !p.link->alive()) {
        p.link.reset();
        return nullptr;
    }
    return std::move(p.link);
}

NetAttempt lastProbeFailure(const QString& device)
{
    const Parked& p = parked();
    return p.failedDevice == device ? p.failure : NetAttempt{};
}

} // namespace dxu::serialio
