#include "settings/transfer.h"

#include "engine/engine.h"
#include "protocol/settingcodes.h"

#include <cmath>

namespace dxu {
namespace {

// Read back right after a units write, so that every distance shows in the
// new units before any typed distance is written.
constexpr struct {
    const char* code;
    uint32_t id;
} kDistanceQueries[] = {{"SG", IdShortGate},  {"LG", IdLongGate},    {"OF", IdOffset},
                        {"TP", IdTripPoint},   {"WV", IdWindowWidth}, {"DR", IdDampening},
                        {"AL", IdAnalogLow},   {"AH", IdAnalogHigh}};

bool pulsesBelongToMode(int32_t mode) { return mode == 1 || mode == 4 || mode == 2; }

// Queues the write of one row of the upload; false when nothing of it changed.
bool queueWrite(DxuState& st, const SettingCode& row)
{
    UnitRecord& unit = st.current();
    if (row.commandId == IdPulses && !pulsesBelongToMode(unit.measureMode))
        return false; // no pulse count in this mode; its flags wait for one
    bool changed = false;
    for (const SettingField& f : row.fields)
        if (f.changed && unit.*f.changed) {
            changed = true;
            unit.*f.changed = 0;
        }
    if (!changed)
        return false;

    CommandQueue& q = st.queue;
    const UnitRecord& edit = st.editRecord;
    switch (row.form) {
    case ReplyForm::GateBits:
        q.setIntArg(0, edit.shortGateOn + 2 * edit.longGateOn + 4 * edit.successiveGate);
        break;
    case ReplyForm::PulseCount:
        // The unit counts the trip timeout in pulses of the detection rate.
        q.setIntArg(0, static_cast<int32_t>(std::trunc(edit.tripTimeout)) * edit.prfDetection);
        break;
    case ReplyForm::Baud:
        q.setIntArg(0, row.commandId == IdBaudPort0 ? 0 : 1);
        q.setIntArg(1, edit.*row.fields[0].intField);
        break;
    default:
        for (int i = 0; i < row.fieldCount(); ++i) {
            const SettingField& f = row.fields[static_cast<size_t>(i)];
            if (f.intField)
                q.setIntArg(i, edit.*f.intField);
            else
                q.setFloatArg(i, edit.*f.floatField);
        }
        break;
    }
    q.enqueueWithArgs(KindBuilder, row.code, row.commandId, ListRetries, row.argType);
    if (row.commandId == IdUnits)
        for (const auto& d : kDistanceQueries)
            q.enqueueCommand(KindCode, d.code, d.id, ListRetries);
    return true;
}

} // namespace

bool startUpload(DxuState& st, Engine& engine)
{
    engine.stopMeasurementFirst(KindBuilder);
    for (const SettingCode* row : uploadOrder())
        if (queueWrite(st, *row))
            st.uploadQueued = 1;

    if (!st.uploadQueued) {
        st.readyForStatus = 1;
        return false;
    }
    engine.setBusy(true);
    st.uploadQueued = 0;
    st.queue.queueState = QueueUpload;
    st.queue.cursor = 0;
    engine.sendCurrentItem();
    return true;
}

void startSave(DxuState& st, Engine& engine)
{
    engine.setBusy(true);
    st.queue.queueState = QueueList;
    engine.stopMeasurementFirst(KindCode);
    st.queue.enqueueCommand(KindCode, "SU", IdSaveSettings, ListRetries);
    st.queue.cursor = 0;
    engine.sendCurrentItem();
}

void writeMeasureMode(DxuState& st, Engine& engine, int32_t mode)
{
    st.editRecord.measureMode = mode;
    st.current().measureMode = mode;
    engine.stopMeasurementFirst(KindBuilder);
    st.queue.setIntArg(0, mode);
    st.queue.enqueueWithArgs(KindBuilder, "MM", IdMeasureMode, ListRetries, ArgInt);
    st.queue.queueState = QueueUpload;
    st.queue.cursor = 0;
    engine.sendCurrentItem();
}

} // namespace dxu
