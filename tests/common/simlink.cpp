#include "common/simlink.h"

#include "services/clock.h"

#include "settings.h"

#include <algorithm>

namespace dxu::test {

SimLink::SimLink(dxusim::Options options, const Values& saved) : opt_(std::move(options))
{
    if (opt_.port < 0)
        opt_.port = opt_.network ? 2 : 0;
    if (opt_.replyDelayMs < 0)
        opt_.replyDelayMs = 1;
    const std::vector<char> addresses = opt_.network ? opt_.addresses : std::vector<char>{opt_.address};
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        dxusim::Settings s = dxusim::Settings::defaults(addresses[i], opt_.port, opt_.rate);
        for (const auto& [code, values] : saved)
            s.values[code] = values;
        s.values["WP"] = {double(opt_.port)};
        dxusim::Line& line = *this;
        units_.push_back(std::make_unique<dxusim::Unit>(static_cast<int>(i), opt_, s, line, now()));
    }
}

SimLink::~SimLink() = default;

dxusim::Micros SimLink::now() { return static_cast<dxusim::Micros>(tickCount()) * 1000; }

bool SimLink::Connect()
{
    open_ = openable;
    return open_;
}

void SimLink::Disconnect()
{
    open_ = false;
    rx_.clear();
}

int32_t SimLink::SendData(const void* data, int32_t size)
{
    if (!open_ || !data || size <= 0)
        return 0;
    rx_.append(static_cast<const char*>(data), static_cast<std::size_t>(size));
    for (std::size_t end; (end = rx_.find('\r')) != std::string::npos;) {
        const std::string line = rx_.substr(0, end);
        rx_.erase(0, end + 1);
        lineReceived(line);
    }
    return size;
}

// As on the line: "$" reaches the RS-232 unit, "#x" the unit with address x.
void SimLink::lineReceived(const std::string& line)
{
    received.push_back(line);
    const std::size_t start = line.find_first_of("$#");
    if (start == std::string::npos)
        return;
    const dxusim::Micros t = now();
    for (auto& u : units_) {
        if (opt_.isSilent(u->address()) || u->restarting(t))
            continue;
        if (lineRate && lineRate() != u->linkRate())
            continue;
        std::string frame;
        std::size_t body = start + 1;
        if (line[start] == '$') {
            if (opt_.network)
                continue;
            frame = "$";
        } else {
            if (start + 1 >= line.size() || line[start + 1] != u->address())
                continue;
            frame = line.substr(start, 2);
            body = start + 2;
        }
        u->handle(frame, line.substr(body), t);
    }
}

void SimLink::send(dxusim::Unit& from, const std::string& frame, const std::string& text, bool measurement,
                   dxusim::Micros t)
{
    dxusim::Micros due = measurement ? t : t + dxusim::Micros(opt_.replyDelayMs) * 1000;
    // --split: the reply in pieces, a pause between them.
    const std::string bytes = frame + text + "\r";
    const std::size_t pieces = std::clamp<std::size_t>(static_cast<std::size_t>(opt_.splitPieces), 1, bytes.size());
    for (std::size_t i = 0, pos = 0; i < pieces; ++i) {
        const std::size_t end = bytes.size() * (i + 1) / pieces;
        if (i)
            due += dxusim::Micros(opt_.splitGapMs) * 1000;
        pending_.push_back({due, bytes.substr(pos, end - pos), &from});
        pos = end;
    }
    lineFreeAt_ = std::max(lineFreeAt_, due);
}

void SimLink::discardPending(const dxusim::Unit& from)
{
    pending_.erase(std::remove_if(pending_.begin(), pending_.end(), [&](const Reply& r) { return r.unit == &from; }),
                   pending_.end());
}

void SimLink::pump()
{
    const dxusim::Micros t = now();
    for (auto& u : units_)
        if (u->nextEvent() <= t)
            u->tick(t);
    while (!pending_.empty() && pending_.front().due <= t) {
        const std::string bytes = std::move(pending_.front().bytes);
        pending_.pop_front();
        if (open_ && onReceive)
            onReceive(bytes.data(), static_cast<int32_t>(bytes.size()));
    }
}

} // namespace dxu::test
