#include "ui/network/netsetup.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace dxu {

TfrmNetSetup::TfrmNetSetup(QWidget* parent)
    : PlacedDialog(QSize(260, 120), parent)
{
    setObjectName(QStringLiteral("frmNetSetup"));
    setWindowTitle(QStringLiteral("RS-485 Netowrk Setup"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    edPolling_ = new QLineEdit(QStringLiteral("5"), this);
    edPolling_->setObjectName(QStringLiteral("edPolling"));
    edPolling_->setMaximumWidth(60);
    cmbNetworkList_ = new QComboBox(this);
    cmbNetworkList_->setObjectName(QStringLiteral("cmbNetworkList"));
    cmbNetworkList_->setMaxVisibleItems(6);
    cmbNetworkList_->setMinimumContentsLength(6);
    cmbNetworkList_->addItems(networkListTexts(SlotString{}));
    auto* pbRemoveDXU = new QPushButton(QStringLiteral("&Remove"), this);
    pbRemoveDXU->setObjectName(QStringLiteral("pbRemoveDXU"));
    pbRemoveDXU->setAutoDefault(false);
    auto* pbAddDXU = new QPushButton(QStringLiteral("&Add"), this);
    pbAddDXU->setObjectName(QStringLiteral("pbAddDXU"));
    pbAddDXU->setAutoDefault(false);
    auto* pbExit = new QPushButton(QStringLiteral("E&xit"), this);
    pbExit->setObjectName(QStringLiteral("pbExit"));
    pbExit->setDefault(true);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Polling Interval:"), this), 0, 0);
    auto* pollRow = new QHBoxLayout;
    pollRow->addWidget(edPolling_);
    pollRow->addWidget(new QLabel(QStringLiteral("secs"), this));
    pollRow->addStretch();
    grid->addLayout(pollRow, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Select DXU"), this), 1, 0);
    grid->addWidget(cmbNetworkList_, 1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(pbRemoveDXU);
    buttons->addWidget(pbAddDXU);
    buttons->addStretch();
    buttons->addWidget(pbExit);

    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addSpacing(8);
    top->addLayout(buttons);

    connect(pbAddDXU, &QPushButton::clicked, this, &TfrmNetSetup::pbAddDXUClick);
    connect(pbRemoveDXU, &QPushButton::clicked, this, &TfrmNetSetup::pbRemoveDXUClick);
    connect(pbExit, &QPushButton::clicked, this, &TfrmNetSetup::pbExitClick);
}

void TfrmNetSetup::bind(DxuState& state, Ui& mainUi, Hooks& hooks, NetworkSender send)
{
    st_ = &state;
    mainUi_ = &mainUi;
    hooks_ = &hooks;
    send_ = std::move(send);
}

void TfrmNetSetup::showEvent(QShowEvent* event)
{
    PlacedDialog::showEvent(event);
    FormShow();
}

void TfrmNetSetup::FormShow()
{
    // The interval in force, so that Exit without typing keeps it.
    edPolling_->setText(QString::number(storedPollingInterval()));
    RefreshNetworkList();
    cmbNetworkList_->setCurrentIndex(0);
}

void TfrmNetSetup::RefreshNetworkList()
{
    if (!st_)
        return;
    // Items are replaced in place, so the list keeps its 62 items and the
    // selection stays where it was. The count follows the marked items.
    const QStringList texts = networkListTexts(st_->networkSlots);
    int marked = 0;
    for (int p = 0; p < texts.size() && p < cmbNetworkList_->count(); ++p) {
        cmbNetworkList_->setItemText(p, texts[p]);
        marked += texts[p].endsWith(QLatin1Char('*')) ? 1 : 0;
    }
    st_->networkCount = marked;
}

void TfrmNetSetup::pbAddDXUClick()
{
    if (!st_)
        return;
    const int p = cmbNetworkList_->currentIndex();
    if (!addNetworkMember(*st_, *mainUi_, *hooks_, send_, p))
        return;
    RefreshNetworkList();
    cmbNetworkList_->setCurrentIndex(p);
}

void TfrmNetSetup::pbRemoveDXUClick()
{
    if (!st_)
        return;
    const int p = cmbNetworkList_->currentIndex();
    if (!removeNetworkMember(*st_, *mainUi_, *hooks_, p))
        return;
    RefreshNetworkList();
    cmbNetworkList_->setCurrentIndex(p);
}

void TfrmNetSetup::pbExitClick()
{
    if (st_ && acceptPollingInterval(*st_, edPolling_->text()))
        accept();
}

} // namespace dxu
