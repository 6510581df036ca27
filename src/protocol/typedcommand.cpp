#include "protocol/typedcommand.h"

namespace dxu {

std::optional<std::string> typedCommandLine(const QString& typed, bool network, char address)
{
    if (typed.size() > MaxTypedCommandLength)
        return std::nullopt;
    for (QChar ch : typed)
        if (ch.unicode() < 0x20 || ch.unicode() > 0x7E)
            return std::nullopt;
    std::string line;
    line.reserve(static_cast<size_t>(typed.size()) + 3);
    if (network) {
        line.push_back('#');
        line.push_back(address);
    }
    line += typed.toStdString();
    line.push_back('\r');
    return line;
}

} // namespace dxu
