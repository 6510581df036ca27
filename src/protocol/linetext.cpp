#include "protocol/linetext.h"

#include "protocol/protocol.h"
#include "services/clock.h"

#include <charconv>
#include <cmath>

namespace dxu::detail {

TextBuilder::TextBuilder(char* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity)
{
    if (capacity_ == 0) { // nothing can be stored, not even the terminator
        overflow_ = true;
        return;
    }
    terminate();
}

TextBuilder& TextBuilder::put(std::string_view text)
{
    if (capacity_ == 0 || text.size() > room()) {
        overflow_ = true;
        return *this;
    }
    for (char c : text)
        buffer_[length_++] = c;
    terminate();
    return *this;
}

TextBuilder& TextBuilder::put(char c) { return put(std::string_view(&c, 1)); }

TextBuilder& TextBuilder::putInt(int64_t value, int width)
{
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, value);
    std::string_view text(digits, static_cast<std::size_t>(r.ptr - digits));
    int pad = width - static_cast<int>(text.size());
    if (value < 0) {
        put('-');
        text.remove_prefix(1);
    }
    for (; pad > 0; --pad)
        put('0');
    return put(text);
}

TextBuilder& TextBuilder::putHex(uint32_t value)
{
    char digits[12];
    const auto r = std::to_chars(digits, digits + sizeof digits, value, 16);
    for (char* p = digits; p < r.ptr; ++p)
        if (*p >= 'a' && *p <= 'f')
            *p = static_cast<char>(*p - 'a' + 'A');
    return put(std::string_view(digits, static_cast<std::size_t>(r.ptr - digits)));
}

TextBuilder& TextBuilder::putFixed(double value, int decimals)
{
    char digits[64];
    const auto r = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
    if (r.ec != std::errc()) {
        overflow_ = true;
        return *this;
    }
    return put(std::string_view(digits, static_cast<std::size_t>(r.ptr - digits)));
}

TextBuilder& TextBuilder::putTimeStamp()
{
    const TimeOfDay t = clock().timeOfDay();
    putInt(t.hour, 2).put(':').putInt(t.minute, 2).put(':').putInt(t.second, 2);
    return put(':').putInt(t.millisecond / 10, 2).put(",   ");
}

namespace {

std::string_view skipBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\v' || s.front() == '\f'))
        s.remove_prefix(1);
    return s;
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isFieldEnd(char c) { return c == ',' || c == '\r' || c == '\n' || c == '\0'; }

} // namespace

// Where a signed decimal number starts: after blanks and a plus sign.
static std::string_view signedNumber(std::string_view field)
{
    std::string_view s = skipBlanks(field);
    if (s.size() > 1 && s.front() == '+' && s[1] != '-')
        s.remove_prefix(1);
    return s;
}

bool readInt(std::string_view field, int32_t& out)
{
    const std::string_view s = signedNumber(field);
    int32_t v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc())
        return false;
    out = v;
    return true;
}

bool readFloat(std::string_view field, float& out)
{
    const std::string_view s = signedNumber(field);
    float v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

bool readHex(std::string_view field, uint32_t& out)
{
    std::string_view s = skipBlanks(field);
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X') && isHexDigit(s[2]))
        s.remove_prefix(2);
    uint32_t v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v, 16);
    if (r.ec != std::errc())
        return false;
    out = v;
    return true;
}

std::string_view FieldReader::next()
{
    if (lineEnded_ || pos_ >= end_)
        return {};
    const char c = *pos_;
    if (c == '\0' || c == '\r' || c == '\n') {
        // The line ends here; the main scan steps over the end itself.
        lineEnded_ = true;
        return {};
    }
    if (c == ',') { // an empty field
        ++pos_;
        return {};
    }
    const int copied = tokenReader(pos_, field_);
    char* stop = pos_ + copied;
    while (stop < end_ && !isFieldEnd(*stop))
        ++stop;
    pos_ = stop;
    if (pos_ < end_) {
        if (*pos_ == ',') {
            ++pos_;
        } else if (*pos_ == '\r' || *pos_ == '\n') {
            ++pos_;
            lineEnded_ = true;
        } else {
            lineEnded_ = true; // an embedded NUL
        }
    }
    return {field_, static_cast<std::size_t>(copied)};
}

} // namespace dxu::detail

namespace dxu {

int tokenReader(const char* source, char* field)
{
    if (!source || !field)
        return 0;
    if (source[0] == '\0') {
        field[0] = '\0';
        return 0;
    }
    int n = 0;
    field[n] = source[n]; // the first character is taken whatever it is
    ++n;
    while (n < static_cast<int>(detail::FieldReader::MaxField) && source[n] != ',' && source[n] != '\r'
           && source[n] != '\n' && source[n] != '\0') {
        field[n] = source[n];
        ++n;
    }
    field[n] = '\0';
    return n;
}

} // namespace dxu
