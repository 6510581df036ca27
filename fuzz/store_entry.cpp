// Fuzz entries for the readers of stored settings: the network's slot
// strings, the COM port map and the stored numbers. The last two take the
// input as the whole settings file, so the store's own parsing runs too.
#include "entries.h"

#include "network/networkconfig.h"
#include "ports/portsettings.h"
#include "protocol/dxustate.h"
#include "serial/commportdriver.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

namespace dxu::fuzz {
namespace {

// Every cell is empty or holds the address of its own position.
void checkSlots(const SlotString& cells)
{
    for (int p = 0; p < SlotCount; ++p)
        check(cells[p] == EmptySlot || (p < AddressCount && addressPosition(cells[p]) == p));
}

class RecordingPort : public PcPort {
public:
    bool Connect() override { return false; }
    void Disconnect() override {}
    bool Connected() const override { return false; }
    void setComPort(int n) override { number = n; }
    void setRateIndex(int r) override { rateIndex = r; }
    int number = -1;
    int rateIndex = -1;
};

} // namespace

void writeStoreFile(const uint8_t* data, std::size_t size)
{
    static const QString path = QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Vez"),
                                          QStringLiteral("DXU Interface"))
                                    .fileName();
    // The store re-reads a file whose size or time changed; two inputs of one
    // size may come within the same millisecond, so the time moves on here.
    static qint64 stamp = 1000000000;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    check(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    if (size > 0)
        check(f.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size));
    check(f.setFileTime(QDateTime::fromSecsSinceEpoch(++stamp), QFileDevice::FileModificationTime));
}

QString writeScratchFile(const QString& name, const QByteArray& bytes)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    check(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    check(f.write(bytes) == bytes.size());
    return path;
}

int runSlotsInput(const uint8_t* data, std::size_t size)
{
    const QByteArray stored(reinterpret_cast<const char*>(data), qsizetype(size));
    const SlotString cells = slotsFromStored(stored);
    checkSlots(cells);
    check(slotsFromStored(slotsToStored(cells)) == cells);
    check(networkListTexts(cells).size() == AddressCount);
    return 0;
}

int runPortMapInput(const uint8_t* data, std::size_t size)
{
    writeStoreFile(data, size);
    check(comDevicePath(0).isEmpty());
    for (int n = 1; n <= DriverPortCount; ++n)
        check(!comDevicePath(n).isEmpty());
    return 0;
}

int runStoredNumbersInput(const uint8_t* data, std::size_t size)
{
    writeStoreFile(data, size);
    auto st = std::make_unique<DxuState>();
    RecordingPort port;
    loadPortSettings(*st, port);
    loadNetworkSettings(*st);
    loadPollingInterval(*st);

    const UnitRecord& r = st->unitTable[0];
    check(st->networkMode() == 0 || st->networkMode() == 1);
    check(r.port232 >= 0 && r.port232 < DriverPortCount && r.port485 >= 0 && r.port485 < DriverPortCount);
    check(r.port232RateIndex >= 0 && r.port232RateIndex < RateCount);
    check(r.port485RateIndex >= 0 && r.port485RateIndex < RateCount);
    check(r.portInUse == 1 || r.portInUse == 2);
    check(port.number >= 0 && port.number < DriverPortCount && port.rateIndex >= 0 && port.rateIndex < RateCount);
    check(st->pollingInterval > 0);
    checkSlots(st->networkSlots);
    checkSlots(st->assignedSlots);
    int members = 0;
    for (int p = 0; p < AddressCount; ++p)
        members += st->networkSlots[p] != EmptySlot;
    check(st->networkCount == members);
    return 0;
}

} // namespace dxu::fuzz
