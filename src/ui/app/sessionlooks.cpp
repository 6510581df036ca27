#include "ui/app/sessionlooks.h"

#include "ui/network/networkedit.h"

#include <string>

namespace dxu {

void SessionLooks::disconnecting()
{
    controls_.showSaveState(false);
    ui_.setButtonFace("lblRx");
    ui_.setText("lblRx", "");
}

void SessionLooks::disconnected()
{
    controls_.showSaveState(false);
    showEach(ui_, {"lblIntensity", "lblError", "lblErrTop", "lblErrBottom"}, false);
    ui_.setText("lblConnectionType", "");
    showEach(ui_, {"lblCurrent", "lblTargetList", "lblTargetCount", "imgBinning"}, false);
    ui_.setText("lblResult", "");
    ui_.setText("pbContinuous", "Measurement &Start");
    ui_.setStatusPanel(3, "");
    enableEach(ui_, {"CurrentLoopOn1", "DisableFaultCurrent1", "SetRanges1", "Calibrate1"}, false);
}

void SessionLooks::idle()
{
    ui_.setText("pbConnect", "&Connect");
    ui_.setText("Connect1", "Co&nnect");
    enableEach(ui_, {"Single1", "MultiDrop1"}, true);
}

void SessionLooks::singleUnit() { showEach(ui_, {"pbPrevDXU", "pbNextDXU", "lblViewing", "lblDXUAddress"}, false); }

void SessionLooks::connecting()
{
    controls_.showSaveState(false);
    ui_.setStatusPanel(3, " Connecting");
}

void SessionLooks::connectEnded() { ui_.setStatusPanel(3, ""); }

void SessionLooks::connected(bool laserOn)
{
    ui_.setText("pbContinuous", laserOn ? "&Stop" : "Measurement &Start");
    enableEach(ui_, {"Single1", "MultiDrop1"}, false);
    ui_.setColor("lblConnected", colors::Green);
    ui_.setStatusPanel(3, " Connected");
    ui_.setEnabled("pbUpload", false);
    ui_.setText("pbConnect", "Dis&connect");
    ui_.setText("Connect1", "Disco&nnect");
    enableEach(ui_, {"CurrentLoopOn1", "DisableFaultCurrent1", "SetRanges1"}, true);
}

void SessionLooks::unitShownAgain()
{
    ui_.setColor("lblConnected", colors::Green);
    ui_.setStatusPanel(3, " Connected");
    settings_.showSettings();
    settings_.updateBinOffset();
}

void SessionLooks::unitSilent()
{
    ui_.setStatusPanel(3, " No answer");
    showEach(ui_, {"pbNextDXU", "pbPrevDXU", "lblViewing", "lblDXUAddress"}, true);
}

void SessionLooks::steppingShown() { showEach(ui_, {"pbPrevDXU", "pbNextDXU"}, true); }

void SessionLooks::stepping(bool previous, bool next)
{
    ui_.setEnabled("pbPrevDXU", previous);
    ui_.setEnabled("pbNextDXU", next);
}

void SessionLooks::viewing(int unit, int count, char address) { showViewingLabels(ui_, unit, count, address); }

void SessionLooks::connectionType(bool rs232, int comNumber, bool universal)
{
    ui_.setText("lblConnectionType", std::string(rs232 ? "RS232:" : "RS485:") + "COM" + std::to_string(comNumber)
                                         + "->" + (universal ? "Universal" : "Configuration"));
}

void SessionLooks::measuring(bool on)
{
    if (!on) {
        ui_.setEnabled("pbSingleMeasure", false);
        ui_.setText("pbContinuous", "Measurement &Start");
        ui_.setButtonFace("lblRx");
        return;
    }
    ui_.setVisible("lblResult", true);
    showEach(ui_, {"lblError", "lblErrTop", "lblErrBottom"}, false);
    ui_.setEnabled("pbSingleMeasure", true);
    ui_.setText("pbContinuous", "&Stop");
    ui_.setText("lblResult", "");
    ui_.setText("lblIntensity", "");
}

void SessionLooks::calibration(bool allowed) { ui_.setEnabled("Calibrate1", allowed); }

void SessionLooks::unitReset()
{
    controls_.showSaveState(false);
    ui_.setEnabled("pbUpload", false);
}

void SessionLooks::pointer(bool on) { ui_.setText("pbPointer", on ? "&Pointer Off" : "&Pointer On"); }

void SessionLooks::readProgress(int item, int count)
{
    if (count <= 0) {
        ui_.setProgress("", 0, 0);
        return;
    }
    ui_.setProgress("Reading settings " + std::to_string(item) + " of " + std::to_string(count), item, count);
}

bool SessionLooks::unsavedInUnit() const { return controls_.unsaved(); }

} // namespace dxu
