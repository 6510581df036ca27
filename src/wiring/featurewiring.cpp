#include "wiring/featurewiring.h"

#include "capture/capturelog.h"
#include "currentloop/clcalibration.h"
#include "currentloop/clsettings.h"
#include "display/resultdisplay.h"
#include "engine/session.h"
#include "network/assignaddress.h"
#include "network/findunits.h"
#include "network/netsetup.h"
#include "network/networkconfig.h"
#include "network/unitscan.h"
#include "ports/commsetup.h"
#include "protocol/commandids.h"
#include "protocol/protocol.h"
#include "services/filedialogs.h"
#include "services/store.h"
#include "settings/compareview.h"
#include "settings/settingspanel.h"
#include "settings/setupfile.h"
#include "settings/transfer.h"

#include <QFileDialog>
#include <QWidget>

namespace dxu {
namespace {

// A modal window, when there is one, run until the user closes it.
template <typename Dialog>
void execDialog(Dialog* const& dialog)
{
    if (dialog)
        dialog->exec();
}

} // namespace

SetupFileParts makeSetupFiles(QWidget* owner, DxuState& state, Ui& ui, SettingsPanel& panel,
                              SettingsTransfer& transfer, std::function<void()> connectedLook)
{
    const QString filter = QStringLiteral("DXU Files (*.dxu)");
    const QString suffix = QStringLiteral("dxu");
    QFileDialog* open = makeFileDialog(owner, "CfgOpen", QStringLiteral("Open File"), filter, suffix, false);
    QFileDialog* save = makeFileDialog(owner, "CfgSave", QStringLiteral("Save As"), filter, suffix, true);
    QFileDialog* report = makeFileDialog(owner, "ReportSave", QStringLiteral("Settings Report"),
                                         QStringLiteral("CSV Files (*.csv)"), QStringLiteral("csv"), true);
    SetupFileParts parts;
    TfrmCompare* compare = parts.compare = new TfrmCompare(owner);
    // The Compare view's Upload is the panel's, while that one can be used
    // (not after a disconnect, nor twice).
    QObject::connect(compare, &TfrmCompare::uploadRequested, owner, [&ui, &state, &transfer] {
        if (ui.isEnabled("pbUpload") && state.connected)
            transfer.uploadClicked();
    });
    SetupFiles::Calls calls;
    calls.chooseOpen = [open] { return chooseFile(*open); };
    calls.chooseSave = [save] { return chooseFile(*save); };
    calls.chooseReport = [report] { return chooseFile(*report); };
    calls.showSettings = [&panel] { panel.showSettings(); };
    calls.showConnectedControls = std::move(connectedLook);
    calls.showCompare = [compare](const std::vector<CompareRow>& rows, const QString& path) {
        compare->showDifferences(rows, path);
    };
    calls.setTitle = [owner](const QString& title) { owner->setWindowTitle(title); };
    parts.files = std::make_unique<SetupFiles>(state, ui, std::move(calls));
    return parts;
}

void wireSessionControls(Ui& ui, Session& session, Protocol& protocol, ResultDisplay& display)
{
    ui.onClick("pbConnect", [&session] { session.connectClicked(); });
    ui.onClick("Connect1", [&session] { session.connectClicked(); });
    ui.onClick("pbPrevDXU", [&session] { session.switchUnit(StepPrevious); });
    ui.onClick("pbNextDXU", [&session] { session.switchUnit(StepNext); });
    ui.onClick("pbContinuous", [&session] { session.continuousClicked(); });
    ui.onClick("pbSingleMeasure", [&protocol] { protocol.sendSingleMeasure(); });
    ui.onClick("pbPointer", [&session] { session.pointerClicked(); });
    ui.onClick("pbRead", [&session] { session.readSettings(); });
    ui.onClick("pbReset", [&session] { session.resetClicked(); });
    ui.onClick("rbDistance", [&display] { display.rbDistanceClick(); });
    ui.onClick("rbIntensity", [&display] { display.rbIntensityClick(); });
    ui.onClick("rbBothNumbers", [&display] { display.rbBothNumbersClick(); });
}

void wireSettingsControls(Ui& ui, DxuState& state, SettingsTransfer& transfer, SetupFiles& files,
                          SettingsPanel& panel)
{
    ui.onClick("pbUpload", [&transfer] { transfer.uploadClicked(); });
    ui.onClick("pbSaveSettings", [&transfer] { transfer.saveClicked(); });
    // Only the user's choice writes the mode; the panel selecting it runs nothing.
    ui.onClick("cmbMeasureMode", [&transfer] { transfer.measureModeChanged(); });
    ui.onClick("pbMore", [&panel] { panel.pbMoreClick(); });
    ui.onClick("Open1", [&files] { files.open(); });
    ui.onClick("Save1", [&files] { files.save(); });
    ui.onClick("Saveas1", [&files] { files.saveAs(); });
    ui.onClick("SettingsReport1", [&files] { files.saveReport(); });
    // Disconnected, the switches are disabled and nothing happens.
    for (const char* loopSwitch : {"CurrentLoopOn1", "DisableFaultCurrent1"})
        ui.onClick(loopSwitch, [&state, &transfer] {
            if (state.connected)
                transfer.uploadClicked();
        });
}

void wireCaptureMenu(Ui& ui, DxuState& state, CaptureLog& capture, const SecondaryWindows& windows)
{
    ui.onClick("StartCapture1", [&capture] { capture.start(); });
    ui.onClick("StopCapture1", [&capture] { capture.stop(); });
    ui.onClick("OpenCapture1", [&capture, &windows] { capture.view(windows.viewCapture); });
    ui.onClick("CaptureAll1", [&ui, &state] { storeOption(ui, "Log All", state.logAll, "CaptureAll1"); });
}

void wireConnectionsMenu(Ui& ui, DxuState& state, PcPort& port, UnitScan& scan, const SecondaryWindows& windows)
{
    ui.onClick("Single1", [&ui, &state, &port] { selectPointToPointMode(state, ui, port); });
    ui.onClick("MultiDrop1", [&ui, &state, &port] { selectNetworkMode(state, ui, port); });
    ui.onClick("ModifyNetwork1", [&windows] { execDialog(windows.netSetup); });
    ui.onClick("AssignAddress1", [&windows] { execDialog(windows.assignAddress); });
    ui.onClick("FindUnits1", [&scan, &windows] {
        if (scan.canStart())
            execDialog(windows.findUnits);
    });
    ui.onClick("CommPortSetup1", [&windows] { execDialog(windows.commSetup); });
    ui.onClick("DXUStatusRequests1",
               [&ui, &state] { storeOption(ui, "Status Requests", state.statusRequests, "DXUStatusRequests1"); });
    ui.onClick("SetRanges1", [&windows] { execDialog(windows.clSettings); });
    ui.onClick("Calibrate1", [&windows] { execDialog(windows.clCalibration); });
}

} // namespace dxu
