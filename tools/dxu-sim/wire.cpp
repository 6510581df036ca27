#include "wire.h"

#include "ttyrate.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <unistd.h>

namespace dxusim {

namespace {

constexpr size_t kLongestLine = 1024;  // the unit's receive buffer
constexpr size_t kLongChunk = 4096;
const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

// What a byte sent at the wrong rate looks like at the other end: never a
// line start or line end, so a garbled line is junk and nothing more.
char garbled(char c) { return char(0x80 | ((static_cast<unsigned char>(c) * 37 + 11) & 0x7F)); }

const char* lineEnd(LineEnd e) { return e == LineEnd::CrLf ? "\r\n" : e == LineEnd::Lf ? "\n" : "\r"; }

} // namespace

Micros monotonicNow()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return Micros(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

std::string escaped(const std::string& bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c >= 0x20 && c < 0x7F) {
            out += char(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

Log::~Log()
{
    if (file_)
        std::fclose(file_);
}

bool Log::open(const std::string& path, Micros start)
{
    start_ = start;
    file_ = std::fopen(path.c_str(), "w");
    return file_ != nullptr;
}

void Log::write(Micros now, const char* tag, const std::string& text)
{
    if (!file_)
        return;
    std::fprintf(file_, "%.3f %s %s\n", double(now - start_) / 1e6, tag, escaped(text).c_str());
    std::fflush(file_);
}

Wire::Wire(const Options& opt, int master, int device, Log& log, Micros now)
    : opt_(opt), master_(master), device_(device), log_(log), rng_(opt.seed)
{
    const std::vector<char> addresses = opt.network ? opt.addresses : std::vector<char>{opt.address};
    std::vector<Settings> saved;
    for (char a : addresses)
        saved.push_back(Settings::defaults(a, opt.port, opt.rate));
    if (!opt.stateFile.empty() && readStateFile(opt.stateFile, saved))
        log_.write(now, "NOTE", "saved settings read from " + opt.stateFile);
    for (size_t i = 0; i < saved.size(); ++i) {
        saved[i].values["WP"] = {double(opt.port)};  // the wiring, not a setting
        units_.push_back(std::make_unique<Unit>(int(i), opt, saved[i], *this, now));
    }
}

void Wire::readAvailable(Micros now)
{
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return;
        if (n <= 0) {
            hungUp_ = true;
            return;
        }
        for (ssize_t i = 0; i < n; ++i) {
            const char c = buf[i];
            if (rx_.empty() && !rxOverrun_ && c != '\r' && c != '\n')
                checkTurnaround(now);
            if (c == '\r' || c == '\n') {
                if (!rxOverrun_ && !rx_.empty())
                    lineReceived(rx_, now);
                rx_.clear();
                rxOverrun_ = false;
            } else if (!rxOverrun_) {
                rx_ += c;
                if (rx_.size() > kLongestLine) {
                    log_.write(now, "RX!", rx_.substr(0, 40) + "... (overrun: no line end within "
                                               + std::to_string(kLongestLine) + " bytes)");
                    rx_.clear();
                    rxOverrun_ = true;
                }
            }
        }
    }
}

// The first byte of a command: the unit that replied last must have had
// its turnaround. A pseudo-terminal hands bytes over at once, so the reply's
// last byte reached the program when it was written.
void Wire::checkTurnaround(Micros now)
{
    if (opt_.minTurnaroundUs <= 0 || lastReplyWrite_ == 0 || now - lastReplyWrite_ >= opt_.minTurnaroundUs)
        return;
    ++turnaroundViolations_;
    const std::string text = std::to_string(now - lastReplyWrite_) + " us after a reply (at least "
                             + std::to_string(opt_.minTurnaroundUs) + " us), "
                             + std::to_string(turnaroundViolations_) + " so far";
    log_.write(now, "TURN!", text);
    std::fprintf(stderr, "dxu-sim: command %s\n", text.c_str());
}

void Wire::lineReceived(const std::string& line, Micros now)
{
    log_.write(now, "RX", line);
    const size_t start = line.find_first_of("$#");
    if (start == std::string::npos)
        return;  // junk: no unit takes it for a command
    const unsigned clientRate = lineRate(device_);
    ++linesReceived_;
    for (auto& u : units_) {
        if (opt_.isSilent(opt_.network ? opt_.addresses[size_t(u->index())] : opt_.address) || u->restarting(now))
            continue;
        std::string frame;
        size_t body = start + 1;
        if (line[start] == '$') {
            if (opt_.network)
                continue;  // on a shared line only addressed lines are answered
            frame = "$";
        } else {
            if (start + 1 >= line.size() || line[start + 1] != u->address())
                continue;
            frame = (opt_.network && opt_.dollarReplies) ? "$" : line.substr(start, 2);
            body = start + 2;
        }
        if (clientRate != 0 && clientRate != u->linkRate()) {
            log_.write(now, "RX!", std::string(1, u->address()) + " " + line + " (line at "
                                       + std::to_string(clientRate) + " bit/s, unit at "
                                       + std::to_string(u->linkRate()) + ")");
            continue;
        }
        u->handle(frame, line.substr(body), now);
    }
}

void Wire::send(Unit& from, const std::string& frame, const std::string& text, bool measurement, Micros now)
{
    const long n = ++replies_;
    if (opt_.dropEvery && n % opt_.dropEvery == 0) {
        log_.write(now, "DROP", frame + text);
        return;
    }
    const std::string f =
        (opt_.wrongAddressEvery && n % opt_.wrongAddressEvery == 0) ? std::string("#") + strangerAddress() : frame;
    const std::string line = f + text;
    const std::string bytes = line + lineEnd(opt_.lineEnd);

    Micros delay = 0;
    if (!measurement) {
        const Micros low = opt_.replyDelayMs >= 0 ? Micros(opt_.replyDelayMs) * 1000 : 0;
        const Micros high = opt_.replyDelayMs < 0 ? 5000 : Micros(std::max(opt_.replyDelayMaxMs, opt_.replyDelayMs)) * 1000;
        delay = high > low ? std::uniform_int_distribution<Micros>(low, high)(rng_) : low;
    }
    if (opt_.lateEvery && n % opt_.lateEvery == 0)
        delay += Micros(opt_.lateMs) * 1000;

    if (!measurement && collides(from, now + delay, bytes, line))
        return;

    const size_t pieces = std::min<size_t>(size_t(opt_.splitPieces), bytes.size());
    size_t pos = 0;
    for (size_t i = 0; i < pieces; ++i) {
        const size_t end = (bytes.size() * (i + 1)) / pieces;
        Chunk c;
        c.bytes = bytes.substr(pos, end - pos);
        pos = end;
        c.notBefore = now + delay;
        c.gapAfterPrevious = i ? Micros(opt_.splitGapMs) * 1000 : 0;
        c.rate = from.linkRate();
        c.unit = &from;
        c.tag = i ? nullptr : "TX";
        c.logText = line;
        c.endsMeasurement = measurement && i + 1 == pieces;
        c.measurement = measurement;
        c.answers = measurement ? 0 : linesReceived_;
        queue_.push_back(std::move(c));
    }
    const auto extra = [&](std::string b, const char* tag, std::string logText) {
        Chunk c;
        c.bytes = std::move(b);
        c.rate = from.linkRate();
        c.unit = &from;
        c.tag = tag;
        c.logText = std::move(logText);
        queue_.push_back(std::move(c));
    };
    if (opt_.noiseBytes > 0) {
        std::string j = junk(size_t(opt_.noiseBytes), false);
        extra(j, "JUNK", j);
    }
    if (opt_.overlongAfter == n) {
        const std::string body = "$" + junk(size_t(opt_.overlongLength) - 1, true);
        for (size_t p = 0; p < body.size(); p += kLongChunk)
            extra(body.substr(p, kLongChunk), p ? nullptr : "LONG",
                  body.substr(0, 24) + "... (" + std::to_string(body.size()) + " bytes without a line end)");
    }
}

void Wire::discardPending(const Unit& from)
{
    std::erase_if(queue_, [&](const Chunk& c) { return c.unit == &from; });
}

void Wire::savedChanged()
{
    if (opt_.stateFile.empty())
        return;
    std::vector<Settings> saved;
    for (const auto& u : units_)
        saved.push_back(u->saved());
    if (!writeStateFile(opt_.stateFile, saved))
        log_.write(monotonicNow(), "NOTE", "cannot write the state file " + opt_.stateFile);
}

void Wire::tick(Micros now)
{
    if (!blocked_)
        writeDue(now);
    for (auto& u : units_)
        u->tick(now);
    if (!blocked_)
        writeDue(now);
}

void Wire::writeDue(Micros now)
{
    while (!queue_.empty() && !exit_) {
        Chunk& c = queue_.front();
        if (due(c) > now)
            return;
        const unsigned clientRate = lineRate(device_);
        const bool garble = clientRate != 0 && clientRate != c.rate;
        if (c.tag) {
            log_.write(now, (std::string(c.tag) + (garble ? "!" : "")).c_str(), c.logText);
            c.tag = nullptr;
        }
        std::string out = c.bytes;
        if (garble)
            std::transform(out.begin(), out.end(), out.begin(), garbled);
        const Micros writeStart = monotonicNow();
        const ssize_t w = listening_ ? ::write(master_, out.data(), out.size()) : ssize_t(out.size());
        if (w < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                blocked_ = errno == EAGAIN;
                return;
            }
            queue_.pop_front();  // the line is gone; what was to be sent is lost
            continue;
        }
        lastWrite_ = now;
        if (!c.measurement)
            lastReplyWrite_ = writeStart;
        lineFreeAt_ = now + Micros(double(w) * 10e6 / std::max(1u, c.rate));
        if (size_t(w) < c.bytes.size()) {
            c.bytes.erase(0, size_t(w));
            blocked_ = true;
            return;
        }
        const bool measurementDone = c.endsMeasurement;
        queue_.pop_front();
        if (measurementDone && opt_.exitAfterBm && ++measurementsSent_ == opt_.exitAfterBm) {
            log_.write(now, "NOTE", "exit after " + std::to_string(measurementsSent_) + " measurements");
            exit_ = true;
        }
    }
}

// When a chunk may go out: after its reply delay, once the line is free, and
// for a later piece of a split reply a pause after the piece before.
Micros Wire::due(const Chunk& c) const
{
    Micros t = std::max(c.notBefore, lineFreeAt_);
    if (c.gapAfterPrevious)
        t = std::max(t, lastWrite_ + c.gapAfterPrevious);
    return t;
}

Micros Wire::nextEvent() const
{
    Micros t = kNever;
    for (const auto& u : units_)
        t = std::min(t, u->nextEvent());
    if (!queue_.empty() && !blocked_)
        t = std::min(t, due(queue_.front()));
    return t;
}

std::string Wire::junk(size_t n, bool lineSafeOnly)
{
    std::string out;
    std::uniform_int_distribution<int> pick(0, 255);
    while (out.size() < n) {
        const int c = pick(rng_);
        const bool ok = lineSafeOnly ? std::isalnum(c) != 0
                                     : (c > 0x20 && c != '$' && c != '#' && c != 0x7F);
        if (ok)
            out += char(c);
    }
    return out;
}

// Two units at one address answer the same line. Where their replies would
// be on the wire at the same time, both drive it: what arrives is one run of
// garbled bytes (no line start, no line end) in place of the reply already
// waiting, and the new reply goes nowhere. Replies that do not overlap go
// out one after the other.
bool Wire::collides(const Unit& from, Micros start, const std::string& bytes, const std::string& line)
{
    const auto wireTime = [&](size_t n) { return Micros(double(n) * 10e6 / std::max(1u, from.linkRate())); };
    for (auto it = queue_.begin(); it != queue_.end(); ++it) {
        Chunk& c = *it;
        if (c.measurement || !c.tag || c.unit == &from || c.answers != linesReceived_
            || c.unit->address() != from.address())
            continue;
        const Micros overlap = std::max(wireTime(bytes.size()), wireTime(c.bytes.size()));
        if (c.notBefore - start >= overlap || start - c.notBefore >= overlap)
            continue;
        // The other reply whole, its later pieces included.
        std::string theirs;
        const Unit* other = c.unit;
        for (auto p = std::next(it); p != queue_.end() && p->unit == other && !p->tag && p->answers == c.answers;)
            theirs += p->bytes, p = queue_.erase(p);
        theirs.insert(0, c.bytes);
        std::string mixed(std::max(theirs.size(), bytes.size()), '\xFF');
        for (size_t i = 0; i < mixed.size(); ++i) {
            const char a = i < bytes.size() ? bytes[i] : '\xFF';
            const char b = i < theirs.size() ? theirs[i] : '\xFF';
            mixed[i] = garbled(char(a & b));
        }
        c.bytes = mixed;
        c.notBefore = std::min(c.notBefore, start);
        c.tag = "CLASH";
        c.logText += " | " + line;
        return true;
    }
    return false;
}

char Wire::strangerAddress() const
{
    for (const char* p = kAlphabet; *p; ++p) {
        if (std::none_of(units_.begin(), units_.end(), [&](const auto& u) { return u->address() == *p; }))
            return *p;
    }
    return '?';
}

} // namespace dxusim
