#include "journal/recorder.h"

#include "protocol/settingcodes.h"
#include "settings/setupfile.h"

#include <QStringList>

#include <algorithm>

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
    send(nullptr, 0, code, caption, oldValue, newValue, readBack);
}

void ChangeRecorder::settingSent(const SettingCode& row, const UnitRecord& unit, const UnitRecord& sent)
{
    unsigned mask = 0;
    for (int i = 0; i < row.fieldCount(); ++i)
        if (differs(row.fields[static_cast<size_t>(i)], unit, sent))
            mask |= 1u << i;
    if (mask == 0)
        mask = (1u << row.fieldCount()) - 1;
    send(&row, mask, QString::fromLatin1(row.code), captionOf(row, mask), valueOf(row, mask, unit),
         valueOf(row, mask, sent), true);
}

void ChangeRecorder::send(const SettingCode* row, unsigned mask, const QString& code, const QString& caption,
                          const QString& oldValue, const QString& newValue, bool readBack)
{
    // A new write of the same setting ends the conversation about the last
    // one: it is written with what is known of it, and no later reply can
    // stand for it.
    for (auto it = waiting_.begin(); it != waiting_.end(); ++it)
        if (row ? it->row == row : (!it->row && it->change.code == code)) {
            finishAsKnown(it);
            break;
        }
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
    w.row = row;
    w.mask = mask;
    w.readBack = readBack;
    waiting_.push_back(std::move(w));
}

std::vector<ChangeRecorder::Waiting>::iterator ChangeRecorder::oldest(const QString& code, bool unanswered)
{
    return std::find_if(waiting_.begin(), waiting_.end(), [&](const Waiting& w) {
        return w.change.code == code && (!unanswered || !w.accepted);
    });
}

void ChangeRecorder::finish(std::vector<Waiting>::iterator it, ChangeOutcome outcome, const QString& detail)
{
    Change c = std::move(it->change);
    waiting_.erase(it);
    c.outcome = outcome;
    c.detail = detail;
    journal_.queueChange(c);
}

void ChangeRecorder::finishAsKnown(std::vector<Waiting>::iterator it)
{
    finish(it, it->accepted ? ChangeOutcome::Accepted : ChangeOutcome::NotAnswered, {});
}

void ChangeRecorder::heldAfterWrite(std::vector<Waiting>::iterator it, const QString& value)
{
    const bool same = value == it->change.newValue;
    finish(it, same ? ChangeOutcome::Accepted : ChangeOutcome::ReadBackDifferent, same ? QString() : value);
}

void ChangeRecorder::accepted(const QString& code)
{
    const auto it = oldest(code, true);
    if (it == waiting_.end())
        return;
    it->accepted = true;
    if (!it->readBack)
        finish(it, ChangeOutcome::Accepted, {});
}

void ChangeRecorder::refused(const QString& code, const QString& deviceError)
{
    if (const auto it = oldest(code, true); it != waiting_.end())
        finish(it, ChangeOutcome::Refused, deviceError);
}

void ChangeRecorder::readBack(const QString& code, const QString& value)
{
    if (const auto it = oldest(code, false); it != waiting_.end())
        heldAfterWrite(it, value);
}

void ChangeRecorder::settingReadBack(const SettingCode& row, const UnitRecord& unit)
{
    const auto it = std::find_if(waiting_.begin(), waiting_.end(), [&row](const Waiting& w) { return w.row == &row; });
    if (it != waiting_.end())
        heldAfterWrite(it, valueOf(row, it->mask, unit));
}

void ChangeRecorder::settle()
{
    while (!waiting_.empty())
        finishAsKnown(waiting_.begin());
}

} // namespace dxu
