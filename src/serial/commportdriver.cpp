#include "serial/commportdriver.h"

#include "serial/linkend.h"
#include "serial/netlink.h"
#include "serial/posixport.h"
#include "services/clock.h"
#include "services/store.h"

#include <QFile>
#include <QMetaMethod>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dxu {
namespace {

constexpr uint32_t kRates[] = {110,  300,   600,   1200,  2400,  4800,  9600,
                               14400, 19200, 38400, 56000, 57600, 115200};
static_assert(std::size(kRates) == br115200 + 1);

// The shortest poll period; a window timer cannot run faster either.
constexpr int kMinPollPeriodMs = 10;

// A notifier can watch a device, a pipe or a socket; anything else (a plain
// file) would read as ready all the time and is polled instead.
bool watchable(int fd)
{
    struct stat s{};
    return ::fstat(fd, &s) == 0 && (S_ISCHR(s.st_mode) || S_ISFIFO(s.st_mode) || S_ISSOCK(s.st_mode));
}

// What one notifier activation reads at most before the event loop gets its
// turn again; a line faster than the program is still read in order.
constexpr int kMaxReadsPerWake = 32;

// The pause between two looks at a full transmit queue: the thread stays
// blocked, but the processor is free.
void pauseForRoom() { ::poll(nullptr, 0, 1); }

} // namespace

uint32_t baudRateValue(TComPortBaudRate rate)
{
    return rate <= br115200 ? kRates[rate] : 0;
}

QString comDevicePath(int comNumber)
{
    if (comNumber < 1)
        return {};
    const QByteArray mapped = qgetenv(QByteArray("DXU_COM").append(QByteArray::number(comNumber)).constData());
    if (!mapped.isEmpty())
        return QFile::decodeName(mapped);
    const QString stored = Store::portPath(comNumber);
    if (!stored.isEmpty())
        return stored;
    return QStringLiteral("/dev/ttyS%1").arg(comNumber - 1);
}

TComPortBaudRate rateOfRateIndex(int rateIndex)
{
    static constexpr TComPortBaudRate kIndexRates[] = {br1200,  br2400,  br4800,  br9600,  br14400,
                                                       br19200, br38400, br57600, br115200};
    return kIndexRates[rateIndex >= 0 && rateIndex < 8 ? rateIndex : 8];
}

bool portIsFree(int comNumber)
{
    const QString device = comDevicePath(comNumber);
    if (serialio::isNetworkDevice(device)) {
        serialio::NetAttempt attempt;
        return serialio::probeNetwork(device, loadPortOptions(comNumber), attempt);
    }
    const int fd = serialio::openExclusive(QFile::encodeName(device));
    if (fd < 0)
        return false;
    serialio::releasePort(fd);
    return true;
}

QString openFailureText(int comNumber, const QString& device, const serialio::OpenAttempt& attempt)
{
    using serialio::OpenFailure;
    const QString another = QStringLiteral("\nPlease select another serial port");
    const QString port = QStringLiteral("Serial port: COM%1 (%2)").arg(comNumber).arg(device);
    switch (attempt.failure) {
    case OpenFailure::NotFound:
        return port + QStringLiteral(" was not found.") + another;
    case OpenFailure::NoPermission:
        return port + QStringLiteral(" cannot be opened: permission denied.\n"
                                     "Give your user access to serial ports with\n"
                                     "    sudo usermod -aG dialout $USER\n"
                                     "then log out and log in again.");
    case OpenFailure::NotSerial:
        return port + QStringLiteral(" is not a serial device.") + another;
    case OpenFailure::Other:
        return port + QStringLiteral(" cannot be opened: %1.").arg(QString::fromLocal8Bit(std::strerror(attempt.error)))
               + another;
    case OpenFailure::None: // it opens now: it was held a moment ago
    case OpenFailure::Busy:
        break;
    }
    return QStringLiteral("Serial port: COM%1 is in use by other program.").arg(comNumber) + another;
}

QString networkFailureText(int comNumber, const QString& device, const serialio::NetAttempt& attempt)
{
    return QStringLiteral("Serial port: COM%1 (%2) %3.").arg(comNumber).arg(device, serialio::netFailureText(attempt));
}

QString portOpenFailureText(int comNumber)
{
    const QString device = comDevicePath(comNumber);
    if (serialio::isNetworkDevice(device)) {
        serialio::NetAttempt attempt = serialio::lastProbeFailure(device);
        if (attempt.failure == serialio::NetFailure::None)
            serialio::probeNetwork(device, loadPortOptions(comNumber), attempt);
        return networkFailureText(comNumber, device, attempt);
    }
    const serialio::OpenAttempt attempt = serialio::tryOpenExclusive(QFile::encodeName(device));
    serialio::releasePort(attempt.fd);
    return openFailureText(comNumber, device, attempt);
}

TCommPortDriver::TCommPortDriver(QObject* parent)
    : QObject(parent)
{
    connect(&pollTimer_, &QTimer::timeout, this, &TCommPortDriver::PollReceive);
    notifier_.setEnabled(false);
    connect(&notifier_, &QSocketNotifier::activated, this, &TCommPortDriver::receiveAvailable);
    gatherTimer_.setSingleShot(true);
    connect(&gatherTimer_, &QTimer::timeout, this, &TCommPortDriver::endGathering);
    turnaroundTimer_.setSingleShot(true);
    turnaroundTimer_.setTimerType(Qt::PreciseTimer);
    connect(&turnaroundTimer_, &QTimer::timeout, this, &TCommPortDriver::SendPending);
}

TCommPortDriver::~TCommPortDriver()
{
    Disconnect();
    removeBusyWaitGuest(this);
}

bool TCommPortDriver::Connect()
{
    if (fd_ >= 0)
        return true;
    const int com = comPort_ + 1;
    const QString device = comDevicePath(com);
    options_ = loadPortOptions(com);
    echo_.clear();
    if (serialio::isNetworkDevice(device)) {
        std::unique_ptr<serialio::NetLink> link = serialio::takeProbed(device);
        if (!link) {
            serialio::NetAttempt attempt;
            link = serialio::NetLink::open(device, options_, attempt);
            if (!link)
                return false;
        }
        if (link->settingsWithServer())
            noteOnce(QStringLiteral("raw ") + device,
                         QStringLiteral("COM%1 (%2): %3; the rate and format stay as the server has them.")
                             .arg(com)
                             .arg(device, link->telnet() ? QStringLiteral("the server does not take line settings "
                                                                          "(no COM-PORT-OPTION)")
                                                         : QStringLiteral("a raw link carries no line settings")));
        end_ = std::move(link);
    } else {
        const int fd = serialio::openExclusive(QFile::encodeName(device));
        if (fd < 0)
            return false;
        end_ = std::make_unique<serialio::TtyEnd>(fd, options_);
    }
    end_->onNote = [this](const QString& key, const QString& text) { noteOnce(key, text); };
    fd_ = end_->fd();
    lost_ = false;
    ApplyCOMSettings();
    if (auto* tty = dynamic_cast<serialio::TtyEnd*>(end_.get()); tty && tty->rs485Error())
        noteOnce(QStringLiteral("rs485 ") + device,
                     QStringLiteral("COM%1 (%2) refuses the kernel's RS-485 mode (%3); it is used as it is, "
                                    "so the adapter must switch direction itself.")
                         .arg(com)
                         .arg(device, QString::fromLocal8Bit(std::strerror(tty->rs485Error()))));
    startPolling();
    return true;
}

void TCommPortDriver::Disconnect()
{
    if (fd_ < 0)
        return;
    stopReceiving();
    end_->close();
    end_.reset();
    fd_ = InvalidHandle;
    lost_ = false;
}

std::string TCommPortDriver::LostText() const
{
    if (!lost_ || !end_ || end_->lostReason().isEmpty())
        return {};
    const int com = comPort_ + 1;
    return QStringLiteral("Serial port: COM%1 (%2) %3.\nConnect again once the server is back.")
        .arg(com)
        .arg(comDevicePath(com), end_->lostReason())
        .toStdString();
}

bool TCommPortDriver::Connected() const { return fd_ >= 0; }

void TCommPortDriver::ApplyCOMSettings()
{
    if (fd_ < 0)
        return;
    end_->apply(lineSettings());
    // A settings change loses whatever was waiting in either direction.
    FlushBuffers(true, true);
}

serialio::LineSettings TCommPortDriver::lineSettings() const
{
    serialio::LineSettings s;
    s.rate = baudRateValue(speed_);
    s.dataBits = dataBits_ + 5;
    s.stopBits = stopBits_ == sb1BITS ? serialio::StopBits::One
               : stopBits_ == sb1HALFBITS ? serialio::StopBits::OneAndHalf
                                          : serialio::StopBits::Two;
    s.parity = serialio::Parity(parity_);
    s.rtsCts = hw_ == hhRTSCTS;
    s.xonXoff = sw_ == shXONXOFF;
    return s;
}

void TCommPortDriver::FlushBuffers(bool inBuffer, bool outBuffer)
{
    if (fd_ >= 0)
        end_->purge(inBuffer, outBuffer);
}

uint16_t TCommPortDriver::OutFreeSpace() const
{
    if (fd_ < 0)
        return 65535;
    const int waiting = std::max(end_->waitingToSend(), 0);
    return uint16_t(std::max(int(outBufSize_) - waiting, 0));
}

int32_t TCommPortDriver::SendData(const void* DataPtr, int32_t DataSize)
{
    if (fd_ < 0 || lost_ || DataSize <= 0 || !DataPtr)
        return 0;
    const char* data = static_cast<const char*>(DataPtr);
    // The reply to this is awaited: bytes are handed over on arrival again.
    sinceSend_ = 0;
    if (gatherTimer_.isActive()) {
        gatherTimer_.stop();
        notifier_.setEnabled(true);
    }
    // Blocks leave in order: behind one that waits, the next waits too.
    if (pending_.isEmpty()) {
        if (!haveReceived_)
            return writeNow(data, DataSize);
        const uint64_t due = lastReceived_ + TurnaroundMicros();
        if (microTicks() >= due)
            return writeNow(data, DataSize);
        pendingDue_ = due;
        addBusyWaitGuest(this);
    }
    pending_.append(data, DataSize);
    SendPending();
    return DataSize;
}

uint32_t TCommPortDriver::TurnaroundMicros() const
{
    const uint32_t rate = std::max<uint32_t>(baudRateValue(speed_), 1);
    // Start bit, data bits, parity bit and stop bits, in half bits.
    const uint32_t dataBits = dataBits_ + 5, parityBits = parity_ != ptNONE ? 1 : 0;
    const uint32_t halfBits = 2 * (1 + dataBits + parityBits) + (stopBits_ + 2);
    const uint32_t character = uint32_t((uint64_t(halfBits) * 500000 + rate - 1) / rate);
    return std::max(character + 2000, uint32_t(turnaroundMs_) * 1000);
}

void TCommPortDriver::SendPending()
{
    if (pending_.isEmpty())
        return;
    const uint64_t now = microTicks();
    if (now < pendingDue_) {
        // A timer has whole milliseconds: it takes those, and the part of a
        // millisecond left when it fires is slept off, so that the line
        // goes out at its time rather than up to a millisecond after it
        // (which, an exchange after another, would be a third of a read).
        const uint64_t left = pendingDue_ - now;
        if (left >= 1000) {
            turnaroundTimer_.start(int(left / 1000));
            return;
        }
        clock().sleepMicros(uint32_t(left));
    }
    const QByteArray block = std::exchange(pending_, QByteArray());
    turnaroundTimer_.stop();
    removeBusyWaitGuest(this);
    writeNow(block.constData(), int32_t(block.size()));
}

// A busy wait that ends after the turnaround has passed sends the kept
// block at its time, as a timer would have, not after the wait.
uint32_t TCommPortDriver::beforeBusyWait(uint32_t ms)
{
    if (pending_.isEmpty())
        return 0;
    const uint64_t now = microTicks();
    const uint64_t left = pendingDue_ > now ? (pendingDue_ - now + 999) / 1000 : 0;
    if (left > ms)
        return 0;
    clock().waitMs(uint32_t(left));
    SendPending();
    return uint32_t(left);
}

void TCommPortDriver::dropPending()
{
    pending_.clear();
    turnaroundTimer_.stop();
    removeBusyWaitGuest(this);
}

int32_t TCommPortDriver::writeNow(const char* data, int32_t DataSize)
{
    if (fd_ < 0 || lost_)
        return 0;
    const char* position = data;
    int32_t remaining = DataSize;
    int32_t total = 0;
    uint32_t reference = tickCount();
    while (remaining > 0) {
        int written = 0;
        if (const uint16_t room = OutFreeSpace(); room > 0) {
            written = end_->write(position, std::min<int32_t>(room, remaining));
            if (written < 0) {
                markLost();
                return total;
            }
            if (written > 0 && options_.dropEcho)
                echo_.sent(position, written, microTicks() + echoWaitMicros(written));
        }
        if (written > 0) {
            // Only what the tty took counts; the rest is offered again.
            total += int32_t(written);
            position += written;
            remaining -= int32_t(written);
            const uint32_t now = tickCount();
            if (ticksSince(reference, now) > outputTimeout_)
                return -total;
            reference = now;
        } else {
            if (ticksSince(reference, tickCount()) > outputTimeout_)
                return total;
            pauseForRoom();
        }
    }
    return total;
}

// The time the echo of size bytes may take: their time on the line twice
// over, plus half a second for the converter and the system.
uint32_t TCommPortDriver::echoWaitMicros(int size) const
{
    const uint32_t rate = std::max<uint32_t>(baudRateValue(speed_), 1);
    return uint32_t(uint64_t(size) * 10 * 2000000 / rate) + 500000;
}

void TCommPortDriver::SetComHandle(int handle)
{
    if (handle < 0)
        handle = InvalidHandle;
    if (handle == fd_)
        return;
    if (handle == InvalidHandle) {
        stopReceiving();
        if (auto* tty = dynamic_cast<serialio::TtyEnd*>(end_.get()))
            tty->forget();
        else if (end_)
            end_->close(); // a connection cannot be handed to anyone
        end_.reset();
        fd_ = InvalidHandle;
        lost_ = false;
        return;
    }
    Disconnect();
    if (handle == 0)
        return;
    const int flags = ::fcntl(handle, F_GETFL);
    if (flags >= 0)
        ::fcntl(handle, F_SETFL, flags | O_NONBLOCK);
    end_ = std::make_unique<serialio::TtyEnd>(handle);
    fd_ = handle;
    lost_ = false;
    startPolling();
}

void TCommPortDriver::PollReceive() { readOnce(); }

// The notifier's call: everything that has arrived, a buffer at a time. In a
// stream the notifier then rests for the polling delay.
void TCommPortDriver::receiveAvailable()
{
    for (int i = 0; i < kMaxReadsPerWake && readOnce(); ++i) {
    }
    if (sinceSend_ > StreamBytes && notifier_.isEnabled() && fd_ >= 0 && !lost_) {
        notifier_.setEnabled(false);
        gatherTimer_.start(std::max<int>(pollingDelay_, kMinPollPeriodMs));
    }
}

void TCommPortDriver::endGathering()
{
    if (!watching_ || fd_ < 0 || lost_)
        return;
    notifier_.setEnabled(true);
    receiveAvailable();
}

// One read and its hand-over; true when it filled the buffer (so more may be
// waiting) and the port is still being read. A shorter read took all there
// was: what comes later wakes the notifier again, and the read that would
// only find nothing (two system calls on a terminal) is saved.
bool TCommPortDriver::readOnce()
{
    if (fd_ < 0 || lost_ || inBuf_.empty())
        return false;
    // A handler that runs a nested event loop (a message box) meets the next
    // read while it still holds the receive buffer: that read gets its own.
    std::vector<char> nested;
    if (receiving_ > 0)
        nested.resize(inBuf_.size());
    std::vector<char>& buf = receiving_ > 0 ? nested : inBuf_;
    int n = end_->read(buf.data(), int(buf.size()));
    const bool full = n == int(buf.size());
    if (n > 0 && options_.dropEcho) {
        n = echo_.strip(buf.data(), n, microTicks());
        if (n == 0)
            return full; // all of it was the echo: read on
    }
    if (n > 0) {
        lastReceived_ = microTicks();
        haveReceived_ = true;
        sinceSend_ = uint32_t(std::min<ssize_t>(sinceSend_ + n, StreamBytes + 1));
        // Held for the call, so the handler may replace itself.
        const auto handler = onReceiveData_;
        if (handler && *handler) {
            ++receiving_;
            (*handler)(this, buf.data(), int32_t(n));
            --receiving_;
        }
        return full && fd_ >= 0 && !lost_;
    }
    if (n < 0)
        markLost();
    return false;
}

const TComPortReceiveDataEvent& TCommPortDriver::OnReceiveData() const
{
    static const TComPortReceiveDataEvent none;
    return onReceiveData_ ? *onReceiveData_ : none;
}

void TCommPortDriver::noteOnce(const QString& key, const QString& text)
{
    static QSet<QString> said;
    if (said.contains(key))
        return;
    said.insert(key);
    if (isSignalConnected(QMetaMethod::fromSignal(&TCommPortDriver::portNote)))
        emit portNote(text);
    else
        qWarning("%s", qUtf8Printable(text));
}

void TCommPortDriver::SetOnReceiveData(TComPortReceiveDataEvent handler)
{
    onReceiveData_ = handler ? std::make_shared<const TComPortReceiveDataEvent>(std::move(handler))
                             : nullptr;
}

void TCommPortDriver::SetReceiver(Receiver receiver)
{
    if (!receiver) {
        SetOnReceiveData(nullptr);
        return;
    }
    SetOnReceiveData([receiver = std::move(receiver)](TCommPortDriver*, const char* data, int32_t size) {
        receiver(data, size);
    });
}

// Reading starts: on arrival where a notifier can watch the port, else by
// the poll timer.
void TCommPortDriver::startPolling()
{
    haveReceived_ = false;
    sinceSend_ = 0;
    if (watchable(fd_)) {
        pollTimer_.stop();
        notifier_.setSocket(fd_);
        notifier_.setEnabled(true);
        watching_ = notifier_.isEnabled();
        if (watching_)
            return;
    }
    pollTimer_.start(std::max<int>(pollingDelay_, kMinPollPeriodMs));
}

// Reading stops and what waited for the turnaround is dropped with the port.
void TCommPortDriver::stopReceiving()
{
    pollTimer_.stop();
    notifier_.setEnabled(false);
    watching_ = false;
    gatherTimer_.stop();
    dropPending();
    haveReceived_ = false;
}

// The device is gone: stop reading (a dead tty would answer every poll and
// wake every notifier at once) and tell the owner once, from the event loop,
// so it never runs in the middle of a send.
void TCommPortDriver::markLost()
{
    if (lost_)
        return;
    lost_ = true;
    pollTimer_.stop();
    notifier_.setEnabled(false);
    gatherTimer_.stop();
    dropPending();
    QMetaObject::invokeMethod(this, &TCommPortDriver::portLost, Qt::QueuedConnection);
}

void TCommPortDriver::SetComPort(TComPortNumber v)
{
    if (fd_ < 0 && v <= pnCOM100)
        comPort_ = v;
}

// A line setting outside its list is ignored; a valid one takes effect at once
// when the port is open.
template <typename E>
void TCommPortDriver::storeAndApply(E& member, E value, E last)
{
    if (value > last)
        return;
    member = value;
    ApplyCOMSettings();
}

void TCommPortDriver::SetComPortSpeed(TComPortBaudRate v) { storeAndApply(speed_, v, br115200); }

void TCommPortDriver::SetComPortDataBits(TComPortDataBits v) { storeAndApply(dataBits_, v, db8BITS); }

void TCommPortDriver::SetComPortStopBits(TComPortStopBits v) { storeAndApply(stopBits_, v, sb2BITS); }

void TCommPortDriver::SetComPortParity(TComPortParity v) { storeAndApply(parity_, v, ptSPACE); }

void TCommPortDriver::SetComPortHwHandshaking(TComPortHwHandshaking v) { storeAndApply(hw_, v, hhRTSCTS); }

void TCommPortDriver::SetComPortSwHandshaking(TComPortSwHandshaking v) { storeAndApply(sw_, v, shXONXOFF); }

void TCommPortDriver::SetComPortInBufSize(uint16_t v)
{
    if (fd_ >= 0)
        return;
    inBuf_.assign(v, '\0');
}

void TCommPortDriver::SetComPortOutBufSize(uint16_t v)
{
    if (fd_ < 0)
        outBufSize_ = v;
}

void TCommPortDriver::SetComPortPollingDelay(uint16_t v)
{
    if (v == pollingDelay_)
        return;
    const bool polling = pollTimer_.isActive();
    pollingDelay_ = v;
    if (polling)
        pollTimer_.start(std::max<int>(pollingDelay_, kMinPollPeriodMs));
}

} // namespace dxu
