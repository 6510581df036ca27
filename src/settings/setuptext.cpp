#include "settings/setuptext.h"
#include "protocol/linetext.h"

#include "protocol/settingcodes.h"
#include "settings/fileunits.h"
#include "settings/setupfile.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace dxu {
namespace {

using R = UnitRecord;

enum class Kind : uint8_t { Number, Distance, Choice, Address, PortName, Pending };

// The text's panels: the setting-code table's, then the record's own values.
const int RecordSection = static_cast<int>(settingSections().size());
const char* const kRecordNote = "kept in the file beside the settings; never sent to a unit";

const char* sectionKey(int section)
{
    return section == RecordSection ? "record" : settingSections()[static_cast<size_t>(section)].key;
}

const char* sectionNote(int section)
{
    return section == RecordSection ? kRecordNote : settingSections()[static_cast<size_t>(section)].note;
}

// One line of the text: its panel, name, the record member, the units word
// and how the value reads. The settings, and the unit's own values, are the
// lines the setting-code table names, in its order of the text; the record's
// other values follow under [record].
struct Entry {
    int section;
    const char* name;
    int32_t R::*i = nullptr;
    float R::*f = nullptr;
    Kind kind = Kind::Number;
    const char* unit = "";
    std::span<const Choice> choices = {};
    int decimals = 0; // floats: decimals tried first (distances: by units)
    const SettingField* field = nullptr; // the setting's row field (limits, changed flag)
};

constexpr Entry I(const char* n, int32_t R::*m) { return {0, n, m}; }
constexpr Entry F(const char* n, float R::*m) { return {0, n, nullptr, m, Kind::Number, "", {}, 3}; }

// clang-format off
const Entry kRecordEntries[] = {
    {0, "pc_port_name", nullptr, nullptr, Kind::PortName},
    I("pc_rs232_port", &R::port232),
    I("pc_rs232_rate_index", &R::port232RateIndex),
    I("pc_rs485_port", &R::port485),
    I("pc_rs485_rate_index", &R::port485RateIndex),
    I("pc_port_in_use", &R::portInUse),
    I("network_mode", &R::networkMode),
    I("link_port", &R::currentPort),
    I("settings_read", &R::settingsRead),
    I("status", &R::status),
    I("laser_on", &R::laserOn),
    I("measurement_seen", &R::measurementSeen),
    F("last_distance", &R::lastDistance),
    F("last_intensity", &R::lastIntensity),
    {0, "pending", nullptr, nullptr, Kind::Pending},
};
// clang-format on

Entry entryOfField(const SettingField& f, int section)
{
    Entry e{section, f.key, f.intField, f.floatField, Kind::Number, f.symbol, f.choices, f.textDecimals, &f};
    if (f.intField == &R::address)
        e.kind = Kind::Address;
    else if (f.distance)
        e.kind = Kind::Distance;
    else if (!f.choices.empty())
        e.kind = Kind::Choice;
    return e;
}

// Every line, in the order of the text.
const std::vector<Entry>& entries()
{
    static const std::vector<Entry> list = [] {
        std::vector<Entry> out;
        for (int s = 0; s < RecordSection; ++s) {
            std::vector<const SettingField*> fields;
            for (const SettingCode& row : settingCodes())
                for (const SettingField& f : row.fields)
                    if (f.key && f.section == settingSections()[static_cast<size_t>(s)].section)
                        fields.push_back(&f);
            std::sort(fields.begin(), fields.end(),
                      [](const SettingField* a, const SettingField* b) { return a->textOrder < b->textOrder; });
            for (const SettingField* f : fields)
                out.push_back(entryOfField(*f, s));
        }
        for (Entry e : kRecordEntries) {
            e.section = RecordSection;
            out.push_back(e);
        }
        return out;
    }();
    return list;
}

const int UnitSection = [] {
    int s = 0;
    while (s < RecordSection && settingSections()[static_cast<size_t>(s)].section != Section::Unit)
        ++s;
    return s;
}();

bool isSetting(const Entry& e) { return e.section < UnitSection; }

const Entry* entryOf(const SettingField& f)
{
    for (const Entry& e : entries())
        if (e.field == &f)
            return &e;
    return nullptr;
}

const Entry* entryNamed(std::string_view name)
{
    for (const Entry& e : entries())
        if (name == e.name)
            return &e;
    return nullptr;
}

// The changed flags, each once (dithering's two fields share one), by the
// name of the setting they belong to.
struct Flag {
    int32_t R::*flag;
    const char* name;
};
std::vector<Flag> pendingFlags()
{
    std::vector<Flag> flags;
    for (const Entry& e : entries()) {
        const SettingField* f = e.field;
        if (f && f->changed
            && std::none_of(flags.begin(), flags.end(), [&](const Flag& x) { return x.flag == f->changed; }))
            flags.push_back({f->changed, e.name});
    }
    return flags;
}

const char* distanceWord(const R& r) { return r.units == 1 ? "m" : "ft"; }

std::string shortest(float v)
{
    std::array<char, 32> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), v);
    return std::string(buf.data(), res.ptr);
}

bool readFloat(std::string_view s, float& out)
{
    if (s.empty() || s.front() == '+')
        return false;
    const auto res = std::from_chars(s.data(), s.data() + s.size(), out);
    return res.ec == std::errc() && res.ptr == s.data() + s.size();
}

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A float with the given decimals when that reads back to the same value,
// else in the shortest form that does; non-finite values as their bits.
std::string floatText(float v, int decimals)
{
    if (!std::isfinite(v)) {
        uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        std::array<char, 16> buf{};
        std::snprintf(buf.data(), buf.size(), "0x%08X", static_cast<unsigned>(bits));
        return buf.data();
    }
    std::array<char, 64> buf{};
    std::snprintf(buf.data(), buf.size(), "%.*f", decimals, double(v));
    float back = 0;
    if (readFloat(buf.data(), back) && sameBits(back, v))
        return buf.data();
    return shortest(v);
}

std::string portNameText(const R& r)
{
    int end = static_cast<int>(sizeof r.portName) - 1;
    while (end > 0 && r.portName[end - 1] == 0)
        --end;
    std::string out = "\"";
    for (int k = 0; k < end; ++k) {
        const unsigned char c = static_cast<unsigned char>(r.portName[k]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F || c == '#') {
            std::array<char, 8> buf{};
            std::snprintf(buf.data(), buf.size(), "\\x%02X", c);
            out += buf.data();
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + '"';
}

bool alnum(int32_t v) { return (v >= 'a' && v <= 'z') || (v >= 'A' && v <= 'Z') || (v >= '0' && v <= '9'); }

std::string hexText(int32_t v)
{
    std::array<char, 16> buf{};
    std::snprintf(buf.data(), buf.size(), "0x%X", static_cast<unsigned>(v));
    return buf.data();
}

std::string pendingText(const R& r)
{
    std::string out;
    for (const Flag& f : pendingFlags()) {
        const int32_t v = r.*f.flag;
        if (v == 0)
            continue;
        out += (out.empty() ? "" : ", ") + std::string(f.name);
        if (v != 1)
            out += ':' + std::to_string(v);
    }
    return out;
}

// The value and units of an entry as the text writes them.
std::string valueOf(const Entry& e, const R& r)
{
    switch (e.kind) {
    case Kind::Distance:
        return floatText(r.*e.f, r.units == 1 ? 3 : 2) + ' ' + distanceWord(r);
    case Kind::Choice: {
        const int32_t v = r.*e.i;
        for (const Choice& c : e.choices)
            if (c.value == v)
                return std::string(c.word) + (*e.unit ? std::string(" ") + e.unit : std::string());
        return std::to_string(v);
    }
    case Kind::Address: {
        const int32_t v = r.*e.i;
        return v == 0 ? "none" : alnum(v) ? std::string(1, static_cast<char>(v)) : hexText(v);
    }
    case Kind::PortName:
        return portNameText(r);
    case Kind::Pending:
        return pendingText(r);
    case Kind::Number:
        break;
    }
    std::string v = e.f ? floatText(r.*e.f, e.decimals) : std::to_string(r.*e.i);
    return *e.unit ? v + ' ' + e.unit : v;
}

bool isZero(const Entry& e, const R& r)
{
    if (e.kind == Kind::PortName)
        return std::all_of(std::begin(r.portName), std::end(r.portName), [](char c) { return c == 0; });
    if (e.kind == Kind::Pending)
        return pendingText(r).empty();
    return e.i ? r.*e.i == 0 : sameBits(r.*e.f, 0.0f);
}

QString lineOf(const Entry& e, const R& r)
{
    return QString::fromLatin1(e.name) + QStringLiteral(" = ") + QString::fromStdString(valueOf(e, r));
}

// ---------------------------------------------------------------------------
// Reading.

struct Given {
    int line;
    std::string value, unit;
};


// The line without its comment ('#' outside quotes).
std::string_view withoutComment(std::string_view s)
{
    bool quoted = false;
    for (std::size_t k = 0; k < s.size(); ++k) {
        if (s[k] == '"' && (k == 0 || s[k - 1] != '\\'))
            quoted = !quoted;
        else if (s[k] == '#' && !quoted)
            return s.substr(0, k);
    }
    return s;
}

bool readInt(std::string_view s, int32_t& out)
{
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        uint32_t u = 0;
        const auto res = std::from_chars(s.data() + 2, s.data() + s.size(), u, 16);
        out = static_cast<int32_t>(u);
        return res.ec == std::errc() && res.ptr == s.data() + s.size();
    }
    const auto res = std::from_chars(s.data(), s.data() + s.size(), out);
    return !s.empty() && res.ec == std::errc() && res.ptr == s.data() + s.size();
}

bool readPortName(std::string_view s, R& r)
{
    if (s.size() < 2 || s.front() != '"' || s.back() != '"')
        return false;
    s = s.substr(1, s.size() - 2);
    std::array<char, sizeof r.portName> name{};
    std::size_t n = 0;
    for (std::size_t k = 0; k < s.size(); ++k) {
        if (n + 1 >= name.size())
            return false;
        char c = s[k];
        if (c == '\\' && k + 1 < s.size() && (s[k + 1] == '\\' || s[k + 1] == '"')) {
            c = s[++k];
        } else if (c == '\\' && k + 3 < s.size() && s[k + 1] == 'x') {
            unsigned v = 0;
            const auto res = std::from_chars(s.data() + k + 2, s.data() + k + 4, v, 16);
            if (res.ec != std::errc() || res.ptr != s.data() + k + 4)
                return false;
            c = static_cast<char>(v);
            k += 3;
        } else if (c == '\\' || c == '"') {
            return false;
        }
        name[n++] = c;
    }
    std::copy(name.begin(), name.end(), r.portName);
    return true;
}

QString choiceList(const Entry& e)
{
    QStringList words;
    for (const Choice& c : e.choices)
        words << QLatin1String(c.word);
    return words.join(QStringLiteral(", "));
}

class Reader {
public:
    Reader(const QString& name) : name_(name) {}

    QString error;

    bool fail(int line, const QString& why)
    {
        if (error.isEmpty())
            error = line > 0 ? QStringLiteral("%1:%2: %3").arg(name_).arg(line).arg(why)
                             : QStringLiteral("%1: %2").arg(name_, why);
        return false;
    }

    bool split(const QByteArray& text, std::map<const Entry*, Given>& given)
    {
        int number = 0;
        for (const QByteArray& raw : text.split('\n')) {
            ++number;
            const std::string_view line = detail::trimBlanks(withoutComment(std::string_view(raw.constData(), size_t(raw.size()))));
            if (line.empty())
                continue;
            if (line.front() == '[') {
                const std::string_view section = line.back() == ']' ? line.substr(1, line.size() - 2) : std::string_view();
                bool known = false;
                for (int s = 0; s <= RecordSection; ++s)
                    known = known || section == sectionKey(s);
                if (!known)
                    return fail(number, QStringLiteral("unknown panel '%1'").arg(qs(line)));
                continue;
            }
            const std::size_t eq = line.find('=');
            if (eq == std::string_view::npos)
                return fail(number, QStringLiteral("expected 'name = value unit', found '%1'").arg(qs(line)));
            const std::string_view name = detail::trimBlanks(line.substr(0, eq));
            const Entry* e = entryNamed(name);
            if (!e)
                return fail(number, QStringLiteral("unknown setting '%1'").arg(qs(name)));
            if (given.count(e))
                return fail(number, QStringLiteral("%1 is given twice (first on line %2)")
                                        .arg(qs(name))
                                        .arg(given[e].line));
            std::string_view rest = detail::trimBlanks(line.substr(eq + 1));
            Given g{number, {}, {}};
            if (e->kind == Kind::Pending || e->kind == Kind::PortName) {
                g.value = rest;
            } else {
                const std::size_t gap = rest.find_first_of(" \t");
                g.value = rest.substr(0, gap);
                if (gap != std::string_view::npos) {
                    g.unit = detail::trimBlanks(rest.substr(gap));
                    if (g.unit.find_first_of(" \t") != std::string::npos)
                        return fail(number, QStringLiteral("expected 'name = value unit', found '%1'").arg(qs(line)));
                }
            }
            if (g.value.empty())
                return fail(number, QStringLiteral("%1 has no value").arg(qs(name)));
            given[e] = g;
        }
        return true;
    }

    bool put(const Entry& e, const Given& g, R& r)
    {
        const QString name = QLatin1String(e.name);
        const QString value = QString::fromStdString(g.value);
        // The units word, where one is given, must be the setting's.
        const std::string unit = e.kind == Kind::Distance ? distanceWord(r) : e.unit;
        if (!g.unit.empty() && g.unit != unit) {
            if (e.kind == Kind::Distance)
                return fail(g.line, QStringLiteral("%1 is in %2 in this setup (units = %3), not in '%4'")
                                        .arg(name, QLatin1String(unit.c_str()), QLatin1String(r.units == 1 ? "meters" : "feet"),
                                             QString::fromStdString(g.unit)));
            return fail(g.line, unit.empty() ? QStringLiteral("%1 takes no units word ('%2')").arg(name, QString::fromStdString(g.unit))
                                             : QStringLiteral("%1 is in %2, not in '%3'").arg(name, QLatin1String(unit.c_str()), QString::fromStdString(g.unit)));
        }
        switch (e.kind) {
        case Kind::Choice: {
            for (const Choice& c : e.choices)
                if (g.value == c.word) {
                    r.*e.i = c.value;
                    return true;
                }
            return fail(g.line, QStringLiteral("'%1' is not a %2 (%3)").arg(value, name, choiceList(e)));
        }
        case Kind::Address:
            if (g.value == "none")
                r.*e.i = 0;
            else if (g.value.size() == 1 && alnum(g.value[0]))
                r.*e.i = g.value[0];
            else if (!(g.value.size() > 2 && readInt(g.value, r.*e.i)))
                return fail(g.line, QStringLiteral("'%1' is not an address (a-z, A-Z, 0-9 or none)").arg(value));
            return true;
        case Kind::PortName:
            return readPortName(g.value, r) || fail(g.line, QStringLiteral("'%1' is not a quoted name of at most 7 characters").arg(value));
        case Kind::Pending:
            return readPending(g, r);
        case Kind::Distance:
        case Kind::Number:
            break;
        }
        if (e.i) {
            if (!readInt(g.value, r.*e.i))
                return fail(g.line, QStringLiteral("'%1' is not a whole number for %2").arg(value, name));
        } else {
            float v = 0;
            int32_t bits = 0;
            if (e.section == RecordSection && g.value.size() > 2 && g.value[1] == 'x' && readInt(g.value, bits))
                std::memcpy(&v, &bits, sizeof v);
            else if (!readFloat(g.value, v) || !std::isfinite(v))
                return fail(g.line, QStringLiteral("'%1' is not a number for %2").arg(value, name));
            r.*e.f = v;
        }
        return true;
    }

    bool readPending(const Given& g, R& r)
    {
        const std::vector<Flag> flags = pendingFlags();
        for (const Flag& f : flags)
            r.*f.flag = 0;
        for (const QString& part : QString::fromStdString(g.value).split(QLatin1Char(','))) {
            const QStringList nv = part.trimmed().split(QLatin1Char(':'));
            const auto f = std::find_if(flags.begin(), flags.end(), [&](const Flag& x) { return nv[0] == QLatin1String(x.name); });
            bool number = true;
            const int32_t v = nv.size() == 2 ? nv[1].toInt(&number) : 1;
            if (f == flags.end() || nv.size() > 2 || !number)
                return fail(g.line, QStringLiteral("'%1' is not a setting with a pending change").arg(part.trimmed()));
            r.*f->flag = v;
        }
        return true;
    }

    // The unit's limits: the table's, and the choices above.
    bool inLimits(const Entry& e, const Given& g, const R& r)
    {
        const SettingField* f = e.field;
        if (!f || !f->limited)
            return true;
        const double v = e.i ? double(r.*e.i) : double(r.*e.f);
        if (v >= f->min && v <= f->max)
            return true;
        const QString unit = QLatin1String(e.kind == Kind::Distance ? distanceWord(r) : e.unit);
        return fail(g.line, QStringLiteral("%1 = %2 is outside the unit's limits (%3 .. %4%5)")
                                .arg(QLatin1String(e.name), QString::fromStdString(g.value))
                                .arg(double(f->min))
                                .arg(double(f->max))
                                .arg(unit.isEmpty() ? QString() : QLatin1Char(' ') + unit));
    }

    static QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

private:
    QString name_;
};

} // namespace

QString setupText(const UnitRecord& record)
{
    QString out = QStringLiteral("# DXU setup: one setting a line, \"name = value unit\"; distances in %1\n")
                      .arg(QLatin1String(record.units == 1 ? "metres" : "feet"));
    int section = -1;
    for (const Entry& e : entries()) {
        if (e.section == RecordSection && isZero(e, record))
            continue;
        if (e.section != section) {
            section = e.section;
            out += QStringLiteral("\n[%1]").arg(QLatin1String(sectionKey(section)));
            if (sectionNote(section))
                out += QStringLiteral("  # ") + QLatin1String(sectionNote(section));
            out += QLatin1Char('\n');
        }
        out += lineOf(e, record) + QLatin1Char('\n');
    }
    return out;
}

SetupFromText parseSetupText(const QByteArray& text, const QString& name, const UnitRecord* base)
{
    SetupFromText result;
    Reader reader(name);
    std::map<const Entry*, Given> given;
    if (!reader.split(text, given)) {
        result.error = reader.error;
        return result;
    }
    QStringList missing;
    for (const Entry& e : entries())
        if (isSetting(e) && !given.count(&e) && !base)
            missing << QLatin1String(e.name);
    if (!missing.isEmpty()) {
        const int shown = 5;
        result.error = QStringLiteral("%1: the text leaves out %2%3; give them, or a base setup file that has them")
                           .arg(name, QStringList(missing.mid(0, shown)).join(QStringLiteral(", ")),
                                missing.size() > shown ? QStringLiteral(" and %1 more").arg(missing.size() - shown) : QString());
        return result;
    }
    // The units first: every distance is read in them, and a base in the
    // other units is converted.
    R& r = result.record;
    const Entry* units = entryNamed("units");
    if (given.count(units)) {
        if (!reader.put(*units, given[units], r)) {
            result.error = reader.error;
            return result;
        }
        if (base)
            r = convertedTo(*base, r.units);
    } else {
        r = *base;
    }
    for (const auto& [e, g] : given)
        if (!reader.put(*e, g, r) || !reader.inLimits(*e, g, r)) {
            result.error = reader.error;
            return result;
        }
    // The unit takes the trip timeout as a count of detection pulses.
    const Entry* trip = entryNamed("trip_timeout");
    if (r.tripTimeout < 0 || std::trunc(double(r.tripTimeout)) * std::max(r.prfDetection, 0) > double(INT32_MAX)) {
        const int line = given.count(trip) ? given[trip].line : 0;
        reader.fail(line, QStringLiteral("trip_timeout = %1 s is more than a unit can count at %2 Hz")
                              .arg(double(r.tripTimeout))
                              .arg(r.prfDetection));
        result.error = reader.error;
        return result;
    }
    // And what a setup file must be, as any file is checked.
    const R::Image image = r.toBytes();
    const SetupImage checked = parseSetupImage(image.data(), image.size(), name);
    if (!checked.ok())
        result.error = checked.error;
    return result;
}

QString settingLine(const SettingField& field, const UnitRecord& record)
{
    const Entry* e = entryOf(field);
    return e ? lineOf(*e, record) : QString();
}

QString sectionOf(const SettingField& field)
{
    const Entry* e = entryOf(field);
    return e ? QLatin1String(sectionKey(e->section)) : QString();
}

std::vector<const SettingField*> setupDifferences(const UnitRecord& a, const UnitRecord& b, UnitRecord* bInUnitsOfA)
{
    // a speaks its units as a unit that has been read does.
    UnitRecord read = a;
    read.settingsRead = 1;
    const UnitRecord seen = fileForUnit(read, b);
    if (bInUnitsOfA)
        *bInUnitsOfA = seen;
    return differingSettings(read, seen);
}

} // namespace dxu
