#include "network/findunits.h"

#include "network/networkconfig.h"
#include "services/messages.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace dxu {

TfrmFindUnits::TfrmFindUnits(QWidget* parent) : PlacedDialog(QSize(320, 300), parent)
{
    setObjectName(QStringLiteral("frmFindUnits"));
    setWindowTitle(QStringLiteral("Find Units"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    prgScan_ = new QProgressBar(this);
    prgScan_->setObjectName(QStringLiteral("prgScan"));
    prgScan_->setRange(0, AddressCount);
    prgScan_->setValue(0);
    lstUnits_ = new QListWidget(this);
    lstUnits_->setObjectName(QStringLiteral("lstUnits"));
    pbStart_ = new QPushButton(QStringLiteral("&Start"), this);
    pbStart_->setObjectName(QStringLiteral("pbStartScan"));
    auto* pbCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    pbCancel->setObjectName(QStringLiteral("pbCancelScan"));
    pbAddToNetwork_ = new QPushButton(QStringLiteral("&Add to Network"), this);
    pbAddToNetwork_->setObjectName(QStringLiteral("pbAddToNetwork"));
    for (QPushButton* b : {pbStart_, pbCancel, pbAddToNetwork_})
        b->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(pbStart_);
    buttons->addWidget(pbCancel);
    buttons->addStretch();
    buttons->addWidget(pbAddToNetwork_);
    auto* top = new QVBoxLayout(this);
    top->addWidget(prgScan_);
    top->addWidget(lstUnits_, 1);
    top->addLayout(buttons);

    connect(pbStart_, &QPushButton::clicked, this, &TfrmFindUnits::pbStartClick);
    connect(pbCancel, &QPushButton::clicked, this, &TfrmFindUnits::pbCancelClick);
    connect(pbAddToNetwork_, &QPushButton::clicked, this, &TfrmFindUnits::pbAddToNetworkClick);
}

void TfrmFindUnits::bind(DxuState& state, UnitScan& scan, Ui& mainUi, Hooks& hooks)
{
    st_ = &state;
    scan_ = &scan;
    mainUi_ = &mainUi;
    hooks_ = &hooks;
    scan_->changed = [this] { showScan(); };
    showScan();
}

// The list follows the scan: one checkable line per unit found.
void TfrmFindUnits::showScan()
{
    if (!scan_)
        return;
    const auto& found = scan_->found();
    if (lstUnits_->count() > static_cast<int>(found.size()))
        lstUnits_->clear();
    for (auto i = static_cast<std::size_t>(lstUnits_->count()); i < found.size(); ++i) {
        auto* item = new QListWidgetItem(
            QStringLiteral("%1  \u2014 %2").arg(QLatin1Char(found[i].address)).arg(found[i].version), lstUnits_);
        item->setData(Qt::UserRole, QChar(QLatin1Char(found[i].address)));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    prgScan_->setValue(scan_->done());
    const bool running = scan_->running();
    pbStart_->setEnabled(!running);
    pbAddToNetwork_->setEnabled(!running && lstUnits_->count() > 0);
}

void TfrmFindUnits::pbStartClick()
{
    if (!scan_ || scan_->running())
        return;
    lstUnits_->clear();
    if (!scan_->start()) {
        showMessage(QStringLiteral("Error"),
                    QStringLiteral("Units can be looked for on an RS-485 network while nothing is connected."));
        return;
    }
    showScan();
}

void TfrmFindUnits::pbCancelClick()
{
    if (scan_ && scan_->running())
        scan_->cancel();
    else
        accept();
}

// Closing the window stops a scan that runs, after the address in hand.
void TfrmFindUnits::reject()
{
    if (scan_ && scan_->running())
        scan_->cancel();
    PlacedDialog::reject();
}

void TfrmFindUnits::pbAddToNetworkClick()
{
    if (!st_ || !scan_ || scan_->running())
        return;
    for (int i = 0; i < lstUnits_->count(); ++i) {
        const QListWidgetItem* item = lstUnits_->item(i);
        const char address = item->data(Qt::UserRole).toChar().toLatin1();
        if (item->checkState() == Qt::Checked && !slotsHold(st_->networkSlots, address))
            addNetworkMember(*st_, *mainUi_, *hooks_, NetworkSender{}, addressPosition(address));
    }
}

} // namespace dxu
