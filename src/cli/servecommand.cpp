#include "cli/servecommand.h"

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/unitline.h"

#include "gateway/gateway.h"
#include "gateway/modbusserver.h"
#include "gateway/unittable.h"
#include "publish/publisher.h"

#include <QTimer>

#include <algorithm>
#include <climits>
#include <map>

namespace dxu::cli {
namespace {

using gateway::Step;
using gateway::StepResult;

// The command line's serial line as the gateway drives it, and what the
// line tells (results, error replies) handed on to the gateway.
class ServeLine final : public gateway::Line, private UnitEvents {
public:
    explicit ServeLine(UnitLine& line) : line_(line) { line_.subscribe(*this); }
    ~ServeLine() override { line_.unsubscribe(*this); }
    ServeLine(const ServeLine&) = delete;
    ServeLine& operator=(const ServeLine&) = delete;

    void setGateway(gateway::Gateway* g) { gateway_ = g; }

    Step connect(char address, gateway::UnitFacts& facts) override
    {
        const Outcome o = line_.connectUnit(address);
        if (!o.ok())
            return stepOf(o);
        records_[address] = line_.unit();
        facts.address = line_.unit().addressChar();
        facts.measurable = measurableMode(line_.unit());
        if (!facts.measurable)
            facts.unmeasurable = unmeasurableText();
        return {};
    }
    Step startStreaming() override { return stepOf(line_.startMeasuring()); }
    Step stopStreaming() override { return stepOf(line_.stopMeasuring()); }
    Step measureOnce(char address) override
    {
        const auto record = records_.find(address);
        if (record == records_.end())
            return {StepResult::NoAnswer, QStringLiteral("not read")};
        return stepOf(line_.measureOnce(record->second));
    }
    bool linkUp() const override { return line_.linkUp(); }
    QString lostReason() const override
    {
        return line_.withWhere(line_.portMessage().isEmpty() ? QStringLiteral("the port went away") : line_.portMessage());
    }
    void close() override { line_.disconnect(); }
    void wait(int ms, const std::function<bool()>& done) override
    {
        // A timer of the wait's own ends it on time: the line's tick alone
        // would end it up to a tick late.
        QTimer due;
        due.setSingleShot(true);
        due.setTimerType(Qt::PreciseTimer);
        bool over = false;
        QObject::connect(&due, &QTimer::timeout, [&over] { over = true; });
        due.start(std::max(ms, 0));
        line_.runUntil([&] { return over || done(); }, INT_MAX);
    }
    bool stopRequested() const override { return interrupted(); }

private:
    Step stepOf(const Outcome& o) const
    {
        if (o.ok())
            return {};
        if (interrupted())
            return {StepResult::Stopped, o.message};
        const QString why = line_.withWhere(o.message);
        switch (o.status) {
        case ExitNoAnswer:
            return {StepResult::NoAnswer, why};
        case ExitRefused:
            return {StepResult::Refused, why};
        default: // the port cannot be opened, or went away
            return {StepResult::PortGone, why};
        }
    }

    void result(const Result& r) override
    {
        if (r.kind != Result::Kind::Distance || !gateway_)
            return;
        const UnitRecord& u = line_.unit();
        gateway::Reading reading;
        reading.distance = r.distance;
        reading.intensity = r.intensity;
        reading.metres = r.metres;
        reading.hasDistance = u.displayMode != 3 && !r.noValue;
        reading.hasIntensity = u.displayMode != 1;
        gateway_->result(reading);
    }
    void deviceError(const DeviceError& e) override
    {
        if (gateway_)
            gateway_->deviceError(e.code, QString::fromLatin1(e.text.data(), qsizetype(e.text.size())).trimmed());
    }

    UnitLine& line_;
    gateway::Gateway* gateway_ = nullptr;
    std::map<char, UnitRecord> records_; // each unit as its read left it
};

publish::UnitState publishedState(gateway::UnitState s)
{
    switch (s) {
    case gateway::UnitState::Measuring:
        return publish::UnitState::Measuring;
    case gateway::UnitState::Idle:
        return publish::UnitState::Idle;
    case gateway::UnitState::NotAnswering:
        return publish::UnitState::NotAnswering;
    }
    return publish::UnitState::Idle;
}

QString unitIds(const std::vector<char>& addresses)
{
    if (addresses.empty())
        return QStringLiteral("the RS-232 unit at unit identifier 1 and at its address");
    QStringList ids;
    for (char a : addresses)
        ids << QStringLiteral("%1 at %2").arg(QLatin1Char(a)).arg(int(static_cast<unsigned char>(a)));
    return QStringLiteral("units ") + ids.join(QStringLiteral(", "));
}

} // namespace

int runServe(const Options& o)
{
    publish::Publisher publisher(o.publish);
    if (const int status = openPublisher(publisher); status != ExitOk)
        return status;

    gateway::UnitTable table(o.addresses.empty() ? std::vector<char>{0} : o.addresses);
    gateway::ModbusServer modbus(table);
    if (o.modbus) {
        if (!modbus.start(*o.modbus)) {
            printError(modbus.error());
            publisher.close();
            return ExitFailed;
        }
        gateway::Endpoint at = *o.modbus;
        at.port = modbus.port();
        printError(QStringLiteral("serving Modbus TCP on %1: %2").arg(at.text(), unitIds(o.addresses)));
    }

    UnitLine unitLine(o.comNumber, o.rate, !o.addresses.empty(), o.devicePath);
    ServeLine line(unitLine);
    gateway::Gateway gateway(line, table, o.addresses);
    gateway.setIntervalMs(o.intervalMs);
    line.setGateway(&gateway);
    gateway.onNotice = printError;
    if (o.publish.enabled())
        gateway.onResult = [&](char address, const gateway::Reading&) {
            const ResultFields r = resultFields(unitLine.unit());
            publisher.publishResult(unitName(address), r.utc, r.distance, r.intensity, r.unit);
        };
    gateway.onState = [&](char address, gateway::UnitState state, const QString& why) {
        publisher.setStatus(unitName(address), publishedState(state), why);
    };

    const Step stopped = gateway.run();
    line.setGateway(nullptr);
    modbus.stop();
    int status = ExitOk;
    if (stopped.result != StepResult::Ok) {
        printError(QStringLiteral("%1: %2").arg(unitName(o.addresses.empty() ? 0 : o.addresses.front()), stopped.message));
        status = ExitNoAnswer;
    }
    if (!publisher.close() && status == ExitOk)
        status = publisher.loginRefused() ? ExitBrokerRefused : ExitFailed;
    return status;
}

} // namespace dxu::cli
