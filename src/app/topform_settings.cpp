// The main window's part of changing a unit's settings: Upload, Save and the
// mode choice, each handed to the settings transfer.
#include "app/topform.h"

#include "engine/session.h"
#include "ports/commsetup.h"
#include "ports/ratefollow.h"
#include "ports/ratesearch.h"
#include "settings/gather.h"
#include "settings/transfer.h"

#include <QAbstractButton>
#include <QComboBox>

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

bool TTopForm::unitUnanswered()
{
    return rateFollow_->unanswered([this] { session_->readSettings(); }, [this] { session_->disconnectUnit(); });
}

} // namespace dxu
