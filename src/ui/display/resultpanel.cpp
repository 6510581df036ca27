#include "ui/display/resultpanel.h"

#include "protocol/protocol.h"
#include "protocol/settingcodes.h"
#include "ui/services/messages.h"

#include <cstdio>

namespace dxu {

void showErrorBars(Ui& ui, bool on)
{
    ui.setVisible("lblResult", !on);
    ui.setVisible("lblError", on);
    ui.setVisible("lblErrTop", on);
    ui.setVisible("lblErrBottom", on);
}

void ResultPanel::result(const Result& r)
{
    showErrorBars(ui_, false);
    if (r.kind != Result::Kind::TripTime) {
        ui_.setColor("lblRx", colors::Lime);
        ui_.setText("lblRx", "BM");
    }
    switch (r.kind) {
    case Result::Kind::Distance:
        view_.showResult();
        break;
    case Result::Kind::Target:
        if (!r.setComplete)
            break;
        if (r.targetCount != 0) {
            char text[16];
            std::snprintf(text, sizeof text, "%d", r.targetCount);
            ui_.setText("lblTargetCount", text);
        }
        ui_.setVisible("lblTargetList", r.targetCount != 0);
        ui_.setVisible("lblTargetCount", r.targetCount != 0);
        view_.drawHistogram();
        break;
    case Result::Kind::Detection:
    case Result::Kind::TripTime:
        ui_.setText("lblResult", r.state);
        ui_.setText("lblIntensity", r.detail);
        if (r.kind == Result::Kind::TripTime && r.state == "OFF") {
            ui_.repaint("lblResult");
            ui_.repaint("lblIntensity");
        }
        break;
    case Result::Kind::Other:
        break;
    }
}

void ResultPanel::deviceError(const DeviceError& e)
{
    // The box once per command, not once more for each of its retries.
    if (e.code == IncorrectValueError && !e.repeated) {
        ui_.setText("pbContinuous", "Measurement &Start");
        showMessage(QStringLiteral("Incorrect Value"),
                    QStringLiteral("Pulses Per Measurement must be greater or equal\n"
                                   "to Minimum Good Pulses or required Dither Pulses.\n\n"
                                   "Please correct, upload settings\nand start unit."));
    }
    if (e.known) {
        showErrorBars(ui_, true);
        ui_.setText("lblError", e.text);
    } else {
        ui_.setText("lblResult", e.text);
    }
    ui_.setText("lblIntensity", "");
}

void ResultPanel::settingRead(const SettingCode& code)
{
    if (code.showsRate)
        view_.showRate();
}

void ResultPanel::laserState(bool on) { ui_.setColor("lblLaserOn", on ? colors::Red : colors::Silver); }

void ResultPanel::beamPower(int value)
{
    if (!ui_.isChecked("rbIntensity"))
        return;
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    ui_.setText("lblResult", text);
}

void ResultPanel::laserDiode(bool on) { ui_.setText("lblResult", on ? "ON " : "OFF"); }

void ResultPanel::addressNotAssigned()
{
    showMessage(QStringLiteral("RS-485 Error"), QStringLiteral("Unit address is not assigned"));
}

void ResultPanel::measuringStarted()
{
    ui_.setText("pbContinuous", "&Stop");
    laserState(true);
}

void ResultPanel::resultOverdue()
{
    ui_.setButtonFace("lblRx");
    ui_.setText("lblRx", "");
}

} // namespace dxu
