#include "ui/settings/settingstransfer.h"

namespace dxu {

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
    static constexpr struct {
        int32_t mode;
        const char* hint;
    } kModes[] = {{1, "Allowed 10..4000"}, {4, "Allowed 10..4000"}, {2, "Allowed 10..1000"}, {3, "Allowed 10..4500"}};
    int index = ui_.itemIndex("cmbMeasureMode");
    if (index < 0 || index > 3)
        index = 0;
    const auto& m = kModes[index];
    ui_.setHint("cmbPRF", m.hint);
    if (m.mode != 3) {
        ui_.setEnabled("cbShortGate", true);
        if (ui_.isChecked("cbShortGate"))
            ui_.setVisible("edShortGate", true);
    } else if (st_.current().detectionReference == 0) {
        // Relative detection has no short gate.
        ui_.setEnabled("cbShortGate", false);
        ui_.setVisible("edShortGate", false);
        ui_.setVisible("lblShortUnits", false);
    }
    writeMeasureMode(st_, engine_, m.mode);
}

} // namespace dxu
