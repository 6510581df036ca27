// The engine driven through its entry points (received bytes, timer ticks)
// with the real parser and senders behind it.
#include "common/testsupport.h"
#include "ui/app/boxasker.h"
#include "ui/app/sessionlooks.h"
#include "engine/engine.h"
#include "engine/session.h"
#include "protocol/protocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace dxu::test {
namespace {

using Lines = std::vector<std::string>;

// Message boxes that run a piece of the event loop while they are open, as a
// modal box does: bytes and timer ticks can arrive before it is answered.
struct NestedLoopMessages : ScriptedMessages {
    std::function<void()> whileOpen;
    MsgAnswer show(const QString& caption, const QString& text, MsgButtons buttons) override
    {
        if (auto loop = std::exchange(whileOpen, nullptr))
            loop();
        return ScriptedMessages::show(caption, text, buttons);
    }
};

struct Item {
    int kind;
    const char* code;
    uint32_t id;
    int retries;
    int argType = 0;
    int arg = 0;
};

class EngineTest : public ::testing::Test {
protected:
    EngineTest() { events.fanout.add(session); }
    void receive(std::string_view s) { engine.CommPortReceiveData(s.data(), static_cast<int32_t>(s.size())); }
    Lines sent() { return port.take(); }
    void run(int state, std::initializer_list<Item> items)
    {
        st->queue.resetQueue();
        st->queue.queueState = state;
        for (const Item& i : items) {
            st->queue.setIntArg(0, i.arg);
            st->queue.enqueueWithArgs(i.kind, i.code, i.id, i.retries, i.argType);
        }
        st->queue.cursor = 0;
        engine.sendCurrentItem();
    }
    void network(const char* addresses)
    {
        st->setNetworkMode(1);
        st->networkCount = static_cast<int>(strlen(addresses));
        for (int i = 0; addresses[i]; ++i) {
            st->networkSlots[i * 2] = addresses[i];
            st->unit(i + 1).address = addresses[i];
        }
    }
    void connect() // first connect, answered by a unit with the laser off
    {
        st->currentUnit = st->networkMode() ? 1 : 0;
        const std::string frame = st->networkMode() ? "#a" : "$";
        session.openAndConnect();
        receive(frame + "US,0\r");
        receive(frame + "SV,DXU v1.0.5 build 7\r");
        answerList(frame);
        port.clear();
    }
    // Answers every item of the list in the queue: a write or an action with
    // OK, a query with its code and no value, which leaves the record as it is.
    void answerList(const std::string& frame)
    {
        for (int i = 0; i < CommandQueue::Capacity && st->queue.queueState != QueueIdle; ++i)
            receive(frame + (st->awaited.ok ? std::string("OK") : std::string(st->awaited.code, 2)) + "\r");
    }
    void ticks(int n) { for (int i = 0; i < n; ++i) { clock.advance(1000); engine.PollTimerTimer(); } }

    FakeClockScope clock;
    NestedLoopMessages msgs;
    FakeUi ui;
    FakePort port;
    RecordingHooks hooks;
    std::unique_ptr<DxuState> st = std::make_unique<DxuState>();
    WindowEvents events{*st, ui, hooks};
    Protocol protocol{*st, port, hooks, events.fanout};
    BoxAsker asker;
    Engine engine{*st, protocol, port, hooks, events.fanout, asker};
    SessionLooks looks{ui, hooks, events.looks};
    Session session{*st, engine, port, hooks, looks, asker};
};

TEST_F(EngineTest, EachReplyIsTakenWhenItsLineEndsAndAnswersOnlyItsCommand)
{
    run(QueueList, {{1, "MM", 3, 3}, {1, "MU", 4, 3}, {1, "PL", 9, 3}, {1, "SU", 50, 3}});
    EXPECT_EQ(sent(), Lines{"$MM\r"});
    receive("$MM");
    EXPECT_EQ(sent(), Lines{});
    receive(",2\r$M"); // a whole line, and the start of another
    EXPECT_EQ(st->current().measureMode, 2);
    EXPECT_EQ(sent(), Lines{"$MU\r"});
    receive("U,1");
    EXPECT_EQ(sent(), Lines{});
    receive("\r$BM,1.5\r"); // a result answers no query
    EXPECT_EQ(st->current().units, 1);
    EXPECT_EQ(sent(), Lines{"$PL\r"});
    receive("$MU,0\r$OK\r$US,2\r"); // late and stray replies change nothing
    EXPECT_EQ(st->current().units, 1);
    EXPECT_EQ(st->current().status, 0);
    EXPECT_EQ(sent(), Lines{});
    receive("$PL,7\r\x93junk"); // noise after a line does not hold it back
    EXPECT_EQ(sent(), Lines{"$SU\r"});
    receive("$PL,7\r"); // a late copy of the answer before
    EXPECT_EQ(sent(), Lines{});
    EXPECT_NE(st->lastSendTick, 0u) << "SU is done only on its OK";
    receive("$OK\r");
    EXPECT_EQ(st->queue.queueState, QueueIdle);
    EXPECT_EQ(st->lastSendTick, 0u);
    EXPECT_EQ(engine.lineLength(), 0);
}

TEST_F(EngineTest, FailuresUseRetriesThenSkip)
{
    struct Case { Item first; int failures; Lines expected; };
    const Case cases[] = {
        {{1, "GO", 53, 0}, 1, {"$GO\r", "$US\r"}},
        {{1, "MM", 3, 3}, 4, {"$MM\r", "$MM\r", "$MM\r", "$MM\r", "$US\r"}},
        {{1, "MM", 3, 3}, 3, {"$MM\r", "$MM\r", "$MM\r", "$MM\r"}},
    };
    for (const Case& c : cases) {
        run(QueueList, {c.first, {1, "US", 55, 3}});
        for (int i = 0; i < c.failures; ++i)
            receive("$ER,5\r");
        EXPECT_EQ(sent(), c.expected) << c.first.code << " x" << c.failures;
    }
    // A missing reply is a failure too, marked "Cmd Timeout"; so is the
    // reply to an item that had nothing to send.
    run(QueueList, {{1, "MM", 3, 0}, {1, "MU", 4, 3}});
    ticks(3);
    EXPECT_STREQ(st->queue.items[0].failureText, "Cmd Timeout");
    EXPECT_EQ(sent(), (Lines{"$MM\r", "$MU\r"}));
    st->lastSendTick = 0;
    run(QueueList, {{2, "XX", 9, 1}, {1, "MU", 4, 3}});
    ticks(6);
    EXPECT_STREQ(st->queue.items[0].failureText, "Cmd Timeout");
    EXPECT_EQ(sent(), (Lines{"$MU\r"}));
}

TEST_F(EngineTest, ConnectSequenceWithLaserOffAndOn)
{
    for (bool laser : {false, true}) {
        hooks.calls.clear();
        st->resumeMeasuring = 0;
        ui.c("Calibrate1").enabled = false;
        session.openAndConnect();
        receive(laser ? "$US,2\r" : "$US,0\r");
        if (laser) {
            receive("$OK\r");   // ST
            receive("$US,0\r"); // the laser is off now
        }
        receive("$SV,DXU v1.0.5 build 7\r");
        // The connect list, then the settings read starts.
        const Lines expected = laser ? Lines{"$US\r", "$ST\r", "$US\r", "$SV\r", "$SV\r"}
                                     : Lines{"$US\r", "$SV\r", "$SV\r"};
        EXPECT_EQ(sent(), expected);
        EXPECT_EQ(st->connected, 1);
        EXPECT_EQ(ui.panels[3], " Connected");
        EXPECT_EQ(ui.text("pbConnect"), "Dis&connect");
        EXPECT_EQ(ui.text("Connect1"), "Disco&nnect");
        EXPECT_EQ(ui.get("lblConnected").color, colors::Green);
        EXPECT_FALSE(ui.isEnabled("MultiDrop1"));
        EXPECT_FALSE(ui.isEnabled("pbUpload"));
        EXPECT_TRUE(hooks.called("showConnectedControls"));
        EXPECT_EQ(ui.isEnabled("Calibrate1"), !laser);
        answerList("$"); // the settings read ends; measuring resumes if it ran
        const Lines read = sent();
        ASSERT_GE(read.size(), 49u);
        EXPECT_EQ(read[48], "$DM\r");
        EXPECT_EQ(std::count(read.begin(), read.end(), "$GO\r"), laser ? 1 : 0);
        EXPECT_EQ(ui.text("pbContinuous"), laser ? "&Stop" : "Measurement &Start");
        EXPECT_EQ(st->readyForStatus, 1);
        ui.controls.clear();
    }
}

TEST_F(EngineTest, UploadWritesThenReadsBackWhatIsNotDone)
{
    st->current().laserOn = 1;
    st->editRecord.units = 1;
    st->baudChangePending = 1;
    engine.stopMeasurementFirst(KindBuilder);
    st->queue.queueState = QueueUpload;
    st->queue.setIntArg(0, 2);
    st->queue.enqueueWithArgs(KindBuilder, "MM", 3, 3, ArgInt);
    st->queue.setIntArg(0, 0);
    st->queue.setIntArg(1, 12);
    st->queue.enqueueWithArgs(KindBuilder, "CD", 58, 3, ArgInt); // loop coarse, then fine
    st->queue.setIntArg(1, 5);
    st->queue.enqueueWithArgs(KindBuilder, "CD", 59, 3, ArgInt);
    st->queue.setIntArg(1, 9600);
    st->queue.enqueueWithArgs(KindBuilder, "BR", 33, 3, ArgInt);
    st->queue.cursor = 0;
    engine.sendCurrentItem();
    receive("$OK\r");
    receive("$US,0\r");
    receive("$OK\r");
    receive("$OK\r");
    receive("$OK\r");
    EXPECT_EQ(st->queue.queueState, QueueUpload);
    receive("$OK\r");
    EXPECT_TRUE(hooks.called("switchPcBaudRate"));
    EXPECT_EQ(st->baudChangePending, 0);
    EXPECT_TRUE(ui.isEnabled("pbSaveSettings"));
    EXPECT_EQ(ui.get("pbSaveSettings").fontColor, colors::Yellow);
    receive("$MM,2\r");
    receive("$P4,100,200\r");
    receive("$BR,0,9600\r");
    EXPECT_EQ(sent(), (Lines{"$ST\r", "$US\r", "$MM,2\r", "$CD,160,0,12\r", "$CD,161,0,5\r", "$BR,0,9600\r",
                             "$MM\r", "$P4\r", "$BR,0\r", "$GO\r"}));
    EXPECT_EQ(st->queue.queueState, QueueList);
}

TEST_F(EngineTest, AWriteTheUnitRefusesIsReadBackAndLeavesNothingToSave)
{
    st->queue.resetQueue();
    st->queue.queueState = QueueUpload;
    st->queue.setIntArg(0, 0);
    st->queue.setIntArg(1, 40);
    st->queue.enqueueWithArgs(KindBuilder, "CD", 58, 3, ArgInt);
    st->queue.cursor = 0;
    ui.setEnabled("pbSaveSettings", false);
    engine.sendCurrentItem();
    for (int i = 0; i < 4; ++i)
        receive("$ER,83\r");
    EXPECT_FALSE(ui.isEnabled("pbSaveSettings"));
    EXPECT_NE(ui.get("pbSaveSettings").fontColor, colors::Yellow);
    EXPECT_EQ(engine.failedItems(), 1);
    EXPECT_STREQ(engine.lastFailure(), "CD: Invalid Current Loop Range");
    EXPECT_EQ(ui.text("lblError"), "Invalid Current Loop Range");
    EXPECT_EQ(st->queue.queueState, QueueList); // what the unit kept is read back
}

TEST_F(EngineTest, VerdictsInIdleChangeNothing)
{
    for (int v : {ReplyFailure, ReplyCompleted}) {
        engine.dispatchReply(v);
        receive(v == ReplyFailure ? "$ER,5\r" : "$OK\r");
    }
    EXPECT_EQ(sent(), Lines{});
    EXPECT_EQ(st->queue.queueState, QueueIdle);
    EXPECT_EQ(st->queue.cursor, 0);
}

TEST_F(EngineTest, ReplyTimeOutIsMoreThanTwoSeconds)
{
    struct Case { uint32_t start, replyAfter, tickAfter; bool timedOut; uint32_t allowance = 0; };
    const Case cases[] = {
        {100000, 1900, 2500, false}, {100000, 0, 2000, false},
        {100000, 0, 2001, true},     {0xFFFFFC00u, 0, 2100, true}, // across the counter's wrap
        {0xFFFFFC00u, 0, 1500, false},
        {0, 0, 2100, true}, // sent when the counter read 0
        {100000, 0, 2900, false, 900}, {100000, 0, 2901, true, 900}, // the port's extra reply time
    };
    for (const Case& c : cases) {
        port.replyAllowance = c.allowance;
        clock.set(c.start);
        run(QueueList, {{1, "MM", 3, 1}});
        port.clear();
        clock.advance(c.replyAfter);
        if (c.replyAfter)
            receive("$MM,1\r");
        clock.set(c.start + c.tickAfter);
        engine.PollTimerTimer();
        EXPECT_EQ(sent(), c.timedOut ? Lines{"$MM\r"} : Lines{}) << c.start << "+" << c.tickAfter;
        st->lastSendTick = 0;
    }
}

TEST_F(EngineTest, Rs232StatusRequestsEverySecondTickWhenIdle)
{
    st->networkCount = 1;
    connect();
    struct Case { int statusRequests, networkCount, readyForStatus; Lines expected; };
    const Case cases[] = {
        {1, 1, 1, {"$US\r", "$US\r"}},
        {0, 1, 1, {}},
        {1, 0, 1, {"$US\r", "$US\r"}}, // the unit on the cable, with no network list
        {1, 1, 0, {}},
    };
    for (const Case& c : cases) {
        st->statusRequests = c.statusRequests;
        st->networkCount = c.networkCount;
        st->readyForStatus = c.readyForStatus;
        st->queue.resetQueue();
        st->queue.queueState = QueueIdle;
        st->lastSendTick = 0;
        st->rs232TickCount = 0;
        ticks(4);
        EXPECT_EQ(sent(), c.expected) << c.statusRequests << c.networkCount << c.readyForStatus;
    }
    run(QueueList, {{1, "MM", 3, 3}, {1, "MU", 4, 3}}); // a list runs: no status request
    st->readyForStatus = 1;
    st->rs232TickCount = 1;
    clock.set(st->lastSendTick + 500);
    ticks(1);
    EXPECT_EQ(sent(), Lines{"$MM\r"});
}

TEST_F(EngineTest, NetworkPollingAsksOneUnitPerTickAfterThePause)
{
    network("abc");
    connect();
    st->pollingInterval = 10;
    Lines polled;
    for (int t = 1; t <= 25; ++t) {
        ticks(1);
        for (const std::string& l : sent())
            polled.push_back(std::to_string(t) + l);
        if (t == 12) { // unit b answers with its laser on
            receive("#bUS,2\r");
            EXPECT_EQ(st->unit(2).status, 2);
            EXPECT_EQ(st->unit(1).status, 0);
            EXPECT_EQ(st->queue.queueState, QueueIdle);
        }
        if (t == 13) { // an unframed answer belongs to the unit asked, c
            receive("$US,6\r");
            EXPECT_EQ(st->unit(3).status, 6);
            EXPECT_EQ(st->unit(1).status, 0);
        }
    }
    EXPECT_EQ(polled, (Lines{"11#aUS\r", "12#bUS\r", "13#cUS\r", "24#aUS\r", "25#bUS\r"}));
    run(QueueList, {{1, "MM", 3, 3}}); // after an unanswered poll the current unit is addressed
    EXPECT_EQ(sent(), Lines{"#aMM\r"});
    EXPECT_EQ(st->pollOtherUnit, 0);
}

TEST_F(EngineTest, ConnectFailures)
{
    UnitRecord& pc = st->unitTable[0];
    pc.port232 = 6;
    pc.port232RateIndex = 3;
    pc.port485 = 1;
    pc.port485RateIndex = 4;
    session.openAndConnect(); // RS-232
    ticks(3);
    ASSERT_EQ(msgs.shown.size(), 1u);
    EXPECT_EQ(msgs.shown[0].text, "Cannot Connect to DXU");
    EXPECT_EQ(msgs.shown[0].details,
              "Port: COM7 (/dev/ttyS6) at 9600 bit/s\n"
              "Mode: RS-232 (one unit)\n\n"
              "Check that the unit is set to 9600 bit/s: a wrong rate is the most common cause.\n"
              "Check that the unit is powered and the cable is connected: a silent line is the other.");
    EXPECT_FALSE(port.open);
    EXPECT_EQ(ui.text("pbConnect"), "&Connect");

    msgs.shown.clear();
    network("abc"); // first connect: b and c are tried in turn, none answers
    st->currentUnit = 1;
    session.openAndConnect();
    ticks(9);
    EXPECT_EQ(hooks.errors, (Lines{"Cannot connect to DXU 1: Address: a", "Cannot connect to DXU 2: Address: b",
                                   "Cannot connect to DXU 3: Address: c"}));
    ASSERT_EQ(msgs.shown.size(), 1u);
    EXPECT_EQ(msgs.shown[0].text, "Cannot Connect to DXU units on the network");
    EXPECT_TRUE(msgs.shown[0].details.startsWith("Port: COM2 (/dev/ttyS1) at 14400 bit/s\n"
                                                 "Mode: RS-485 network, every assigned address (see the error list)\n"))
        << msgs.shown[0].details.toStdString();

    msgs.shown.clear();
    hooks.errors.clear();
    st->currentUnit = 2; // Next to a silent unit
    st->switchingUnit = 1;
    session.openAndConnect();
    ticks(3);
    ASSERT_EQ(msgs.shown.size(), 1u);
    EXPECT_EQ(msgs.shown[0].text, "Cannot connect to DXU 2: Address: b");
    EXPECT_TRUE(msgs.shown[0].details.contains("Mode: RS-485 network, address b\n\n"
                                               "Check that the unit with address b is set to 14400 bit/s"))
        << msgs.shown[0].details.toStdString();
    EXPECT_EQ(ui.text("lblDXUAddress"), "Address: ?");
    EXPECT_EQ(ui.text("lblViewing"), "Viewing: 2 of 3");
    EXPECT_TRUE(port.open);
    EXPECT_TRUE(hooks.errors.empty());
    EXPECT_EQ(st->switchingUnit, 0);
}

TEST_F(EngineTest, ErrorsQuestionIsAskedOnce)
{
    for (MsgAnswer answer : {MsgAnswer::No, MsgAnswer::Yes}) {
        msgs.shown.clear();
        hooks.errorWindowShown = false;
        hooks.errCount = 2;
        msgs.answerNext(answer);
        for (int i = 0; i < 2; ++i) {
            run(QueueList, {{1, "MM", 3, 3}});
            receive("$MM,1\r");
        }
        ASSERT_EQ(msgs.shown.size(), 1u);
        EXPECT_EQ(msgs.shown[0].text, "2 errors encountered.\n\nDo you want to view errors?");
        EXPECT_EQ(hooks.errCount, answer == MsgAnswer::No ? 0 : 2);
        EXPECT_EQ(hooks.errorWindowShown, answer == MsgAnswer::Yes);
    }
}

TEST_F(EngineTest, OverlongInputIsDroppedAndReceptionRecovers)
{
    run(QueueList, {{1, "MM", 3, 3}, {1, "MU", 4, 3}, {1, "PL", 9, 3}});
    port.clear();
    const std::string junk(999, 'x');
    receive("$MM,2\r" + junk);
    EXPECT_EQ(st->current().measureMode, 2);
    EXPECT_EQ(sent(), Lines{"$MU\r"});
    for (int i = 0; i < 60; ++i) {
        receive(junk);
        ASSERT_LE(engine.lineLength(), Engine::LineCapacity);
    }
    receive("\r$MU,1\r");
    EXPECT_EQ(st->current().units, 1);
    EXPECT_EQ(sent(), Lines{"$PL\r"});
    receive(std::string(30000, 'y'));
    receive(std::string(25000, 'y') + "\r$PL,7"); // the line being received survives
    receive("\r");
    EXPECT_EQ(st->queue.queueState, QueueIdle);
}

TEST_F(EngineTest, TerminalShowsEachReceivedLine)
{
    hooks.terminalShown = true;
    receive("#aMM,2\r$OK\r$M");
    receive(std::string(200, 'z') + "\r");
    EXPECT_EQ(hooks.terminal, (Lines{"#aMM,2\r", "$OK\r", "$M" + std::string(76, 'z') + "\r",
                                     std::string(78, 'z') + "\r", std::string(46, 'z') + "\r"}));
    hooks.terminalShown = false;
    receive("$OK\r");
    EXPECT_EQ(hooks.terminal.size(), 5u);
}

TEST_F(EngineTest, ResetWaitsThenReconnectsWithManyRetries)
{
    engine.resetUnit();
    EXPECT_EQ(clock.waited(), 2000u);
    EXPECT_EQ(sent(), (Lines{"$CD,30\r", "$US\r"}));
    EXPECT_EQ(st->queue.queueState, QueueConnect);
    EXPECT_EQ(st->queue.items[0].retriesLeft, 150);
}

TEST_F(EngineTest, ListsNeverOverrunTheQueue)
{
    st->queue.resetQueue();
    st->queue.queueState = QueueList;
    for (int i = 0; i < 120; ++i)
        st->queue.enqueueCommand(KindCode, "OK", 3, 0);
    EXPECT_EQ(st->queue.items[99].commandId, 0u);
    st->queue.cursor = 0;
    engine.sendCurrentItem();
    for (int i = 0; i < 99; ++i)
        receive("$OK\r");
    EXPECT_EQ(sent().size(), 99u);
    EXPECT_EQ(st->queue.queueState, QueueIdle);
}

TEST_F(EngineTest, WhatArrivesWhileABoxIsOpenWaitsForTheReplyInHand)
{
    st->networkCount = 1;
    connect();
    struct Case {
        const char* name;
        std::function<void()> whileOpen, after;
    };
    const Case cases[] = {
        // The box belongs to the failed MM: it is retried before the later
        // reply moves the list on.
        {"later reply", [&] { receive("$MM,2\r"); }, [] {}},
        // The start of a reply gathered meanwhile survives the box.
        {"partial reply", [&] { receive("$MM"); }, [&] { receive(",2\r"); }},
    };
    for (const char* error : {"$ER,-82\r", "$ER,49\r"}) {
        for (const Case& c : cases) {
            st->current().measureMode = 1;
            run(QueueList, {{1, "MM", 3, 3}, {1, "MU", 4, 3}});
            port.clear();
            msgs.whileOpen = c.whileOpen;
            receive(error);
            c.after();
            EXPECT_EQ(sent(), (Lines{"$MM\r", "$MU\r"})) << error << c.name;
            EXPECT_EQ(st->current().measureMode, 2) << error << c.name;
            EXPECT_EQ(engine.lineLength(), 0) << error << c.name;
        }
    }
    // With the queue idle, ticks during the box send nothing; the next ones do.
    receive("$MU,1\r");
    ASSERT_EQ(st->queue.queueState, QueueIdle);
    msgs.whileOpen = [&] { ticks(2); };
    receive("$ER,-82\r");
    EXPECT_EQ(sent(), Lines{});
    ticks(2);
    EXPECT_EQ(sent(), Lines{"$US\r"});
}

TEST_F(EngineTest, OnlyTheCurrentUnitDecidesWhetherToStopFirst)
{
    st->unit(st->pollIndex).laserOn = 1;
    engine.stopMeasurementFirst(KindCode);
    EXPECT_EQ(st->queue.items[0].commandId, 0u);
    EXPECT_EQ(st->resumeMeasuring, 0);
}

} // namespace
} // namespace dxu::test
