#pragma once
// The whole program against the simulator: the real windows, the real serial
// driver on the simulator's pseudo-terminal, real time. Message boxes are
// answered by script; everything else is clicked as a user would.
#include "ui/app/application.h"
#include "common/testsupport.h"
#include "e2e/simprocess.h"
#include "engine/engine.h"
#include "serial/commportdriver.h"
#include "protocol/settingcodes.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace dxu::test {

using Lines = std::vector<std::string>;

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        clearStore();
    }
    void TearDown() override
    {
        windows.reset();
        sim.stop();
    }

    // Starts the simulator as COM1.
    void startSim(const QStringList& options = {})
    {
        ASSERT_TRUE(sim.start(options)) << "dxu-sim did not start";
        sim.exportAs(1);
    }
    // Starts the simulator as COM1 with a unit that keeps these settings
    // (lines of its state file, such as "MM 2").
    void startSimWithSettings(const char* settings)
    {
        const QString state = folder.filePath(QStringLiteral("unit.state"));
        QFile f(state);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Text));
        f.write(QByteArray("unit 0\n") + settings);
        f.close();
        startSim({QStringLiteral("--state"), state});
    }
    TTopForm& top()
    {
        if (!windows) {
            windows = std::make_unique<AppWindows>();
            windows->top().show();
        }
        return windows->top();
    }
    DxuState& st() { return top().state(); }

    void click(const char* name)
    {
        QObject* o = top().control(name);
        if (auto* b = qobject_cast<QAbstractButton*>(o)) {
            ASSERT_TRUE(b->isEnabled()) << name << " is disabled";
            QTest::mouseClick(b, Qt::LeftButton);
        } else if (auto* a = qobject_cast<QAction*>(o)) {
            ASSERT_TRUE(a->isEnabled()) << name << " is disabled";
            a->trigger();
        } else {
            FAIL() << "nothing to click: " << name;
        }
    }
    QString text(const char* name) { return controlText(top().control(name)); }
    QString statusPanel(int i) { return text(QStringLiteral("StatusBar1Panel%1").arg(i).toLatin1().constData()); }
    QColor lamp(const char* name)
    {
        auto* w = qobject_cast<QWidget*>(top().control(name));
        return w ? w->palette().color(QPalette::Window) : QColor();
    }

    static bool waitFor(const std::function<bool()>& condition, int ms)
    {
        return QTest::qWaitFor(condition, ms);
    }
    // Connected, the read done and the queue idle again.
    bool readDone()
    {
        const DxuState& s = st();
        return s.connected == 1 && s.current().settingsRead == 1 && s.queue.queueState == QueueIdle;
    }
    void connectAndRead(int ms = 8000)
    {
        click("pbConnect");
        ASSERT_TRUE(waitFor([&] { return readDone(); }, ms)) << sim.logText();
    }
    int countReceived(const std::string& line)
    {
        const Lines rx = sim.received();
        return static_cast<int>(std::count(rx.begin(), rx.end(), line));
    }
    // The lines of a full settings read, framed by prefix ("$" or "#b").
    static Lines readLines(const std::string& prefix)
    {
        Lines out;
        for (const SettingCode* q : settingsReadList()) {
            std::string code = q->code;
            if (q->commandId == 33)
                code = "BR,0";
            else if (q->commandId == 34)
                code = "BR,1";
            out.push_back(prefix + code);
        }
        return out;
    }
    static Lines concat(Lines a, const Lines& b)
    {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }

    QTemporaryDir folder; // for files of the test
    ScriptedMessages messages;
    SimProcess sim;
    std::unique_ptr<AppWindows> windows;
};

} // namespace dxu::test
