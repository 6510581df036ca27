#include "serial/telnetport.h"

namespace dxu::serialio {
namespace {

// Client commands of the COM-PORT-OPTION; the server answers each with the
// same number plus 100.
constexpr uint8_t SetBaudRate = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4, SetControl = 5,
                  PurgeData = 12;
constexpr uint8_t ServerOffset = 100;
// A subnegotiation longer than this is none the program asked for: the rest
// of it is skipped, so a server cannot make the buffer grow without end.
constexpr int kMaxSub = 64;

void appendByte(QByteArray& out, uint8_t b)
{
    out.append(char(b));
    if (b == TelnetComPort::IAC)
        out.append(char(b));
}

QByteArray command(uint8_t verb, uint8_t option)
{
    QByteArray out;
    out.append(char(TelnetComPort::IAC)).append(char(verb)).append(char(option));
    return out;
}

QByteArray sub(uint8_t cmd, const QByteArray& value)
{
    QByteArray out;
    out.append(char(TelnetComPort::IAC)).append(char(TelnetComPort::SB)).append(char(TelnetComPort::COMPORT));
    out.append(char(cmd));
    for (char c : value)
        appendByte(out, uint8_t(c));
    out.append(char(TelnetComPort::IAC)).append(char(TelnetComPort::SE));
    return out;
}

QByteArray oneByte(uint8_t v) { return QByteArray(1, char(v)); }

} // namespace

QByteArray TelnetComPort::opening()
{
    us_[BINARY] = us_[SGA] = us_[COMPORT] = Side::Asked;
    him_[BINARY] = him_[SGA] = Side::Asked;
    return command(WILL, BINARY) + command(DO, BINARY) + command(WILL, SGA) + command(DO, SGA)
           + command(WILL, COMPORT);
}

QByteArray TelnetComPort::encode(const char* bytes, int size)
{
    QByteArray out;
    out.reserve(size + 8);
    for (int i = 0; i < size; ++i)
        appendByte(out, uint8_t(bytes[i]));
    return out;
}

QByteArray TelnetComPort::lineSettings(const LineSettings& s)
{
    QByteArray rate;
    for (int shift = 24; shift >= 0; shift -= 8)
        rate.append(char((s.rate >> shift) & 0xff));
    static constexpr uint8_t kParity[] = {1, 2, 3, 4, 5}; // None, Odd, Even, Mark, Space
    const uint8_t stop = s.stopBits == StopBits::One ? 1 : s.stopBits == StopBits::Two ? 2 : 3;
    const uint8_t flow = s.rtsCts ? 3 : s.xonXoff ? 2 : 1;
    QByteArray out = sub(SetBaudRate, rate) + sub(SetDataSize, oneByte(uint8_t(s.dataBits)))
                     + sub(SetParity, oneByte(kParity[int(s.parity)])) + sub(SetStopSize, oneByte(stop))
                     + sub(SetControl, oneByte(flow)) + modemLine(true, s.dtrOn);
    // RTS is dropped unless it does the handshaking, as on a local port.
    if (!s.rtsCts)
        out += modemLine(false, false);
    return out;
}

QByteArray TelnetComPort::purge(bool input, bool output)
{
    if (!input && !output)
        return {};
    return sub(PurgeData, oneByte(input && output ? 3 : input ? 1 : 2));
}

QByteArray TelnetComPort::modemLine(bool dtr, bool on)
{
    return sub(SetControl, oneByte(dtr ? (on ? 8 : 9) : (on ? 11 : 12)));
}

void TelnetComPort::receive(const char* bytes, int size, QByteArray& data, QByteArray& reply)
{
    for (int i = 0; i < size; ++i) {
        const uint8_t b = uint8_t(bytes[i]);
        switch (state_) {
        case State::Data:
            if (b == IAC)
                state_ = State::Iac;
            else
                data.append(char(b));
            break;
        case State::SubIac:
            if (b == IAC) {
                if (sub_.size() < kMaxSub)
                    sub_.append(char(b));
                state_ = State::Sub;
                break;
            }
            if (b == SE) {
                subnegotiation();
                state_ = State::Data;
                break;
            }
            // A subnegotiation cut short by another command: it is dropped
            // and the command taken as it stands.
            sub_.clear();
            [[fallthrough]];
        case State::Iac:
            if (b == IAC) {
                data.append(char(b));
                state_ = State::Data;
            } else if (b == SB) {
                sub_.clear();
                state_ = State::Sub;
            } else if (b >= WILL) {
                verb_ = b;
                state_ = State::Verb;
            } else {
                state_ = State::Data; // NOP, GA, a stray SE and the like
            }
            break;
        case State::Verb:
            negotiate(verb_, b, reply);
            state_ = State::Data;
            break;
        case State::Sub:
            if (b == IAC)
                state_ = State::SubIac;
            else if (sub_.size() < kMaxSub)
                sub_.append(char(b));
            break;
        }
    }
}

// Option negotiation without loops: an answer goes out only when an option
// changes state and the server's word was a request, never for a request
// that confirms what is already so or that answers this side's own request.
// An option is answered once each way: a server that asks again after its
// answer (or without end) is not heard on that option any more.
void TelnetComPort::negotiate(uint8_t verb, uint8_t option, QByteArray& reply)
{
    if (optionCommands_ <= MaxOptionCommands)
        ++optionCommands_;
    const bool enable = verb == WILL || verb == DO;
    const bool ours = verb == DO || verb == DONT; // the server speaks of what this side performs
    Side& side = ours ? us_[option] : him_[option];
    bool& answered = ours ? answeredUs_[option] : answeredHim_[option];
    const bool wanted = ours ? (option == BINARY || option == SGA || option == COMPORT)
                             : (option == BINARY || option == SGA);
    const uint8_t yes = ours ? WILL : DO, no = ours ? WONT : DONT;
    // The answer this word is owed, if any, and the state it leaves.
    uint8_t answer = 0;
    Side next = side;
    if (enable) {
        if (!wanted) {
            answer = no;
        } else if (side != Side::On) {
            if (side == Side::Off)
                answer = yes;
            next = Side::On;
        }
    } else {
        if (side == Side::On)
            answer = no;
        next = Side::Off;
    }
    if (answer) {
        if (answered)
            return;
        answered = true;
        reply += command(answer, option);
    }
    side = next;
    if (ours && option == COMPORT)
        comPort_ = side == Side::On ? ComPort::Accepted : ComPort::Refused;
}

void TelnetComPort::subnegotiation()
{
    if (sub_.size() < 2 || uint8_t(sub_[0]) != COMPORT)
        return;
    const uint8_t cmd = uint8_t(sub_[1]);
    if (cmd <= ServerOffset)
        return;
    ++confirmations_;
    if (cmd == ServerOffset + SetBaudRate && sub_.size() >= 6) {
        uint32_t rate = 0;
        for (int i = 2; i < 6; ++i)
            rate = (rate << 8) | uint8_t(sub_[i]);
        confirmedRate_ = rate;
        ++rateConfirmations_;
    }
}

} // namespace dxu::serialio
