#pragma once
// The gateway's Modbus TCP server, on libmodbus: it answers reads of input
// registers (function 4) from the unit table and nothing else, so a PLC can
// read the units but never change one. A unit identifier not on the line is
// answered with exception 0x0B (gateway target failed to respond), a
// register outside the map with 0x02, every other function (every write
// among them) with 0x01.
//
// Each client has a thread of its own, blocked in libmodbus's receive, so
// that a client that says nothing, says it slowly or sends garbage holds up
// no one else and never the serial line: a request libmodbus cannot frame,
// or whose header does not match what was framed, closes that client's
// connection. At most MaxClients are served at once; a new one beyond that
// takes the place of the one that has been silent longest.
#include "gateway/unittable.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace dxu::gateway {

// Where to listen: "tcp://HOST:PORT" (HOST may be a name, an IPv4 address or
// a bracketed IPv6 one; 0.0.0.0 or [::] for every interface).
struct Endpoint {
    QString host;
    int port = 0;
    QString text() const;
};
// Parses text into e; the reason when it is not such an address.
QString parseEndpoint(const QString& text, Endpoint& e);

class ModbusServer {
public:
    static constexpr int MaxClients = 32;

    explicit ModbusServer(const UnitTable& units);
    ~ModbusServer();
    ModbusServer(const ModbusServer&) = delete;
    ModbusServer& operator=(const ModbusServer&) = delete;

    // Listens and starts serving; false with error() when it cannot listen.
    bool start(const Endpoint& at);
    // Closes the listening socket and every client's connection, and waits
    // for their threads.
    void stop();
    QString error() const { return error_; }
    // The port listened on (the one chosen when 0 was asked for).
    int port() const { return port_; }

private:
    struct Client {
        int fd = -1;
        std::thread thread;
        std::atomic<bool> done{false};
        std::atomic<int64_t> lastHeardMs{0};
    };
    void acceptLoop();
    void serve(Client& client);
    // Joins the threads of clients that have gone; with room for one more,
    // else closing the one silent longest.
    void reap(bool makeRoom);

    const UnitTable& units_;
    QString error_;
    int listenFd_ = -1;
    int wakeFds_[2] = {-1, -1};
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    std::mutex clientsMutex_;
    std::list<std::unique_ptr<Client>> clients_;
};

} // namespace dxu::gateway
