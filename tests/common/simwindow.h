#pragma once
// The program's windows (main window and dialogs, as the program creates
// them) on the in-process simulated line and the fake clock: connect, let the
// units answer, and reach any control by name.
#include "ui/app/application.h"
#include "engine/engine.h"
#include "common/simlink.h"
#include "common/testsupport.h"
#include "engine/session.h"
#include "network/networkconfig.h"
#include "ui/network/networkedit.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <memory>

namespace dxu::test {

class SimWindowTest : public ::testing::Test {
protected:
    void SetUp() override { clearStore(); }
    void TearDown() override
    {
        if (windows)
            top().setCommPort(nullptr);
    }

    TTopForm& top() { return windows->top(); }

    // Builds the windows over a line with these options and saved settings.
    void attach(dxusim::Options options = quick(), const SimLink::Values& saved = {})
    {
        if (windows)
            top().setCommPort(nullptr);
        link = std::make_unique<SimLink>(std::move(options), saved);
        windows = std::make_unique<AppWindows>();
        top().setCommPort(link.get());
        top().setPortCheck([](int) { return true; });
        link->onReceive = [this](const char* data, int32_t size) { top().CommPortReceiveData(data, size); };
    }
    // An RS-485 line: the window in network mode with members as the
    // network's units; units answer at o.addresses (members when empty).
    void attachLine(std::initializer_list<char> members, dxusim::Options o = quick(), const SimLink::Values& saved = {})
    {
        o.network = true;
        if (o.addresses.empty())
            o.addresses.assign(members);
        attach(std::move(o), saved);
        click("MultiDrop1");
        for (char address : members)
            ASSERT_TRUE(addNetworkMember(top().state(), top(), top().hooks(), {}, addressPosition(address)));
    }
    static dxusim::Options quick()
    {
        dxusim::Options o;
        o.replyDelayMs = 0;
        return o;
    }
    // Connects and reads the unit; the wire is then clear.
    void connect()
    {
        top().session().connectClicked();
        ASSERT_TRUE(runUntil([this] { return idle(); }));
        ASSERT_EQ(top().state().connected, 1);
        link->received.clear();
    }
    bool idle() const
    {
        const DxuState& s = windows->top().state();
        return s.connected == 1 && s.queue.queueState == QueueIdle;
    }
    // Fake time in 10 ms steps with the poll timer's tick every second and the
    // scan's finer tick, until done.
    bool runUntil(const std::function<bool()>& done, int ms = 20000)
    {
        for (int t = 10; t <= ms && !done(); t += 10) {
            clock.advance(10);
            link->pump();
            if (t % 1000 == 0)
                top().PollTimerTimer();
            if (t % 30 == 0)
                top().engine().checkScanTimeout();
        }
        return done();
    }
    template <typename T = QWidget>
    T* get(const char* name)
    {
        auto* t = qobject_cast<T*>(top().control(name));
        EXPECT_NE(t, nullptr) << name;
        return t;
    }
    void click(const char* name) { clickControl(top().control(name), name); }
    QString text(const char* name) { return controlText(top().control(name)); }
    void type(const char* name, const QString& text)
    {
        if (auto* e = get<QLineEdit>(name))
            e->setText(text);
    }
    long sent(const std::string& line) const { return std::count(link->received.begin(), link->received.end(), line); }

    FakeClockScope clock;
    ScriptedMessages messages;
    std::unique_ptr<SimLink> link;
    std::unique_ptr<AppWindows> windows;
};

} // namespace dxu::test
