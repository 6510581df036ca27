#include "common/testsupport.h"
#include "services/store.h"

#include <QFileDialog>
#include <QFileInfo>

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>

#include <algorithm>

#include <gtest/gtest.h>

namespace dxu::test {

void clearStore()
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Vez"),
                QStringLiteral("DXU Interface"));
    s.clear();
    s.sync();
}

int storedInt(const char* name)
{
    int v = Absent;
    Store::readInt(QString::fromLatin1(name), v);
    return v;
}

QByteArray storedString(const char* name)
{
    QByteArray v("<absent>");
    Store::readString(QString::fromLatin1(name), v);
    return v;
}

void clickControl(QObject* o, const char* name)
{
    if (auto* b = qobject_cast<QAbstractButton*>(o))
        b->click();
    else if (auto* a = qobject_cast<QAction*>(o))
        a->trigger();
    else
        ADD_FAILURE() << "nothing to click: " << name;
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
    return showDetailed(caption, text, QString(), buttons);
}

MsgAnswer ScriptedMessages::showDetailed(const QString& caption, const QString& text, const QString& details,
                                         MsgButtons buttons)
{
    shown.push_back({caption, text, buttons, details});
    if (!answers.empty()) {
        const MsgAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    return buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
}

void FakeUi::changed(std::string_view n)
{
    auto it = handlers.find(std::string(n));
    if (it == handlers.end())
        return;
    const std::vector<std::function<void()>> run = it->second;
    for (const auto& h : run)
        h();
}

void FakeUi::setText(std::string_view n, std::string_view t)
{
    if (c(n).text == t)
        return;
    c(n).text = std::string(t);
    changed(n);
}

void FakeUi::setChecked(std::string_view n, bool v)
{
    if (c(n).checked == v)
        return;
    c(n).checked = v;
    if (v) {
        for (const auto& group : radioGroups) {
            if (std::find(group.begin(), group.end(), n) == group.end())
                continue;
            for (const std::string& other : group)
                if (other != n && c(other).checked) {
                    c(other).checked = false;
                    changed(other);
                }
        }
    }
    changed(n);
}

std::string FakeUi::itemText(std::string_view n, int i) const
{
    const Control k = get(n);
    return (i >= 0 && i < static_cast<int>(k.items.size())) ? k.items[static_cast<size_t>(i)] : std::string();
}

void FakeUi::setItemText(std::string_view n, int i, std::string_view t)
{
    auto& items = c(n).items;
    if (i == static_cast<int>(items.size()))
        items.emplace_back(t);
    else if (i >= 0 && i < static_cast<int>(items.size()))
        items[static_cast<size_t>(i)] = std::string(t);
}

void FakeUi::removeItem(std::string_view n, int i)
{
    Control& k = c(n);
    if (i < 0 || i >= static_cast<int>(k.items.size()))
        return;
    k.items.erase(k.items.begin() + i);
    if (k.itemIndex == i)
        k.itemIndex = -1;
    else if (k.itemIndex > i)
        --k.itemIndex;
}

void FakeUi::setItems(std::string_view n, std::vector<std::string> items)
{
    c(n).items = std::move(items);
    c(n).itemIndex = -1;
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

QString ScriptedFileDialogs::choose(QFileDialog& dialog)
{
    asked.push_back({dialog.objectName(), dialog.windowTitle(), dialog.directory().absolutePath(),
                     dialog.acceptMode() == QFileDialog::AcceptSave,
                     QFileInfo(dialog.selectedFiles().value(0)).fileName()});
    if (answers.empty())
        return {};
    QString path = answers.front();
    answers.pop_front();
    // As the dialog does: a name typed without suffix gets the default one.
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty() && !dialog.defaultSuffix().isEmpty())
        path += QLatin1Char('.') + dialog.defaultSuffix();
    return path;
}

} // namespace dxu::test
