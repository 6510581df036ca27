#pragma once
// The part of the serial port that the protocol and the engine use. The real
// one is TCommPortDriver; tests put a scripted port behind the same calls.
#include <cstdint>
#include <functional>
#include <string>

namespace dxu {

class CommLink {
public:
    // Takes every run of bytes the link receives, as it arrives.
    using Receiver = std::function<void(const char* data, int32_t size)>;

    virtual ~CommLink() = default;
    // Where the bytes received go (the engine); replaces the one before.
    virtual void SetReceiver(Receiver receiver) = 0;
    virtual bool Connect() = 0;
    virtual void Disconnect() = 0;
    virtual bool Connected() const = 0;
    // Writes size bytes; returns the count written (negative when the write
    // ended late, see TCommPortDriver), 0 when closed or size <= 0.
    virtual int32_t SendData(const void* data, int32_t size) = 0;
    // What the user is told when the link was lost for a reason the link
    // knows (a network server closed it); empty: the device went away.
    virtual std::string LostText() const { return {}; }
    // Time added to the reply time-out for this link (a network round trip).
    virtual uint32_t ReplyAllowanceMs() const { return 0; }
    // The line's rate in bit/s; 0 when the link does not know it.
    virtual uint32_t LineRate() const { return 0; }
};

} // namespace dxu
