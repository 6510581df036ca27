// Fuzz entries for what reaches the program from outside besides replies and
// files: received bytes in pieces of any size, dxu-cli's command line, the
// DXU_COM<n> variables, the names a device folder holds and the command typed
// in the terminal.
#include "entries.h"

#include "cli/options.h"
#include "protocol/typedcommand.h"
#include "engine/engine.h"
#include "ports/devicepaths.h"
#include "protocol/headless.h"
#include "protocol/protocol.h"
#include "serial/commportdriver.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

namespace dxu::fuzz {
namespace {

// The core's questions answered No, its notices taken without a word.
class SilentAsker : public Asker {
public:
    bool ask(const Asking&) override { return false; }
};

// The input as words: split at NUL bytes.
QStringList words(const uint8_t* data, std::size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))
        .split(QChar(0), Qt::KeepEmptyParts);
}

} // namespace

// The first byte sets the piece sizes; the rest arrives in pieces of 1 to
// 64 bytes, with a list of queries in flight. Every whole line is taken at
// once: after a final line end nothing stays gathered.
int runLinesInput(const uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const unsigned step = (data[0] & 0x3F) + 1;
    ++data;
    --size;
    auto st = std::make_unique<DxuState>();
    st->connected = 1;
    HeadlessLink port;
    Hooks hooks;
    EventFanout events;
    Protocol protocol(*st, port, hooks, events);
    SilentAsker asker;
    auto engine = std::make_unique<Engine>(*st, protocol, port, hooks, events, asker);
    engine->startList({"GO", "ST", "US"});
    std::size_t at = 0;
    unsigned piece = step;
    while (at < size) {
        const std::size_t n = std::min<std::size_t>(piece, size - at);
        engine->CommPortReceiveData(data + at, static_cast<int32_t>(n));
        check(engine->lineLength() >= 0 && engine->lineLength() <= Engine::LineCapacity);
        at += n;
        piece = piece * 7 % 64 + 1;
    }
    engine->CommPortReceiveData("\r", 1);
    check(engine->lineLength() == 0);
    return 0;
}

// dxu-cli's arguments, NUL-separated: parsed without a crash, and either an
// error or options that hold together.
int runCliArgsInput(const uint8_t* data, std::size_t size)
{
    const cli::Parsed parsed = cli::parseArguments(words(data, size));
    const cli::Options& o = parsed.options;
    if (parsed.error.isEmpty() && !o.help && o.command != cli::Command::None) {
        check(o.comNumber >= 1);
        check(o.rate > 0);
        for (char a : o.addresses)
            check(a != 0);
    }
    check(!cli::helpText(o.command).isEmpty());
    return 0;
}

// A DXU_COM<n> value of any bytes: the device path comes back as given, and
// the notes about it are made without a crash.
int runComEnvInput(const uint8_t* data, std::size_t size)
{
    QByteArray value(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    value.replace('\0', 'x');
    qputenv("DXU_COM7", value);
    const QString path = comDevicePath(7);
    if (!value.isEmpty())
        check(path == QFile::decodeName(value));
    check(!deviceNote(7, path).isEmpty() || value.isEmpty());
    check(deviceOverride(7) == (value.isEmpty() ? QString() : QString::fromLocal8Bit(value)));
    qunsetenv("DXU_COM7");
    return 0;
}

// Names in a device folder (one per line; a "type" for the tty class after
// a tab): every device listed is in that folder, none twice.
int runDevicesInput(const uint8_t* data, std::size_t size)
{
    static QTemporaryDir root;
    const QString dev = root.path() + QStringLiteral("/dev"), sys = root.path() + QStringLiteral("/sys");
    QDir(dev).removeRecursively();
    QDir(sys).removeRecursively();
    QDir().mkpath(dev + QStringLiteral("/serial/by-id"));
    QDir().mkpath(sys);
    const QStringList lines = QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))
                                  .split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size() && i < 64; ++i) {
        const QStringList parts = lines[i].split(QLatin1Char('\t'));
        QString name = parts[0];
        name.remove(QLatin1Char('/')).remove(QChar(0));
        if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") || name.size() > 100)
            continue;
        QFile(dev + QLatin1Char('/') + name).open(QIODevice::WriteOnly);
        if (i % 3 == 0)
            QFile(dev + QStringLiteral("/serial/by-id/") + name).open(QIODevice::WriteOnly);
        if (parts.size() > 1 && QDir().mkpath(sys + QLatin1Char('/') + name)) {
            QFile type(sys + QLatin1Char('/') + name + QStringLiteral("/type"));
            if (type.open(QIODevice::WriteOnly))
                type.write(parts[1].toLatin1());
        }
    }
    QStringList listed = listSerialDevices(dev, sys);
    check(listed.removeDuplicates() == 0);
    for (const QString& p : listed)
        check(p.startsWith(dev + QLatin1Char('/')) && QFile::exists(p));
    return 0;
}

// The first byte chooses the link (its low bit: a network) and the address;
// the rest is the typed text, as UTF-8. A line goes out only when every typed
// character is one the unit can receive, framed and ended by one CR.
int runTypedCommandInput(const uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool network = data[0] & 1;
    const char address = static_cast<char>(data[0] >> 1);
    const QString typed = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    const std::optional<std::string> line = typedCommandLine(typed, network, address);
    bool sendable = typed.size() <= MaxTypedCommandLength;
    for (QChar ch : typed)
        sendable = sendable && ch.unicode() >= 0x20 && ch.unicode() <= 0x7E;
    check(line.has_value() == sendable);
    if (!line)
        return 0;
    const std::string head = network ? std::string{'#', address} : std::string();
    check(*line == head + typed.toStdString() + '\r');
    return 0;
}

} // namespace dxu::fuzz
