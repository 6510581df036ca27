#pragma once
// TCommPortDriver: the program's only access to the serial line. It opens a
// port by number, applies the line settings, writes byte blocks with a bounded
// wait for room in the transmit queue, and hands received bytes to its owner
// as they arrive, on the user-interface thread: a socket notifier watches the
// port, and where none can (a descriptor that is not a device, pipe or
// socket) a timer polls it every ComPortPollingDelay ms. Bytes that keep
// coming with nothing sent (a unit streaming results) are gathered and handed
// over every ComPortPollingDelay ms until the next send, so that a stream
// does not wake the program for every line. A block sent soon after bytes
// were received waits for the line's turnaround first. It knows nothing of
// the device protocol.
#include "serial/commlink.h"
#include "serial/echofilter.h"
#include "serial/portoptions.h"
#include "serial/posixport.h"
#include "services/clock.h"

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace dxu {

// Port "COM n" is ordinal n-1.
enum TComPortNumber : uint8_t {
    pnCOM1, pnCOM2, pnCOM3, pnCOM4, pnCOM5, pnCOM6, pnCOM7, pnCOM8, pnCOM9, pnCOM10, pnCOM11,
    pnCOM12, pnCOM13, pnCOM14, pnCOM15, pnCOM16, pnCOM17, pnCOM18, pnCOM19, pnCOM20, pnCOM21,
    pnCOM22, pnCOM23, pnCOM24, pnCOM25, pnCOM26, pnCOM27, pnCOM28, pnCOM29, pnCOM30, pnCOM31,
    pnCOM32, pnCOM33, pnCOM34, pnCOM35, pnCOM36, pnCOM37, pnCOM38, pnCOM39, pnCOM40, pnCOM41,
    pnCOM42, pnCOM43, pnCOM44, pnCOM45, pnCOM46, pnCOM47, pnCOM48, pnCOM49, pnCOM50, pnCOM51,
    pnCOM52, pnCOM53, pnCOM54, pnCOM55, pnCOM56, pnCOM57, pnCOM58, pnCOM59, pnCOM60, pnCOM61,
    pnCOM62, pnCOM63, pnCOM64, pnCOM65, pnCOM66, pnCOM67, pnCOM68, pnCOM69, pnCOM70, pnCOM71,
    pnCOM72, pnCOM73, pnCOM74, pnCOM75, pnCOM76, pnCOM77, pnCOM78, pnCOM79, pnCOM80, pnCOM81,
    pnCOM82, pnCOM83, pnCOM84, pnCOM85, pnCOM86, pnCOM87, pnCOM88, pnCOM89, pnCOM90, pnCOM91,
    pnCOM92, pnCOM93, pnCOM94, pnCOM95, pnCOM96, pnCOM97, pnCOM98, pnCOM99, pnCOM100
};

enum TComPortBaudRate : uint8_t {
    br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200, br38400, br56000,
    br57600, br115200
};

enum TComPortDataBits : uint8_t { db5BITS, db6BITS, db7BITS, db8BITS };
enum TComPortStopBits : uint8_t { sb1BITS, sb1HALFBITS, sb2BITS };
enum TComPortParity : uint8_t { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum TComPortHwHandshaking : uint8_t { hhNONE, hhRTSCTS };
enum TComPortSwHandshaking : uint8_t { shNONE, shXONXOFF };

class TCommPortDriver;

// Receives (Sender, DataPtr, DataSize). The bytes live in the driver's own
// receive buffer and are valid only until the handler returns.
using TComPortReceiveDataEvent =
    std::function<void(TCommPortDriver* Sender, const char* DataPtr, int32_t DataSize)>;

// The line rate of a rate value in bit/s (0 for a value outside the list).
uint32_t baudRateValue(TComPortBaudRate rate);

// The device behind "COM n": the environment variable DXU_COM<n> if set, else
// the path stored for it, else /dev/ttyS<n-1>.
QString comDevicePath(int comNumber);

// The driver's rate value of the program's rate index 0..8 (1200, 2400, 4800,
// 9600, 14400, 19200, 38400, 57600, 115200); an index outside 0..7 gives br115200.
TComPortBaudRate rateOfRateIndex(int rateIndex);

// True when port "COM n" exists and no other program holds it. The port is
// released again before this returns, leaving nothing behind that would stand
// in the way of the driver opening it.
bool portIsFree(int comNumber);
// What the user is told when "COM n" (the device at path) failed to open as
// the attempt says: held by another program, missing, no permission (and how
// to get it), not a serial device.
QString openFailureText(int comNumber, const QString& device, const serialio::OpenAttempt& attempt);
// Tries port "COM n" once more and tells why it cannot be opened. For a
// network address it tells how the last check failed.
QString portOpenFailureText(int comNumber);

namespace serialio {
class LinkEnd;
}

class TCommPortDriver : public QObject, public CommLink, private BusyWaitGuest {
    Q_OBJECT
public:
    // The value of a handle that refers to nothing.
    static constexpr int InvalidHandle = -1;
    // ComPortInBufSize until the owner sets another.
    static constexpr uint16_t DefaultInBufSize = 2048;

    explicit TCommPortDriver(QObject* parent = nullptr);
    ~TCommPortDriver() override;

    // Opens the port and starts reading; true when open afterwards (also when
    // it was open already, in which case nothing else happens).
    bool Connect() override;
    // Stops reading and closes the port at once (bytes still waiting to be
    // sent are dropped); nothing when closed.
    void Disconnect() override;
    // Open exactly while a handle is held (also after the device went away,
    // until Disconnect).
    bool Connected() const override;
    // Why a network link was lost, as the user is told; empty for a local
    // device that went away.
    std::string LostText() const override;
    // The port's extra reply allowance (Comm Port Setup), ms.
    uint32_t ReplyAllowanceMs() const override { return uint32_t(options_.replyAllowanceMs); }
    uint32_t LineRate() const override { return baudRateValue(speed_); }
    // The options of the open port (loaded by Connect).
    const PortOptions& Options() const { return options_; }

    // Hands the line settings to the tty and purges both queues. Only while open.
    void ApplyCOMSettings();
    void FlushBuffers(bool inBuffer, bool outBuffer);
    // ComPortOutBufSize minus the bytes waiting to be sent (never below 0);
    // 65535 when closed.
    uint16_t OutFreeSpace() const;
    // Writes DataSize bytes, waiting up to OutputTimeout ms at a time for room.
    // Returns the count written; the negated count when the last write ended
    // later than OutputTimeout after the previous one; 0 when closed or
    // DataSize <= 0. A port that went away ends the send at once.
    // Within the turnaround after the last received byte (or while an earlier
    // block still waits for it) the block is kept and written by a timer once
    // the turnaround has passed; it then counts as sent (DataSize returned).
    // A busy wait (waitMs) lets it go out on time; Disconnect drops it.
    int32_t SendData(const void* DataPtr, int32_t DataSize) override;

    // The settings ApplyCOMSettings hands to the tty.
    serialio::LineSettings lineSettings() const;

    // The open end (a tty or a network link), null while closed.
    serialio::LinkEnd* End() const { return end_.get(); }
    // The open port's file descriptor, InvalidHandle while closed.
    int ComHandle() const { return fd_; }
    // Adopts a descriptor opened elsewhere (switched to non-blocking so a poll
    // never stalls the user interface). The current one: nothing.
    // InvalidHandle: stop reading and forget the current one without closing
    // it. 0: close and stay closed. Anything else: close the current port,
    // adopt the new one and start reading; no line settings are applied.
    void SetComHandle(int handle);

    // One receive poll, as the timer runs it every ComPortPollingDelay ms:
    // reads what has arrived (up to ComPortInBufSize bytes) and hands it to
    // OnReceiveData.
    void PollReceive();
    // True while a notifier watches the open port (also while it gathers a
    // stream); false while the poll timer reads it.
    bool ReceivesOnArrival() const { return watching_; }
    // More bytes than a reply holds, received since the last send, make a
    // stream.
    static constexpr uint32_t StreamBytes = 512;

    // The least time between the last received byte and the next byte sent,
    // so that a unit on a half-duplex line has let go of it: one character
    // at the line rate plus 2 ms, or the Turnaround in ms when that is longer.
    uint32_t TurnaroundMicros() const;
    // 0: the default above.
    uint16_t Turnaround() const { return turnaroundMs_; }
    void SetTurnaround(uint16_t ms) { turnaroundMs_ = ms; }
    // Writes what waits for the turnaround once it has passed, else sets the
    // timer for the rest (the turnaround timer runs it).
    void SendPending();
    // Bytes kept back for the turnaround.
    int32_t PendingBytes() const { return int32_t(pending_.size()); }

    // True once the open port has hung up (cable or adapter gone). Reading has
    // stopped; Disconnect and a later Connect recover.
    bool LinkLost() const { return lost_; }

    TComPortNumber ComPort() const { return comPort_; }
    void SetComPort(TComPortNumber v);
    TComPortBaudRate ComPortSpeed() const { return speed_; }
    void SetComPortSpeed(TComPortBaudRate v);
    TComPortDataBits ComPortDataBits() const { return dataBits_; }
    void SetComPortDataBits(TComPortDataBits v);
    TComPortStopBits ComPortStopBits() const { return stopBits_; }
    void SetComPortStopBits(TComPortStopBits v);
    TComPortParity ComPortParity() const { return parity_; }
    void SetComPortParity(TComPortParity v);
    TComPortHwHandshaking ComPortHwHandshaking() const { return hw_; }
    void SetComPortHwHandshaking(TComPortHwHandshaking v);
    TComPortSwHandshaking ComPortSwHandshaking() const { return sw_; }
    void SetComPortSwHandshaking(TComPortSwHandshaking v);
    uint16_t ComPortInBufSize() const { return uint16_t(inBuf_.size()); }
    void SetComPortInBufSize(uint16_t v);
    uint16_t ComPortOutBufSize() const { return outBufSize_; }
    void SetComPortOutBufSize(uint16_t v);
    uint16_t ComPortPollingDelay() const { return pollingDelay_; }
    void SetComPortPollingDelay(uint16_t v);
    uint16_t OutputTimeout() const { return outputTimeout_; }
    void SetOutputTimeout(uint16_t v) { outputTimeout_ = v; }
    const TComPortReceiveDataEvent& OnReceiveData() const;
    // May be called from inside the handler itself; the running call finishes
    // with the handler it started with.
    void SetOnReceiveData(TComPortReceiveDataEvent handler);
    void SetReceiver(Receiver receiver) override;

signals:
    // The open port hung up (emitted once per loss).
    void portLost();
    // Something the user should know about a port, said once per run for
    // each kind and device: a server that keeps the line settings its own, an
    // RS-485 mode the kernel refused, a server at another rate than asked.
    void portNote(const QString& text);

private:
    // Emits portNote once per key in this run; with no one listening the
    // note goes to the log.
    void noteOnce(const QString& key, const QString& text);
    void startPolling();
    void stopReceiving();
    void receiveAvailable();
    void endGathering();
    bool readOnce();
    int32_t writeNow(const char* data, int32_t size);
    void dropPending();
    uint32_t beforeBusyWait(uint32_t ms) override;
    template <typename E>
    void storeAndApply(E& member, E value, E last);
    void markLost();
    uint32_t echoWaitMicros(int size) const;

    std::unique_ptr<serialio::LinkEnd> end_;
    PortOptions options_;
    serialio::EchoFilter echo_;
    int fd_ = InvalidHandle;
    bool lost_ = false;
    QTimer pollTimer_;
    QSocketNotifier notifier_{QSocketNotifier::Read};
    bool watching_ = false;
    // Bytes received since the last send (up to StreamBytes + 1).
    uint32_t sinceSend_ = 0;
    // Wakes the notifier again after a stream's pause.
    QTimer gatherTimer_;
    // Handlers running; a nested event loop in one may read again.
    int receiving_ = 0;
    // When the last bytes were read (microTicks), valid while haveReceived_.
    uint64_t lastReceived_ = 0;
    bool haveReceived_ = false;
    QByteArray pending_;
    uint64_t pendingDue_ = 0;
    QTimer turnaroundTimer_;
    uint16_t turnaroundMs_ = 0;
    // The receive buffer; its size is the ComPortInBufSize, so the two can
    // never disagree.
    std::vector<char> inBuf_ = std::vector<char>(DefaultInBufSize);

    TComPortNumber comPort_ = pnCOM1;
    TComPortBaudRate speed_ = br115200;
    TComPortDataBits dataBits_ = db8BITS;
    TComPortStopBits stopBits_ = sb1BITS;
    TComPortParity parity_ = ptNONE;
    TComPortHwHandshaking hw_ = hhNONE;
    TComPortSwHandshaking sw_ = shNONE;
    uint16_t outBufSize_ = 2048;
    uint16_t pollingDelay_ = 50;
    uint16_t outputTimeout_ = 4000;
    std::shared_ptr<const TComPortReceiveDataEvent> onReceiveData_;
};

} // namespace dxu
