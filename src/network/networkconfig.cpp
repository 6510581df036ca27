#include "network/networkconfig.h"

#include "ports/portsettings.h"
#include "services/clock.h"
#include "ui/services/messages.h"
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

namespace {

bool selectMode(DxuState& st, Ui& ui, PcPort& port, bool network)
{
    if (st.connected)
        return false;
    ui.setChecked("MultiDrop1", network);
    ui.setChecked("Single1", !network);
    ui.setVisible("ViewNetworkStatus1", network);
    st.setNetworkMode(network ? 1 : 0);
    st.currentUnit = network ? 1 : 0;
    if (network)
        st.pollTickCount = 0;
    applyPortSettings(st, port);
    saveNetworkMode(st);
    return true;
}

} // namespace

void showViewingLabels(Ui& mainUi, int unit, int count, char address)
{
    mainUi.setText("lblViewing", "Viewing: " + std::to_string(unit) + " of " + std::to_string(count));
    mainUi.setText("lblDXUAddress", "Address: " + (address ? std::string(1, address) : std::string()));
}

void showViewingLabels(const DxuState& st, Ui& mainUi)
{
    showViewingLabels(mainUi, st.currentUnit, st.networkCount, st.current().addressChar());
}

bool selectNetworkMode(DxuState& st, Ui& mainUi, PcPort& port) { return selectMode(st, mainUi, port, true); }
bool selectPointToPointMode(DxuState& st, Ui& mainUi, PcPort& port) { return selectMode(st, mainUi, port, false); }

namespace {

// The labels of the unit on screen and the Prev/Next buttons.
void showUnitOnScreen(const DxuState& st, Ui& mainUi, Hooks& hooks)
{
    showViewingLabels(st, mainUi);
    hooks.updatePrevNextButtons();
}

} // namespace

bool addNetworkMember(DxuState& st, Ui& mainUi, Hooks& hooks, const NetworkSender& send, int position)
{
    if (!validPosition(position)) {
        showMessage(QStringLiteral("Error"), QStringLiteral("No DXU selected."));
        return false;
    }
    st.networkSlots[position] = addressAt(position);
    rebuildUnitAddresses(st);
    saveCount(st);
    saveNetworkSlots(st);

    // Continuous output would flood a shared line: switch it off, now or at
    // the next connect to the unit.
    st.editRecord.continuousOutput = 0;
    if (!st.connected)
        st.outputOffPending[static_cast<size_t>(position)] = true;
    if (st.unit(st.networkCount).continuousOutput) {
        // Without a connection nothing can be sent; the check box is still
        // cleared so that the next upload carries CO 0.
        if (st.connected) {
            if (send.sendInt)
                send.sendInt("CO", 0);
            waitMs(1000);
            if (send.sendSaveSettings)
                send.sendSaveSettings();
        }
        mainUi.setChecked("cbContinuousOutput", false);
        mainUi.setEnabled("pbUpload", true);
    }
    showUnitOnScreen(st, mainUi, hooks);
    return true;
}

void followAddressChange(DxuState& st, Ui& mainUi, Hooks& hooks, char to)
{
    const char from = st.current().addressChar();
    const int newPosition = addressPosition(to);
    if (newPosition < 0 || to == from)
        return;
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
    showUnitOnScreen(st, mainUi, hooks);
}

bool removeNetworkMember(DxuState& st, Ui& mainUi, Hooks& hooks, int position)
{
    if (!validPosition(position)) {
        showMessage(QStringLiteral("Error"), QStringLiteral("No Unit selected."));
        return false;
    }
    st.networkSlots[position] = EmptySlot;
    st.outputOffPending[static_cast<size_t>(position)] = false;
    rebuildUnitAddresses(st);
    saveCount(st);
    saveNetworkSlots(st);
    showUnitOnScreen(st, mainUi, hooks);
    return true;
}

bool acceptPollingInterval(DxuState& st, const QString& text)
{
    const QString intervalMessage = QStringLiteral("Polling Interval has to be greater than 0.");
    if (text.trimmed().isEmpty()) {
        showMessage(QStringLiteral("Error"), intervalMessage);
        return false;
    }
    int value = 0;
    if (!textToInt(text, value))
        return false;
    if (value <= 0) {
        showMessage(QStringLiteral("Error"), intervalMessage);
        return false;
    }
    st.pollingInterval = value;
    savePollingInterval(st);
    return true;
}

} // namespace dxu
