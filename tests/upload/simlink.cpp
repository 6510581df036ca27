#include "simlink.h"

namespace dxu::test {
namespace {

dxusim::Options quietOptions()
{
    dxusim::Options o;
    o.replyDelayMs = 0;
    return o;
}

} // namespace

SimLink::SimLink(dxusim::Settings saved) : opt_(quietOptions()), unit_(0, opt_, saved, *this, 0) {}

int32_t SimLink::SendData(const void* data, int32_t size)
{
    if (!open_ || size <= 0)
        return 0;
    partial_.append(static_cast<const char*>(data), static_cast<size_t>(size));
    for (size_t end; (end = partial_.find('\r')) != std::string::npos;) {
        const std::string line = partial_.substr(0, end);
        partial_.erase(0, end + 1);
        lines_.push_back(line);
        if (line.size() > 1 && line[0] == '$')
            unit_.handle("$", line.substr(1), 0);
    }
    return size;
}

void SimLink::send(dxusim::Unit&, const std::string& frame, const std::string& text, bool measurement,
                   dxusim::Micros)
{
    if (!measurement)
        replies_ += frame + text + "\r";
}

void SimLink::deliver(const std::function<void(const std::string&)>& receive)
{
    for (int guard = 0; !replies_.empty() && guard < 1000; ++guard) {
        const std::string r = std::move(replies_);
        replies_.clear();
        receive(r);
    }
}

std::vector<std::string> SimLink::takeLines()
{
    std::vector<std::string> l = std::move(lines_);
    lines_.clear();
    return l;
}

} // namespace dxu::test
