#include "serial/portoptions.h"

#include "services/store.h"

#include <QtGlobal>

#include <QHash>

#include <algorithm>

namespace dxu {
namespace {

QHash<int, PortOptions>& runOptions()
{
    static QHash<int, PortOptions> options;
    return options;
}

constexpr const char* kModeNames[] = {"adapter", "rts-on-send", "rts-after-send"};

int stored(int com, const char* name, int def, int lo, int hi)
{
    bool ok = false;
    const int v = Store::portValue(com, QString::fromLatin1(name)).toInt(&ok);
    return ok ? std::clamp(v, lo, hi) : def;
}

} // namespace

QString rs485ModeName(Rs485Mode mode) { return QString::fromLatin1(kModeNames[int(mode)]); }

bool parseRs485Mode(const QString& text, Rs485Mode& mode)
{
    for (int i = 0; i < 3; ++i)
        if (text.trimmed().compare(QLatin1String(kModeNames[i]), Qt::CaseInsensitive) == 0) {
            mode = Rs485Mode(i);
            return true;
        }
    return false;
}

PortOptions loadPortOptions(int com)
{
    if (const auto it = runOptions().constFind(com); it != runOptions().constEnd())
        return *it;
    PortOptions o;
    o.rs485 = Rs485Mode(stored(com, "RS485", 0, 0, 2));
    o.rtsBeforeMs = stored(com, "RTS Before", 0, 0, PortOptions::MaxDelayMs);
    o.rtsAfterMs = stored(com, "RTS After", 0, 0, PortOptions::MaxDelayMs);
    o.dropEcho = stored(com, "Drop Echo", 0, 0, 1) != 0;
    o.caFile = Store::portValue(com, QStringLiteral("CA File"));
    o.replyAllowanceMs = stored(com, "Reply Allowance", 0, 0, PortOptions::MaxReplyAllowanceMs);
    return o;
}

bool storePortOptions(int com, const PortOptions& o)
{
    const PortOptions def;
    // A default value is removed rather than written, so the store keeps
    // only what the user chose.
    const auto put = [com](const char* name, int v, int d) {
        return Store::setPortValue(com, QString::fromLatin1(name), v == d ? QString() : QString::number(v));
    };
    bool ok = put("RS485", int(o.rs485), int(def.rs485));
    ok = put("RTS Before", o.rtsBeforeMs, def.rtsBeforeMs) && ok;
    ok = put("RTS After", o.rtsAfterMs, def.rtsAfterMs) && ok;
    ok = put("Drop Echo", o.dropEcho ? 1 : 0, 0) && ok;
    ok = Store::setPortValue(com, QStringLiteral("CA File"), o.caFile.trimmed()) && ok;
    ok = put("Reply Allowance", o.replyAllowanceMs, def.replyAllowanceMs) && ok;
    return ok;
}

void setRunPortOptions(int com, const PortOptions& options) { runOptions().insert(com, options); }

} // namespace dxu
