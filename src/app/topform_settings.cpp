// The main window's part of changing a unit's settings: Upload, Save and the
// mode choice, each handed to the settings transfer.
#include "app/topform.h"

#include "settings/transfer.h"

#include <QAbstractButton>
#include <QComboBox>

namespace dxu {

void TTopForm::wireSettingsTransfer()
{
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

} // namespace dxu
