#pragma once
// The settings of one unit under their two-letter codes, their query replies,
// their set commands and the file that keeps saved settings across restarts.
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dxusim {

constexpr double kMetresPerFoot = 0.3048;

// Distances are held in metres and shown in the unit's units (MU).
struct Settings {
    std::map<std::string, std::vector<double>> values;

    static Settings defaults(char address, int port, unsigned rate);

    double get(const std::string& code, size_t k = 0) const;
    int getInt(const std::string& code, size_t k = 0) const { return int(get(code, k)); }
    void set(const std::string& code, size_t k, double v) { values[code].at(k) = v; }

    bool metres() const { return getInt("MU") != 0; }
    int mode() const { return getInt("MM"); }
    char address() const { return char(getInt("UA")); }
    int linkPort() const { return getInt("WP"); }
    // Rate of the unit port the link runs through.
    unsigned linkRate() const { return unsigned(get("BR", linkPort() == 0 ? 0 : 1)); }
    double toUnits(double m) const { return metres() ? m : m / kMetresPerFoot; }
    double fromUnits(double u) const { return metres() ? u : u * kMetresPerFoot; }
    // A number in the unit's format: 3 decimals in metres, 2 in feet.
    std::string number(double unitsValue) const;
    std::string distance(double m) const { return number(toUnits(m)); }
};

// What the unit says to a command: an error number, or a reply text
// (without frame and line end), or nothing at all.
struct Answer {
    int error = 0;
    std::string text;
    static Answer ok() { return {0, "OK"}; }
    static Answer err(int n) { return {n, {}}; }
};

// Device error numbers the unit uses.
enum DeviceError {
    ErrInvalidCommand = 1,
    ErrAlreadyMeasuring = 31,
    ErrInvalidPrf = 32,
    ErrInvalidRate = 34,
    ErrInvalidAverageWeight = 35,
    ErrIncorrectValue = 49,
    ErrLoopRange = 83,
    ErrInvalidPort = 84,
    ErrInvalidMode = 85,
    ErrNotMeasuring = 86,
};

// Queries and sets of the setting codes. Returns nothing when the code is not
// a setting (the caller handles actions such as GO, and unknown codes).
std::optional<Answer> settingCommand(Settings& s, const std::string& code, const std::vector<std::string>& args);

// The error a write of code draws when its value is out of range (ER,49
// for a setting without one of its own).
int refusalError(const std::string& code);
bool isSettingCode(const std::string& code);

// Every setting code, in table order (for tests and the state file).
std::vector<std::string> settingCodes();

// Saved settings of every unit, by unit index.
bool writeStateFile(const std::string& path, const std::vector<Settings>& saved);
// Overwrites the values found in the file; false when it cannot be read.
bool readStateFile(const std::string& path, std::vector<Settings>& saved);

// RS-485 addresses: a-z, A-Z, 0-9.
bool isAddressChar(int c);
// "a,b,,c" -> {"a", "b", "", "c"}
std::vector<std::string> splitCommas(const std::string& text);
bool parseInt(const std::string& text, long& out, int base = 10);
bool parseReal(const std::string& text, double& out);

} // namespace dxusim
