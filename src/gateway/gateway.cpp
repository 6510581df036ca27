#include "gateway/gateway.h"

#include <algorithm>
#include <climits>

namespace dxu::gateway {
namespace {

int msUntil(Gateway::Clock::time_point t)
{
    // Rounded up: a wait of whole milliseconds never ends before t.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(t - Gateway::Clock::now()).count();
    return int(std::clamp<long long>(ms, 0, INT_MAX));
}

} // namespace

Gateway::Gateway(Line& line, UnitTable& table, std::vector<char> addresses) : line_(line), table_(table)
{
    if (addresses.empty())
        addresses.push_back(0);
    for (char a : addresses) {
        Unit u;
        u.address = a;
        units_.push_back(u);
    }
}

QString Gateway::nameOf(const Unit& u) const
{
    return u.address ? QString(QLatin1Char(u.address)) : QStringLiteral("unit");
}

Step Gateway::run()
{
    while (!line_.stopRequested()) {
        if (units_.size() == 1)
            runStreaming(units_.front());
        else
            runLine();
    }
    line_.close();
    for (Unit& u : units_)
        if (u.state == UnitState::Measuring)
            answering(u, false);
    return stop_;
}

void Gateway::setState(Unit& u, UnitState state, const QString& why)
{
    if (u.stateSaid && u.state == state && u.why == why)
        return;
    u.state = state;
    u.why = why;
    u.stateSaid = true;
    if (onState)
        onState(u.address, state, why);
    if (!onNotice || line_.stopRequested() || portDown_)
        return;
    switch (state) {
    case UnitState::Measuring:
        if (why.isEmpty()) // the unit's error replies while measuring are not news for the log
            onNotice(QStringLiteral("%1: measuring").arg(nameOf(u)));
        break;
    case UnitState::Idle:
        onNotice(QStringLiteral("%1: not measuring: %2").arg(nameOf(u), why));
        break;
    case UnitState::NotAnswering:
        onNotice(QStringLiteral("%1: not answering: %2; asking again").arg(nameOf(u), why));
        break;
    }
}

void Gateway::answering(Unit& u, bool measuring, const QString& why)
{
    table_.setAnswering(u.address, true, measuring);
    if (measuring)
        u.pauseMs = 0;
    setState(u, measuring ? UnitState::Measuring : UnitState::Idle, why);
}

void Gateway::askLater(Unit& u, const Step& why)
{
    u.read = false;
    u.misses = 0;
    u.pauseMs = u.pauseMs == 0 ? UnitPauseMs : std::min(2 * u.pauseMs, UnitPauseMaxMs);
    u.due = Clock::now() + std::chrono::milliseconds(u.pauseMs);
    if (why.result == StepResult::Refused) { // it answers, but gives no results to keep
        answering(u, false, why.message);
        return;
    }
    table_.setAnswering(u.address, false, false);
    setState(u, UnitState::NotAnswering, why.message);
}

void Gateway::portGone(const QString& why)
{
    inHand_ = nullptr;
    line_.close();
    if (!portDown_) {
        // Said once for the port; the units' state follows it unsaid.
        if (onNotice)
            onNotice(why + (why.endsWith(QLatin1Char('.')) ? QStringLiteral(" Waiting for the port to come back.")
                                                            : QStringLiteral("; waiting for the port to come back")));
        portDown_ = true;
        for (Unit& u : units_) {
            u.read = false;
            u.misses = 0;
            u.pauseMs = 0;
            u.due = Clock::time_point{};
            table_.setAnswering(u.address, false, false);
            setState(u, UnitState::NotAnswering, why);
        }
    }
    pause(portPauseMs_);
    portPauseMs_ = std::min(2 * portPauseMs_, PortPauseMaxMs);
}

void Gateway::portBack()
{
    portPauseMs_ = PortPauseMs;
    if (!portDown_)
        return;
    portDown_ = false;
    if (onNotice)
        onNotice(QStringLiteral("the port is open again"));
}

bool Gateway::pause(int ms)
{
    line_.wait(ms, [this] { return line_.stopRequested(); });
    return !line_.stopRequested();
}

void Gateway::result(const Reading& r)
{
    if (!inHand_)
        return;
    lastResult_ = Clock::now();
    table_.setResult(inHand_->address, r, lastResult_);
    if (onResult)
        onResult(inHand_->address, r);
}

void Gateway::deviceError(int number, const QString& text)
{
    if (!inHand_)
        return;
    table_.setError(inHand_->address, number);
    // While measuring the unit's last error goes with its state, once per change.
    if (inHand_->state == UnitState::Measuring && text != inHand_->why)
        setState(*inHand_, UnitState::Measuring, text);
}

Step Gateway::read(Unit& u)
{
    UnitFacts facts;
    const Step s = line_.connect(u.address, facts);
    if (s.result == StepResult::PortGone)
        portGone(s.message);
    if (s.result == StepResult::PortGone || s.result == StepResult::Stopped)
        return s;
    portBack();
    if (u.address == 0 && facts.address != 0)
        table_.setRs232Address(facts.address);
    if (s.result == StepResult::Ok && !facts.measurable)
        return {StepResult::Refused, facts.unmeasurable};
    return s;
}

void Gateway::runStreaming(Unit& u)
{
    if (!pause(msUntil(u.due)))
        return;
    Step s = read(u);
    if (s.result == StepResult::PortGone || s.result == StepResult::Stopped)
        return;
    if (s.result != StepResult::Ok) {
        askLater(u, s);
        return;
    }
    inHand_ = &u;
    lastResult_ = Clock::now();
    s = line_.startStreaming();
    if (s.result == StepResult::PortGone) {
        portGone(s.message);
        return;
    }
    if (s.result == StepResult::Ok) {
        answering(u, true);
        line_.wait(INT_MAX, [this] {
            return line_.stopRequested() || !line_.linkUp() || Clock::now() - lastResult_ > std::chrono::milliseconds(SilenceMs);
        });
        if (!line_.linkUp()) {
            portGone(line_.lostReason());
            return;
        }
    }
    // Stopped on every way out: asked to stop, silent, refused the start.
    const Step stopped = line_.stopStreaming();
    inHand_ = nullptr;
    if (line_.stopRequested()) {
        stop_ = stopped;
        return;
    }
    askLater(u, s.result == StepResult::Ok
                    ? Step{StepResult::NoAnswer, QStringLiteral("no results for %1 s").arg(SilenceMs / 1000)}
                    : s);
}

void Gateway::runLine()
{
    // The units to read: the port is opened for the first of them.
    Unit* lastRead = nullptr;
    bool connected = false;      // a unit was connected to in this pass
    bool connectionRead = false; // and the last of them was read
    for (Unit& u : units_) {
        if (u.read || Clock::now() < u.due)
            continue;
        connected = true;
        const Step s = read(u);
        if (s.result == StepResult::PortGone || s.result == StepResult::Stopped)
            return;
        connectionRead = s.result == StepResult::Ok;
        if (connectionRead) {
            u.read = true;
            u.misses = 0;
            lastRead = &u;
            answering(u, true);
        } else {
            askLater(u, s);
        }
    }
    if (!lastRead)
        lastRead = [this]() -> Unit* {
            for (Unit& u : units_)
                if (u.read)
                    return &u;
            return nullptr;
        }();
    // After a unit that failed, one that answered is connected again.
    if (lastRead && ((connected && !connectionRead) || !line_.linkUp())) {
        const Step s = read(*lastRead);
        if (s.result == StepResult::PortGone || s.result == StepResult::Stopped)
            return;
        if (s.result != StepResult::Ok) {
            askLater(*lastRead, s);
            return;
        }
    }
    if (!lastRead) {
        // No unit to ask: wait for the first one due to be read again.
        Clock::time_point next = Clock::time_point::max();
        for (const Unit& u : units_)
            next = std::min(next, u.due);
        pause(msUntil(next));
        return;
    }

    // Rounds over the units read, until one is due to be read again.
    while (!line_.stopRequested()) {
        const Clock::time_point roundEnds = Clock::now() + std::chrono::milliseconds(intervalMs_);
        for (Unit& u : units_) {
            if (!u.read)
                continue;
            inHand_ = &u;
            const Step s = line_.measureOnce(u.address);
            inHand_ = nullptr;
            switch (s.result) {
            case StepResult::Ok:
            case StepResult::Refused: // an error reply: it answers, the error is kept
                u.misses = 0;
                if (u.state != UnitState::Measuring)
                    answering(u, true);
                break;
            case StepResult::NoAnswer:
                if (++u.misses >= MissesBeforeSilent)
                    askLater(u, s);
                break;
            case StepResult::PortGone:
                portGone(s.message);
                return;
            case StepResult::Stopped:
                return;
            }
            if (line_.stopRequested())
                return;
        }
        if (const int left = msUntil(roundEnds); left > 0 && !pause(left))
            return;
        const auto now = Clock::now();
        if (std::any_of(units_.begin(), units_.end(), [&](const Unit& u) { return !u.read && now >= u.due; })
            || std::none_of(units_.begin(), units_.end(), [](const Unit& u) { return u.read; }))
            return;
    }
}

} // namespace dxu::gateway
