#include "gateway/modbusserver.h"

#include <QRegularExpression>

#include <modbus/modbus.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
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

// The header of a Modbus TCP request: transaction (2), protocol (2), length
// of what follows (2), unit identifier (1).
constexpr int MbapLength = 7;

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

ModbusServer::ModbusServer(const UnitTable& units) : units_(units) {}

ModbusServer::~ModbusServer() { stop(); }

bool ModbusServer::start(const Endpoint& at)
{
    stop();
    stopping_ = false;
    const QByteArray host = at.host.toUtf8();
    const QByteArray service = QByteArray::number(at.port);
    modbus_t* ctx = modbus_new_tcp_pi(host.constData(), service.constData());
    if (!ctx) {
        error_ = QStringLiteral("cannot listen on %1: %2").arg(at.text(), errnoText(errno));
        return false;
    }
    listenFd_ = modbus_tcp_pi_listen(ctx, MaxClients);
    const int listenError = errno;
    modbus_free(ctx); // leaves the socket open
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
    if (::pipe2(wakeFds_, O_CLOEXEC | O_NONBLOCK) != 0) {
        error_ = QStringLiteral("cannot listen on %1: %2").arg(at.text(), errnoText(errno));
        ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    acceptor_ = std::thread([this] { acceptLoop(); });
    return true;
}

void ModbusServer::stop()
{
    if (listenFd_ < 0)
        return;
    stopping_ = true;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFds_[1], &byte, 1);
    if (acceptor_.joinable())
        acceptor_.join();
    {
        std::lock_guard lock(clientsMutex_);
        for (const auto& c : clients_)
            if (c->fd >= 0)
                ::shutdown(c->fd, SHUT_RDWR);
    }
    for (const auto& c : clients_)
        if (c->thread.joinable())
            c->thread.join();
    clients_.clear();
    ::close(listenFd_);
    ::close(wakeFds_[0]);
    ::close(wakeFds_[1]);
    listenFd_ = wakeFds_[0] = wakeFds_[1] = -1;
}

void ModbusServer::acceptLoop()
{
    while (!stopping_) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        if (stopping_)
            break;
        if (!(fds[0].revents & POLLIN))
            continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            // Out of descriptors: the pending connection stays; wait instead
            // of spinning on it.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                ::poll(nullptr, 0, 100);
            continue;
        }
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        reap(true);
        auto client = std::make_unique<Client>();
        client->fd = fd;
        client->lastHeardMs = nowMs();
        Client& c = *client;
        {
            std::lock_guard lock(clientsMutex_);
            clients_.push_back(std::move(client));
        }
        c.thread = std::thread([this, &c] { serve(c); });
    }
}

void ModbusServer::reap(bool makeRoom)
{
    std::list<std::unique_ptr<Client>> gone;
    {
        std::lock_guard lock(clientsMutex_);
        for (auto it = clients_.begin(); it != clients_.end();) {
            if ((*it)->done) {
                gone.push_back(std::move(*it));
                it = clients_.erase(it);
            } else {
                ++it;
            }
        }
        if (makeRoom && clients_.size() >= size_t(MaxClients)) {
            Client* quietest = nullptr;
            for (const auto& c : clients_)
                if (c->fd >= 0 && (!quietest || c->lastHeardMs < quietest->lastHeardMs))
                    quietest = c.get();
            if (quietest)
                ::shutdown(quietest->fd, SHUT_RDWR);
        }
    }
    for (const auto& c : gone)
        c->thread.join();
}

void ModbusServer::serve(Client& client)
{
    // A context of the TCP backend over the accepted socket; its own address
    // is never used.
    modbus_t* ctx = modbus_new_tcp_pi(nullptr, "0");
    modbus_mapping_t* map = modbus_mapping_new_start_address(0, 0, 0, 0, 0, 0, 0, RegisterCount);
    if (ctx && map) {
        modbus_set_socket(ctx, client.fd);
        uint8_t request[MODBUS_TCP_MAX_ADU_LENGTH];
        while (!stopping_) {
            const int length = modbus_receive(ctx, request);
            if (length < 0)
                break; // closed, broken, or more than a request may hold
            if (length == 0)
                continue;
            client.lastHeardMs = nowMs();
            // What libmodbus framed must be what the header announces, or the
            // client speaks something else: its connection ends.
            const int announced = (request[4] << 8) | request[5];
            if (length <= MbapLength || request[2] != 0 || request[3] != 0 || announced != length - 6)
                break;
            const int unitId = request[MbapLength - 1];
            const int function = request[MbapLength];
            Registers registers{};
            int sent = 0;
            if (!units_.registers(unitId, registers))
                sent = modbus_reply_exception(ctx, request, MODBUS_EXCEPTION_GATEWAY_TARGET);
            else if (function != MODBUS_FC_READ_INPUT_REGISTERS)
                sent = modbus_reply_exception(ctx, request, MODBUS_EXCEPTION_ILLEGAL_FUNCTION);
            else {
                std::copy(registers.begin(), registers.end(), map->tab_input_registers);
                sent = modbus_reply(ctx, request, length, map);
            }
            if (sent < 0)
                break;
        }
    }
    if (map)
        modbus_mapping_free(map);
    if (ctx)
        modbus_free(ctx);
    {
        std::lock_guard lock(clientsMutex_);
        ::close(client.fd);
        client.fd = -1;
    }
    client.done = true;
}

} // namespace dxu::gateway
