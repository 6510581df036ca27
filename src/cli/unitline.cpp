#include "cli/unitline.h"

#include "cli/interrupt.h"
#include "ports/pcport.h"
#include "ports/portsettings.h"
#include "protocol/settingcodes.h"
#include "settings/fileunits.h"
#include "settings/setupfile.h"
#include "settings/transfer.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace dxu::cli {
namespace {

// The engine's tick: the reply time-out is checked on it. Finer than the
// window's second so that a silent unit costs its time-out and little more.
constexpr int TickMs = 100;
// Upper bounds of whole steps, beyond the engine's own time-outs and retries.
constexpr int ConnectMs = 120000;
constexpr int ListMs = 120000;

void copyFields(const SettingCode& row, const UnitRecord& from, UnitRecord& to)
{
    for (int i = 0; i < row.fieldCount(); ++i) {
        const SettingField& f = row.fields[static_cast<size_t>(i)];
        if (f.intField)
            to.*f.intField = from.*f.intField;
        else
            to.*f.floatField = from.*f.floatField;
    }
}

QString oneLine(QString text)
{
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.simplified();
}

} // namespace

QString messageLine(const QString& text, int comNumber, const QString& devicePath)
{
    // The window's advice, as it reads on the command line.
    QString line = oneLine(QString(text).replace(QStringLiteral("Please select another serial port"),
                                                 QStringLiteral("Give another port with --port")));
    if (!devicePath.isEmpty()) {
        const QString com = QStringLiteral("COM%1").arg(comNumber);
        line.replace(com + QStringLiteral(" (") + devicePath + QLatin1Char(')'), devicePath);
        line.replace(com, devicePath);
    }
    return line;
}

// What the unit said that a step's outcome rests on.
class UnitLine::Listener final : public UnitEvents {
public:
    explicit Listener(UnitLine& line) : line_(line) {}
    void result(const Result& r) override
    {
        if (r.kind == Result::Kind::Distance)
            ++line_.results_;
        if (r.kind == Result::Kind::Distance && line_.onResult)
            line_.onResult();
    }
    // The window shows a known error in the error bars; an unknown one is
    // only a number in the result line and refuses nothing by name.
    void deviceError(const DeviceError& e) override
    {
        const QString text = QString::fromLatin1(e.text.data(), static_cast<qsizetype>(e.text.size())).trimmed();
        if (e.known && !text.isEmpty())
            line_.refusal_ = text;
        if (line_.onDeviceError)
            line_.onDeviceError(text);
    }
    void addressNotAssigned() override { line_.message_ = QStringLiteral("RS-485 Error: Unit address is not assigned"); }
    void replyFromOtherAddress(char) override { line_.otherAddress_ = true; }
    void settingWritten(uint32_t commandId) override { line_.noteWritten(commandId); }
    void settingRead(const SettingCode& row) override { line_.noteRead(row); }
    // The unit has stopped answering: the engine ends the list.
    void itemUnanswered() override { line_.unanswered_ = true; }

private:
    UnitLine& line_;
};

UnitLine::UnitLine(int comNumber, int rate, bool network, const QString& devicePath)
    : listener_(std::make_unique<Listener>(*this)), protocol_(st_, driver_, *this, events_),
      engine_(st_, protocol_, driver_, *this, events_, *this), session_(st_, engine_, driver_, *this, *this, *this),
      scan_(st_, engine_, session_, driver_, *this), comNumber_(comNumber), rate_(rate), devicePath_(devicePath)
{
    events_.add(session_);
    events_.add(*listener_);
    // The rest of a list would only wait for a unit that stopped answering,
    // item by item.
    engine_.setEndListWhenSilent(true);
    // No status requests between the steps: the line carries only what the
    // command asks for.
    st_.statusRequests = 0;
    st_.setNetworkMode(network ? 1 : 0);
    UnitRecord& pc = st_.unitTable[0];
    pc.port232 = pc.port485 = comNumber - 1;
    applyRate(rate);

    driver_.SetOnReceiveData(
        [this](TCommPortDriver*, const char* data, int32_t size) { engine_.CommPortReceiveData(data, size); });
    QObject::connect(&driver_, &TCommPortDriver::portNote, [this](const QString& text) {
        std::fprintf(stderr, "dxu-cli: note: %s\n", qPrintable(messageLine(text)));
    });
    QObject::connect(&driver_, &TCommPortDriver::portLost, [this] {
        if (!driver_.LinkLost())
            return;
        portLost_ = true;
        if (scan_.running())
            scan_.portLost();
        session_.portLost(comNumber_);
    });
    tick_.setInterval(TickMs);
    QObject::connect(&tick_, &QTimer::timeout, [this] { engine_.PollTimerTimer(); });
    tick_.start();
}

TComPortBaudRate UnitLine::driverRateOf(int rate)
{
    for (int r = br110; r <= br115200; ++r)
        if (baudRateValue(static_cast<TComPortBaudRate>(r)) == static_cast<uint32_t>(rate))
            return static_cast<TComPortBaudRate>(r);
    return br115200;
}

// The program's rate table leaves out rates such as 56000; the driver takes
// every rate it knows.
void UnitLine::applyRate(int rate)
{
    rate_ = rate;
    UnitRecord& pc = st_.unitTable[0];
    pc.port232RateIndex = pc.port485RateIndex = indexOfRate(rate);
    DriverPcPort port(driver_);
    applyPortSettings(st_, port);
    driver_.SetComPortSpeed(driverRateOf(rate));
}

QString UnitLine::where() const
{
    return QStringLiteral("on %1 at %2 bit/s")
        .arg(devicePath_.isEmpty() ? QStringLiteral("COM%1").arg(comNumber_) : devicePath_)
        .arg(rate_);
}

QString UnitLine::withWhere(const QString& message) const
{
    const QString port = devicePath_.isEmpty() ? QStringLiteral("COM%1").arg(comNumber_) : devicePath_;
    return message.contains(port) ? message : message + QLatin1Char(' ') + where();
}

UnitLine::~UnitLine()
{
    driver_.SetOnReceiveData(nullptr);
    driver_.Disconnect();
}

bool UnitLine::ask(const Asking& asking)
{
    const AskingText t = askingText(asking);
    message_ = messageLine(t.yesNo ? t.caption + QStringLiteral(": ") + t.text : t.text);
    return false;
}

bool UnitLine::claimPort(int comNumber)
{
    if (!portIsFree(comNumber)) {
        portRefused_ = true;
        message_ = messageLine(portOpenFailureText(comNumber));
        return false;
    }
    if (!driver_.Connected())
        driver_.SetComPort(static_cast<TComPortNumber>(comNumber - 1));
    return true;
}

void UnitLine::readProgress(int item, int count)
{
    if (onProgress)
        onProgress(count > 0 ? QStringLiteral("Reading settings %1 of %2").arg(item).arg(count) : QString(), item, count);
}

void UnitLine::beginStep()
{
    message_.clear();
    refusal_.clear();
    unanswered_ = false;
    portRefused_ = false;
    otherAddress_ = false;
    engine_.resetFailures();
}

// An item the unit refused even after its retries: the list went on without it.
QString UnitLine::failedItem() const
{
    return engine_.failedItems() > 0 ? QString::fromLatin1(engine_.lastFailure()) : QString();
}

Outcome UnitLine::failedOutcome(const QString& doing, int status) const
{
    const QString item = failedItem();
    // A unit that answers as another says nothing about this one.
    if (item.endsWith(QLatin1String(OtherAddressText)))
        return {ExitNoAnswer, QLatin1String(OtherAddressText)};
    return {status, QStringLiteral("refused during the %1: %2").arg(doing, item)};
}

bool UnitLine::queueIdle() const { return st_.queue.queueState == QueueIdle && st_.lastSendTick == 0; }

bool UnitLine::runUntil(const std::function<bool()>& done, int timeoutMs, bool interruptible)
{
    QElapsedTimer clock;
    clock.start();
    // The tick timer wakes the loop at least every TickMs.
    while (!done()) {
        if ((interruptible && interrupted()) || clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

Outcome UnitLine::interruptedOutcome() const { return {ExitFailed, QStringLiteral("interrupted")}; }

Outcome UnitLine::connectUnit(char address)
{
    disconnect();
    beginStep();
    portLost_ = false;
    tracking_ = false;
    if (st_.networkMode()) {
        // A line of one: the session connects to this unit or to none.
        st_.networkSlots.fill(EmptySlot);
        st_.assignedSlots.fill(EmptySlot);
        st_.networkSlots[0] = st_.assignedSlots[0] = address;
        st_.networkCount = 1;
        st_.unitTable[1] = UnitRecord{};
    }
    session_.connectClicked();
    const bool done = runUntil(
        [this] {
            return !driver_.Connected() || (st_.connected == 1 && st_.current().settingsRead == 1 && queueIdle());
        },
        ConnectMs);
    if (!done) {
        const bool wasInterrupted = interrupted();
        disconnect();
        return wasInterrupted ? interruptedOutcome() : Outcome{ExitNoAnswer, QStringLiteral("the read did not end")};
    }
    if (portRefused_)
        return {ExitPortClosed, message_};
    if (portLost_)
        return {ExitFailed, message_};
    if (!driver_.Connected() || st_.connected != 1)
        return {ExitNoAnswer, QStringLiteral("did not answer")};
    if (unanswered_) {
        disconnect();
        return {ExitNoAnswer, QStringLiteral("stopped answering during the read")};
    }
    if (!failedItem().isEmpty())
        return failedOutcome(QStringLiteral("read"), ExitRefused);
    return {};
}

Outcome UnitLine::finishList(const char* what, int timeoutMs)
{
    const bool done = runUntil([this] { return !driver_.Connected() || queueIdle(); }, timeoutMs);
    if (!done)
        return interrupted() ? interruptedOutcome()
                             : Outcome{ExitNoAnswer, QStringLiteral("%1 did not end").arg(QLatin1String(what))};
    if (portLost_ || !driver_.Connected())
        return {ExitFailed, message_.isEmpty() ? QStringLiteral("the port was closed") : message_};
    if (unanswered_)
        return {ExitNoAnswer, QStringLiteral("stopped answering during the %1").arg(QLatin1String(what))};
    if (!refusal_.isEmpty())
        return {ExitRefused, QStringLiteral("refused during the %1: %2").arg(QLatin1String(what), refusal_)};
    if (!failedItem().isEmpty())
        return failedOutcome(QLatin1String(what), ExitRefused);
    return {};
}

Outcome UnitLine::applySettings(const UnitRecord& file, int& changed, bool& wrote)
{
    before_ = known_ = st_.current();
    tracking_ = true;
    tookWrite_ = false;
    saveSent_ = false;
    const Outcome o = putSettings(file, changed, wrote);
    return o.ok() ? o : putBack(o);
}

Outcome UnitLine::putSettings(const UnitRecord& file, int& changed, bool& wrote)
{
    beginStep();
    UnitRecord& unit = st_.current();
    st_.editRecord = withFileSettings(unit, file);
    changed = static_cast<int>(compareSettings(unit, st_.editRecord).size());
    wrote = adoptSetupImage(unit, st_.editRecord);
    if (wrote) {
        startUpload(st_, engine_);
        const Outcome o = finishList("upload", ListMs);
        if (!o.ok())
            return o;
    }
    // What the unit reported back, against the file.
    const std::vector<CompareRow> rows = compareSettings(st_.current(), withFileSettings(st_.current(), file));
    if (!rows.empty()) {
        const CompareRow& r = rows.front();
        return {ExitRefused, QStringLiteral("did not keep %1: %2 (file: %3)%4")
                                 .arg(r.setting, r.unitValue, r.fileValue,
                                      rows.size() > 1 ? QStringLiteral(", and %1 more").arg(rows.size() - 1)
                                                      : QString())};
    }
    return {};
}

Outcome UnitLine::putBack(Outcome failure)
{
    if (!tracking_ || !tookWrite_)
        return failure;
    // A save the unit did not answer may have been carried out.
    const bool saveUnknown = saveSent_ && unanswered_;
    QString how;
    if (driver_.Connected() && !portLost_ && !unanswered_ && !interrupted()) {
        // The record as the unit holds it, then what it held before.
        st_.current() = withFileSettings(st_.current(), known_);
        int changed = 0;
        bool wrote = false;
        const Outcome back = putSettings(before_, changed, wrote);
        if (!back.ok())
            how = QStringLiteral("putting its earlier settings back failed (%1); ").arg(back.message);
    }
    tracking_ = false;
    // Where the failure happened goes before how the unit was left.
    failure.message = withWhere(failure.message);
    const std::vector<CompareRow> rows = compareSettings(before_, known_);
    if (rows.empty()) {
        failure.message += QStringLiteral("; its earlier settings were put back");
        return failure;
    }
    QStringList held;
    for (const CompareRow& r : rows)
        held << QStringLiteral("%1 %2 (was %3)").arg(r.setting, r.fileValue, r.unitValue);
    failure.message += QStringLiteral("; %1it now holds, %2: %3")
                           .arg(how, saveUnknown ? QStringLiteral("perhaps not saved") : QStringLiteral("not saved"),
                                held.join(QStringLiteral(", ")));
    return failure;
}

void UnitLine::noteWritten(uint32_t commandId)
{
    const SettingCode* row = settingById(commandId);
    if (!tracking_ || !row || !carriedByFile(*row))
        return;
    tookWrite_ = true;
    const CommandItem& item = st_.queue.atCursor(); // the write just answered
    const UnitRecord& edit = st_.editRecord;
    if (row->form == ReplyForm::Dither) {
        known_.ditherSteps = edit.ditherOn ? edit.ditherSteps : 0;
        known_.ditherOn = known_.ditherSteps != 0;
    } else if (commandId == IdMeasureMode) {
        known_.measureMode = item.intArg(0);
    } else if (commandId == IdUnits) {
        known_ = convertedTo(known_, edit.units); // the unit converts its lengths
    } else if (commandId == IdPulseRate || commandId == IdPulses) {
        if (const SettingField* f = fieldOfMode(*row, item.intArg(3)))
            known_.*f->intField = edit.*f->intField;
    } else {
        copyFields(*row, edit, known_);
    }
}

void UnitLine::noteRead(const SettingCode& row)
{
    if (!tracking_ || !carriedByFile(row))
        return;
    copyFields(row, st_.current(), known_);
}

Outcome UnitLine::saveSettings()
{
    beginStep();
    saveSent_ = true;
    startSave(st_, engine_);
    return finishList("save", ListMs);
}

Outcome UnitLine::startMeasuring()
{
    beginStep();
    if (!st_.current().laserOn)
        session_.continuousClicked();
    return finishList("start", ListMs);
}

Outcome UnitLine::stopMeasuring()
{
    beginStep();
    if (!driver_.Connected())
        return {ExitFailed, QStringLiteral("the port was closed")};
    if (st_.current().laserOn)
        session_.continuousClicked();
    // The unit is stopped also after Ctrl+C.
    const bool done = runUntil([this] { return !driver_.Connected() || queueIdle(); }, ListMs, false);
    if (!done || unanswered_ || !driver_.Connected())
        return {ExitNoAnswer, QStringLiteral("did not confirm the stop")};
    return {};
}

void UnitLine::disconnect()
{
    if (driver_.Connected())
        session_.disconnectUnit();
    engine_.dropQueue();
}

Outcome UnitLine::measureOnce(const UnitRecord& unit)
{
    beginStep();
    if (!driver_.Connected() || st_.connected != 1)
        return {ExitFailed, portLost_ && !message_.isEmpty() ? message_ : QStringLiteral("the port was closed")};
    st_.current() = unit;
    const long before = results_;
    protocol_.sendSingleMeasure();
    // The reply, an error, or the engine's reply time-out ends the wait.
    const bool done = runUntil([this] { return st_.lastSendTick == 0 || !driver_.Connected(); }, ListMs);
    if (results_ > before)
        return {};
    if (!done)
        return interrupted() ? interruptedOutcome() : Outcome{ExitNoAnswer, QStringLiteral("gave no result")};
    if (portLost_ || !driver_.Connected())
        return {ExitFailed, message_.isEmpty() ? QStringLiteral("the port was closed") : message_};
    if (otherAddress_)
        return {ExitNoAnswer, QLatin1String(OtherAddressText)};
    if (unanswered_)
        return {ExitNoAnswer, QStringLiteral("stopped answering")};
    return {ExitRefused, refusal_.isEmpty() ? QStringLiteral("gave no result") : QStringLiteral("refused: %1").arg(refusal_)};
}

Outcome UnitLine::scanLine(int rate, int answerWithinMs, const ScanProgress& progress)
{
    disconnect();
    beginStep();
    portLost_ = false;
    applyRate(rate);
    scan_.setAnswerWithinMs(answerWithinMs);
    scan_.changed = [this, &progress] {
        if (progress)
            progress(scan_);
    };
    if (!scan_.start()) {
        scan_.changed = nullptr;
        return portRefused_ ? Outcome{ExitPortClosed, message_}
                            : Outcome{ExitPortClosed, QStringLiteral("the port cannot be opened")};
    }
    bool done = runUntil([this] { return !scan_.running(); }, ConnectMs * 10);
    if (!done) {
        scan_.cancel();
        runUntil([this] { return !scan_.running(); }, ConnectMs, false);
    }
    scan_.changed = nullptr;
    if (portLost_)
        return {ExitFailed, message_};
    return done ? Outcome{} : interruptedOutcome();
}

} // namespace dxu::cli
