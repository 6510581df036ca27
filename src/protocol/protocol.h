#pragma once
// Command framing and senders, the reply parser and the device error texts.
#include "protocol/dxustate.h"
#include "protocol/events.h"
#include "protocol/hooks.h"
#include "serial/commlink.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace dxu {

struct SettingCode;

namespace detail {
class TextBuilder;
class FieldReader;
} // namespace detail

// The parser's verdict.
enum ReplyResult : int32_t {
    ReplyNothing = 0,
    ReplyMeasurement = 1,
    ReplyFailure = 2,
    ReplyCompleted = 3,
};

// Why a command failed when a reply to it came from another address.
inline constexpr char OtherAddressText[] = "a reply from another address";

class Protocol {
public:
    Protocol(DxuState& state, CommLink& port, Hooks& hooks, UnitEvents& events);

    // Generic senders: frame, stamp lastSendTick, write, echo in the terminal.
    void sendCode(const char* code);
    void sendIntCommand(const char* code, int32_t value);
    void sendFloatCommand(const char* code, float value);
    // Sends the item at the queue cursor through the builder of its commandId.
    void sendWithBuilder();
    // Fixed plain lines sent directly by user actions.
    void sendSingleMeasure();    // BM
    void sendSaveSettings();     // SU
    void sendCalibrationStore(); // CD,95
    void sendResetLine();        // CD,30, with lastSendTick = 0

    // Parses the reply lines in buffer[0..length); buffer must have one byte
    // of room after the data. Zeroes the bytes it consumed.
    ReplyResult parseReplies(char* buffer, int32_t length);

    // "%0.3f" (metres) or "%0.2f" (feet) by editRecord.units, blanks trimmed.
    // Writes into out (at least 32 bytes) and returns it.
    const char* formatDistance(float value, char* out, std::size_t size) const;

private:
    using TextBuilder = detail::TextBuilder;
    using FieldReader = detail::FieldReader;
    enum class Flow { Continue, Stop };

    // Sending.
    void startLine(TextBuilder& line, char address) const;
    void transmit(TextBuilder& line, uint32_t stamp);
    void sendCodeText(std::string_view code);
    void sendArgs(std::string_view code, int32_t a);
    void sendArgs(std::string_view code, int32_t a, int32_t b);
    void sendPlain(std::string_view code);
    void sendFloat(std::string_view code, float value);
    char currentAddress() const;

    // Parsing.
    int addressedUnit(char address) const;
    bool answersInFlight(std::string_view code) const;
    bool unsolicited(std::string_view code) const;
    Flow handleReply(std::string_view code, FieldReader& fields, int replyUnit, ReplyResult& verdict);
    bool handleSetting(std::string_view code, FieldReader& fields);
    void storeSetting(const SettingCode& setting, FieldReader& fields);
    void handleStatus(FieldReader& fields, int replyUnit);
    // answers: the error answers the line in flight (it fails); otherwise it
    // is the unit's own report while measuring, shown and failing nothing.
    ReplyResult handleError(FieldReader& fields, bool answers);
    void handleMeasurement(FieldReader& fields);
    void handleBinning(std::string_view first, FieldReader& fields, UnitRecord& rec, Result& result);
    void completeTargetSet();
    bool handleTimeStream(std::string_view code);
    void writeCapture(TextBuilder& line);

    DxuState& st_;
    CommLink& port_;
    Hooks& hooks_;
    UnitEvents& events_;
    char sendBuffer_[64] = {};
    char reportedError_[sizeof CommandItem::failureText] = {};
};

// Sets rec.firmwareVersion from an SV text such as "DXU v1.0.5 build 7".
void parseVersionNumber(const char* text, UnitRecord& rec);
// Removes leading and trailing blanks in place.
void trimSpaces(char* text);
// The device error text of number; false (out untouched) when unknown.
bool deviceErrorText(int number, char* out, std::size_t size);
// The unit refuses to measure with its settings (ER,49): it is not measuring.
inline constexpr int IncorrectValueError = 49;

} // namespace dxu
