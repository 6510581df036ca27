#include "gateway/modbusserver.h"

#include <QRegularExpression>

#include <modbus/modbus.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace dxu::gateway {
namespace {

int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QString errnoText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Watches fd for arrivals (and its end), told apart by who.
bool watch(int epollFd, int fd, void* who)
{
    epoll_event e{};
    e.events = EPOLLIN;
    e.data.ptr = who;
    return ::epoll_ctl(epollFd, EPOLL_CTL_ADD, fd, &e) == 0;
}

// The header of a Modbus TCP request: transaction (2), protocol (2), length
// of what follows (2), unit identifier (1).
constexpr int MbapLength = 7;
// A read of input registers: the header, the function, the first register
// and the count (2 each).
constexpr int ReadRequestLength = MbapLength + 5;
// A request begun must be complete within this time.
constexpr int64_t PartWithinMs = 500;

} // namespace

QString Endpoint::text() const
{
    return QStringLiteral("tcp://%1:%2").arg(host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host).arg(port);
}

QString parseEndpoint(const QString& text, Endpoint& e)
{
    static const QRegularExpression form(QStringLiteral(R"(^tcp://(\[[0-9A-Fa-f:.]+\]|[^\[\]:/\s]+):(\d{1,5})$)"));
    const QRegularExpressionMatch m = form.match(text);
    const int port = m.hasMatch() ? m.captured(2).toInt() : -1;
    if (!m.hasMatch() || port > 65535)
        return QStringLiteral("'%1' is not tcp://HOST:PORT (such as tcp://0.0.0.0:502)").arg(text);
    e.host = m.captured(1);
    if (e.host.startsWith(QLatin1Char('[')))
        e.host = e.host.mid(1, e.host.size() - 2);
    e.port = port;
    return {};
}

struct ModbusServer::Client {
    int fd = -1;
    uint8_t request[MODBUS_TCP_MAX_ADU_LENGTH] = {};
    int have = 0;             // bytes of the request in hand
    int64_t partSinceMs = 0;  // when a request began to come; 0: none begun
    int64_t lastHeardMs = 0;
};

ModbusServer::ModbusServer(const UnitTable& units) : units_(units) {}

ModbusServer::~ModbusServer() { stop(); }

bool ModbusServer::start(const Endpoint& at)
{
    stop();
    stopping_ = false;
    const QByteArray host = at.host.toUtf8();
    const QByteArray service = QByteArray::number(at.port);
    modbus_t* listener = modbus_new_tcp_pi(host.constData(), service.constData());
    if (!listener) {
        error_ = QStringLiteral("cannot listen on %1: %2").arg(at.text(), errnoText(errno));
        return false;
    }
    listenFd_ = modbus_tcp_pi_listen(listener, MaxClients);
    const int listenError = errno;
    modbus_free(listener); // leaves the socket open
    if (listenFd_ < 0) {
        error_ = QStringLiteral("cannot listen on %1: %2").arg(at.text(), errnoText(listenError));
        if (listenError == EACCES && at.port < 1024)
            error_ += QStringLiteral(" (a port below 1024 needs the capability CAP_NET_BIND_SERVICE)");
        else if (listenError == ECONNREFUSED) // libmodbus's word for an address it cannot use
            error_ = QStringLiteral("cannot listen on %1: not an IP address of this machine (such as 0.0.0.0, "
                                    "127.0.0.1 or [::])")
                         .arg(at.text());
        return false;
    }
    sockaddr_storage bound{};
    socklen_t size = sizeof bound;
    if (::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&bound), &size) == 0)
        port_ = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                                  : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    // The replies are made on a context of the TCP backend, set to each
    // client's socket in turn; its own address is never used.
    ctx_ = modbus_new_tcp_pi(nullptr, "0");
    map_ = modbus_mapping_new_start_address(0, 0, 0, 0, 0, 0, 0, RegisterCount);
    epollFd_ = ::epoll_create1(EPOLL_CLOEXEC);
    if (!ctx_ || !map_ || epollFd_ < 0 || ::pipe2(wakeFds_, O_CLOEXEC | O_NONBLOCK) != 0
        || ::fcntl(listenFd_, F_SETFL, ::fcntl(listenFd_, F_GETFL) | O_NONBLOCK) != 0 || !watch(epollFd_, listenFd_, &listenFd_)
        || !watch(epollFd_, wakeFds_[0], wakeFds_)) {
        error_ = QStringLiteral("cannot serve on %1: %2").arg(at.text(), errnoText(errno));
        stop();
        return false;
    }
    // A request for a count of registers the protocol does not allow is
    // answered at once (libmodbus would otherwise pause for a reply time).
    modbus_set_response_timeout(ctx_, 0, 1);
    thread_ = std::thread([this] { run(); });
    return true;
}

void ModbusServer::stop()
{
    stopping_ = true;
    if (thread_.joinable()) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFds_[1], &byte, 1);
        thread_.join();
    }
    for (const auto& c : clients_)
        ::close(c->fd);
    clients_.clear();
    for (int* fd : {&listenFd_, &wakeFds_[0], &wakeFds_[1], &epollFd_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    if (map_)
        modbus_mapping_free(map_);
    if (ctx_)
        modbus_free(ctx_);
    map_ = nullptr;
    ctx_ = nullptr;
}

void ModbusServer::run()
{
    epoll_event ready[MaxClients + 2];
    while (!stopping_) {
        int64_t deadline = -1; // of the oldest request begun and not complete
        for (const auto& c : clients_)
            if (c->partSinceMs > 0 && (deadline < 0 || c->partSinceMs + PartWithinMs < deadline))
                deadline = c->partSinceMs + PartWithinMs;
        const int timeout = deadline < 0 ? -1 : int(std::max<int64_t>(0, deadline - nowMs()));
        const int n = ::epoll_wait(epollFd_, ready, int(std::size(ready)), timeout);
        if (n < 0 && errno != EINTR)
            break;
        if (stopping_)
            break;
        // The clients first, then the new ones (taking one in may end the
        // quietest, which may be among the ready).
        bool incoming = false;
        for (int i = 0; i < n; ++i) {
            void* const who = ready[i].data.ptr;
            if (who == &listenFd_)
                incoming = true;
            if (who == &listenFd_ || who == wakeFds_)
                continue;
            const auto at = std::find_if(clients_.begin(), clients_.end(), [who](const auto& c) { return c.get() == who; });
            if (at != clients_.end() && !readFrom(**at))
                drop(size_t(at - clients_.begin()));
        }
        const int64_t now = nowMs();
        for (size_t i = clients_.size(); i-- > 0;)
            if (clients_[i]->partSinceMs > 0 && now - clients_[i]->partSinceMs >= PartWithinMs)
                drop(i);
        if (incoming)
            accept();
    }
}

void ModbusServer::drop(size_t i)
{
    ::close(clients_[i]->fd); // which ends its watch as well
    clients_.erase(clients_.begin() + long(i));
}

void ModbusServer::accept()
{
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            // Out of descriptors: the connection waits in the queue; a pause
            // instead of a loop on it.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                ::poll(nullptr, 0, 100);
            return;
        }
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        if (clients_.size() >= size_t(MaxClients)) {
            const auto quietest = std::min_element(clients_.begin(), clients_.end(), [](const auto& a, const auto& b) {
                return a->lastHeardMs < b->lastHeardMs;
            });
            drop(size_t(quietest - clients_.begin()));
        }
        auto client = std::make_unique<Client>();
        client->fd = fd;
        client->lastHeardMs = nowMs();
        if (!watch(epollFd_, fd, client.get())) {
            ::close(fd);
            continue;
        }
        clients_.push_back(std::move(client));
    }
}

bool ModbusServer::readFrom(Client& c)
{
    // A client that keeps sending is served a few requests at a time, so
    // that the others get their turn.
    for (int answered = 0; answered < 16;) {
        const size_t room = sizeof c.request - size_t(c.have);
        const ssize_t n = ::recv(c.fd, c.request + c.have, room, 0);
        if (n == 0)
            return false;
        if (n < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        c.have += int(n);
        c.lastHeardMs = nowMs();
        if (c.partSinceMs == 0)
            c.partSinceMs = c.lastHeardMs;
        // Each complete request, as the header's length tells: protocol 0, a
        // unit identifier and a function at least, no more than the protocol
        // allows. Anything else is not Modbus TCP.
        while (c.have >= MbapLength) {
            const int announced = (c.request[4] << 8) | c.request[5];
            if (c.request[2] != 0 || c.request[3] != 0 || announced < 2 || announced > MODBUS_MAX_PDU_LENGTH + 1)
                return false;
            const int length = 6 + announced;
            if (c.have < length)
                break;
            if (!answer(c, length))
                return false;
            ++answered;
            std::memmove(c.request, c.request + length, size_t(c.have - length));
            c.have -= length;
            c.partSinceMs = c.have > 0 ? c.lastHeardMs : 0;
        }
        // Less than there was room for: all there was (the next poll says
        // when more comes).
        if (size_t(n) < room)
            break;
    }
    return true;
}

bool ModbusServer::answer(Client& c, int length)
{
    modbus_set_socket(ctx_, c.fd);
    const int unitId = c.request[MbapLength - 1];
    const int function = c.request[MbapLength];
    Registers registers{};
    if (!units_.registers(unitId, registers))
        return modbus_reply_exception(ctx_, c.request, MODBUS_EXCEPTION_GATEWAY_TARGET) > 0;
    if (function != MODBUS_FC_READ_INPUT_REGISTERS)
        return modbus_reply_exception(ctx_, c.request, MODBUS_EXCEPTION_ILLEGAL_FUNCTION) > 0;
    // A read is its function, its first register and its count: anything
    // longer or shorter is no read.
    if (length != ReadRequestLength)
        return false;
    std::copy(registers.begin(), registers.end(), map_->tab_input_registers);
    return modbus_reply(ctx_, c.request, length, map_) > 0;
}

} // namespace dxu::gateway
