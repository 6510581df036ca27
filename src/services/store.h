#pragma once
// The machine-wide key/value store under "Software\Vez\DXU Interface".
// Every access opens the store, touches one value and syncs, so a crash
// never loses a value that was written before it.
#include <QByteArray>
#include <QString>

namespace dxu {

class Store {
public:
    // True when the value exists; out is then set.
    static bool readInt(const QString& name, int& out);
    static bool writeInt(const QString& name, int value);
    static bool readString(const QString& name, QByteArray& out);
    static bool writeString(const QString& name, const QByteArray& value);
    // The device path stored for "COM n" under the sub-key Ports, or empty.
    static QString portPath(int comNumber);
    static bool setPortPath(int comNumber, const QString& path);
    // Another value of "COM n" under Ports ("COM<n> <name>"); an empty value
    // removes it.
    static QString portValue(int comNumber, const QString& name);
    static bool setPortValue(int comNumber, const QString& name, const QString& value);
};

} // namespace dxu
