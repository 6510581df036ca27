#pragma once
// The main window over the simulator's core on the fake clock, connected and
// read, for the tests of changing a unit's settings.
#include "app/topform.h"
#include "common/testsupport.h"
#include "common/simlink.h"
#include "settings/setupfile.h"
#include "settings/transfer.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFont>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace dxu::test {

using Lines = std::vector<std::string>;

class UploadWindow : public ::testing::Test {
public:
    void SetUp() override { clearStore(); }
    void TearDown() override
    {
        if (top)
            top->setCommPort(nullptr);
    }

    // Connects to a unit with these settings changed from the simulator's
    // defaults and reads them; the wire is then clear.
    using Changes = SimLink::Values;
    // Connects to a unit whose settings differ from the simulator's defaults
    // by changes and reads them; the wire is then clear.
    void connect(const Changes& changes = {})
    {
        if (top)
            top->setCommPort(nullptr);
        dxusim::Options quick;
        quick.replyDelayMs = 0;
        link = std::make_unique<SimLink>(quick, changes);
        top = std::make_unique<TTopForm>();
        top->setCommPort(link.get());
        top->setPortCheck([](int) { return true; });
        link->onReceive = [this](const char* data, int32_t size) { top->CommPortReceiveData(data, size); };
        click("pbConnect");
        pump();
        ASSERT_EQ(top->state().connected, 1);
        ASSERT_FALSE(top->isEnabled("pbUpload"));
        link->received.clear();
    }
    // Lets the unit answer until the queue has run out.
    void pump()
    {
        for (int t = 0; t < 20000; t += 10) {
            clock.advance(10);
            link->pump();
            if (top->state().queue.queueState == QueueIdle && top->state().connected)
                return;
        }
        ADD_FAILURE() << "the queue never ran out";
    }
    Lines takeLines()
    {
        Lines l = std::move(link->received);
        link->received.clear();
        return l;
    }
    void click(const char* name)
    {
        auto* b = qobject_cast<QAbstractButton*>(top->control(name));
        ASSERT_NE(b, nullptr) << name;
        b->click();
    }
    void type(const char* name, const char* text)
    {
        auto* e = qobject_cast<QLineEdit*>(top->control(name));
        ASSERT_NE(e, nullptr) << name;
        e->setText(QString::fromLatin1(text));
    }
    void choose(const char* name, int index)
    {
        auto* c = qobject_cast<QComboBox*>(top->control(name));
        ASSERT_NE(c, nullptr) << name;
        c->setCurrentIndex(index);
        emit c->activated(index);
    }
    void typePrf(const char* text)
    {
        auto* c = qobject_cast<QComboBox*>(top->control("cmbPRF"));
        ASSERT_NE(c, nullptr);
        c->setEditText(QString::fromLatin1(text));
        top->SettingChanged();
    }
    // Upload and every reply to it; the lines it wrote.
    Lines upload()
    {
        top->settingsTransfer().uploadClicked();
        pump();
        return takeLines();
    }
    const dxusim::Settings& unit() const { return link->unit(0).settings(); }
    double unitValue(const char* code, size_t k = 0) const { return unit().get(code, k); }

    FakeClockScope clock;
    ScriptedMessages messages;
    std::unique_ptr<SimLink> link;
    std::unique_ptr<TTopForm> top;
};

} // namespace dxu::test
