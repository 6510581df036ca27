#include "unit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace dxusim {

namespace {

bool isCode(const std::string& c)
{
    return c.size() == 2 && std::isupper(static_cast<unsigned char>(c[0]))
        && std::isalnum(static_cast<unsigned char>(c[1]));
}

std::string errorText(int n) { return "ER," + std::to_string(n); }

constexpr Micros kDetectionPeriod = 100000;  // detection reports ten times a second
constexpr Micros kLongestSingle = 1000000;   // a single measurement takes at most 1 s
constexpr Micros kCongestedWait = 10000;

} // namespace

Unit::Unit(int index, const Options& opt, const Settings& saved, Line& line, Micros now)
    : index_(index), opt_(opt), line_(line), work_(saved), saved_(saved), rate_(saved.linkRate()),
      rng_(opt.seed + unsigned(index) * 7919u)
{
    poweredAt_ = now;
    restartedAt_ = now;  // power-up: autostart is looked at on the first tick
    if (opt.mode != 0) {
        // As if the unit had been saved in that mode.
        work_.set("MM", 0, opt.mode);
        saved_.set("MM", 0, opt.mode);
    }
}

void Unit::handle(const std::string& frame, const std::string& body, Micros now)
{
    command(frame, body, now);
    // A new rate of the port the link runs through takes effect after the
    // reply, which still goes out at the old rate.
    rate_ = work_.linkRate();
}

void Unit::command(const std::string& frame, const std::string& body, Micros now)
{
    auto fields = splitCommas(body);
    const std::string code = fields[0];
    fields.erase(fields.begin());
    if (!isCode(code)) {
        reply(frame, errorText(ErrInvalidCommand), now);
        return;
    }
    if (code == "CD") {
        calibrate(frame, fields, now);
        return;
    }
    // --refuse: a write of the setting, or the command (SU), draws an error.
    if (std::find(opt_.refuse.begin(), opt_.refuse.end(), code) != opt_.refuse.end()
        && (!fields.empty() || !isSettingCode(code))) {
        reply(frame, errorText(refusalError(code)), now);
        return;
    }
    const int modeBefore = work_.mode();
    if (auto answer = settingCommand(work_, code, fields)) {
        reply(frame, answer->error ? errorText(answer->error) : answer->text, now);
        if (work_.mode() != modeBefore)
            detectedSince_ = -1;
        return;
    }
    handleAction(frame, code, fields, now);
}

void Unit::handleAction(const std::string& frame, const std::string& code, const std::vector<std::string>& args,
                        Micros now)
{
    const bool query = args.empty();
    if (code == "SV" && query) {
        reply(frame, "SV," + opt_.version, now);
    } else if (code == "US" && query) {
        reply(frame, "US," + std::to_string((measuring_ ? 2 : 0) | (pointer_ ? 4 : 0)), now);
    } else if (code == "GO" && query) {
        if (measuring_)
            return reply(frame, errorText(ErrAlreadyMeasuring), now);
        if (int e = pulsesCheck())
            return reply(frame, errorText(e), now);
        reply(frame, "OK", now);
        start(frame, now);
    } else if (code == "ST" && query) {
        if (!measuring_)
            return reply(frame, errorText(ErrNotMeasuring), now);
        measuring_ = false;
        nextMeasure_ = kNever;
        detectedSince_ = -1;
        reply(frame, "OK", now);
    } else if (code == "BM" && query) {
        if (measuring_) {
            measure(frame, now, true);
        } else if (int e = pulsesCheck()) {
            reply(frame, errorText(e), now);
        } else {
            singleFrame_ = frame;
            singleAt_ = now + std::min(period(), kLongestSingle);
        }
    } else if (code == "SU" && query) {
        const auto calibration = saved_.values["P4"];
        saved_ = work_;
        saved_.values["P4"] = calibration;  // the calibration is kept by CD,95 only
        line_.savedChanged();
        reply(frame, "OK", now);
    } else if (code == "PT") {
        long on = -1;
        if (query)
            return reply(frame, "PT," + std::to_string(pointer_ ? 1 : 0), now);
        if (args.size() != 1 || !parseInt(args[0], on) || (on != 0 && on != 1))
            return reply(frame, errorText(ErrInvalidCommand), now);
        pointer_ = on == 1;
        reply(frame, "OK", now);
    } else {
        reply(frame, errorText(ErrInvalidCommand), now);
    }
}

void Unit::reply(const std::string& frame, const std::string& text, Micros now)
{
    line_.send(*this, frame, text, false, now);
}

void Unit::calibrate(const std::string& frame, const std::vector<std::string>& args, Micros now)
{
    long what = -1, point = -1, value = -1;
    if (args.empty() || !parseInt(args[0], what))
        return reply(frame, errorText(ErrInvalidCommand), now);
    if (what == 30 && args.size() == 1)
        return restart(now);  // no reply: the unit starts again
    if (what == 95 && args.size() == 1) {
        saved_.values["P4"] = work_.values["P4"];
        line_.savedChanged();
        return reply(frame, "OK", now);
    }
    if ((what != 160 && what != 161) || args.size() != 3 || !parseInt(args[1], point) || !parseInt(args[2], value))
        return reply(frame, errorText(ErrInvalidCommand), now);
    if (point < 0 || point > 1 || value < 0 || value > 255)
        return reply(frame, errorText(ErrLoopRange), now);
    const int old = work_.getInt("P4", size_t(point));
    const int packed = what == 160 ? ((old & 0x00FF) | int(value) << 8) : ((old & 0xFF00) | int(value));
    work_.set("P4", size_t(point), packed);
    reply(frame, "OK", now);
}

void Unit::restart(Micros now)
{
    line_.note(now, std::string("unit ") + address() + " restarts on its saved settings");
    line_.discardPending(*this);
    measuring_ = false;
    pointer_ = false;
    nextMeasure_ = singleAt_ = kNever;
    detectedSince_ = -1;
    work_ = saved_;
    rate_ = work_.linkRate();
    silentUntil_ = now + Micros(opt_.restartMs) * 1000;
    restartedAt_ = silentUntil_;
}

void Unit::start(const std::string& frame, Micros now)
{
    measuring_ = true;
    streamFrame_ = frame;
    nextMeasure_ = now + period();
    detectedSince_ = -1;
    auto t = targets(now);
    reference_ = t.empty() ? work_.get("LG") : t.front();
}

// Pulses per measurement below the required dither pulses (or, in LastTarget,
// the minimum good pulses) cannot give a result.
int Unit::pulsesCheck() const
{
    const int mode = work_.mode();
    if (mode == 3)
        return 0;
    const int pulses = work_.getInt("PO", mode == 2 ? 1 : 0);
    return pulses < work_.getInt("AW") ? ErrIncorrectValue : 0;
}

Micros Unit::period() const
{
    const int mode = work_.mode();
    if (mode == 3)
        return kDetectionPeriod;
    const size_t i = mode == 2 ? 1 : 0;
    const double prf = std::max(1.0, work_.get("PF", i));
    const double pulses = std::max(1.0, work_.get("PO", i));
    return std::max<Micros>(100, Micros(pulses / prf * 1e6));
}

Micros Unit::nextEvent() const
{
    Micros t = std::min(singleAt_, restartedAt_);
    if (measuring_ && work_.getInt("CO") != 0)
        t = std::min(t, nextMeasure_);
    return t;
}

void Unit::tick(Micros now)
{
    if (restartedAt_ <= now) {
        restartedAt_ = kNever;
        if (work_.getInt("MA") != 0 && !measuring_) {
            const bool hashed = opt_.network && !opt_.dollarReplies;
            start(hashed ? std::string("#") + address() : "$", now);
        }
    }
    if (singleAt_ <= now) {
        singleAt_ = kNever;
        measure(singleFrame_, now, true);
    }
    if (measuring_ && work_.getInt("CO") != 0 && nextMeasure_ <= now) {
        const Micros p = period();
        if (line_.backlog() < 2) {
            measure(streamFrame_, now, false);
            nextMeasure_ = std::max(nextMeasure_ + p, line_.lineFreeAt());
            if (nextMeasure_ <= now - p)
                nextMeasure_ = now + p;
        } else {
            // The line cannot take more: this measurement is not sent, and
            // the next one waits for the line (or a while, if it is stuck).
            const Micros free = line_.lineFreeAt();
            nextMeasure_ = free > now ? std::max(nextMeasure_ + p, free) : now + kCongestedWait;
        }
    }
}

std::vector<double> Unit::targets(Micros now)
{
    std::vector<double> t = opt_.targets.empty() ? std::vector<double>{opt_.distance} : opt_.targets;
    for (auto& d : t)
        d += index_;
    if (opt_.blinkOnMs > 0) {
        const Micros cycle = Micros(opt_.blinkOnMs + opt_.blinkOffMs) * 1000;
        if ((now - poweredAt_) % cycle >= Micros(opt_.blinkOffMs) * 1000)
            t.push_back(opt_.blinkDistance);
    }
    std::uniform_real_distribution<double> spread(-opt_.distanceNoise, opt_.distanceNoise);
    for (auto& d : t)
        d = std::max(0.0, d + spread(rng_));
    const int gates = work_.getInt("EG");
    std::erase_if(t, [&](double d) {
        return ((gates & 1) && d < work_.get("SG")) || ((gates & 2) && d > work_.get("LG"));
    });
    std::sort(t.begin(), t.end());
    return t;
}

void Unit::measure(const std::string& frameIn, Micros now, bool single)
{
    std::string frame = frameIn;
    if (!frame.empty() && frame[0] == '#')
        frame = std::string("#") + address();  // a stream follows an address change
    const auto t = targets(now);
    const double offset = work_.get("OF");
    std::uniform_int_distribution<int> wobble(-opt_.intensity / 20, opt_.intensity / 20);
    const std::string intensity = std::to_string(std::max(0, opt_.intensity + wobble(rng_)));
    const auto send = [&](const std::string& text) { line_.send(*this, frame, text, true, now); };
    if (!single && opt_.measureErrorEvery && ++streamed_ % opt_.measureErrorEvery == 0)
        return line_.send(*this, frame, errorText(opt_.measureError), false, now);

    switch (work_.mode()) {
    case 2: {
        const double bin = (work_.metres() ? 0.013 : 1.0 / 24.0) * double(1 << std::clamp(work_.getInt("BS"), 0, 7));
        // The targets nearest first, each followed by an empty entry while
        // empties are asked for; at most ten entries.
        std::uniform_real_distribution<double> share(0.6, 0.9);
        std::uniform_real_distribution<double> jitter(0.9, 1.1);
        struct Entry {
            double units;
            int hits;
        };
        std::vector<Entry> entries;
        int empties = opt_.emptyBins;
        for (size_t i = 0; i < t.size() && entries.size() < 10; ++i) {
            const int hits = i < opt_.hits.size() ? int(std::lround(opt_.hits[i] * jitter(rng_)))
                                                  : std::max(1, int(work_.get("PO", 1) * share(rng_)));
            entries.push_back({std::floor(work_.toUnits(t[i] + offset) / bin) * bin, hits});
            if (empties > 0 && entries.size() < 10) {
                entries.push_back({0, 0});
                --empties;
            }
        }
        const size_t n = entries.size();
        if (n == 0)
            return send("BM,0,0," + work_.number(0) + ",0");
        for (size_t i = 0; i < n; ++i)
            send("BM," + std::to_string(i) + "," + std::to_string(n) + "," + work_.number(entries[i].units) + ","
                 + std::to_string(entries[i].hits));
        return;
    }
    case 3: {
        const double limit = work_.getInt("LA") ? work_.get("TP") : reference_ - work_.get("TP");
        const bool detected = !t.empty() && t.front() < limit;
        if (!single && work_.getInt("TB") != 0) {
            // the detection time stream
            if (!detected) {
                detectedSince_ = -1;
                return send("0");
            }
            if (detectedSince_ < 0)
                detectedSince_ = now;
            const double count = double(now - detectedSince_) / 1e6 * work_.get("PF", 2) + 1;
            char buf[8];
            std::snprintf(buf, sizeof buf, "%04X", count > 0xFFFF ? 0u : unsigned(count));
            return send(buf);
        }
        return send("BM," + (detected ? std::to_string(std::lround((t.front() + offset) * 1000)) : std::string("0")));
    }
    default: {
        // Averaging takes the first target (or the last when so selected),
        // LastTarget the last one.
        const bool last = work_.mode() == 4 || work_.getInt("FA") == 1;
        const bool found = !t.empty();
        const std::string dist = found ? work_.distance((last ? t.back() : t.front()) + offset) : "";
        switch (work_.getInt("DM")) {
        case 3:
            return send("BM," + (found ? intensity : "0"));
        case 2:
            return send(found ? "BM," + dist + "," + intensity : "BM,,0");
        default:
            return send(found ? "BM," + dist : "BM,,");
        }
    }
    }
}

} // namespace dxusim
