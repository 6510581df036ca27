#include "ui/settings/settingstransfer.h"

#include "ui/settings/moderules.h"

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
    const int32_t mode = modeOfItem(ui_.itemIndex("cmbMeasureMode"));
    ui_.setHint("cmbPRF", prfHint(mode));
    if (mode != 3) {
        ui_.setEnabled("cbShortGate", true);
        if (ui_.isChecked("cbShortGate"))
            ui_.setVisible("edShortGate", true);
    } else if (st_.current().detectionReference == 0) {
        // Relative detection has no short gate.
        ui_.setEnabled("cbShortGate", false);
        ui_.setVisible("edShortGate", false);
        ui_.setVisible("lblShortUnits", false);
    }
    writeMeasureMode(st_, engine_, mode);
}

} // namespace dxu
