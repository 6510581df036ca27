// The main window's part of changing a unit's settings: Upload, Save and the
// mode choice, each handed to the settings transfer.
#include "app/topform.h"

#include "engine/session.h"
#include "ports/commsetup.h"
#include "ports/ratefollow.h"
#include "services/filedialogs.h"
#include "settings/compareview.h"
#include "network/networkconfig.h"
#include "network/unitscan.h"
#include "ports/ratesearch.h"
#include "settings/gather.h"
#include "settings/settingspanel.h"
#include "settings/setupfile.h"
#include "settings/transfer.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QFileDialog>

namespace dxu {

void TTopForm::wireSettingsTransfer()
{
    rateFollow_ = std::make_unique<PcRateFollow>(state_, relay_, [this](PcLink link, int rateIndex) {
        if (windows_.commSetup)
            windows_.commSetup->selectPcRate(link, rateIndex);
    });
    rateSearch_ = std::make_unique<RateSearch>(state_, relay_);
    if (auto* b = qobject_cast<QAbstractButton*>(widget("pbUpload")))
        connect(b, &QAbstractButton::clicked, this, &TTopForm::pbUploadClick);
    if (auto* b = qobject_cast<QAbstractButton*>(widget("pbSaveSettings")))
        connect(b, &QAbstractButton::clicked, this, &TTopForm::pbSaveSettingsClick);
    // Only the user's choice writes the mode; the panel selecting it runs nothing.
    if (auto* c = qobject_cast<QComboBox*>(widget("cmbMeasureMode")))
        connect(c, &QComboBox::activated, this, &TTopForm::cmbMeasureModeChange);
}

void TTopForm::wireSetupFiles()
{
    compare_ = new TfrmCompare(this);
    // The Compare view's Upload is the panel's, while that one can be used
    // (not after a disconnect, nor twice).
    connect(compare_, &TfrmCompare::uploadRequested, this, [this] {
        if (isEnabled("pbUpload") && state_.connected)
            pbUploadClick();
    });
    SetupFiles::Calls calls;
    calls.chooseOpen = [this] { return chooseFile(*CfgOpen); };
    calls.chooseSave = [this] { return chooseFile(*CfgSave); };
    calls.chooseReport = [this] { return chooseFile(*ReportSave); };
    calls.showSettings = [this] { panel_->showSettings(); };
    calls.showConnectedControls = [this] { showConnectedControls(); };
    calls.showCompare = [this](const std::vector<CompareRow>& rows, const QString& path) {
        compare_->showDifferences(rows, path);
    };
    calls.setTitle = [this](const QString& title) { setWindowTitle(title); };
    setupFiles_ = std::make_unique<SetupFiles>(state_, *this, std::move(calls));
    connect(action("Open1"), &QAction::triggered, this, &TTopForm::Open1Click);
    connect(action("Save1"), &QAction::triggered, this, &TTopForm::Save1Click);
    connect(action("Saveas1"), &QAction::triggered, this, &TTopForm::Saveas1Click);
    connect(action("SettingsReport1"), &QAction::triggered, this, &TTopForm::SettingsReport1Click);
}

void TTopForm::Open1Click() { setupFiles_->open(); }
void TTopForm::Save1Click() { setupFiles_->save(); }
void TTopForm::Saveas1Click() { setupFiles_->saveAs(); }
void TTopForm::SettingsReport1Click() { setupFiles_->saveReport(); }

void TTopForm::pbUploadClick() { transfer_->uploadClicked(); }
void TTopForm::pbSaveSettingsClick() { transfer_->saveClicked(); }
void TTopForm::cmbMeasureModeChange() { transfer_->measureModeChanged(); }
void TTopForm::queueUpload() { transfer_->queueUpload(); }

void TTopForm::unitRateUpload()
{
    rateFollow_->arm();
    transfer_->queueUpload();
}

bool TTopForm::tryAnotherRate() { return rateSearch_->tryNextRate(); }
bool TTopForm::keepConnectRate() { return rateSearch_->keepFoundRate(); }
void TTopForm::connectAbandoned() { rateSearch_->abandon(); }
void TTopForm::markChangedControls() { dxu::markChangedControls(state_, *this, changeMarks_); }

void TTopForm::unitAnswered() { rateFollow_->answered(); }
void TTopForm::scanVersion(std::string_view text) { unitScan_->versionReceived(text); }
void TTopForm::scanStepDone(bool answered) { unitScan_->stepDone(answered); }
void TTopForm::unitAddressChanged(char to) { followAddressChange(state_, *this, *this, to); }

bool TTopForm::unitUnanswered()
{
    return rateFollow_->unanswered([this] { session_->readSettings(); }, [this] { session_->disconnectUnit(); });
}

} // namespace dxu
