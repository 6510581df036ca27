// The senders: every command line leaves through here, framed for the link.
#include "protocol/protocol.h"

#include "protocol/commandids.h"

#include "protocol/linetext.h"
#include "services/clock.h"

#include <algorithm>
#include <cstring>

namespace dxu {

using detail::TextBuilder;

namespace {


std::string_view boundedText(const char* text, std::size_t max)
{
    return text ? std::string_view(text, strnlen(text, max)) : std::string_view();
}

// Commands without arguments that the unit answers with "OK".
bool isAction(std::string_view code) { return code == "GO" || code == "ST" || code == "SU"; }

} // namespace

void AwaitedReply::expect(const char* line, std::size_t length)
{
    std::string_view text = line ? std::string_view(line, strnlen(line, length)) : std::string_view();
    const std::size_t frame = text.starts_with('$') ? 1 : text.starts_with('#') ? 2 : 0;
    text.remove_prefix(std::min(frame, text.size()));
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    const std::size_t comma = text.find(',');
    const std::string_view command = text.substr(0, comma);
    *this = AwaitedReply{};
    any = false;
    if (command.size() == 2) {
        code[0] = command[0];
        code[1] = command[1];
    }
    ok = comma != std::string_view::npos || isAction(command);
}

bool AwaitedReply::answeredBy(const char* reply, std::size_t length) const
{
    const std::string_view r(reply, length);
    if (any || r == "ER" || (r.size() == 2 && r == std::string_view(code, 2)))
        return true;
    return r == "OK" && ok;
}

Protocol::Protocol(DxuState& state, CommLink& port, Hooks& hooks, UnitEvents& events)
    : st_(state), port_(port), hooks_(hooks), events_(events)
{
}

char Protocol::currentAddress() const { return st_.current().addressChar(); }

void Protocol::startLine(TextBuilder& line, char address) const
{
    if (st_.networkMode())
        line.put('#').put(address);
    else
        line.put('$');
}

// Ends the line with CR, stamps the send time, writes and echoes it. As on
// the unit's own terminal side, the line ends at its first NUL: a unit
// without an address gets only "#". A line that would not fit the send
// buffer is not written at all; the reply time-out then handles it.
void Protocol::transmit(TextBuilder& line, uint32_t stamp)
{
    line.put('\r');
    st_.lastSendTick = stamp;
    if (line.overflowed()) {
        st_.awaited.expect(nullptr, 0); // nothing but an error can answer it
        return;
    }
    const auto length = static_cast<int32_t>(strnlen(line.c_str(), line.size()));
    st_.awaited.expect(line.c_str(), static_cast<std::size_t>(length));
    if (!port_.Connected()) {
        events_.portClosed();
        return;
    }
    port_.SendData(line.c_str(), length);
    hooks_.appendTerminal(std::string_view(line.c_str(), static_cast<std::size_t>(length)));
}

void Protocol::sendCode(const char* code)
{
    sendCodeText(boundedText(code, sizeof sendBuffer_));
}

void Protocol::sendCodeText(std::string_view code)
{
    st_.lastSendTick = sendStamp();
    // A status request of the network poll goes to the polled unit.
    const char address =
        (st_.pollOtherUnit ? st_.unit(st_.pollIndex) : st_.current()).addressChar();
    const uint32_t id = st_.queue.atCursor().commandId;
    TextBuilder line(sendBuffer_, sizeof sendBuffer_);
    startLine(line, address);
    if (id == IdBaudPort0 || id == IdBaudPort1)
        line.put("BR,").putInt(id - IdBaudPort0);
    else
        line.put(code);
    transmit(line, sendStamp());
}

void Protocol::sendArgs(std::string_view code, int32_t a)
{
    TextBuilder line(sendBuffer_, sizeof sendBuffer_);
    startLine(line, currentAddress());
    line.put(code).put(',').putInt(a);
    transmit(line, sendStamp());
}

void Protocol::sendArgs(std::string_view code, int32_t a, int32_t b)
{
    TextBuilder line(sendBuffer_, sizeof sendBuffer_);
    startLine(line, currentAddress());
    line.put(code).put(',').putInt(a).put(',').putInt(b);
    transmit(line, sendStamp());
}

void Protocol::sendPlain(std::string_view code)
{
    TextBuilder line(sendBuffer_, sizeof sendBuffer_);
    startLine(line, currentAddress());
    line.put(code);
    transmit(line, sendStamp());
}

void Protocol::sendIntCommand(const char* code, int32_t value)
{
    sendArgs(boundedText(code, sizeof sendBuffer_), value);
}

void Protocol::sendFloatCommand(const char* code, float value)
{
    sendFloat(boundedText(code, sizeof sendBuffer_), value);
}

void Protocol::sendFloat(std::string_view code, float value)
{
    char number[64];
    formatDistance(value, number, sizeof number);
    TextBuilder line(sendBuffer_, sizeof sendBuffer_);
    startLine(line, currentAddress());
    line.put(code).put(',').put(number);
    transmit(line, sendStamp());
}

void Protocol::sendWithBuilder()
{
    const CommandItem& item = st_.queue.atCursor();
    const std::string_view code = boundedText(item.code, sizeof item.code);
    // PF and PO go out for the mode their item names in its last word (the
    // upload switches the unit to it first), else for the unit's mode.
    const int32_t named = item.intArg(3);
    const int mode = (item.commandId == IdPulseRate || item.commandId == IdPulses) && named >= 1 && named <= 4
                         ? named
                         : st_.current().measureMode;
    const UnitRecord& edit = st_.editRecord;
    switch (item.commandId) {
    case IdGo:
    case IdStop:
    case IdStatus:
        sendCodeText(code);
        return;
    case IdPulseRate:
        sendArgs("PF", (mode == 1 || mode == 4) ? edit.prfAveraging
                       : mode == 2              ? edit.prfBinning
                                                : edit.prfDetection);
        return;
    case IdPulses:
        if (mode == 1 || mode == 4 || mode == 2) {
            sendArgs("PO", mode == 2 ? edit.pulsesBinning : edit.pulsesAveraging);
        } else {
            // No pulse count belongs to this mode: an empty write and echo.
            std::memset(sendBuffer_, 0, sizeof sendBuffer_);
            st_.lastSendTick = sendStamp();
            st_.awaited.expect(nullptr, 0);
            port_.SendData(sendBuffer_, 0);
            hooks_.appendTerminal({});
        }
        return;
    case IdDither:
        sendArgs("DD", edit.ditherOn ? edit.ditherSteps : 0);
        return;
    case IdTripTimeout: {
        TextBuilder line(sendBuffer_, sizeof sendBuffer_);
        startLine(line, currentAddress());
        line.put("TT,").putHex(item.args[0]);
        transmit(line, sendStamp());
        return;
    }
    case IdDampening: {
        char number[64];
        formatDistance(edit.dampErrorRange, number, sizeof number);
        TextBuilder line(sendBuffer_, sizeof sendBuffer_);
        startLine(line, currentAddress());
        line.put("DR,").putInt(edit.dampErrorTimeout).put(',').put(number);
        transmit(line, sendStamp());
        return;
    }
    case IdLoopCoarse:
        sendArgs("CD,160", item.intArg(0), item.intArg(1));
        return;
    case IdLoopFine:
        sendArgs("CD,161", item.intArg(0), item.intArg(1));
        return;
    case IdBaudPort0:
    case IdBaudPort1:
        sendArgs("BR", item.intArg(0), item.intArg(1));
        return;
    case IdAddress: {
        TextBuilder line(sendBuffer_, sizeof sendBuffer_);
        startLine(line, currentAddress());
        line.put("UA,").put(static_cast<char>(item.args[0] & 0xFF));
        transmit(line, sendStamp());
        return;
    }
    default:
        if (item.argType == ArgInt)
            sendArgs(code, item.intArg(0));
        else if (item.argType == ArgFloat)
            sendFloat(code, item.floatArg(0));
        else { // nothing to send: the reply time-out moves the queue on
            st_.lastSendTick = sendStamp();
            st_.awaited.expect(nullptr, 0);
        }
        return;
    }
}

void Protocol::sendSingleMeasure() { sendPlain("BM"); }
void Protocol::sendSaveSettings() { sendPlain("SU"); }
void Protocol::sendCalibrationStore() { sendPlain("CD,95"); }

void Protocol::sendResetLine()
{
    // No reply time-out runs for the reset: the unit restarts.
    TextBuilder line(sendBuffer_, sizeof sendBuffer_);
    startLine(line, currentAddress());
    line.put("CD,30");
    transmit(line, 0);
}

const char* Protocol::formatDistance(float value, char* out, std::size_t size) const
{
    if (!out || size == 0)
        return out;
    TextBuilder text(out, size);
    text.putFixed(value, st_.editRecord.units == 1 ? 3 : 2);
    if (text.overflowed())
        out[0] = '\0';
    trimSpaces(out);
    return out;
}

void trimSpaces(char* text)
{
    if (!text)
        return;
    std::size_t len = std::strlen(text);
    while (len > 0 && text[len - 1] == ' ')
        text[--len] = '\0';
    std::size_t lead = 0;
    while (text[lead] == ' ')
        ++lead;
    if (lead > 0)
        std::memmove(text, text + lead, len - lead + 1);
}

} // namespace dxu
