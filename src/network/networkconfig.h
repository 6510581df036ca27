#pragma once
// The choice between point-to-point and network mode, the network's member
// list (slot strings), the numbering of its units, the polling interval, and
// their persistence. The network dialog and the main window's menu call these.
#include "ports/pcport.h"
#include "protocol/dxustate.h"
#include "services/stepoutcome.h"

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

// The mode the menu selects: network (RS-485) or point-to-point (RS-232),
// handed to the port and stored. Refused (false) while connected.
bool setNetworkMode(DxuState& st, PcPort& port, bool network);

// The direct sends used when a unit joins the network.
struct NetworkSender {
    std::function<void(const char* code, int32_t value)> sendInt; // e.g. CO,0
    std::function<void()> sendSaveSettings;                       // SU
};

// Adds the address at list position p (nothing for a position that is none)
// and saves the list. Continuous output would flood a shared line: it is
// switched off in the unit now (connected) or at the next connect to it.
// True when the unit's continuous output was on and is now to be off.
bool addMember(DxuState& st, const NetworkSender& send, int position);
// Removes the address at list position p (nothing for a position that is
// none) and saves the list.
void removeMember(DxuState& st, int position);
// The current unit now answers at address to (its UA write was answered): the
// list holds to in place of its old address, its record moves with it to its
// place in the numbering, it stays the current unit, and the list is saved.
// False when nothing moved.
bool moveMember(DxuState& st, char to);
// Takes the polling interval typed by the user, a whole number above 0, and
// stores it; refused with the reason otherwise.
StepOutcome takePollingInterval(DxuState& st, const QString& text);

} // namespace dxu
