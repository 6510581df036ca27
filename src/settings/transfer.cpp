#include "settings/transfer.h"

#include "engine/engine.h"
#include "protocol/settingcodes.h"
#include "services/cursor.h"
#include "settings/moderules.h"

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
        queueDistanceQueries(q);
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
    setBusyCursor(true);
    st.uploadQueued = 0;
    st.queue.queueState = QueueUpload;
    st.queue.cursor = 0;
    engine.sendCurrentItem();
    return true;
}

void startSave(DxuState& st, Engine& engine)
{
    setBusyCursor(true);
    st.queue.queueState = QueueList;
    engine.stopMeasurementFirst(KindCode);
    st.queue.enqueueCommand(KindCode, "SU", IdSaveSettings, ListRetries);
    st.queue.cursor = 0;
    engine.sendCurrentItem();
}

SettingsTransfer::SettingsTransfer(DxuState& state, Engine& engine, Ui& ui, Gather gather)
    : st_(state), engine_(engine), ui_(ui), gather_(std::move(gather))
{
}

void SettingsTransfer::uploadClicked()
{
    st_.readyForStatus = 0;
    if (!gather_ || gather_() <= 0) {
        st_.readyForStatus = 1;
        ui_.setEnabled("pbUpload", false);
        return;
    }
    queueUpload();
}

void SettingsTransfer::queueUpload()
{
    if (!startUpload(st_, engine_))
        ui_.setEnabled("pbUpload", false);
}

void SettingsTransfer::saveClicked()
{
    // Saved only on the unit's OK (see ControlLooks): until then the button
    // keeps its look.
    startSave(st_, engine_);
}

void SettingsTransfer::measureModeChanged()
{
    const int32_t mode = modeOfItem(ui_.itemIndex("cmbMeasureMode"));
    ui_.setHint("cmbPRF", prfHint(mode));
    st_.editRecord.measureMode = mode;
    UnitRecord& unit = st_.current();
    unit.measureMode = mode;

    if (mode != 3) {
        ui_.setEnabled("cbShortGate", true);
        if (ui_.isChecked("cbShortGate"))
            ui_.setVisible("edShortGate", true);
    } else if (unit.detectionReference == 0) {
        // Relative detection has no short gate.
        ui_.setEnabled("cbShortGate", false);
        ui_.setVisible("edShortGate", false);
        ui_.setVisible("lblShortUnits", false);
    }

    engine_.stopMeasurementFirst(KindBuilder);
    st_.queue.setIntArg(0, mode);
    st_.queue.enqueueWithArgs(KindBuilder, "MM", IdMeasureMode, ListRetries, ArgInt);
    st_.queue.queueState = QueueUpload;
    st_.queue.cursor = 0;
    engine_.sendCurrentItem();
}

} // namespace dxu
