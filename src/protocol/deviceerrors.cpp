// The texts of the unit's error numbers.
#include "protocol/protocol.h"

#include <cstring>

namespace dxu {

namespace {

struct ErrorText {
    int number;
    const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {1, "Invalid Command"},
    {4, "Target not found"},
    {5, "Average Not Filled"},
    {6, "Measurement Start Error"},
    {7, "Measurement Read Error"},
    {8, "Measurement Stop Error"},
    {11, "Memory Write Error"},
    {12, "Averaging Error"},
    {13, "General ASIC Error"},
    {14, "General Laser CPU Error"},
    {15, "User Settings Checksum Error"},
    {16, "Bad Password"},
    {19, "Cannot write to Flash"},
    {23, "Laser CPU failed RAM test"},
    {25, "Rx buffer overrrun"},
    {31, "Instrument is already measuring"},
    {32, "Invalid PRF"},
    {34, "Invalid Baud rate"},
    {35, "Invalid Average Weight"},
    {37, "Bad Factory Defaults Checksum"},
    {38, "Bad Code Checksum"},
    {42, "Bad User settings Defaults Checksum"},
    {43, "Bad User Settings Checksum"},
    {44, "Bad Factory Defaults Checksum"},
    {45, "No Factory Defaults"},
    {49, "Incorrect Value"},
    {51, "Measurement Bad Status"},
    {59, "Bad PTF Table Checksum"},
    {73, "HV1 not set"},
    {79, "Instrument not ready"},
    {82, "Unit Address not assigned"},
    {83, "Invalid Current Loop Range"},
    {84, "Invalid Port"},
    {85, "Invalid Measurement Mode"},
    {86, "Instrument not Measuring"},
    {87, "Invalid Minimum Pulse Width"},
};

} // namespace

bool deviceErrorText(int number, char* out, std::size_t size)
{
    for (const ErrorText& e : kErrorTexts) {
        if (e.number != number)
            continue;
        if (out && size > 0) {
            std::strncpy(out, e.text, size - 1);
            out[size - 1] = '\0';
        }
        return true;
    }
    return false;
}

} // namespace dxu
