#include "ui/network/assignaddress.h"

#include "network/addressing.h"
#include "ui/network/networkedit.h"
#include "ui/services/messages.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace dxu {

TfrmAssignAddress::TfrmAssignAddress(QWidget* parent) : PlacedDialog(QSize(260, 120), parent)
{
    setObjectName(QStringLiteral("frmAssignAddress"));
    setWindowTitle(QStringLiteral("Assign RS-485 Address"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    lblCurrAddress_ = new QLabel(QStringLiteral("Not Assigned"), this);
    lblCurrAddress_->setObjectName(QStringLiteral("lblCurrAddress"));
    cmbAddressList_ = new QComboBox(this);
    cmbAddressList_->setObjectName(QStringLiteral("cmbAddressList"));
    cmbAddressList_->setMaxVisibleItems(6);
    cmbAddressList_->setMinimumContentsLength(6);
    cmbAddressList_->addItems(networkListTexts(SlotString{}));
    auto* pbSetAddress = new QPushButton(QStringLiteral("&Assign"), this);
    pbSetAddress->setObjectName(QStringLiteral("pbSetAddress"));
    pbSetAddress->setAutoDefault(false);
    auto* pbExit = new QPushButton(QStringLiteral("E&xit"), this);
    pbExit->setObjectName(QStringLiteral("pbExit"));
    pbExit->setDefault(true);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Current address: "), this), 0, 0);
    grid->addWidget(lblCurrAddress_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Select Address:"), this), 1, 0);
    grid->addWidget(cmbAddressList_, 1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(pbSetAddress);
    buttons->addStretch();
    buttons->addWidget(pbExit);

    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addStretch();
    top->addLayout(buttons);

    connect(pbSetAddress, &QPushButton::clicked, this, &TfrmAssignAddress::pbSetAddressClick);
    connect(pbExit, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmAssignAddress::bind(DxuState& state, std::function<void()> queueUpload)
{
    st_ = &state;
    queueUpload_ = std::move(queueUpload);
}

void TfrmAssignAddress::showEvent(QShowEvent* event)
{
    PlacedDialog::showEvent(event);
    FormShow();
}

void TfrmAssignAddress::FormShow()
{
    if (!st_)
        return;
    lblCurrAddress_->setText(currentAddressText(*st_));
    RefreshAddressList();
    cmbAddressList_->setCurrentIndex(0);
}

void TfrmAssignAddress::RefreshAddressList()
{
    if (!st_)
        return;
    const QStringList texts = networkListTexts(st_->assignedSlots);
    for (int p = 0; p < texts.size() && p < cmbAddressList_->count(); ++p)
        cmbAddressList_->setItemText(p, texts[p]);
}

void TfrmAssignAddress::pbSetAddressClick()
{
    if (!st_)
        return;
    const int p = cmbAddressList_->currentIndex();
    if (const StepOutcome assigned = assignAddress(*st_, p, queueUpload_); !assigned) {
        showMessage(QStringLiteral("Error"), assigned.refusal);
        return;
    }
    RefreshAddressList();
    cmbAddressList_->setCurrentIndex(p);
}

} // namespace dxu
