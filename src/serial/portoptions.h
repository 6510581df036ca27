#pragma once
// What a port needs beyond its number and rate: the direction control of an
// RS-485 adapter, dropping the echo of a converter that hears itself, and
// for a network address the file of trusted certificates and the extra time
// a reply may take over the network. Kept per "COM n" under the store's
// sub-key Ports beside the device; dxu-cli sets them for one run.
#include <QString>

namespace dxu {

enum class Rs485Mode {
    Adapter,      // the adapter switches direction itself (nothing is asked of the kernel)
    RtsOnSend,    // the kernel's RS-485 mode: RTS raised while sending
    RtsAfterSend  // the kernel's RS-485 mode: RTS raised after sending
};

struct PortOptions {
    Rs485Mode rs485 = Rs485Mode::Adapter;
    int rtsBeforeMs = 0;       // RS-485: RTS delay before a send
    int rtsAfterMs = 0;        // RS-485: RTS delay after a send
    bool dropEcho = false;     // what comes back as sent is not handed on
    QString caFile;            // TLS: trusted certificates (PEM); empty: the system's
    int replyAllowanceMs = 0;  // added to the reply time-out
    int connectTimeoutMs = 5000; // network: connect, TLS and negotiation together

    static constexpr int MaxDelayMs = 1000;
    static constexpr int MaxReplyAllowanceMs = 10000;
    bool operator==(const PortOptions&) const = default;
};

// The options of "COM n": those set for this run, else the stored ones.
PortOptions loadPortOptions(int comNumber);
// Keeps them in the store; false when the store cannot be written.
bool storePortOptions(int comNumber, const PortOptions& options);
// Options for this run only, ahead of the stored ones (dxu-cli).
void setRunPortOptions(int comNumber, const PortOptions& options);

// "adapter", "rts-on-send", "rts-after-send".
QString rs485ModeName(Rs485Mode mode);
bool parseRs485Mode(const QString& text, Rs485Mode& mode);

} // namespace dxu
