#include "ports/devicepaths.h"

#include "serial/netlink.h"
#include "services/store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace dxu {
namespace {

// Trailing decimal number of a device name (ttyUSB10 -> 10), -1 when none.
int trailingNumber(const QString& name)
{
    int i = name.size();
    while (i > 0 && name.at(i - 1).isDigit())
        --i;
    bool ok = false;
    const int n = name.mid(i).toInt(&ok);
    return ok ? n : -1;
}

QStringList entries(const QString& dir, const QString& pattern)
{
    QStringList names = QDir(dir).entryList({pattern}, QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int na = trailingNumber(a), nb = trailingNumber(b);
        return na != nb ? na < nb : a < b;
    });
    return names;
}

// A built-in serial port that the kernel lists but that has no UART behind
// it reports type 0.
bool uartPresent(const QString& sysRoot, const QString& name)
{
    QFile type(sysRoot + QLatin1Char('/') + name + QStringLiteral("/type"));
    if (!type.open(QIODevice::ReadOnly))
        return true;
    return type.readAll().trimmed() != "0";
}

} // namespace

QStringList listSerialDevices(const QString& devRoot, const QString& sysRoot)
{
    QStringList out;
    const QString byId = devRoot + QStringLiteral("/serial/by-id");
    for (const QString& n : entries(byId, QStringLiteral("*")))
        out << byId + QLatin1Char('/') + n;
    for (const char* pattern : {"ttyUSB*", "ttyACM*"})
        for (const QString& n : entries(devRoot, QString::fromLatin1(pattern)))
            out << devRoot + QLatin1Char('/') + n;
    for (const QString& n : entries(devRoot, QStringLiteral("ttyS*")))
        if (uartPresent(sysRoot, n))
            out << devRoot + QLatin1Char('/') + n;
    return out;
}

QString defaultDevicePath(int comNumber) { return QStringLiteral("/dev/ttyS%1").arg(comNumber - 1); }

QString deviceOverride(int comNumber)
{
    return qEnvironmentVariable(QStringLiteral("DXU_COM%1").arg(comNumber).toLatin1().constData());
}

QString deviceNote(int comNumber, const QString& path)
{
    if (!deviceOverride(comNumber).isEmpty())
        return QStringLiteral("Set for this run by DXU_COM%1.").arg(comNumber);
    serialio::NetAddress a;
    if (serialio::parseNetAddress(path, a))
        return a.telnet ? QStringLiteral("A device server's port: the line settings travel with RFC 2217.")
                        : QStringLiteral("A device server's port: the line settings stay as the server has them.");
    if (!path.isEmpty() && !QFileInfo::exists(path))
        return QStringLiteral("%1 is not present now; COM%2 will open it once it is plugged in.")
            .arg(path)
            .arg(comNumber);
    return {};
}

bool deviceTextValid(const QString& text)
{
    serialio::NetAddress a;
    return !serialio::isNetworkDevice(text) || serialio::parseNetAddress(text, a);
}

bool storeDevicePath(int comNumber, const QString& path)
{
    QString p = path.trimmed();
    if (serialio::isNetworkDevice(p))
        return Store::setPortPath(comNumber, p);
    // A bare name such as "ttyUSB0" means the device of that name; relative to
    // the working folder it would open nothing.
    if (!p.isEmpty() && !p.startsWith(QLatin1Char('/')))
        p.prepend(QStringLiteral("/dev/"));
    return Store::setPortPath(comNumber, p == defaultDevicePath(comNumber) ? QString() : p);
}

} // namespace dxu
