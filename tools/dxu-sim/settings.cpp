#include "settings.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace dxusim {

namespace {

enum class Kind {
    Int,     // one integer within lo..hi
    Dist,    // one distance, in the unit's units on the wire
    Num,     // one number that is not a distance (mA, seconds)
    Dither,  // dither steps: 0, 1, 2, 4, 8 or 16
    Prf,     // three pulse rates; a set changes the current mode's
    Pulses,  // two pulse counts; a set changes the current mode's
    Damp,    // error timeout and error range
    Trip,    // trip timeout, a pulse count in hexadecimal
    Baud,    // rates of port 0 and port 1
    Addr,    // the address character
    Port,    // the port the link runs through, query only
    Calib,   // loop calibration, query only (set through CD,160 and CD,161)
};

struct CodeInfo {
    const char* code;
    Kind kind;
    std::vector<double> defaults;
    double lo = 0, hi = 0;
    int error = ErrInvalidCommand;  // answer to a value outside lo..hi
};

const std::vector<CodeInfo>& table()
{
    static const std::vector<CodeInfo> t = {
        {"MU", Kind::Int, {1}, 0, 1},
        {"CG", Kind::Int, {0}, 0, 1},
        {"PL", Kind::Int, {0}, 0, 2},
        {"FL", Kind::Int, {0}, 0, 1},
        {"TE", Kind::Int, {0}, 0, 1},
        {"MP", Kind::Int, {0}, 0, 100000},
        {"XP", Kind::Int, {1000}, 0, 100000},
        {"MM", Kind::Int, {1}, 1, 4, ErrInvalidMode},
        {"LA", Kind::Int, {1}, 0, 1},
        {"AW", Kind::Int, {50}, 0, 65535, ErrInvalidAverageWeight},
        {"AB", Kind::Int, {500}, 0, 1000000},
        {"IL", Kind::Int, {1000}, 0, 1000000},
        {"BS", Kind::Int, {3}, 0, 7},
        {"BH", Kind::Int, {10}, 0, 255},
        {"FA", Kind::Int, {0}, 0, 3},
        {"FT", Kind::Int, {500}, 0, 1000000},
        {"MX", Kind::Int, {10}, 0, 65535},
        {"CT", Kind::Int, {10}, 0, 65535},
        {"TB", Kind::Int, {0}, 0, 1},
        {"CE", Kind::Int, {0}, 0, 1},
        {"CV", Kind::Int, {0}, 0, 100000},
        {"OP", Kind::Int, {0}, 0, 2},
        {"DS", Kind::Int, {5}, 0, 100},
        {"WT", Kind::Int, {5}, 0, 65535},
        {"MO", Kind::Int, {0}, 0, 2, ErrInvalidPort},
        {"CL", Kind::Int, {1}, 0, 3},
        {"CO", Kind::Int, {1}, 0, 1},
        {"MA", Kind::Int, {0}, 0, 1},
        {"DM", Kind::Int, {1}, 1, 3},
        {"EG", Kind::Int, {0}, 0, 7},
        {"DD", Kind::Dither, {0}},
        {"SG", Kind::Dist, {0.5}, -100000, 100000},
        {"LG", Kind::Dist, {100.0}, -100000, 100000},
        {"OF", Kind::Dist, {0.0}, -100000, 100000},
        {"TP", Kind::Dist, {5.0}, -100000, 100000},
        {"WV", Kind::Dist, {0.5}, -100000, 100000},
        {"AL", Kind::Dist, {0.0}, 0, 2000, ErrLoopRange},
        {"AH", Kind::Dist, {100.0}, 0, 2000, ErrLoopRange},
        {"AT", Kind::Num, {5.0}, 0, 99, ErrLoopRange},
        {"AF", Kind::Num, {3.6}, 2, 20, ErrLoopRange},
        {"PF", Kind::Prf, {2000, 500, 1000}},
        {"PO", Kind::Pulses, {200, 50}, 1, 65535, ErrIncorrectValue},
        {"DR", Kind::Damp, {3, 0.5}},
        {"TT", Kind::Trip, {1000}, 0, 4294967295.0},
        {"BR", Kind::Baud, {115200, 115200}},
        {"UA", Kind::Addr, {'a'}},
        {"WP", Kind::Port, {0}},
        {"P4", Kind::Calib, {0x8080, 0x8080}},
    };
    return t;
}

const CodeInfo* find(const std::string& code)
{
    for (const auto& s : table())
        if (code == s.code)
            return &s;
    return nullptr;
}

const unsigned kRates[] = {1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200};

// Index of the PF value that belongs to a mode, -1 for none.
int prfIndex(int mode) { return (mode == 1 || mode == 4) ? 0 : mode == 2 ? 1 : mode == 3 ? 2 : -1; }
int prfLimit(int mode) { return mode == 2 ? 1000 : mode == 3 ? 4500 : 4000; }

std::string intText(double v)
{
    return std::to_string(static_cast<long long>(std::llround(v)));
}

std::string reply(const Settings& s, const CodeInfo& sp)
{
    const auto& v = s.values.at(sp.code);
    std::string out = std::string(sp.code) + ",";
    char buf[32];
    switch (sp.kind) {
    case Kind::Dist:
        return out + s.distance(v[0]);
    case Kind::Num:
        return out + s.number(v[0]);
    case Kind::Damp:
        return out + intText(v[0]) + "," + s.distance(v[1]);
    case Kind::Trip:
        std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(v[0]));
        return out + buf;
    default:
        for (size_t i = 0; i < v.size(); ++i)
            out += (i ? "," : "") + intText(v[i]);
        return out;
    }
}

Answer query(const Settings& s, const CodeInfo& sp, const std::vector<std::string>& args)
{
    if (sp.kind == Kind::Baud) {
        long port = -1;
        if (args.size() != 1 || !parseInt(args[0], port) || port < 0 || port > 1)
            return Answer::err(ErrInvalidPort);
        return {0, "BR," + std::to_string(port) + "," + intText(s.get("BR", size_t(port)))};
    }
    return {0, reply(s, sp)};
}

Answer setValue(Settings& s, const CodeInfo& sp, const std::vector<std::string>& args)
{
    const std::string code = sp.code;
    long n = 0;
    double x = 0;
    const auto oneInt = [&] { return args.size() == 1 && parseInt(args[0], n); };
    const auto oneReal = [&] { return args.size() == 1 && parseReal(args[0], x); };
    switch (sp.kind) {
    case Kind::Int:
        if (!oneInt())
            return Answer::err(ErrInvalidCommand);
        if (n < sp.lo || n > sp.hi)
            return Answer::err(sp.error);
        s.set(code, 0, double(n));
        return Answer::ok();
    case Kind::Dist:
    case Kind::Num:
        if (!oneReal())
            return Answer::err(ErrInvalidCommand);
        if (x < sp.lo || x > sp.hi)
            return Answer::err(sp.error);
        s.set(code, 0, sp.kind == Kind::Dist ? s.fromUnits(x) : x);
        return Answer::ok();
    case Kind::Dither:
        if (!oneInt())
            return Answer::err(ErrInvalidCommand);
        if (n != 0 && n != 1 && n != 2 && n != 4 && n != 8 && n != 16)
            return Answer::err(ErrIncorrectValue);
        s.set(code, 0, double(n));
        return Answer::ok();
    case Kind::Prf: {
        if (!oneInt())
            return Answer::err(ErrInvalidCommand);
        const int i = prfIndex(s.mode());
        if (i < 0)
            return Answer::err(ErrInvalidMode);
        if (n < 10 || n > prfLimit(s.mode()))
            return Answer::err(ErrInvalidPrf);
        s.set(code, size_t(i), double(n));
        return Answer::ok();
    }
    case Kind::Pulses: {
        if (!oneInt())
            return Answer::err(ErrInvalidCommand);
        const int i = prfIndex(s.mode());
        if (i < 0 || i > 1)
            return Answer::err(ErrInvalidMode);  // detection has no pulses per measurement
        if (n < sp.lo || n > sp.hi)
            return Answer::err(sp.error);
        s.set(code, size_t(i), double(n));
        return Answer::ok();
    }
    case Kind::Damp:
        if (args.size() != 2 || !parseInt(args[0], n) || !parseReal(args[1], x) || n < 0)
            return Answer::err(ErrInvalidCommand);
        s.set(code, 0, double(n));
        s.set(code, 1, s.fromUnits(x));
        return Answer::ok();
    case Kind::Trip:
        if (args.size() != 1 || !parseInt(args[0], n, 16) || n < 0 || n > sp.hi)
            return Answer::err(ErrInvalidCommand);
        s.set(code, 0, double(n));
        return Answer::ok();
    case Kind::Baud: {
        long port = -1, rate = 0;
        if (args.size() != 2 || !parseInt(args[0], port) || port < 0 || port > 1)
            return Answer::err(ErrInvalidPort);
        if (!parseInt(args[1], rate) || std::find(std::begin(kRates), std::end(kRates), rate) == std::end(kRates))
            return Answer::err(ErrInvalidRate);
        s.set(code, size_t(port), double(rate));
        return Answer::ok();
    }
    case Kind::Addr:
        if (args.size() != 1 || args[0].size() != 1 || !isAddressChar(args[0][0]))
            return Answer::err(ErrInvalidCommand);
        s.set(code, 0, double(args[0][0]));
        return Answer::ok();
    case Kind::Port:
    case Kind::Calib:
        return Answer::err(ErrInvalidCommand);
    }
    return Answer::err(ErrInvalidCommand);
}

} // namespace

Settings Settings::defaults(char address, int port, unsigned rate)
{
    Settings s;
    for (const auto& sp : table())
        s.values[sp.code] = sp.defaults;
    s.values["UA"] = {double(address)};
    s.values["WP"] = {double(port)};
    s.set("BR", port == 0 ? 0 : 1, double(rate));
    return s;
}

double Settings::get(const std::string& code, size_t k) const
{
    auto it = values.find(code);
    return (it == values.end() || k >= it->second.size()) ? 0.0 : it->second[k];
}

std::string Settings::number(double u) const
{
    char buf[48];
    std::snprintf(buf, sizeof buf, metres() ? "%.3f" : "%.2f", u);
    return buf;
}

std::optional<Answer> settingCommand(Settings& s, const std::string& code, const std::vector<std::string>& args)
{
    const CodeInfo* sp = find(code);
    if (!sp)
        return std::nullopt;
    if (args.empty() || (sp->kind == Kind::Baud && args.size() == 1))
        return query(s, *sp, args);
    return setValue(s, *sp, args);
}

bool isSettingCode(const std::string& code) { return find(code) != nullptr; }

int refusalError(const std::string& code)
{
    const CodeInfo* sp = find(code);
    return sp && sp->error != ErrInvalidCommand ? sp->error : ErrIncorrectValue;
}

std::vector<std::string> settingCodes()
{
    std::vector<std::string> codes;
    for (const auto& sp : table())
        codes.push_back(sp.code);
    return codes;
}

bool isAddressChar(int c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::vector<std::string> splitCommas(const std::string& text)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos)
            return parts;
        start = comma + 1;
    }
}

bool parseInt(const std::string& text, long& out, int base)
{
    if (text.empty() || text.find_first_of(" \t+") != std::string::npos
        || (base == 16 && text.find_first_of("xX") != std::string::npos))
        return false;
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, base);
    if (*end || errno)
        return false;
    out = v;
    return true;
}

bool parseReal(const std::string& text, double& out)
{
    if (text.empty() || text.find_first_of(" \t+xXnNiI") != std::string::npos)
        return false;
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (*end || errno || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

bool writeStateFile(const std::string& path, const std::vector<Settings>& saved)
{
    std::ostringstream out;
    out.precision(10);
    out << "# dxu-sim saved settings; distances in metres\n";
    for (size_t u = 0; u < saved.size(); ++u) {
        out << "unit " << u << "\n";
        for (const auto& [code, v] : saved[u].values) {
            out << code;
            for (double x : v)
                out << ' ' << x;
            out << "\n";
        }
    }
    const std::string tmp = path + ".tmp";
    {
        std::ofstream f(tmp, std::ios::trunc);
        if (!(f << out.str()) || !f.flush())
            return false;
    }
    return std::rename(tmp.c_str(), path.c_str()) == 0;
}

bool readStateFile(const std::string& path, std::vector<Settings>& saved)
{
    std::ifstream f(path);
    if (!f)
        return false;
    std::string line;
    long unit = -1;
    while (std::getline(f, line)) {
        std::istringstream in(line);
        std::string code;
        if (!(in >> code) || code[0] == '#')
            continue;
        if (code == "unit") {
            if (!(in >> unit))
                unit = -1;
            continue;
        }
        if (unit < 0 || size_t(unit) >= saved.size())
            continue;
        auto it = saved[size_t(unit)].values.find(code);
        if (it == saved[size_t(unit)].values.end())
            continue;
        std::vector<double> v;
        double x;
        while (in >> x)
            v.push_back(x);
        if (v.size() == it->second.size())
            it->second = v;
    }
    return true;
}

} // namespace dxusim
