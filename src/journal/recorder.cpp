#include "journal/recorder.h"

#include "protocol/settingcodes.h"
#include "settings/setupfile.h"

#include <QStringList>

namespace dxu {
namespace {

bool differs(const SettingField& f, const UnitRecord& a, const UnitRecord& b)
{
    return f.intField ? a.*f.intField != b.*f.intField : floatDiffers(a.*f.floatField, b.*f.floatField);
}

// A field that the setup file's names do not cover: the address and the
// unit's port rates.
SettingText fieldText(const SettingField& f, const UnitRecord& r)
{
    if (f.intField == &UnitRecord::address)
        return {f.offset, QStringLiteral("Address"),
                r.addressChar() ? QString(QLatin1Char(r.addressChar())) : QStringLiteral("none"), {}};
    if (f.intField == &UnitRecord::port0Baud || f.intField == &UnitRecord::port1Baud)
        return {f.offset,
                f.intField == &UnitRecord::port0Baud ? QStringLiteral("Configuration Port Rate")
                                                     : QStringLiteral("Universal Port Rate"),
                QString::number(r.*f.intField), QStringLiteral("bit/s")};
    return describeSetting(f, r);
}

QString withUnit(const SettingText& t) { return t.unit.isEmpty() ? t.value : t.value + QLatin1Char(' ') + t.unit; }

template <typename Part>
QString joined(const SettingCode& row, unsigned mask, Part part)
{
    QStringList parts;
    for (int i = 0; i < row.fieldCount(); ++i)
        if (mask & (1u << i))
            parts << part(row.fields[static_cast<size_t>(i)]);
    return parts.join(QStringLiteral("; "));
}

} // namespace

ChangeRecorder::ChangeRecorder(Journal& journal, Target target) : journal_(journal), target_(std::move(target)) {}

QString ChangeRecorder::captionOf(const SettingCode& row, unsigned mask)
{
    static const UnitRecord none{};
    return joined(row, mask, [](const SettingField& f) { return fieldText(f, none).caption; });
}

QString ChangeRecorder::valueOf(const SettingCode& row, unsigned mask, const UnitRecord& record)
{
    return joined(row, mask, [&record](const SettingField& f) { return withUnit(fieldText(f, record)); });
}

void ChangeRecorder::writeSent(const QString& code, const QString& caption, const QString& oldValue,
                               const QString& newValue, bool readBack)
{
    Waiting w;
    Change& c = w.change;
    c.time = QDateTime::currentDateTimeUtc();
    if (target_) {
        const WriteTarget t = target_();
        c.link = t.link;
        c.address = t.address;
        c.version = t.version;
    }
    c.code = code;
    c.caption = caption;
    c.oldValue = oldValue;
    c.newValue = newValue;
    w.readBack = readBack;
    waiting_.push_back(std::move(w));
}

void ChangeRecorder::settingSent(const SettingCode& row, const UnitRecord& unit, const UnitRecord& sent)
{
    unsigned mask = 0;
    for (int i = 0; i < row.fieldCount(); ++i)
        if (differs(row.fields[static_cast<size_t>(i)], unit, sent))
            mask |= 1u << i;
    if (mask == 0)
        mask = (1u << row.fieldCount()) - 1;
    writeSent(QString::fromLatin1(row.code), captionOf(row, mask), valueOf(row, mask, unit), valueOf(row, mask, sent),
              true);
    waiting_.back().row = &row;
    waiting_.back().mask = mask;
}

ChangeRecorder::Waiting* ChangeRecorder::oldest(const QString& code)
{
    for (Waiting& w : waiting_)
        if (w.change.code == code)
            return &w;
    return nullptr;
}

void ChangeRecorder::finish(std::vector<Waiting>::iterator it, ChangeOutcome outcome, const QString& detail)
{
    Change c = std::move(it->change);
    waiting_.erase(it);
    c.outcome = outcome;
    c.detail = detail;
    journal_.recordChange(c);
}

void ChangeRecorder::heldAfterWrite(std::vector<Waiting>::iterator it, const QString& value)
{
    const bool same = value == it->change.newValue;
    finish(it, same ? ChangeOutcome::Accepted : ChangeOutcome::ReadBackDifferent, same ? QString() : value);
}

void ChangeRecorder::accepted(const QString& code)
{
    Waiting* w = oldest(code);
    if (!w)
        return;
    w->accepted = true;
    if (!w->readBack)
        finish(waiting_.begin() + (w - waiting_.data()), ChangeOutcome::Accepted, {});
}

void ChangeRecorder::refused(const QString& code, const QString& deviceError)
{
    if (Waiting* w = oldest(code))
        finish(waiting_.begin() + (w - waiting_.data()), ChangeOutcome::Refused, deviceError);
}

void ChangeRecorder::readBack(const QString& code, const QString& value)
{
    if (Waiting* w = oldest(code))
        heldAfterWrite(waiting_.begin() + (w - waiting_.data()), value);
}

void ChangeRecorder::settingReadBack(const SettingCode& row, const UnitRecord& unit)
{
    for (auto it = waiting_.begin(); it != waiting_.end(); ++it) {
        if (it->row != &row)
            continue;
        heldAfterWrite(it, valueOf(row, it->mask, unit));
        return;
    }
}

void ChangeRecorder::settle()
{
    while (!waiting_.empty())
        finish(waiting_.begin(), waiting_.front().accepted ? ChangeOutcome::Accepted : ChangeOutcome::NotAnswered, {});
}

} // namespace dxu
