#pragma once
// The network list as the window edits and shows it: the menu's mode
// selections, the network dialog's Add, Remove and polling interval, and the
// labels of the unit on screen. The list itself is the core's
// (network/networkconfig.*); these put its changes on the controls and say
// why a change was refused.
#include "network/networkconfig.h"
#include "protocol/hooks.h"
#include "ui/services/ui.h"

namespace dxu {

// "Viewing: unit of count" and "Address: address" of the unit on screen.
void showViewingLabels(Ui& mainUi, int unit, int count, char address);
void showViewingLabels(const DxuState& st, Ui& mainUi);

// The menu's mode selections ("&RS-485 Network" MultiDrop1, "R&S-232" Single1).
// Both are refused (false) while connected.
bool selectNetworkMode(DxuState& st, Ui& mainUi, PcPort& port);
bool selectPointToPointMode(DxuState& st, Ui& mainUi, PcPort& port);

// Adds the address at list position p (message and false without one).
bool addNetworkMember(DxuState& st, Ui& mainUi, Hooks& hooks, const NetworkSender& send, int position);
// Removes the address at list position p (message and false without one).
bool removeNetworkMember(DxuState& st, Ui& mainUi, Hooks& hooks, int position);
// The current unit answers at address to now: the list follows it (moveMember)
// and the labels of the unit on screen show it.
void followAddressChange(DxuState& st, Ui& mainUi, Hooks& hooks, char to);
// Takes the polling interval typed by the user; messages and false when refused.
bool acceptPollingInterval(DxuState& st, const QString& text);

} // namespace dxu
