#include "common/testsupport.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>

#include <algorithm>

namespace dxu::test {

void clearStore()
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Vez"),
                QStringLiteral("DXU Interface"));
    s.clear();
    s.sync();
}

QString controlText(const QObject* o)
{
    if (auto* l = qobject_cast<const QLabel*>(o))
        return l->text();
    if (auto* b = qobject_cast<const QAbstractButton*>(o))
        return b->text();
    if (auto* e = qobject_cast<const QLineEdit*>(o))
        return e->text();
    if (auto* a = qobject_cast<const QAction*>(o))
        return a->text();
    return {};
}

MsgAnswer ScriptedMessages::show(const QString& caption, const QString& text, MsgButtons buttons)
{
    shown.push_back({caption, text, buttons});
    if (!answers.empty()) {
        const MsgAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    return buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
}

int32_t FakePort::SendData(const void* data, int32_t size)
{
    if (!open || size < 0)
        return 0;
    if (size == 0) {
        ++zeroLengthWrites;
        return 0;
    }
    written.append(static_cast<const char*>(data), static_cast<size_t>(size));
    return size;
}

std::vector<std::string> FakePort::lines() const
{
    std::vector<std::string> out;
    std::string cur;
    for (char ch : written) {
        cur.push_back(ch);
        if (ch == '\r') {
            out.push_back(cur);
            cur.clear();
        }
    }
    if (!cur.empty())
        out.push_back(cur);
    return out;
}

bool RecordingHooks::called(const std::string& name) const
{
    return std::find(calls.begin(), calls.end(), name) != calls.end();
}

int RecordingHooks::count(const std::string& name) const
{
    return static_cast<int>(std::count(calls.begin(), calls.end(), name));
}

} // namespace dxu::test
