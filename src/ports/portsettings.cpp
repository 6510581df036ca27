#include "ports/portsettings.h"

#include "services/clock.h"
#include "services/store.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace dxu {
namespace {

constexpr std::array<int, RateCount> kRates = {1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200};

bool validRateIndex(int index) { return index >= 0 && index < RateCount; }
int normalRateIndex(int index) { return validRateIndex(index) ? index : DefaultRateIndex; }
int normalPort(int number) { return number >= 0 && number < DriverPortCount ? number : 0; }

// The driver's port number and the record's name for it, always together.
void handOverPort(UnitRecord& r, PcPort& port, int number)
{
    port.setComPort(number);
    std::snprintf(r.portName, sizeof r.portName, "COM%d:", number + 1);
}

int& rateIndexOf(UnitRecord& rec, PcLink link)
{
    return link == PcLink::Rs485 ? rec.port485RateIndex : rec.port232RateIndex;
}

} // namespace

int rateOfIndex(int index) { return index >= 0 && index < 8 ? kRates[index] : kRates[8]; }

int indexOfRate(int rate)
{
    for (int i = 0; i < RateCount; ++i)
        if (kRates[i] == rate)
            return i;
    return DefaultRateIndex;
}

TComPortBaudRate driverRate(int rateIndex) { return rateOfRateIndex(rateIndex); }

void DriverPcPort::setTurnaround(int ms)
{
    driver_.SetTurnaround(static_cast<uint16_t>(std::clamp(ms, 0, MaxTurnaroundMs)));
}

void DriverPcPort::setComPort(int number)
{
    driver_.SetComPort(static_cast<TComPortNumber>(number >= 0 && number < DriverPortCount ? number : 0));
}

QString rateItemText(int index)
{
    // Six digits at most; fewer digits get two blanks per missing digit so
    // that the numbers line up in the list.
    const QString digits = QString::number(rateOfIndex(index));
    return QString(2 * (6 - digits.size()), QLatin1Char(' ')) + digits;
}

QString portItemText(int number) { return QStringLiteral("COM %1").arg(number + 1); }

int readStoredInt(const char* name, int def)
{
    int v = def;
    return Store::readInt(QString::fromLatin1(name), v) ? v : def;
}

void loadNetworkMode(DxuState& st) { st.setNetworkMode(readStoredInt("Network Mode", 0) != 0 ? 1 : 0); }

void saveNetworkMode(const DxuState& st) { Store::writeInt(QStringLiteral("Network Mode"), st.networkMode()); }

PcLink linkOfMode(const DxuState& st) { return st.networkMode() ? PcLink::Rs485 : PcLink::Rs232; }

int pcRateIndex(const DxuState& st, PcLink link)
{
    const UnitRecord& r = st.unitTable[0];
    return normalRateIndex(link == PcLink::Rs485 ? r.port485RateIndex : r.port232RateIndex);
}

int loadTurnaround() { return std::clamp(readStoredInt("Turnaround", 0), 0, MaxTurnaroundMs); }

void setTurnaround(PcPort& port, int ms)
{
    ms = std::clamp(ms, 0, MaxTurnaroundMs);
    Store::writeInt(QStringLiteral("Turnaround"), ms);
    port.setTurnaround(ms);
}

void loadPortSettings(DxuState& st, PcPort& port)
{
    UnitRecord& r = st.unitTable[0];
    // Values edited by hand are brought into range: the mode is a flag, a rate
    // index outside the table is the 115200 the driver would use anyway, and
    // a port the driver cannot open is COM1.
    loadNetworkMode(st);
    r.currentPort = readStoredInt("Currrent Port", 0);
    r.port232 = normalPort(readStoredInt("Port232", 0));
    r.port485 = normalPort(readStoredInt("Port485", 0));
    r.port232RateIndex = normalRateIndex(readStoredInt("Port232RateIndex", DefaultRateIndex));
    r.port485RateIndex = normalRateIndex(readStoredInt("Port485RateIndex", DefaultRateIndex));
    r.portInUse = readStoredInt("In Use", 1) == 2 ? 2 : 1;
    st.unitTable[1] = r;
    applyPortSettings(st, port);
    port.setTurnaround(loadTurnaround());
}

void savePortSettings(const DxuState& st)
{
    const UnitRecord& r = st.unitTable[0];
    saveNetworkMode(st);
    Store::writeInt(QStringLiteral("Currrent Port"), r.currentPort);
    Store::writeInt(QStringLiteral("Port232"), r.port232);
    Store::writeInt(QStringLiteral("Port485"), r.port485);
    Store::writeInt(QStringLiteral("Port232RateIndex"), r.port232RateIndex);
    Store::writeInt(QStringLiteral("Port485RateIndex"), r.port485RateIndex);
    Store::writeInt(QStringLiteral("In Use"), r.portInUse);
}

void applyPortSettings(DxuState& st, PcPort& port)
{
    UnitRecord& r = st.unitTable[0];
    const PcLink link = linkOfMode(st);
    r.portInUse = static_cast<int>(link);
    handOverPort(r, port, normalPort(link == PcLink::Rs485 ? r.port485 : r.port232));
    port.setRateIndex(pcRateIndex(st, link));
}

StepOutcome setPcPort(DxuState& st, PcPort& port, PcLink link, int portSelection, int rateSelection,
                      bool inUseChecked)
{
    if (portSelection < 0 || portSelection >= PortListCount)
        return StepOutcome::refused(QStringLiteral("No port selected."));
    if (!validRateIndex(rateSelection))
        return StepOutcome::refused(QStringLiteral("No Baud Rate selected."));
    UnitRecord& r = st.unitTable[0];
    (link == PcLink::Rs485 ? r.port485 : r.port232) = portSelection;
    rateIndexOf(r, link) = rateSelection;
    if (inUseChecked)
        r.portInUse = static_cast<int>(link);

    // Only the link the driver carries may change the driver's rate; the other
    // link's settings take effect when its mode is selected.
    if (link == linkOfMode(st)) {
        if (port.Connected()) {
            // The open port stays the one in use; a new number waits for the
            // next mode selection or start.
            port.Disconnect();
            waitMs(200);
            port.setRateIndex(rateSelection);
            waitMs(200);
            port.Connect();
        } else {
            // Nothing is open, so the next connection opens the port shown
            // here, the one the connect check looks at, not the previous one.
            handOverPort(r, port, portSelection);
            port.setRateIndex(rateSelection);
        }
    }
    savePortSettings(st);
    return {};
}

bool changeUnitRate(DxuState& st, Asker& asker, bool unsavedPending, UnitPort unitPort, int rateSelection,
                    const std::function<void()>& queueUpload)
{
    // Without a connection there is no unit to take the write; a flag left
    // set now would go out with some later upload.
    if (!validRateIndex(rateSelection) || !st.connected)
        return false;
    const bool universal = unitPort == UnitPort::Universal;
    UnitRecord& cur = st.current();
    const int rate = rateOfIndex(rateSelection);
    if (rate == (universal ? cur.port1Baud : cur.port0Baud))
        return false;

    if (unsavedPending && !asker.ask({Question::OtherChangesSaved}))
        return false;

    if (universal) {
        st.editRecord.port1Baud = rate;
        cur.port1BaudChanged = 1;
    } else {
        st.editRecord.port0Baud = rate;
        cur.port0BaudChanged = 1;
    }

    const bool linkThroughThisPort = universal ? (cur.currentPort == 1 || cur.currentPort == 2)
                                               : cur.currentPort == 0;
    if (linkThroughThisPort) {
        Asking asking{Question::FollowUnitRate};
        asking.universalPort = universal;
        if (asker.ask(asking)) {
            st.baudChangePending = 1;
            (linkOfMode(st) == PcLink::Rs232 ? st.newRateIndex232 : st.newRateIndex485) = rateSelection;
        }
    }
    if (queueUpload)
        queueUpload();
    return true;
}

void switchPcBaudRate(DxuState& st, PcPort& port, const std::function<void(PcLink, int)>& showRate)
{
    st.baudChangePending = 0;
    const PcLink link = linkOfMode(st);
    UnitRecord& r = st.unitTable[0];
    port.Disconnect();
    waitMs(200);
    const int index = normalRateIndex(link == PcLink::Rs232 ? st.newRateIndex232 : st.newRateIndex485);
    rateIndexOf(r, link) = index;
    port.setRateIndex(index);
    if (showRate)
        showRate(link, index);
    waitMs(200);
    port.Connect();
    savePortSettings(st);
}

void switchPcBaudRate(DxuState& st, TCommPortDriver& driver, const std::function<void(PcLink, int)>& showRate)
{
    DriverPcPort port(driver);
    switchPcBaudRate(st, port, showRate);
}

} // namespace dxu
