#include "ui/wiring/featurewiring.h"

#include "ui/capture/capturelog.h"
#include "ui/currentloop/clcalibration.h"
#include "ui/currentloop/clsettings.h"
#include "ui/diagnostics/about.h"
#include "ui/diagnostics/terminal.h"
#include "ui/display/resultdisplay.h"
#include "ui/display/trendwindow.h"
#include "engine/engine.h"
#include "engine/session.h"
#include "ui/journal/journalviews.h"
#include "ui/network/assignaddress.h"
#include "ui/network/findunits.h"
#include "ui/network/netsetup.h"
#include "ui/network/networkedit.h"
#include "network/unitscan.h"
#include "ui/ports/commsetup.h"
#include "ports/pcport.h"
#include "ports/ratefollow.h"
#include "protocol/commandids.h"
#include "protocol/protocol.h"
#include "ui/services/filedialogs.h"
#include "services/store.h"
#include "ui/services/menuoptions.h"
#include "ui/settings/compareview.h"
#include "ui/settings/offline.h"
#include "ui/settings/settingspanel.h"
#include "ui/settings/setupfiles.h"
#include "ui/settings/settingstransfer.h"
#include "ui/wiring/hooksrouter.h"

#include <QFileDialog>
#include <QPointer>
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
    DeferredFileDialog* open = deferFileDialog(owner, "CfgOpen", QStringLiteral("Open File"), filter, suffix, false);
    DeferredFileDialog* save = deferFileDialog(owner, "CfgSave", QStringLiteral("Save As"), filter, suffix, true);
    DeferredFileDialog* report = deferFileDialog(owner, "ReportSave", QStringLiteral("Settings Report"),
                                                 QStringLiteral("CSV Files (*.csv)"), QStringLiteral("csv"), true);
    SetupFileParts parts;
    // The Compare view, made when first shown.
    parts.compare = [owner, &ui, &state, &transfer, made = std::make_shared<QPointer<TfrmCompare>>()] {
        if (!*made) {
            *made = new TfrmCompare(owner);
            // The Compare view's Upload is the panel's, while that one can be
            // used (not after a disconnect, nor twice).
            const auto uploadable = [&ui, &state] { return ui.isEnabled("pbUpload") && state.connected; };
            (*made)->setUploadable(uploadable);
            (*made)->follow(owner->findChild<QWidget*>(QStringLiteral("pbUpload")));
            QObject::connect(*made, &TfrmCompare::uploadRequested, owner, [uploadable, &transfer] {
                if (uploadable())
                    transfer.uploadClicked();
            });
        }
        return made->data();
    };
    SetupFiles::Calls calls;
    calls.chooseOpen = [open] { return open->choose(); };
    calls.chooseSave = [save](const QString& proposed) {
        if (!proposed.isEmpty())
            save->dialog().selectFile(proposed);
        return save->choose();
    };
    calls.chooseReport = [report] { return report->choose(); };
    DeferredFileDialog* text = deferFileDialog(owner, "TextSave", QStringLiteral("Export Setup as Text"),
                                               QStringLiteral("Text Files (*.txt)"), QStringLiteral("txt"), true);
    calls.chooseText = [text] { return text->choose(); };
    calls.showFile = [&panel](const UnitRecord& file) { panel.showPendingFile(file); };
    calls.showConnectedControls = std::move(connectedLook);
    calls.showCompare = [compare = parts.compare](const std::vector<CompareRow>& rows, const QString& path,
                                                  bool connected) { compare()->showDifferences(rows, path, connected); };
    calls.setTitle = [owner](const QString& title) { owner->setWindowTitle(title); };
    parts.files = std::make_unique<SetupFiles>(state, ui, std::move(calls));
    return parts;
}

void wireFeatures(const ModuleSet& m, const SecondaryWindows& windows, QWidget* owner)
{
    Ui& ui = m.ui;
    DxuState& state = m.state;
    ui.onClick("Terminal1", [&windows] { showModeless(windows.use(&SecondaryWindows::terminal)); });
    ui.onClick("About1", [&windows] { showModeless(windows.use(&SecondaryWindows::about)); });
    // The live trend of the results, a window of its own made on first use.
    auto trend = std::make_shared<QPointer<TfrmTrend>>();
    m.display.setResultListener([trend, &state](const Result& result) {
        if (*trend)
            (*trend)->addResult(result, state.current());
    });
    ui.onClick("Trend1", [trend, owner] {
        if (!*trend)
            *trend = new TfrmTrend(owner);
        showModeless(*trend);
    });

    Session& session = m.session;
    // A setup edited offline is closed by a connect, once the user agrees.
    auto connectClicked = [&session, &offline = m.offline] {
        if (offline.beforeConnect())
            session.connectClicked();
    };
    ui.onClick("pbConnect", connectClicked);
    ui.onClick("Connect1", connectClicked);
    ui.onClick("pbPrevDXU", [&session] { session.switchUnit(StepPrevious); });
    ui.onClick("pbNextDXU", [&session] { session.switchUnit(StepNext); });
    ui.onClick("pbContinuous", [&session] { session.continuousClicked(); });
    ui.onClick("pbSingleMeasure", [&protocol = m.protocol] { protocol.sendSingleMeasure(); });
    ui.onClick("pbPointer", [&session] { session.pointerClicked(); });
    ui.onClick("pbRead", [&session] { session.readSettings(); });
    ui.onClick("pbReset", [&session] { session.resetClicked(); });
    ResultDisplay& display = m.display;
    ui.onClick("rbDistance", [&display] { display.rbDistanceClick(); });
    ui.onClick("rbIntensity", [&display] { display.rbIntensityClick(); });
    ui.onClick("rbBothNumbers", [&display] { display.rbBothNumbersClick(); });

    SettingsTransfer& transfer = m.transfer;
    ui.onClick("pbUpload", [&transfer] { transfer.uploadClicked(); });
    ui.onClick("pbSaveSettings", [&transfer] { transfer.saveClicked(); });
    // Only the user's choice writes the mode; the panel selecting it runs nothing.
    ui.onClick("cmbMeasureMode", [&transfer, &offline = m.offline] {
        if (offline.active())
            offline.modeChanged();
        else
            transfer.measureModeChanged();
    });
    ui.onClick("pbMore", [&panel = m.panel] { panel.pbMoreClick(); });
    SetupFiles& files = m.files;
    // Without a unit the setup files are edited offline.
    OfflineSetup& offline = m.offline;
    ui.onClick("Open1", [&files, &offline] { offline.takesFiles() ? offline.open() : files.open(); });
    ui.onClick("Save1", [&files, &offline] { offline.takesFiles() ? offline.save() : files.save(); });
    ui.onClick("Saveas1", [&files, &offline] { offline.takesFiles() ? offline.saveAs() : files.saveAs(); });
    // Offline, the report and the text are of the setup file as saved.
    ui.onClick("SettingsReport1", [&files, &offline] {
        offline.active() && offline.takesFiles() ? files.saveReport(&offline.saved(), offline.path()) : files.saveReport();
    });
    ui.onClick("ExportSetupText1", [&files, &offline] {
        offline.active() && offline.takesFiles() ? files.exportText(&offline.saved()) : files.exportText();
    });

    // The change journal: its history and the commissioning report.
    auto* journal = new JournalViews(state, owner);
    m.events.add(journal->feed());
    ui.onClick("History1", [journal] { journal->History1Click(); });
    ui.onClick("CommissioningReport1", [journal] { journal->CommissioningReport1Click(); });

    CaptureLog& capture = m.capture;
    ui.onClick("StartCapture1", [&capture] { capture.start(); });
    ui.onClick("StopCapture1", [&capture] { capture.stop(); });
    ui.onClick("OpenCapture1", [&capture, &windows] { capture.view(windows.use(&SecondaryWindows::viewCapture)); });
    ui.onClick("CaptureAll1", [&ui, &state] { storeOption(ui, "Log All", state.logAll, "CaptureAll1"); });

    ui.onClick("Single1", [&ui, &state, &link = m.link] { selectPointToPointMode(state, ui, link); });
    ui.onClick("MultiDrop1", [&ui, &state, &link = m.link] { selectNetworkMode(state, ui, link); });
    ui.onClick("ModifyNetwork1", [&windows] { execDialog(windows.use(&SecondaryWindows::netSetup)); });
    ui.onClick("AssignAddress1", [&windows] { execDialog(windows.use(&SecondaryWindows::assignAddress)); });
    ui.onClick("FindUnits1", [&scan = m.unitScan, &windows] {
        if (scan.canStart())
            execDialog(windows.use(&SecondaryWindows::findUnits));
    });
    ui.onClick("CommPortSetup1", [&windows] { execDialog(windows.use(&SecondaryWindows::commSetup)); });
    ui.onClick("DXUStatusRequests1",
               [&ui, &state] { storeOption(ui, "Status Requests", state.statusRequests, "DXUStatusRequests1"); });

    // The current-loop switches upload at once with their new check mark;
    // disconnected, they are disabled and nothing happens.
    for (const char* loopSwitch : {"CurrentLoopOn1", "DisableFaultCurrent1"})
        ui.onClick(loopSwitch, [&state, &transfer] {
            if (state.connected)
                transfer.uploadClicked();
        });
    ui.onClick("SetRanges1", [&windows] { execDialog(windows.use(&SecondaryWindows::clSettings)); });
    ui.onClick("Calibrate1", [&windows] { execDialog(windows.use(&SecondaryWindows::clCalibration)); });
}

void bindWindows(const ModuleSet& m, const SecondaryWindows& windows)
{
    if (windows.terminal)
        windows.terminal->attach(&m.state, &m.link);
    if (windows.commSetup)
        windows.commSetup->bind(m.state, m.link, m.ui, [&follow = m.rateFollow, &transfer = m.transfer] {
            // A unit-rate Set button: the upload is watched for the rate the link loses.
            follow.arm();
            transfer.queueUpload();
        });
    const auto upload = [&transfer = m.transfer] { transfer.queueUpload(); };
    if (windows.assignAddress)
        windows.assignAddress->bind(m.state, upload);
    if (windows.findUnits)
        windows.findUnits->bind(m.state, m.unitScan, m.ui, m.hooks);
    if (windows.clSettings)
        windows.clSettings->bind(m.state, upload, m.events);
    Protocol& protocol = m.protocol;
    if (windows.clCalibration)
        windows.clCalibration->bind(m.state, [&engine = m.engine] { engine.sendCurrentItem(); },
                                    [&protocol] { protocol.sendCalibrationStore(); });
    if (windows.netSetup) {
        NetworkSender send;
        send.sendInt = [&protocol](const char* code, int32_t value) { protocol.sendIntCommand(code, value); };
        send.sendSaveSettings = [&protocol] { protocol.sendSaveSettings(); };
        windows.netSetup->bind(m.state, m.ui, m.hooks, std::move(send));
    }
}

} // namespace dxu
