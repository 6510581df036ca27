#pragma once
// The choice between point-to-point and network mode, the network's member
// list (slot strings), the numbering of its units, the polling interval, and
// their persistence. The network dialog and the main window's menu call these.
#include "ports/pcport.h"
#include "protocol/dxustate.h"
#include "protocol/hooks.h"
#include "services/ui.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

namespace dxu {

inline constexpr int AddressCount = 62;
inline constexpr int DefaultPollingInterval = 10;

// Position of an address character in the alphabet, -1 when it is none.
int addressPosition(char c);
// Whether c occurs anywhere in the slot string.
bool slotsHold(const SlotString& cells, char c);
// The slots a stored value stands for: every address character found anywhere
// in it marks that address as taken, in its own slot; all other characters and
// any length are tolerated. The result is always a well-formed slot string.
SlotString slotsFromStored(const QByteArray& stored);
QByteArray slotsToStored(const SlotString& cells);

// Start-up: "Count", "Network Mode", "Assigned", "Network", then the numbering.
void loadNetworkSettings(DxuState& st);
void saveCount(const DxuState& st);
void saveNetworkSlots(const DxuState& st);
void saveAssignedSlots(const DxuState& st);
// "Polling": absent or not above 0 gives 10.
void loadPollingInterval(DxuState& st);
// The stored "Polling" value as loadPollingInterval takes it.
int storedPollingInterval();
void savePollingInterval(const DxuState& st);

// Records 1..k get the members' addresses in alphabet order; networkCount = k.
void rebuildUnitAddresses(DxuState& st);
// The 62 list texts: the address character, with " *" for a member.
QStringList networkListTexts(const SlotString& cells);

// The menu's mode selections ("&RS-485 Network" MultiDrop1, "R&S-232" Single1).
// Both are refused (false) while connected.
// "Viewing: unit of count" and "Address: address" of the unit on screen.
void showViewingLabels(Ui& mainUi, int unit, int count, char address);
void showViewingLabels(const DxuState& st, Ui& mainUi);

bool selectNetworkMode(DxuState& st, Ui& mainUi, PcPort& port);
bool selectPointToPointMode(DxuState& st, Ui& mainUi, PcPort& port);

// The direct sends used when a unit joins the network.
struct NetworkSender {
    std::function<void(const char* code, int32_t value)> sendInt; // e.g. CO,0
    std::function<void()> sendSaveSettings;                       // SU
};

// Adds the address at list position p (message and false without one).
bool addNetworkMember(DxuState& st, Ui& mainUi, Hooks& hooks, const NetworkSender& send, int position);
// Removes the address at list position p (message and false without one).
bool removeNetworkMember(DxuState& st, Ui& mainUi, Hooks& hooks, int position);
// The current unit now answers at address to (its UA write was answered): the
// list holds to in place of its old address, its record moves with it to its
// place in the numbering, it stays the current unit, and the list is saved.
void followAddressChange(DxuState& st, Ui& mainUi, Hooks& hooks, char to);
// Takes the polling interval typed by the user; messages and false when refused.
bool acceptPollingInterval(DxuState& st, const QString& text);

} // namespace dxu
