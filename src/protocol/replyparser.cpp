// The reply parser: reply lines from the unit become record values, display
// changes, capture lines and one verdict for the command queue.
#include "protocol/commandids.h"
#include "protocol/linetext.h"
#include "protocol/protocol.h"
#include "protocol/settingcodes.h"
#include "services/clock.h"

#include <algorithm>
#include <cstring>

namespace dxu {

using detail::FieldReader;
using detail::readInt;
using detail::TextBuilder;

namespace {

constexpr int AddressNotAssigned = -82;
constexpr int InvalidCommand = 1;
constexpr int DetectionMode = 3;
constexpr int TargetSlots = static_cast<int>(std::tuple_size_v<decltype(DxuState::targetList)>);

bool averagingMode(int mode) { return mode == 1 || mode == 4; }

} // namespace

void parseVersionNumber(const char* text, UnitRecord& rec)
{
    if (!text)
        return;
    const char* v = std::strchr(text, 'v');
    if (!v)
        v = std::strchr(text, 'V');
    if (!v)
        return;
    const char* major = v + 1;
    const char* dot1 = std::strchr(major, '.');
    if (!dot1)
        return;
    const char* dot2 = std::strchr(dot1 + 1, '.');
    if (!dot2)
        return;
    const char* blank = std::strchr(dot2 + 1, ' ');
    if (!blank)
        return;
    char digits[8];
    TextBuilder joined(digits, sizeof digits);
    joined.put({major, static_cast<std::size_t>(dot1 - major)})
        .put({dot1 + 1, static_cast<std::size_t>(dot2 - dot1 - 1)})
        .put({dot2 + 1, static_cast<std::size_t>(blank - dot2 - 1)});
    if (joined.overflowed()) // longer than any version the unit reports
        return;
    readInt(joined.view(), rec.firmwareVersion);
}

// The record whose address a "#" reply carries, or -1 when it is not to be
// accepted. While a network status request is out, the polled unit answers
// with its own address; it is looked up among the network units.
int Protocol::addressedUnit(char address) const
{
    if (address == st_.current().addressChar())
        return DxuState::index(st_.currentUnit);
    if (st_.pollOtherUnit) {
        const int last = std::min<int>(st_.networkCount, static_cast<int>(st_.unitTable.size()) - 1);
        for (int i = 1; i <= last; ++i)
            if (st_.unitTable[i].addressChar() == address && address != '\0')
                return i;
    }
    return -1;
}

ReplyResult Protocol::parseReplies(char* buffer, int32_t length)
{
    if (!buffer)
        return ReplyNothing;
    if (length < 0)
        length = 0;
    buffer[length] = '\0';
    char* pos = buffer;
    char* const end = buffer + length;
    ReplyResult verdict = ReplyNothing;
    while (pos < end) {
        int replyUnit = -1;
        if (*pos == '#') {
            ++pos;
            if (pos >= end)
                break; // the address has not arrived
            if (st_.queue.queueState == QueueScan)
                hooks_.scanReplyFrom(*pos);
            replyUnit = addressedUnit(*pos);
            // A late answer of an address the scan has left behind says
            // nothing about the address asked now: it is passed over.
            if (replyUnit < 0 && st_.queue.queueState == QueueScan) {
                ++pos;
                continue;
            }
            if (replyUnit < 0) {
                // Another unit's reply: it answers nothing, and the command
                // in flight fails for it (no time-out is waited for).
                st_.lastSendTick = 0;
                if (st_.queue.queueState != QueueIdle) {
                    CommandItem& it = st_.queue.inFlight();
                    std::memset(it.failureText, 0, sizeof it.failureText);
                    std::strncpy(it.failureText, OtherAddressText, sizeof it.failureText - 1);
                }
                events_.replyFromOtherAddress(*pos);
                verdict = ReplyFailure;
                break;
            }
            *pos = '$';
        } else if (*pos != '$') {
            ++pos; // line ends, noise, NUL bytes
            continue;
        }
        FieldReader fields(pos + 1, end);
        const std::string_view code = fields.next();
        const bool answers = answersInFlight(code);
        if (answers) {
            st_.lastSendTick = 0;
            if (!st_.awaited.any)
                st_.awaited.expect(nullptr, 0);
        } else if (!unsolicited(code) || (code == "BM" && !st_.connected)) {
            // A late reply to a command given up, or a stray one: it stays in
            // the terminal and changes nothing.
            pos = fields.position();
            continue;
        }
        if (!answers && code == "ER") {
            // The unit's own report while measuring: shown, answers nothing.
            handleError(fields, false);
            pos = fields.position();
            continue;
        }
        const Flow flow = handleReply(code, fields, replyUnit, verdict);
        pos = fields.position();
        if (flow == Flow::Stop)
            break;
    }
    std::memset(buffer, 0, static_cast<std::size_t>(length));
    return verdict;
}

// A reply answers the line in flight by its code; an error reply answers
// whatever is in flight. Nothing answers a line given up (lastSendTick 0).
bool Protocol::answersInFlight(std::string_view code) const
{
    return st_.awaited.any || (st_.lastSendTick != 0 && st_.awaited.answeredBy(code.data(), code.size()));
}

// What the unit sends of its own accord: results, the trip times of
// detection mode, and the errors it meets while measuring. They are shown,
// and answer no command.
bool Protocol::unsolicited(std::string_view code) const
{
    if (code == "BM")
        return true;
    const UnitRecord& rec = st_.current();
    if (code == "ER")
        return st_.connected && rec.laserOn;
    return rec.outputTBE && rec.measureMode == DetectionMode && rec.laserOn && (code.size() == 4 || code.size() == 1);
}

Protocol::Flow Protocol::handleReply(std::string_view code, FieldReader& fields, int replyUnit, ReplyResult& verdict)
{
    // A polled unit other than the one on screen is only asked for its status.
    const bool otherUnit = replyUnit >= 0 && replyUnit != DxuState::index(st_.currentUnit);
    if (otherUnit && code != "US" && code != "ER")
        return Flow::Continue;

    if (code == "ER") {
        verdict = handleError(fields, true);
        return Flow::Stop;
    }
    if (code == "BM") {
        if (!st_.connected) {
            verdict = ReplyCompleted;
            return Flow::Stop;
        }
        handleMeasurement(fields);
        // A result that follows a command's reply in the same block must not
        // hide that reply: the queue waits for it.
        if (verdict == ReplyNothing)
            verdict = ReplyMeasurement;
        return Flow::Continue;
    }
    if (code == "US") {
        handleStatus(fields, replyUnit);
        verdict = ReplyCompleted;
        return Flow::Continue;
    }
    if (handleSetting(code, fields)) {
        verdict = ReplyCompleted;
        return Flow::Continue;
    }
    if (handleTimeStream(code) && verdict == ReplyNothing)
        verdict = ReplyMeasurement;
    return Flow::Continue;
}

// Setting replies and the display-only replies; false for any other code.
bool Protocol::handleSetting(std::string_view code, FieldReader& fields)
{
    if (const SettingCode* setting = findSetting(code)) {
        storeSetting(*setting, fields);
        return true;
    }
    int32_t n = 0;
    if (code == "BP") {
        if (fields.nextInt(n))
            events_.beamPower(n);
    } else if (code == "LD") {
        if (fields.nextInt(n))
            events_.laserDiode(n != 0);
    } else if (code != "OK") {
        return false;
    }
    return true;
}

// Stores a setting reply in the current record as its row says, then tells
// that it was read.
void Protocol::storeSetting(const SettingCode& setting, FieldReader& fields)
{
    UnitRecord& rec = st_.current();
    const auto& f = setting.fields;
    int32_t n = 0;
    switch (setting.form) {
    case ReplyForm::Int:
        fields.nextInt(rec.*f[0].intField);
        break;
    case ReplyForm::Float:
        fields.nextFloat(rec.*f[0].floatField);
        break;
    case ReplyForm::Ints:
        for (int i = 0; i < setting.fieldCount(); ++i)
            fields.nextInt(rec.*f[static_cast<std::size_t>(i)].intField);
        break;
    case ReplyForm::IntFloat:
        fields.nextInt(rec.*f[0].intField);
        fields.nextFloat(rec.*f[1].floatField);
        break;
    case ReplyForm::GateBits:
        if (fields.nextInt(n))
            for (std::size_t bit = 0; bit < 3; ++bit)
                rec.*f[bit].intField = (n >> bit) & 1;
        break;
    case ReplyForm::Dither:
        fields.nextInt(rec.*f[0].intField);
        rec.*f[1].intField = rec.*f[0].intField != 0 ? 1 : 0;
        break;
    case ReplyForm::PulseCount: {
        uint32_t count = 0;
        if (fields.nextHex(count) && rec.prfDetection != 0)
            rec.*f[0].floatField = static_cast<float>(count / static_cast<uint32_t>(rec.prfDetection));
        break;
    }
    case ReplyForm::Baud: {
        int32_t rate = 0;
        if (fields.nextInt(n) && fields.nextInt(rate) && (n == 0 || n == 1))
            rec.*settingById(IdBaudPort0 + static_cast<uint32_t>(n))->fields[0].intField = rate;
        break;
    }
    case ReplyForm::Version: {
        const std::string_view text = fields.next();
        // A scanned unit's version belongs to the scan, not to the unit on screen.
        if (st_.queue.queueState == QueueScan) {
            hooks_.scanVersion(text);
            return;
        }
        TextBuilder version(st_.versionText, sizeof st_.versionText);
        version.put(text.substr(0, sizeof st_.versionText - 1));
        hooks_.showVersionText(version.view());
        parseVersionNumber(st_.versionText, rec);
        events_.version(version.view());
        break;
    }
    }
    events_.settingRead(setting);
}

void Protocol::handleStatus(FieldReader& fields, int replyUnit)
{
    int index = DxuState::index(st_.currentUnit);
    if (st_.pollOtherUnit) {
        st_.pollOtherUnit = 0;
        index = DxuState::index(replyUnit >= 0 ? replyUnit : st_.pollTarget > 0 ? st_.pollTarget : st_.pollIndex);
    }
    UnitRecord* target = &st_.unit(index);
    fields.nextInt(target->status);
    target->laserOn = (target->status & 2) ? 1 : 0;

    UnitRecord& cur = st_.current();
    cur.laserOn = (cur.status & 2) ? 1 : 0;
    events_.laserState(cur.laserOn != 0);
    events_.unitStatus(index, true);

    CommandQueue& q = st_.queue;
    if (q.queueState != QueueConnect)
        return;
    // Connecting: stop a measuring unit first, then read its version.
    q.resetQueue();
    if (cur.laserOn) {
        st_.resumeMeasuring = 1;
        q.enqueueCommand(KindCode, "ST", IdStop, ListRetries);
        q.enqueueCommand(KindCode, "US", IdStatus, ListRetries);
    }
    q.enqueueCommand(KindCode, "SV", IdVersion, ListRetries);
    q.cursor = 0;
}

ReplyResult Protocol::handleError(FieldReader& fields, bool answers)
{
    int32_t number = 0; // an unreadable number is reported as ER 00
    fields.nextInt(number);
    if (number == AddressNotAssigned && !answers)
        return ReplyNothing;
    if (number == AddressNotAssigned) {
        events_.addressNotAssigned();
        return ReplyFailure;
    }
    CommandQueue& q = st_.queue;
    const CommandItem& examined = (q.cursor == 0 || q.cursor == 1) ? q.at(0) : q.atCursor();
    if (answers && number == InvalidCommand && examined.commandId == IdVersion)
        return ReplyCompleted; // an old unit without a version query

    char text[sizeof CommandItem::failureText] = {};
    const bool quiet = answers && number == InvalidCommand && q.atCursor().commandId == IdStatus;
    const bool known = deviceErrorText(number, text, sizeof text);
    if (!known) {
        TextBuilder t(text, sizeof text);
        t.put("ER ").putInt(number, 2);
    }
    if (hooks_.captureOpen() && st_.logAll) {
        char buf[200];
        TextBuilder line(buf, sizeof buf);
        line.putTimeStamp().put("ER ").putInt(number, 2).put(',').put(text);
        writeCapture(line);
    }
    if (quiet)
        return ReplyCompleted;

    char* kept = reportedError_;
    if (answers)
        kept = q.inFlight().failureText;
    DeviceError error;
    // A retry of the command answered as its last try was.
    error.repeated = answers && std::strncmp(kept, text, sizeof text) == 0;
    std::memcpy(kept, text, sizeof text);
    error.code = number;
    error.text = kept;
    error.known = known;
    error.address = st_.current().addressChar();
    events_.deviceError(error);
    return answers ? ReplyFailure : ReplyNothing;
}

void Protocol::handleMeasurement(FieldReader& fields)
{
    UnitRecord& rec = st_.current();
    rec.measurementSeen = 1;
    st_.lastResultTick = tickCount();

    const std::string_view first = fields.next();
    st_.noDistance = first.empty() ? 1 : 0;
    const bool metres = rec.units != 0;
    char buf[160];
    TextBuilder line(buf, sizeof buf);
    Result result;
    result.kind = Result::Kind::Other;
    result.address = rec.addressChar();
    result.metres = metres;
    result.noValue = st_.noDistance != 0;

    if (averagingMode(rec.measureMode)) {
        int32_t n = 0;
        switch (rec.displayMode) {
        case 1:
            detail::readFloat(first, rec.lastDistance);
            rec.lastIntensity = 0;
            break;
        case 3:
            if (readInt(first, n))
                rec.lastIntensity = static_cast<float>(n * 0.001);
            break;
        default:
            detail::readFloat(first, rec.lastDistance);
            if (fields.nextInt(n))
                rec.lastIntensity = static_cast<float>(n * 0.001);
            break;
        }
        result.kind = Result::Kind::Distance;
        result.distance = rec.lastDistance;
        result.intensity = rec.lastIntensity;
        events_.result(result);
        if (!hooks_.captureOpen() || rec.displayMode < 1 || rec.displayMode > 3)
            return;
        line.putTimeStamp();
        if (rec.displayMode != 3)
            line.putFixed(rec.lastDistance, metres ? 3 : 2).put(metres ? ",m" : ",F");
        if (rec.displayMode == 2)
            line.put(", ");
        if (rec.displayMode != 1)
            line.putFixed(rec.lastIntensity, 1);
        writeCapture(line);
    } else if (rec.measureMode == 2) {
        handleBinning(first, fields, rec, result);
    } else if (rec.measureMode == DetectionMode) {
        int32_t n = 0;
        char text[24];
        TextBuilder mm(text, sizeof text);
        result.kind = Result::Kind::Detection;
        if (readInt(first, n)) {
            result.state = n != 0 ? "ON " : "OFF";
            if (n != 0)
                mm.putInt(n).put(" mm");
            result.detail = mm.view();
        }
        events_.result(result);
        if (hooks_.captureOpen()) {
            line.putTimeStamp().put(result.state);
            writeCapture(line);
        }
    } else {
        events_.result(result);
    }
}

void Protocol::handleBinning(std::string_view first, FieldReader& fields, UnitRecord& rec, Result& result)
{
    int32_t index = 0, count = 0, value = 0;
    float distance = 0;
    const bool haveIndex = readInt(first, index);
    if (fields.nextInt(count))
        st_.targetCount = std::max(count, 0);
    fields.nextFloat(distance);
    fields.nextInt(value);
    result.kind = Result::Kind::Target;
    result.targetCount = st_.targetCount;
    if (!haveIndex) {
        events_.result(result);
        return;
    }
    distance += st_.binOffset;
    if (index >= 0 && index < TargetSlots) {
        if (index == 0)
            for (TargetEntry& e : st_.targetList) {
                e.distance = 0;
                e.value = 0;
            }
        st_.targetList[static_cast<std::size_t>(index)].distance = distance;
        st_.targetList[static_cast<std::size_t>(index)].value = value;
    }
    result.targetIndex = index;
    result.distance = distance;
    result.intensity = static_cast<float>(value);
    result.setComplete = index == st_.targetCount - 1;
    if (result.setComplete)
        completeTargetSet();
    events_.result(result);

    if (!hooks_.captureOpen())
        return;
    const bool metres = rec.units != 0;
    char buf[160];
    TextBuilder line(buf, sizeof buf);
    line.putTimeStamp().putInt(index).put(", ").putInt(st_.targetCount).put(", ");
    line.putFixed(distance, metres ? 3 : 2).put(',').putInt(value).put(metres ? ",m" : ",F");
    writeCapture(line);
}

// The last target of a set has arrived: find the nearest and the farthest.
void Protocol::completeTargetSet()
{
    const int n = std::min(st_.targetCount, TargetSlots);
    st_.targetMinIndex = 0;
    st_.targetMaxIndex = std::clamp(st_.targetCount - 1, 0, TargetSlots - 1);
    bool found = false;
    float lowest = 0, highest = 0;
    for (int i = 0; i < n; ++i) {
        const float d = st_.targetList[static_cast<std::size_t>(i)].distance;
        if (d == 0) // no target in this entry
            continue;
        if (!found || d < lowest) {
            lowest = d;
            st_.targetMinIndex = i;
        }
        if (!found || d > highest) {
            highest = d;
            st_.targetMaxIndex = i;
        }
        found = true;
    }
}

// In detection mode with TBE output the unit streams trip times as bare hex
// codes: four digits while triggered ("0000" when the counter overflowed),
// one character when the trip ends.
bool Protocol::handleTimeStream(std::string_view code)
{
    const UnitRecord& rec = st_.current();
    if (!rec.outputTBE || rec.measureMode != DetectionMode || !rec.laserOn)
        return false;
    if (code.size() != 4 && code.size() != 1)
        return false;
    Result result;
    result.kind = Result::Kind::TripTime;
    result.address = rec.addressChar();
    char text[40];
    TextBuilder seconds(text, sizeof text);
    if (code.size() == 4) {
        result.state = "ON ";
        const int prf = rec.prfDetection;
        uint32_t ticks = 0;
        if (prf != 0 && code == "0000")
            seconds.put("> ").putFixed(65536.0f / static_cast<float>(prf), 1).put(" s");
        else if (prf != 0 && detail::readHex(code, ticks))
            seconds.putFixed(static_cast<float>(ticks) / static_cast<float>(prf), 3).put(" s");
        result.detail = seconds.view();
    } else {
        result.state = "OFF";
    }
    events_.result(result);
    if (hooks_.captureOpen()) {
        char buf[160];
        TextBuilder line(buf, sizeof buf);
        line.putTimeStamp().put(result.state).put(',').put(seconds.view());
        writeCapture(line);
    }
    return true;
}

void Protocol::writeCapture(TextBuilder& line)
{
    line.put('\n');
    if (!line.overflowed())
        hooks_.writeCaptureLine(line.view());
}

} // namespace dxu
