#pragma once
// The client side of a serial port reached through a Telnet server that
// speaks the COM-PORT-OPTION (RFC 2217): option negotiation, the data stream
// with IAC doubled, and the subnegotiations that carry the line settings.
// It holds no socket: the network link feeds it what arrives and sends what
// it hands back, so every sequence can be played through it in a test.
#include "serial/posixport.h"

#include <QByteArray>

#include <array>
#include <cstdint>

namespace dxu::serialio {

class TelnetComPort {
public:
    static constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
    static constexpr uint8_t BINARY = 0, ECHO = 1, SGA = 3, COMPORT = 44;

    // What the server said to the COM-PORT-OPTION.
    enum class ComPort { Asked, Accepted, Refused };

    // The first bytes on a new connection: BINARY and SUPPRESS-GO-AHEAD both
    // ways, and the offer of the COM-PORT-OPTION.
    QByteArray opening();

    // Takes bytes as they came from the server (any split). The port's data
    // is appended to data; answers the server is owed are appended to reply
    // and must be sent before anything else. Each option is answered at most
    // once each way, so a connection never owes the server more than
    // MaxReplyBytes in all, however often it asks.
    void receive(const char* bytes, int size, QByteArray& data, QByteArray& reply);
    static constexpr int MaxReplyBytes = 2 * 256 * 3;
    // More option commands than any server needs to settle a connection.
    static constexpr int MaxOptionCommands = 1024;
    // The server has sent more than MaxOptionCommands option commands: it
    // floods the link rather than negotiating.
    bool flooded() const { return optionCommands_ > MaxOptionCommands; }

    // Data for the port, with IAC doubled.
    static QByteArray encode(const char* bytes, int size);
    // Rate, data bits, parity, stop bits and flow control, each as its own
    // subnegotiation; DTR and RTS as the settings hold them.
    static QByteArray lineSettings(const LineSettings& s);
    // The server's buffers are discarded (receive, transmit or both).
    static QByteArray purge(bool input, bool output);
    static QByteArray modemLine(bool dtr, bool on);

    ComPort comPort() const { return comPort_; }
    // The rate the server last confirmed, 0 when it has confirmed none.
    uint32_t confirmedRate() const { return confirmedRate_; }
    // Subnegotiation answers seen from the server, and those of them that
    // confirmed a rate.
    int confirmations() const { return confirmations_; }
    int rateConfirmations() const { return rateConfirmations_; }

private:
    enum class State { Data, Iac, Verb, Sub, SubIac };
    void negotiate(uint8_t verb, uint8_t option, QByteArray& reply);
    void subnegotiation();

    State state_ = State::Data;
    uint8_t verb_ = 0;
    QByteArray sub_;
    ComPort comPort_ = ComPort::Asked;
    // Each option as this side performs it (us_) and as the server does
    // (him_): off, requested and not yet answered, or on.
    enum class Side : uint8_t { Off, Asked, On };
    std::array<Side, 256> us_{}, him_{};
    // Options already answered, each way.
    std::array<bool, 256> answeredUs_{}, answeredHim_{};
    int optionCommands_ = 0;
    uint32_t confirmedRate_ = 0;
    int confirmations_ = 0;
    int rateConfirmations_ = 0;
};

} // namespace dxu::serialio
