#pragma once
// Direct access to the settings store for tests: wipe it, and read a value
// back with a marker for "absent".
#include "services/store.h"

#include <QByteArray>
#include <QSettings>

namespace dxu::test {

inline constexpr int Absent = -12345;

inline void clearStore()
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Vez"), QStringLiteral("DXU Interface"));
    s.clear();
    s.sync();
}

inline int storedInt(const char* name)
{
    int v = Absent;
    Store::readInt(QString::fromLatin1(name), v);
    return v;
}

inline QByteArray storedString(const char* name)
{
    QByteArray v("<absent>");
    Store::readString(QString::fromLatin1(name), v);
    return v;
}

} // namespace dxu::test
