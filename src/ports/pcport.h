#pragma once
// What the port settings need of the PC's serial port: open, close, and the
// port number and rate used by the next open. DriverPcPort puts the program's
// TCommPortDriver behind it; tests use a recording fake.
#include "serial/commlink.h"
#include "serial/commportdriver.h"

namespace dxu {

class PcPort {
public:
    virtual ~PcPort() = default;
    virtual bool Connect() = 0;
    virtual void Disconnect() = 0;
    virtual bool Connected() const = 0;
    // 0-based port number (0 = COM1); the driver ignores it while open.
    virtual void setComPort(int number) = 0;
    // Line rate by rate index (0..8); applied at once when open.
    virtual void setRateIndex(int rateIndex) = 0;
    // The least pause in ms between a received byte and the next one sent;
    // 0: one character at the line rate plus 2 ms.
    virtual void setTurnaround(int /*ms*/) {}
};

// The driver's rate value of a rate index; an index outside 0..7 gives br115200.
TComPortBaudRate driverRate(int rateIndex);

class DriverPcPort : public PcPort {
public:
    explicit DriverPcPort(TCommPortDriver& driver) : driver_(driver) {}
    bool Connect() override { return driver_.Connect(); }
    void Disconnect() override { driver_.Disconnect(); }
    bool Connected() const override { return driver_.Connected(); }
    void setComPort(int number) override;
    void setRateIndex(int rateIndex) override { driver_.SetComPortSpeed(driverRate(rateIndex)); }
    void setTurnaround(int ms) override;

private:
    TCommPortDriver& driver_;
};

// What the protocol and the engine write to and the port setup opens: the
// link in use for the line (the driver, or a test's link in its place), the
// driver for port number and rate.
class LinkRelay : public CommLink, public PcPort {
public:
    LinkRelay(CommLink* const& link, TCommPortDriver* const& driver) : link_(link), driver_(driver) {}
    bool Connect() override { return link_->Connect(); }
    void SetReceiver(Receiver receiver) override { link_->SetReceiver(std::move(receiver)); }
    void Disconnect() override { link_->Disconnect(); }
    bool Connected() const override { return link_->Connected(); }
    int32_t SendData(const void* data, int32_t size) override { return link_->SendData(data, size); }
    std::string LostText() const override { return link_->LostText(); }
    uint32_t ReplyAllowanceMs() const override { return link_->ReplyAllowanceMs(); }
    uint32_t LineRate() const override { return link_->LineRate(); }
    void setComPort(int number) override { DriverPcPort(*driver_).setComPort(number); }
    void setRateIndex(int rateIndex) override { DriverPcPort(*driver_).setRateIndex(rateIndex); }
    void setTurnaround(int ms) override { DriverPcPort(*driver_).setTurnaround(ms); }

private:
    CommLink* const& link_;
    TCommPortDriver* const& driver_;
};

} // namespace dxu
