#include "currentloop/loopmodel.h"

#include "protocol/commandids.h"
#include "services/locale.h"
#include "services/messages.h"

#include <cstdio>

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

bool acceptLoopRanges(DxuState& st, const LoopRangeTexts& texts, const std::function<void()>& queueUpload)
{
    UnitRecord& unit = st.current();
    UnitRecord& edit = st.editRecord;
    struct Row {
        const QString& text;
        float UnitRecord::*value;
        int32_t UnitRecord::*changed;
    };
    const Row rows[] = {{texts.low, &UnitRecord::analogLow, &UnitRecord::analogLowChanged},
                        {texts.high, &UnitRecord::analogHigh, &UnitRecord::analogHighChanged},
                        {texts.faultCurrent, &UnitRecord::faultCurrent, &UnitRecord::faultCurrentChanged},
                        {texts.faultTimeout, &UnitRecord::faultTimeout, &UnitRecord::faultTimeoutChanged}};
    for (const Row& row : rows) {
        float v = 0;
        if (!row.text.trimmed().isEmpty() && !textToFloat(row.text, v))
            return false;
        edit.*row.value = v;
    }
    for (const Row& row : rows)
        if (edit.*row.value != unit.*row.value)
            unit.*row.changed = 1;
    if (queueUpload)
        queueUpload();
    return true;
}

CalibrationTexts calibrationTexts(int32_t calibration)
{
    return {QString::asprintf("%02d", (calibration >> 8) & 0xFF), QString::asprintf("%02d", calibration & 0xFF)};
}

bool queueCalibrationPoint(DxuState& st, LoopPoint point, const QString& coarse, const QString& fine,
                           const std::function<void()>& sendFirst)
{
    int c = 0;
    int f = 0;
    if (!textToInt(coarse, c) || !textToInt(fine, f))
        return false;
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
    return true;
}

} // namespace dxu
