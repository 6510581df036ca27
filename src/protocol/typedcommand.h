#pragma once
// A command typed by hand (the terminal's command box) as it goes on the wire.
#include <QString>

#include <optional>
#include <string>

namespace dxu {

// The longest command the command box takes.
constexpr int MaxTypedCommandLength = 64;

// The line a typed command goes out as: framed with "#" and the unit's
// address on a network, ended by CR. Nothing when the text holds a character
// the unit cannot receive (outside printable ASCII) or is longer than the
// command box takes.
std::optional<std::string> typedCommandLine(const QString& typed, bool network, char address);

} // namespace dxu
