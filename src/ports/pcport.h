#pragma once
// What the port settings need of the PC's serial port: open, close, and the
// port number and rate used by the next open. The real one wraps the
// program's TCommPortDriver; tests use a recording fake.
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
};

} // namespace dxu
