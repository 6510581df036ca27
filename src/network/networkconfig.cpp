#include "network/networkconfig.h"

#include "ports/portsettings.h"
#include "services/clock.h"
#include "services/locale.h"
#include "services/store.h"

#include <algorithm>
#include <string>

namespace dxu {
namespace {

char addressAt(int p) { return AddressAlphabet[p]; }

bool readSlots(const char* name, SlotString& cells)
{
    QByteArray stored;
    if (!Store::readString(QString::fromLatin1(name), stored))
        return false;
    cells = slotsFromStored(stored);
    return true;
}

bool validPosition(int p) { return p >= 0 && p < AddressCount; }

} // namespace

int addressPosition(char c)
{
    if (c >= 'a' && c <= 'z')
        return c - 'a';
    if (c >= 'A' && c <= 'Z')
        return 26 + (c - 'A');
    if (c >= '0' && c <= '9')
        return 52 + (c - '0');
    return -1;
}

bool slotsHold(const SlotString& cells, char c) { return std::find(cells.begin(), cells.end(), c) != cells.end(); }

SlotString slotsFromStored(const QByteArray& stored)
{
    SlotString cells;
    cells.fill(EmptySlot);
    for (char c : stored) {
        const int p = addressPosition(c);
        if (p >= 0)
            cells[p] = c;
    }
    return cells;
}

QByteArray slotsToStored(const SlotString& cells) { return QByteArray(cells.data(), SlotCount); }

void loadNetworkSettings(DxuState& st)
{
    st.networkCount = std::clamp(readStoredInt("Count", 0), 0, AddressCount);
    loadNetworkMode(st);
    readSlots("Assigned", st.assignedSlots);
    readSlots("Network", st.networkSlots);
    rebuildUnitAddresses(st);
}

void saveCount(const DxuState& st) { Store::writeInt(QStringLiteral("Count"), st.networkCount); }
void saveNetworkSlots(const DxuState& st) { Store::writeString(QStringLiteral("Network"), slotsToStored(st.networkSlots)); }
void saveAssignedSlots(const DxuState& st) { Store::writeString(QStringLiteral("Assigned"), slotsToStored(st.assignedSlots)); }

int storedPollingInterval()
{
    const int v = readStoredInt("Polling", DefaultPollingInterval);
    return v > 0 ? v : DefaultPollingInterval;
}

void loadPollingInterval(DxuState& st) { st.pollingInterval = storedPollingInterval(); }

void savePollingInterval(const DxuState& st) { Store::writeInt(QStringLiteral("Polling"), st.pollingInterval); }

void rebuildUnitAddresses(DxuState& st)
{
    int k = 0;
    for (int p = 0; p < AddressCount; ++p) {
        if (slotsHold(st.networkSlots, addressAt(p))) {
            ++k;
            st.unitTable[k].address = static_cast<unsigned char>(addressAt(p));
        }
    }
    st.networkCount = k;
}

QStringList networkListTexts(const SlotString& cells)
{
    QStringList texts;
    for (int p = 0; p < AddressCount; ++p) {
        QString t(QLatin1Char(addressAt(p)));
        if (slotsHold(cells, addressAt(p)))
            t += QStringLiteral(" *");
        texts << t;
    }
    return texts;
}

bool setNetworkMode(DxuState& st, PcPort& port, bool network)
{
    if (st.connected)
        return false;
    st.setNetworkMode(network ? 1 : 0);
    st.currentUnit = network ? 1 : 0;
    if (network)
        st.pollTickCount = 0;
    applyPortSettings(st, port);
    saveNetworkMode(st);
    return true;
}

bool addMember(DxuState& st, const NetworkSender& send, int position)
{
    if (!validPosition(position))
        return false;
    st.networkSlots[position] = addressAt(position);
    rebuildUnitAddresses(st);
    saveCount(st);
    saveNetworkSlots(st);

    // Continuous output would flood a shared line: switch it off, now or at
    // the next connect to the unit.
    st.editRecord.continuousOutput = 0;
    if (!st.connected)
        st.outputOffPending[static_cast<size_t>(position)] = true;
    if (!st.unit(st.networkCount).continuousOutput)
        return false;
    // Without a connection nothing can be sent; the caller clears the check
    // box all the same, so that the next upload carries CO 0.
    if (st.connected) {
        if (send.sendInt)
            send.sendInt("CO", 0);
        waitMs(1000);
        if (send.sendSaveSettings)
            send.sendSaveSettings();
    }
    return true;
}

bool moveMember(DxuState& st, char to)
{
    const char from = st.current().addressChar();
    const int newPosition = addressPosition(to);
    if (newPosition < 0 || to == from)
        return false;
    const UnitTable before = st.unitTable;
    const int count = st.networkCount;
    const int moved = st.currentUnit;
    if (const int oldPosition = addressPosition(from); oldPosition >= 0) {
        st.networkSlots[oldPosition] = EmptySlot;
        auto& pending = st.outputOffPending;
        pending[static_cast<size_t>(newPosition)] = pending[static_cast<size_t>(oldPosition)];
        pending[static_cast<size_t>(oldPosition)] = false;
    }
    st.networkSlots[newPosition] = to;
    rebuildUnitAddresses(st);
    // Every record goes with its unit to the unit's place in the new numbering.
    for (int i = 1; i <= st.networkCount; ++i) {
        const char a = st.unitTable[i].addressChar();
        int source = a == to ? moved : 0;
        for (int j = 1; j <= count && source == 0; ++j)
            if (j != moved && before[j].addressChar() == a)
                source = j;
        if (source == 0)
            continue;
        st.unitTable[i] = before[source];
        st.unitTable[i].address = static_cast<unsigned char>(a);
        if (source == moved)
            st.currentUnit = i;
    }
    saveCount(st);
    saveNetworkSlots(st);
    return true;
}

void removeMember(DxuState& st, int position)
{
    if (!validPosition(position))
        return;
    st.networkSlots[position] = EmptySlot;
    st.outputOffPending[static_cast<size_t>(position)] = false;
    rebuildUnitAddresses(st);
    saveCount(st);
    saveNetworkSlots(st);
}

StepOutcome takePollingInterval(DxuState& st, const QString& text)
{
    const QString intervalMessage = QStringLiteral("Polling Interval has to be greater than 0.");
    if (text.trimmed().isEmpty())
        return StepOutcome::refused(intervalMessage);
    int value = 0;
    if (!parseWholeNumber(text, value))
        return StepOutcome::refused(notWholeNumberText(text));
    if (value <= 0)
        return StepOutcome::refused(intervalMessage);
    st.pollingInterval = value;
    savePollingInterval(st);
    return {};
}

} // namespace dxu
