#pragma once
// Small text tools of the protocol layer: a bounded line builder and the
// field reader of the reply parser. Numbers are written and read with "." as
// the decimal point whatever the process locale says, and nothing here
// allocates.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace dxu::detail {

// The text without the blanks (spaces, tabs, line ends) around it.
inline std::string_view trimBlanks(std::string_view v)
{
    const auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (!v.empty() && blank(v.front()))
        v.remove_prefix(1);
    while (!v.empty() && blank(v.back()))
        v.remove_suffix(1);
    return v;
}

// Builds a NUL-terminated text in a caller's array; never writes past it and
// remembers when something did not fit.
class TextBuilder {
public:
    TextBuilder(char* buffer, std::size_t capacity);

    TextBuilder& put(std::string_view text);
    TextBuilder& put(char c);
    // Decimal, at least width characters wide, zero-padded after the sign ("%0*d").
    TextBuilder& putInt(int64_t value, int width = 0);
    // Upper-case hexadecimal without prefix ("%X").
    TextBuilder& putHex(uint32_t value);
    // Fixed point with the given number of decimals ("%.*f").
    TextBuilder& putFixed(double value, int decimals);
    // The local time as "hh:mm:ss:cc" (cc: hundredths) followed by a comma and three blanks.
    TextBuilder& putTimeStamp();

    std::string_view view() const { return {buffer_, length_}; }
    const char* c_str() const { return buffer_; }
    std::size_t size() const { return length_; }
    bool overflowed() const { return overflow_; }

private:
    std::size_t room() const { return capacity_ - 1 - length_; }
    void terminate() { buffer_[length_] = '\0'; }

    char* buffer_;
    std::size_t capacity_;
    std::size_t length_ = 0;
    bool overflow_ = false;
};

// Number readers with the C conventions of "%d", "%f" and "%x": leading blanks
// are skipped and the number is read as far as it goes ("12abc" reads 12). A
// field that does not start with a number, a number out of range and, for
// floats, infinity or NaN return false and leave out unchanged.
bool readInt(std::string_view field, int32_t& out);
bool readFloat(std::string_view field, float& out);
bool readHex(std::string_view field, uint32_t& out);

// Reads the comma-separated fields of one reply line in place. Fields end at a
// comma, CR, LF or NUL; a field longer than 60 characters is cut at 60 and
// its rest skipped. Once the end of the line has been passed every further
// field is empty, so a reply with missing fields never eats the next line.
class FieldReader {
public:
    static constexpr std::size_t MaxField = 60;

    // text must be NUL-terminated at or before end.
    FieldReader(char* text, const char* end) : pos_(text), end_(end) {}

    // The next field; empty for an empty field and at the end of the line.
    std::string_view next();
    bool nextInt(int32_t& out) { return readInt(next(), out); }
    bool nextFloat(float& out) { return readFloat(next(), out); }
    bool nextHex(uint32_t& out) { return readHex(next(), out); }

    char* position() const { return pos_; }

private:
    char* pos_;
    const char* end_;
    bool lineEnded_ = false;
    char field_[MaxField + 1] = {};
};

} // namespace dxu::detail

namespace dxu {

// Copies one field of source into field (at most 60 characters, NUL-terminated,
// so field holds at least 61 bytes); returns the number of characters copied.
int tokenReader(const char* source, char* field);

} // namespace dxu
