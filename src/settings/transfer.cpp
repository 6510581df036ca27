#include "settings/transfer.h"

#include "engine/engine.h"
#include "protocol/settingcodes.h"

#include <algorithm>
#include <cmath>

namespace dxu {
namespace {

// Every setting holding a length is read back right after a units write, so
// that every distance shows in the new units before any typed distance is
// written.
void queueDistanceQueries(CommandQueue& q)
{
    for (const SettingCode& row : settingCodes())
        if (std::any_of(row.fields.begin(), row.fields.end(), [](const SettingField& f) { return f.distance; }))
            q.enqueueCommand(KindCode, row.code, row.commandId, ListRetries);
}

bool pulsesBelongToMode(int32_t mode) { return mode == 1 || mode == 4 || mode == 2; }

// The pulse rate (PF) and the pulses (PO) of a mode: the unit takes a write
// of either for the mode it is in. The mode a write is meant for travels in
// the item's last argument word, which their builders read.
constexpr int ModeWord = 3;

bool isModeRow(const SettingCode& row) { return row.commandId == IdPulseRate || row.commandId == IdPulses; }

// Queues the write of one row of the upload; false when nothing of it changed.
// endMode: the mode the unit is in when the row goes out.
bool queueWrite(DxuState& st, const SettingCode& row, int32_t endMode)
{
    UnitRecord& unit = st.current();
    if (row.commandId == IdPulses && !pulsesBelongToMode(endMode))
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
    if (isModeRow(row))
        q.setIntArg(ModeWord, endMode);
    q.enqueueWithArgs(KindBuilder, row.code, row.commandId, ListRetries, row.argType);
    if (row.commandId == IdUnits)
        queueDistanceQueries(q);
    return true;
}

bool flagged(const UnitRecord& unit, const SettingCode& row, int32_t mode)
{
    const SettingField* f = fieldOfMode(row, mode);
    return f && f->changed && unit.*f->changed;
}

// The pulse rates and pulses of the modes other than endMode go out while the
// unit is switched to each such mode in turn; then it is switched to endMode,
// whose own rate and pulses follow in their rows. True when anything was
// queued; the measurement mode's flag is then cleared.
bool queueOtherModes(DxuState& st, int32_t endMode)
{
    const SettingCode& pf = *findSetting("PF");
    const SettingCode& po = *findSetting("PO");
    UnitRecord& unit = st.current();
    if (!fieldOfMode(pf, endMode))
        return false; // no mode the unit knows: the rows go out as they are
    CommandQueue& q = st.queue;
    bool any = false;
    int32_t at = unit.measureMode; // the unit is switched only where it is not
    for (int32_t mode : {1, 2, 3}) {
        if (fieldOfMode(pf, mode) == fieldOfMode(pf, endMode) || !(flagged(unit, pf, mode) || flagged(unit, po, mode)))
            continue;
        if (fieldOfMode(pf, mode) != fieldOfMode(pf, at)) {
            q.setIntArg(0, mode);
            q.enqueueWithArgs(KindBuilder, "MM", IdMeasureMode, ListRetries, ArgInt);
            at = mode;
        }
        for (const SettingCode* row : {&pf, &po}) {
            if (!flagged(unit, *row, mode))
                continue;
            const SettingField* f = fieldOfMode(*row, mode);
            unit.*f->changed = 0;
            for (int i = 0; i < row->fieldCount(); ++i)
                q.setIntArg(i, st.editRecord.*row->fields[static_cast<size_t>(i)].intField);
            q.setIntArg(ModeWord, mode);
            q.enqueueWithArgs(KindBuilder, row->code, row->commandId, ListRetries, ArgInt);
        }
        any = true;
    }
    if (!any)
        return false;
    unit.measureModeChanged = 0;
    q.setIntArg(0, endMode);
    q.enqueueWithArgs(KindBuilder, "MM", IdMeasureMode, ListRetries, ArgInt);
    return true;
}

} // namespace

bool startUpload(DxuState& st, Engine& engine)
{
    engine.stopMeasurementFirst(KindBuilder);
    // The mode the unit is to end in: the one written, else the one it is in.
    const UnitRecord& unit = st.current();
    const int32_t endMode = unit.measureModeChanged ? st.editRecord.measureMode : unit.measureMode;
    for (const SettingCode* row : uploadOrder())
        if ((row->commandId == IdMeasureMode && queueOtherModes(st, endMode)) || queueWrite(st, *row, endMode))
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
