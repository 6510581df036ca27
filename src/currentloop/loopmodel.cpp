#include "currentloop/loopmodel.h"

#include "protocol/commandids.h"
#include "protocol/settingcodes.h"
#include "services/locale.h"

#include <cstdio>
#include <iterator>

namespace dxu {
namespace {

QString shown(const char* format, float value, bool decimalComma)
{
    char text[64];
    std::snprintf(text, sizeof text, format, static_cast<double>(value));
    toDecimalComma(text, decimalComma);
    return QString::fromLatin1(text);
}

} // namespace

const std::array<const SettingCode*, 4>& loopSettings()
{
    static const std::array<const SettingCode*, 4> rows = {settingById(IdAnalogLow), settingById(IdAnalogHigh),
                                                           settingById(IdFaultCurrent), settingById(IdFaultTimeout)};
    return rows;
}

LoopRangeTexts loopRangeTexts(const DxuState& st)
{
    const UnitRecord& r = st.current();
    const bool metres = r.units == 1;
    const char* distance = metres ? "%0.3f" : "%0.2f";
    const bool comma = st.decimalComma != 0;
    return {shown(distance, r.analogLow, comma), shown(distance, r.analogHigh, comma),
            shown("%0.1f", r.faultCurrent, comma), shown("%0.1f", r.faultTimeout, comma),
            metres ? QStringLiteral("M") : QStringLiteral("F")};
}

StepOutcome acceptLoopRanges(DxuState& st, const LoopRangeTexts& texts, const std::function<void()>& queueUpload,
                             int* refused)
{
    UnitRecord& unit = st.current();
    UnitRecord& edit = st.editRecord;
    const QString* const given[] = {&texts.low, &texts.high, &texts.faultCurrent, &texts.faultTimeout};
    float values[std::size(given)] = {};
    for (size_t i = 0; i < std::size(given); ++i) {
        const SettingField& field = loopSettings()[i]->fields[0];
        const QString& text = *given[i];
        const QString caption = QLatin1String(field.caption);
        if (!text.trimmed().isEmpty() && !parseDecimalNumber(text, values[i])) {
            if (refused)
                *refused = static_cast<int>(i);
            return StepOutcome::refused(notDecimalNumberText(text, caption));
        }
        // A value the unit refuses (ER 83) is kept here for correction
        // rather than sent.
        if (field.limited && (values[i] < field.min || values[i] > field.max)) {
            if (refused)
                *refused = static_cast<int>(i);
            return StepOutcome::refused(QStringLiteral("%1: the unit does not take %2; it takes %3 to %4.")
                                            .arg(caption, text.trimmed())
                                            .arg(double(field.min))
                                            .arg(double(field.max)));
        }
    }
    for (size_t i = 0; i < std::size(given); ++i) {
        const SettingField& field = loopSettings()[i]->fields[0];
        edit.*field.floatField = values[i];
        if (floatDiffers(values[i], unit.*field.floatField))
            unit.*field.changed = 1;
    }
    if (queueUpload)
        queueUpload();
    return {};
}

CalibrationTexts calibrationTexts(int32_t calibration)
{
    return {QString::asprintf("%02d", (calibration >> 8) & 0xFF), QString::asprintf("%02d", calibration & 0xFF)};
}

StepOutcome queueCalibrationPoint(DxuState& st, LoopPoint point, const QString& coarse, const QString& fine,
                                  const std::function<void()>& sendFirst)
{
    int c = 0;
    int f = 0;
    if (!parseWholeNumber(coarse, c))
        return StepOutcome::refused(notWholeNumberText(coarse));
    if (!parseWholeNumber(fine, f))
        return StepOutcome::refused(notWholeNumberText(fine));
    CommandQueue& q = st.queue;
    q.resetQueue();
    q.setIntArg(0, point);
    q.setIntArg(1, c);
    q.enqueueWithArgs(KindBuilder, "CD,160", IdLoopCoarse, ListRetries, ArgInt);
    q.setIntArg(0, point);
    q.setIntArg(1, f);
    q.enqueueWithArgs(KindBuilder, "CD,161", IdLoopFine, ListRetries, ArgInt);
    q.queueState = QueueUpload;
    q.cursor = 0;
    if (sendFirst)
        sendFirst();
    return {};
}

} // namespace dxu
