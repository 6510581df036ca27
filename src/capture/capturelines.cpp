#include "capture/capturelines.h"
#include "protocol/linetext.h"

#include <QFile>
#include <QFileInfo>

#include <charconv>
#include <cmath>

namespace dxu {
namespace {

constexpr std::size_t StampLength = 15; // "hh:mm:ss:cc,   "
constexpr int MsPerDay = 24 * 3600 * 1000;

bool twoDigits(std::string_view s, std::size_t at, int& out)
{
    const char a = s[at], b = s[at + 1];
    if (a < '0' || a > '9' || b < '0' || b > '9')
        return false;
    out = (a - '0') * 10 + (b - '0');
    return true;
}

std::optional<int> readStamp(std::string_view line)
{
    if (line.size() < StampLength || line[2] != ':' || line[5] != ':' || line[8] != ':'
        || line.substr(11, 4) != ",   ")
        return std::nullopt;
    int h = 0, m = 0, s = 0, c = 0;
    if (!twoDigits(line, 0, h) || !twoDigits(line, 3, m) || !twoDigits(line, 6, s) || !twoDigits(line, 9, c))
        return std::nullopt;
    if (h > 23 || m > 59 || s > 59)
        return std::nullopt;
    return ((h * 60 + m) * 60 + s) * 1000 + c * 10;
}


std::optional<double> number(std::string_view s)
{
    s = detail::trimBlanks(s);
    double v = 0;
    const char* end = s.data() + s.size();
    const auto r = std::from_chars(s.data(), end, v);
    // "inf" and "nan" read as numbers but are no measurement.
    if (s.empty() || r.ec != std::errc() || r.ptr != end || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<char> unitLetter(std::string_view s)
{
    s = detail::trimBlanks(s);
    if (s == "m" || s == "F")
        return s.front();
    return std::nullopt;
}

} // namespace

std::optional<CaptureSample> parseCaptureLine(std::string_view line)
{
    const std::optional<int> ms = readStamp(line);
    if (!ms)
        return std::nullopt;
    std::vector<std::string_view> fields;
    std::string_view rest = line.substr(StampLength);
    for (;;) {
        const std::size_t comma = rest.find(',');
        fields.push_back(rest.substr(0, comma));
        if (comma == std::string_view::npos || fields.size() > 5)
            break;
        rest.remove_prefix(comma + 1);
    }
    CaptureSample s;
    s.msOfDay = *ms;
    std::optional<char> unit;
    switch (fields.size()) {
    case 1: // intensity
        s.intensity = number(fields[0]);
        break;
    case 2: // distance
    case 3: // distance and intensity
        unit = unitLetter(fields[1]);
        s.distance = number(fields[0]);
        if (fields.size() == 3) {
            s.intensity = number(fields[2]);
            if (!s.intensity)
                return std::nullopt;
        }
        break;
    case 5: // one target of a binning set: index, count, distance, value, unit
        if (!number(fields[0]) || !number(fields[1]) || !number(fields[3]))
            return std::nullopt;
        unit = unitLetter(fields[4]);
        s.distance = number(fields[2]);
        break;
    default:
        return std::nullopt;
    }
    if (fields.size() > 1) {
        if (!unit || !s.distance)
            return std::nullopt;
        s.unit = *unit;
    }
    if (!s.distance && !s.intensity)
        return std::nullopt;
    return s;
}

CaptureContents readCaptureFile(const QString& path)
{
    CaptureContents c;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        c.error = file.errorString();
        return c;
    }
    const QByteArray all = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        c.error = file.errorString();
        return c;
    }
    c.lastDate = QFileInfo(file).lastModified().date();
    if (!c.lastDate.isValid())
        c.lastDate = QDate::currentDate();
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = all.indexOf('\n', start);
        if (end < 0)
            end = all.size();
        qsizetype stop = end;
        if (stop > start && all[stop - 1] == '\r')
            --stop;
        const std::string_view line(all.constData() + start, static_cast<std::size_t>(stop - start));
        c.lines.append(QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
        if (std::optional<CaptureSample> s = parseCaptureLine(line))
            c.samples.push_back(*s);
        start = end + 1;
    }
    c.read = true;
    return c;
}

std::vector<double> sampleSeconds(const std::vector<CaptureSample>& samples)
{
    std::vector<double> out;
    out.reserve(samples.size());
    long long day = 0;
    int previous = 0;
    for (const CaptureSample& s : samples) {
        if (s.msOfDay < previous)
            ++day;
        previous = s.msOfDay;
        out.push_back(static_cast<double>(day * MsPerDay + s.msOfDay) / 1000.0);
    }
    return out;
}

QString captureCsv(const CaptureContents& contents, PlotValue value)
{
    const std::vector<double> seconds = sampleSeconds(contents.samples);
    const int days = seconds.empty() ? 0 : static_cast<int>(seconds.back() * 1000 / MsPerDay);
    const QDate first = contents.lastDate.addDays(-days);
    QString csv = QStringLiteral("time,%1,unit\n")
                      .arg(value == PlotValue::Distance ? QStringLiteral("distance") : QStringLiteral("intensity"));
    for (std::size_t i = 0; i < contents.samples.size(); ++i) {
        const CaptureSample& s = contents.samples[i];
        const std::optional<double>& v = value == PlotValue::Distance ? s.distance : s.intensity;
        if (!v)
            continue;
        const long long ms = static_cast<long long>(seconds[i] * 1000 + 0.5);
        const QDate date = first.addDays(ms / MsPerDay);
        const QTime time = QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms % MsPerDay));
        const QString unit = value == PlotValue::Distance ? QString(QChar::fromLatin1(s.unit)) : QString();
        csv += date.toString(Qt::ISODate) + QLatin1Char('T') + time.toString(QStringLiteral("HH:mm:ss.zzz")).chopped(1)
               + QLatin1Char(',') + QString::number(*v, 'f', value == PlotValue::Intensity ? 1 : s.unit == 'F' ? 2 : 3)
               + QLatin1Char(',') + unit + QLatin1Char('\n');
    }
    return csv;
}

} // namespace dxu
