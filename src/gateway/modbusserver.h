#pragma once
// The gateway's Modbus TCP server, on libmodbus: it answers reads of input
// registers (function 4) from the unit table and nothing else, so a PLC can
// read the units but never change one. A unit identifier not on the line is
// answered with exception 0x0B (gateway target failed to respond), a
// register outside the map with 0x02, every other function (every write
// among them) with 0x01.
//
// One thread of its own serves every client, so neither the serial line nor
// the program's thread ever waits for a client. It waits on all the sockets
// at once and answers each complete request as it is there, through
// libmodbus's reply calls, so that several clients asking at the same moment
// cost one wake-up. Sockets do not block: a client that says nothing costs
// nothing, one that sends half a request is closed after half a second, one
// that sends anything but Modbus TCP (or a request longer than the protocol
// allows) is closed at once, and one that does not read its replies is
// closed when they no longer fit. At most MaxClients are served at once; a
// new one beyond that takes the place of the one that has been silent
// longest.
#include "gateway/unittable.h"

#include <QString>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

// libmodbus's context and register mapping.
struct _modbus;
struct _modbus_mapping_t;

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
    // for the server's thread.
    void stop();
    QString error() const { return error_; }
    // The port listened on (the one chosen when 0 was asked for).
    int port() const { return port_; }

private:
    struct Client;
    void run();
    void accept();
    // Ends the connection of the client at index i of clients_.
    void drop(size_t i);
    // Reads what the client sent and answers every complete request; false
    // when its connection is to end.
    bool readFrom(Client& client);
    bool answer(Client& client, int length);

    const UnitTable& units_;
    QString error_;
    int listenFd_ = -1;
    int wakeFds_[2] = {-1, -1};
    // Watches the listening socket, the wake pipe and every client: a wake
    // costs what is ready, not what is connected.
    int epollFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    std::vector<std::unique_ptr<Client>> clients_; // the server's thread's own
    ::_modbus* ctx_ = nullptr;
    ::_modbus_mapping_t* map_ = nullptr;
};

} // namespace dxu::gateway
