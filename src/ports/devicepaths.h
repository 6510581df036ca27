#pragma once
// Which device file each "COM n" opens on POSIX, and the serial devices
// present, so that the user can pick one in the port setup dialog.
#include <QString>
#include <QStringList>

namespace dxu {

// The serial devices present under devRoot: the stable names in
// serial/by-id first, then ttyUSB*, ttyACM* and ttyS*, each group sorted by
// number. A ttyS entry that sysRoot (the kernel's tty class) reports as a
// port without hardware is left out; without sysRoot every ttyS is listed.
QStringList listSerialDevices(const QString& devRoot = QStringLiteral("/dev"),
                              const QString& sysRoot = QStringLiteral("/sys/class/tty"));

// The device "COM n" (1-based) opens when nothing is chosen: ttyS<n-1>.
QString defaultDevicePath(int comNumber);
// The device set for this run by the environment (DXU_COM<n>), or empty.
QString deviceOverride(int comNumber);
// The note beside the device of "COM n": where the environment sets it for
// this run, or that the device is not there now (it is kept all the same: an
// adapter may be plugged in later). Empty when there is nothing to say.
QString deviceNote(int comNumber, const QString& path);
// False for a text that looks like a network address (by its scheme) but
// is none this program can reach; true for anything else.
bool deviceTextValid(const QString& text);
// Keeps the user's choice for "COM n" (a bare name is taken from /dev; a
// network address is kept as written); the
// default or an empty text removes the stored choice. False when the store cannot be written.
bool storeDevicePath(int comNumber, const QString& path);

} // namespace dxu
