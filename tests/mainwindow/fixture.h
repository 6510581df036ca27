#pragma once
// Shared set-up for the main-window tests: a clean store, scripted message
// boxes and direct access to controls by name.
#include "ui/app/topform.h"
#include "common/testsupport.h"
#include "services/locale.h"
#include "ui/services/filedialogs.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>

#include <gtest/gtest.h>

#include <memory>

namespace dxu::test {

inline QVariant storedValue(const char* name)
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Vez"),
                QStringLiteral("DXU Interface"));
    return s.value(QString::fromLatin1(name));
}

inline void storeValue(const char* name, int value)
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Vez"),
                QStringLiteral("DXU Interface"));
    s.setValue(QString::fromLatin1(name), value);
    s.sync();
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { clearStore(); }
    void TearDown() override { setDecimalSeparatorOverride(QChar()); }

    // The main window alone, its file dialogs made (the program makes each
    // when it is first run) so that they can be looked at.
    TTopForm& form()
    {
        if (!top) {
            top = std::make_unique<TTopForm>();
            for (DeferredFileDialog* d : top->findChildren<DeferredFileDialog*>())
                d->dialog();
        }
        return *top;
    }
    template <typename T = QWidget>
    T* get(const char* name)
    {
        auto* t = qobject_cast<T*>(form().control(name));
        EXPECT_NE(t, nullptr) << name;
        return t;
    }
    // The menu item chosen as the user does (a checkable one toggles first).
    void choose(const char* name)
    {
        if (auto* a = get<QAction>(name))
            a->trigger();
    }
    QString text(const char* name)
    {
        QObject* o = form().control(name);
        EXPECT_NE(o, nullptr) << "no text control " << name;
        return controlText(o);
    }

    ScriptedMessages messages;
    std::unique_ptr<TTopForm> top;
};

} // namespace dxu::test
