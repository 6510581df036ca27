#include "services/store.h"

#include <QSettings>

namespace dxu {
namespace {

QSettings open()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Vez"),
                     QStringLiteral("DXU Interface"));
}

bool writable(QSettings& s) { return s.isWritable() && s.status() == QSettings::NoError; }

QString portKey(int comNumber) { return QStringLiteral("Ports/COM%1").arg(comNumber); }

} // namespace

bool Store::readInt(const QString& name, int& out)
{
    QSettings s = open();
    if (!s.contains(name))
        return false;
    bool ok = false;
    const int v = s.value(name).toInt(&ok);
    if (!ok)
        return false;
    out = v;
    return true;
}

bool Store::writeInt(const QString& name, int value)
{
    QSettings s = open();
    if (!writable(s))
        return false;
    s.setValue(name, value);
    s.sync();
    return s.status() == QSettings::NoError;
}

bool Store::readString(const QString& name, QByteArray& out)
{
    QSettings s = open();
    if (!s.contains(name))
        return false;
    out = s.value(name).toString().toLatin1();
    return true;
}

bool Store::writeString(const QString& name, const QByteArray& value)
{
    QSettings s = open();
    if (!writable(s))
        return false;
    s.setValue(name, QString::fromLatin1(value));
    s.sync();
    return s.status() == QSettings::NoError;
}

QString Store::portPath(int comNumber)
{
    QSettings s = open();
    return s.value(portKey(comNumber)).toString();
}

bool Store::setPortPath(int comNumber, const QString& path)
{
    return setPortValue(comNumber, QString(), path);
}

QString Store::portValue(int comNumber, const QString& name)
{
    QSettings s = open();
    return s.value(portKey(comNumber) + QLatin1Char(' ') + name).toString();
}

bool Store::setPortValue(int comNumber, const QString& name, const QString& value)
{
    const QString key = name.isEmpty() ? portKey(comNumber) : portKey(comNumber) + QLatin1Char(' ') + name;
    QSettings s = open();
    if (!writable(s))
        return false;
    if (value.isEmpty())
        s.remove(key);
    else
        s.setValue(key, value);
    s.sync();
    return s.status() == QSettings::NoError;
}

} // namespace dxu
