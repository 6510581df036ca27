#pragma once
// The PC's port settings (record 0 of the unit table), their persistence, the
// hand-over of port and rate to the serial driver, and the rate changes of the
// unit's own ports with the PC rate following them.
#include "engine/asking.h"
#include "ports/pcport.h"
#include "protocol/dxustate.h"
#include "services/stepoutcome.h"

#include <QString>

#include <functional>

namespace dxu {

// Rate index 0..8: 1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200.
inline constexpr int RateCount = 9;
inline constexpr int DefaultRateIndex = 8;
// The port lists offer COM 1 .. COM 30.
inline constexpr int PortListCount = 30;
// The driver knows COM 1 .. COM 100.
inline constexpr int DriverPortCount = 100;

// Rate in bit/s of an index; an index outside 0..7 gives 115200.
int rateOfIndex(int index);
// Index of a rate in bit/s; a rate not in the table (56000, 110..600, ...) gives 8.
int indexOfRate(int rate);
// The rate list's item text, right-aligned with blanks ("    1200" ... "115200").
QString rateItemText(int index);
// The port list's item text ("COM 1" ...), number 0-based.
QString portItemText(int number);

// The two PC links: RS-232 (point-to-point) and RS-485 (network).
enum class PcLink { Rs232 = 1, Rs485 = 2 };
// The link the driver carries in the present mode.
PcLink linkOfMode(const DxuState& st);
// The PC rate index stored for a link (record 0); one out of range gives the
// default.
int pcRateIndex(const DxuState& st, PcLink link);

// A stored integer value, or def when it is absent.
int readStoredInt(const char* name, int def);
// "Network Mode": read (absent: 0; any non-zero value is 1) and written.
void loadNetworkMode(DxuState& st);
void saveNetworkMode(const DxuState& st);

// The turnaround in ms the port settings may hold: 0 (the line rate's own,
// also when "Turnaround" is absent) .. MaxTurnaroundMs.
inline constexpr int MaxTurnaroundMs = 1000;
int loadTurnaround();
// Stores the turnaround (brought into range) and hands it to the driver.
void setTurnaround(PcPort& port, int ms);

// Reads the seven port values (defaults for absent ones), copies record 0 into
// record 1 and applies port, rate and turnaround to the driver.
void loadPortSettings(DxuState& st, PcPort& port);
// Writes the seven port values.
void savePortSettings(const DxuState& st);
// Hands the port and rate of the mode's link to the driver and sets portInUse
// and portName.
void applyPortSettings(DxuState& st, PcPort& port);

// A PC group's "Set": stores port and rate of the link (refused, with the
// reason, for a missing selection). When the link is the one the driver carries, the
// new rate goes to the driver: an open port is re-opened at it under its old
// number; a closed driver also takes the new port number. Saves.
StepOutcome setPcPort(DxuState& st, PcPort& port, PcLink link, int portSelection, int rateSelection,
                      bool inUseChecked);

// The unit's two ports: 0 configuration, 1 universal (the BR port number).
enum class UnitPort { Configuration = 0, Universal = 1 };

// A unit port's "Set": marks the new rate for upload in the current unit,
// asks whether the PC is to follow when the link runs through that port, and
// starts the upload. With other changes waiting to be saved (unsavedPending)
// the user is asked first whether they may be saved with it. Returns true
// when the upload was started.
bool changeUnitRate(DxuState& st, Asker& asker, bool unsavedPending, UnitPort unitPort, int rateSelection,
                    const std::function<void()>& queueUpload);

// The PC side of a unit rate change, once the unit has answered the BR write:
// close, wait 200 ms, take the pending rate index, apply it, show it (through
// showRate), wait 200 ms, open, save.
void switchPcBaudRate(DxuState& st, PcPort& port,
                      const std::function<void(PcLink, int rateIndex)>& showRate);
// The same on the program's driver.
void switchPcBaudRate(DxuState& st, TCommPortDriver& driver,
                      const std::function<void(PcLink, int rateIndex)>& showRate);

} // namespace dxu
