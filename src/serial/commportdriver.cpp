#include "serial/commportdriver.h"

#include "serial/posixport.h"
#include "services/clock.h"
#include "services/store.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace dxu {
namespace {

constexpr uint32_t kRates[] = {110,  300,   600,   1200,  2400,  4800,  9600,
                               14400, 19200, 38400, 56000, 57600, 115200};
static_assert(std::size(kRates) == br115200 + 1);

// The shortest poll period; a window timer cannot run faster either.
constexpr int kMinPollPeriodMs = 10;

bool wouldBlock(int err) { return err == EAGAIN || err == EWOULDBLOCK || err == EINTR; }

// A tty that has hung up reads as empty; poll() tells it apart.
bool hungUp(int fd)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

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
    const int fd = serialio::openExclusive(QFile::encodeName(comDevicePath(comNumber)));
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

QString portOpenFailureText(int comNumber)
{
    const QString device = comDevicePath(comNumber);
    const serialio::OpenAttempt attempt = serialio::tryOpenExclusive(QFile::encodeName(device));
    serialio::releasePort(attempt.fd);
    return openFailureText(comNumber, device, attempt);
}

TCommPortDriver::TCommPortDriver(QObject* parent)
    : QObject(parent)
{
    connect(&pollTimer_, &QTimer::timeout, this, &TCommPortDriver::PollReceive);
}

TCommPortDriver::~TCommPortDriver() { Disconnect(); }

bool TCommPortDriver::Connect()
{
    if (fd_ >= 0)
        return true;
    const int fd = serialio::openExclusive(QFile::encodeName(comDevicePath(comPort_ + 1)));
    if (fd < 0)
        return false;
    fd_ = fd;
    lost_ = false;
    ApplyCOMSettings();
    startPolling();
    return true;
}

void TCommPortDriver::Disconnect()
{
    if (fd_ < 0)
        return;
    pollTimer_.stop();
    serialio::releasePort(fd_);
    fd_ = InvalidHandle;
    lost_ = false;
}

bool TCommPortDriver::Connected() const { return fd_ >= 0; }

void TCommPortDriver::ApplyCOMSettings()
{
    if (fd_ < 0)
        return;
    serialio::applyLineSettings(fd_, lineSettings());
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
    s.dtrOn = dtrOnOpen_;
    return s;
}

void TCommPortDriver::FlushBuffers(bool inBuffer, bool outBuffer)
{
    if (fd_ >= 0)
        serialio::purge(fd_, inBuffer, outBuffer);
}

uint16_t TCommPortDriver::OutFreeSpace() const
{
    if (fd_ < 0)
        return 65535;
    const int waiting = std::max(serialio::bytesWaitingToSend(fd_), 0);
    return uint16_t(std::max(int(outBufSize_) - waiting, 0));
}

int32_t TCommPortDriver::SendData(const void* DataPtr, int32_t DataSize)
{
    if (fd_ < 0 || lost_ || DataSize <= 0 || !DataPtr)
        return 0;
    const char* position = static_cast<const char*>(DataPtr);
    int32_t remaining = DataSize;
    int32_t total = 0;
    uint32_t reference = tickCount();
    while (remaining > 0) {
        ssize_t written = 0;
        if (const uint16_t room = OutFreeSpace(); room > 0) {
            written = ::write(fd_, position, size_t(std::min<int32_t>(room, remaining)));
            if (written < 0) {
                if (!wouldBlock(errno)) {
                    markLost();
                    return total;
                }
                written = 0;
            }
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

bool TCommPortDriver::SendString(std::string_view text)
{
    if (text.size() > size_t(INT32_MAX))
        return false;
    return SendData(text.data(), int32_t(text.size())) == int32_t(text.size());
}

bool TCommPortDriver::SendZString(const char* text)
{
    return SendString(text ? std::string_view(text) : std::string_view());
}

void TCommPortDriver::ToggleDTR(bool on)
{
    if (fd_ >= 0)
        serialio::setDtr(fd_, on);
}

void TCommPortDriver::ToggleRTS(bool on)
{
    if (fd_ >= 0)
        serialio::setRts(fd_, on);
}

void TCommPortDriver::SetComHandle(int handle)
{
    if (handle < 0)
        handle = InvalidHandle;
    if (handle == fd_)
        return;
    if (handle == InvalidHandle) {
        pollTimer_.stop();
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
    fd_ = handle;
    lost_ = false;
    startPolling();
}

void TCommPortDriver::PollReceive()
{
    if (fd_ < 0 || lost_ || inBuf_.empty())
        return;
    const ssize_t n = ::read(fd_, inBuf_.data(), inBuf_.size());
    if (n > 0) {
        // Held for the call, so the handler may replace itself.
        const auto handler = onReceiveData_;
        if (handler && *handler)
            (*handler)(this, inBuf_.data(), int32_t(n));
        return;
    }
    if (n < 0 ? !wouldBlock(errno) : hungUp(fd_))
        markLost();
}

const TComPortReceiveDataEvent& TCommPortDriver::OnReceiveData() const
{
    static const TComPortReceiveDataEvent none;
    return onReceiveData_ ? *onReceiveData_ : none;
}

void TCommPortDriver::SetOnReceiveData(TComPortReceiveDataEvent handler)
{
    onReceiveData_ = handler ? std::make_shared<const TComPortReceiveDataEvent>(std::move(handler))
                             : nullptr;
}

void TCommPortDriver::startPolling()
{
    pollTimer_.start(std::max<int>(pollingDelay_, kMinPollPeriodMs));
}

// The device is gone: stop reading (a dead tty would answer every poll at
// once) and tell the owner once, from the event loop, so it never runs in
// the middle of a send.
void TCommPortDriver::markLost()
{
    if (lost_)
        return;
    lost_ = true;
    pollTimer_.stop();
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
    pollTimer_.stop();
    pollingDelay_ = v;
    if (polling)
        startPolling();
}

} // namespace dxu
