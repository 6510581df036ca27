#include "settings/setupfile.h"

#include "protocol/settingcodes.h"
#include "settings/fileunits.h"
#include "settings/setuptext.h"
#include "services/csv.h"
#include "services/locale.h"
#include "services/safewrite.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <climits>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <string_view>

namespace dxu {

bool carriedByFile(const SettingCode& row)
{
    std::string_view code = row.code;
    return row.fields[0].changed && code != "UA" && code != "BR";
}

namespace {

using R = UnitRecord;

template <typename Visit>
void forEachFileField(Visit&& visit)
{
    for (const SettingCode& row : settingCodes())
        if (carriedByFile(row))
            for (int i = 0; i < row.fieldCount(); ++i)
                visit(row, row.fields[static_cast<size_t>(i)]);
}

bool differs(const SettingField& f, const R& a, const R& b)
{
    return f.intField ? a.*f.intField != b.*f.intField : floatDiffers(a.*f.floatField, b.*f.floatField);
}

void copy(const SettingField& f, const R& from, R& to)
{
    if (f.intField)
        to.*f.intField = from.*f.intField;
    else
        to.*f.floatField = from.*f.floatField;
}

QString number(double v, int decimals, bool comma)
{
    QByteArray text = QByteArray::number(v, 'f', decimals);
    toDecimalComma(text.data(), comma);
    return QString::fromLatin1(text);
}

bool userComma() { return decimalSeparator() == QLatin1Char(','); }

// A value as the panel shows it; with its units unless they go in a column
// of their own (and then with a decimal point, as a file is read anywhere).
QString valueText(const SettingField& f, const R& r, bool withUnit = true)
{
    const bool comma = withUnit && userComma();
    if (f.floatField) {
        float v = r.*f.floatField;
        if (f.distance) {
            QString t = number(v, r.units == 1 ? 3 : 2, comma);
            return withUnit ? t + (r.units == 1 ? QStringLiteral(" m") : QStringLiteral(" ft")) : t;
        }
        QString t = number(v, 2, comma);
        return withUnit && *f.unit ? t + QLatin1Char(' ') + QLatin1String(f.unit) : t;
    }
    int32_t v = r.*f.intField;
    if (const char* caption = choiceCaption(f, v))
        return QLatin1String(caption);
    QString t = QString::number(v);
    return withUnit && *f.unit ? t + QLatin1Char(' ') + QLatin1String(f.unit) : t;
}

QString settingName(const SettingField& f) { return f.name ? QLatin1String(f.name) : QString::number(f.offset); }

QString unitOfMeasure(const SettingField& f, const R& r)
{
    if (f.distance)
        return r.units == 1 ? QStringLiteral("m") : QStringLiteral("ft");
    return QLatin1String(f.unit);
}

// Whether a value of a setting with named choices is one of them (0 also
// where the choices start at 1: a unit not yet set).
bool knownChoice(const SettingField& f, int32_t v) { return !f.namedChoices() || v == 0 || f.choice(v); }

// Why no unit can have these settings; empty when a unit can.
QString implausible(const R& r)
{
    if (r.measureMode < 1 || r.measureMode > 4)
        return QStringLiteral("its measurement mode %1 is not one a DXU knows").arg(r.measureMode);
    QString why;
    forEachFileField([&](const SettingCode& row, const SettingField& f) {
        if (!why.isEmpty())
            return;
        if (f.floatField && !std::isfinite(r.*f.floatField))
            why = QStringLiteral("its %1 is not a number").arg(settingName(f));
        else if (row.commandId == IdPulseRate && r.*f.intField < 0)
            why = QStringLiteral("its %1 is negative (%2 Hz)").arg(settingName(f)).arg(r.*f.intField);
        else if (f.intField && !knownChoice(f, r.*f.intField))
            why = QStringLiteral("its %1 of %2 is not one a DXU knows").arg(settingName(f)).arg(r.*f.intField);
    });
    // The unit takes the trip timeout as a count of detection pulses.
    if (why.isEmpty()
        && (r.tripTimeout < 0
            || std::trunc(double(r.tripTimeout)) * std::max(r.prfDetection, 0) > double(INT32_MAX)))
        why = QStringLiteral("its Trip Timeout of %1 secs is more than a unit can count").arg(double(r.tripTimeout));
    return why;
}

QString wrongSize(const QString& name, std::size_t size)
{
    return QStringLiteral("\"%1\" is not a DXU setup file: it holds %2 bytes, a setup file holds %3.")
        .arg(QDir::toNativeSeparators(name))
        .arg(size)
        .arg(R::ImageSize);
}

} // namespace

SetupImage parseSetupImage(const uint8_t* data, std::size_t size, const QString& name)
{
    SetupImage image;
    if (size != R::ImageSize) {
        image.error = wrongSize(name, size);
        return image;
    }
    R::fromBytes(data, size, image.record);
    QString why = implausible(image.record);
    if (!why.isEmpty())
        image.error = QStringLiteral("\"%1\" cannot be loaded: %2.").arg(QDir::toNativeSeparators(name), why);
    return image;
}

SetupImage readSetupFile(const QString& path)
{
    SetupImage image;
    // Only a regular file is read, and opening never waits: a FIFO or a
    // device named as a setup file is refused, not waited on.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        image.error = QStringLiteral("Cannot open the setup file \"%1\": %2.")
                          .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(errno)));
        return image;
    }
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        image.error = QStringLiteral("Cannot open the setup file \"%1\": it is not a regular file.").arg(QDir::toNativeSeparators(path));
        return image;
    }
    // One byte more than a record tells a longer file from a record.
    std::array<uint8_t, R::ImageSize + 1> bytes{};
    std::size_t size = 0;
    while (size < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + size, bytes.size() - size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            image.error = QStringLiteral("Cannot read the setup file \"%1\": %2.")
                              .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(error)));
            return image;
        }
        if (n == 0)
            break;
        size += static_cast<std::size_t>(n);
    }
    ::close(fd);
    // Of a longer file only one byte more than a record was read: the size
    // said is the file's own.
    if (size > R::ImageSize) {
        SetupImage image;
        image.error = wrongSize(path, std::max(size, static_cast<std::size_t>(std::max<off_t>(info.st_size, 0))));
        return image;
    }
    return parseSetupImage(bytes.data(), size, path);
}

QString writeSetupFile(const QString& path, const UnitRecord& record, Links links)
{
    const R::Image image = record.toBytes();
    const QString error = replaceFile(path,
                                      QByteArray(reinterpret_cast<const char*>(image.data()),
                                                 static_cast<qsizetype>(image.size())),
                                      links);
    return error.isEmpty() ? QString()
                           : QStringLiteral("Cannot save the setup file \"%1\": %2.").arg(QDir::toNativeSeparators(path), error);
}

UnitRecord withFileSettings(const UnitRecord& unit, const UnitRecord& file)
{
    UnitRecord merged = unit;
    forEachFileField([&](const SettingCode&, const SettingField& f) { copy(f, file, merged); });
    return merged;
}

bool adoptSetupImage(UnitRecord& unit, const UnitRecord& edit)
{
    bool any = false;
    // A change of units converts the unit's distances: every distance is
    // written after it, also one whose number stays the same.
    const bool newUnits = unit.units != edit.units;
    // Rows are visited in table order, PF before TT: a trip timeout pulled in
    // with a new detection PRF compares equal when its own row comes.
    for (const SettingCode& row : settingCodes()) {
        if (!carriedByFile(row))
            continue;
        if (row.form == ReplyForm::Dither) {
            // The steps and the on/off state are one write; only the steps
            // are kept in the record, the state goes out from edit.
            const SettingField& steps = row.fields[0];
            if (differs(steps, unit, edit) || differs(row.fields[1], unit, edit)) {
                copy(steps, edit, unit);
                unit.*steps.changed = 1;
                any = true;
            }
            continue;
        }
        for (int i = 0; i < row.fieldCount(); ++i) {
            const SettingField& f = row.fields[static_cast<size_t>(i)];
            if (!differs(f, unit, edit) && !(newUnits && isDistance(f.floatField)))
                continue;
            copy(f, edit, unit);
            unit.*f.changed = 1;
            any = true;
            if (f.intField == &R::prfDetection) {
                // The unit takes the trip timeout as a count of these pulses.
                unit.tripTimeout = edit.tripTimeout;
                unit.tripTimeoutChanged = 1;
            }
        }
    }
    return any;
}

std::vector<const SettingField*> differingSettings(const UnitRecord& unit, const UnitRecord& file)
{
    // Lengths are compared as lengths: the unit's in the file's units.
    const UnitRecord seen = convertedTo(unit, file.units);
    std::vector<const SettingField*> fields;
    forEachFileField([&](const SettingCode& row, const SettingField& f) {
        // What is written with the unit's decimals counts to the unit's resolution.
        const bool resolved = f.floatField && row.decimals == DecimalsByUnits;
        if (resolved ? std::fabs(seen.*f.floatField - file.*f.floatField) > distanceResolution(file.units) / 2 + 1e-6f
                     : differs(f, unit, file))
            fields.push_back(&f);
    });
    return fields;
}

std::vector<const SettingField*> settingsToWrite(const UnitRecord& unit, const UnitRecord& file)
{
    UnitRecord flags = unit;
    adoptSetupImage(flags, file);
    std::vector<const SettingField*> fields;
    const std::vector<const SettingField*> differing = differingSettings(unit, file);
    forEachFileField([&](const SettingCode&, const SettingField& f) {
        // Of fields that share a flag (dithering) those that differ.
        const bool partnerDiffers = std::any_of(differing.begin(), differing.end(), [&f](const SettingField* d) {
            return d->changed == f.changed && d != &f;
        });
        if (flags.*f.changed
            && (std::find(differing.begin(), differing.end(), &f) != differing.end() || !partnerDiffers))
            fields.push_back(&f);
    });
    return fields;
}

std::vector<CompareRow> compareSettings(const UnitRecord& unit, const UnitRecord& file)
{
    std::vector<CompareRow> rows;
    for (const SettingField* f : differingSettings(unit, file))
        rows.push_back({settingName(*f), valueText(*f, unit), valueText(*f, file)});
    return rows;
}

UnitRecord fileForUnit(const UnitRecord& unit, const UnitRecord& file)
{
    return withFileSettings(unit, inUnitsOf(file, unit));
}

QString settingsReport(const UnitRecord& record, const QString& versionText)
{
    return settingsReport(record, ReportHead{{}, {}, versionText});
}

QString settingsReport(const UnitRecord& record, const ReportHead& head)
{
    QString out = QStringLiteral("Setting,Value,Unit\n");
    auto line = [&](const QString& a, const QString& b, const QString& c) {
        out += csvField(a) + QLatin1Char(',') + csvField(b) + QLatin1Char(',') + csvField(c) + QLatin1Char('\n');
    };
    if (!head.date.isEmpty())
        line(QStringLiteral("Date"), head.date, {});
    if (!head.port.isEmpty())
        line(QStringLiteral("Port"), head.port, {});
    if (record.addressChar() != 0)
        line(QStringLiteral("Address"), QString(QLatin1Char(record.addressChar())), {});
    if (!head.version.isEmpty())
        line(QStringLiteral("Version"), head.version.trimmed(), {});
    forEachFileField([&](const SettingCode&, const SettingField& f) {
        line(settingName(f), valueText(f, record, false), unitOfMeasure(f, record));
    });
    return out;
}

// ----------------------------------------------------------------------------

SettingText describeSetting(const SettingField& field, const UnitRecord& record)
{
    return {field.offset, settingName(field), valueText(field, record, false), unitOfMeasure(field, record), &field};
}

std::vector<SettingText> describeSettings(const UnitRecord& record)
{
    std::vector<SettingText> out;
    forEachFileField([&](const SettingCode&, const SettingField& f) { out.push_back(describeSetting(f, record)); });
    return out;
}

} // namespace dxu
