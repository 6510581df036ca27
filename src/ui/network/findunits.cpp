#include "ui/network/findunits.h"

#include "ui/network/networkedit.h"
#include "ui/services/messages.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace dxu {

TfrmFindUnits::TfrmFindUnits(QWidget* parent) : PlacedDialog(QSize(320, 300), parent)
{
    setObjectName(QStringLiteral("frmFindUnits"));
    setWindowTitle(QStringLiteral("Find Units"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    updAnswerWithin_ = new QSpinBox(this);
    updAnswerWithin_->setObjectName(QStringLiteral("updAnswerWithin"));
    updAnswerWithin_->setRange(UnitScan::MinAnswerWithinMs, UnitScan::MaxAnswerWithinMs);
    updAnswerWithin_->setSuffix(QStringLiteral(" ms"));
    updAnswerWithin_->setValue(UnitScan::DefaultAnswerWithinMs);
    updAnswerWithin_->setToolTip(QStringLiteral("How long a unit takes to start its reply. An address is given up after "
                                                "the question's time on the line plus this."));
    auto* lblAnswerWithin = new QLabel(QStringLiteral("Units answer &within:"), this);
    lblAnswerWithin->setObjectName(QStringLiteral("lblAnswerWithin"));
    lblAnswerWithin->setBuddy(updAnswerWithin_);

    // Where the scan asks, and what Add to Network did.
    lblScanLine_ = new QLabel(this);
    lblScanLine_->setObjectName(QStringLiteral("lblScanLine"));
    lblAdded_ = new QLabel(this);
    lblAdded_->setObjectName(QStringLiteral("lblAdded"));
    lblAdded_->setWordWrap(true);

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
    auto* answer = new QHBoxLayout;
    answer->addWidget(lblAnswerWithin);
    answer->addWidget(updAnswerWithin_);
    answer->addStretch();
    auto* top = new QVBoxLayout(this);
    top->addLayout(answer);
    top->addWidget(lblScanLine_);
    top->addWidget(prgScan_);
    top->addWidget(lstUnits_, 1);
    top->addWidget(lblAdded_);
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
    updAnswerWithin_->setValue(UnitScan::storedAnswerWithinMs());
    showScan();
}

// The list follows the scan: one checkable line per unit found, then one
// line per address at which more than one unit answers.
void TfrmFindUnits::showScan()
{
    if (!scan_)
        return;
    QStringList lines;
    for (const UnitScan::Found& f : scan_->found())
        lines << QStringLiteral("%1  \u2014 %2").arg(QLatin1Char(f.address)).arg(f.version);
    for (char address : scan_->crowded())
        lines << QStringLiteral("address %1: more than one unit answers?").arg(QLatin1Char(address));
    QStringList shown;
    for (int i = 0; i < lstUnits_->count(); ++i)
        shown << lstUnits_->item(i)->text();
    if (shown != lines) {
        lstUnits_->clear();
        for (const UnitScan::Found& f : scan_->found()) {
            auto* item = new QListWidgetItem(lines[lstUnits_->count()], lstUnits_);
            item->setData(Qt::UserRole, QChar(QLatin1Char(f.address)));
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Checked);
        }
        for (int i = lstUnits_->count(); i < lines.size(); ++i) {
            auto* item = new QListWidgetItem(lines[i], lstUnits_);
            item->setFlags(item->flags() & ~(Qt::ItemIsUserCheckable | Qt::ItemIsSelectable));
            item->setForeground(Qt::darkRed);
        }
    }
    prgScan_->setValue(scan_->done());
    const bool running = scan_->running();
    const QString line = QStringLiteral("COM%1 at %2 bit/s").arg(scan_->comNumber()).arg(scan_->lineRate());
    lblScanLine_->setText((running ? QStringLiteral("Scanning ") : QStringLiteral("Scans ")) + line);
    pbStart_->setEnabled(!running);
    updAnswerWithin_->setEnabled(!running);
    pbAddToNetwork_->setEnabled(!running && !scan_->found().empty());
}

void TfrmFindUnits::pbStartClick()
{
    if (!scan_ || scan_->running())
        return;
    lstUnits_->clear();
    lblAdded_->clear();
    const int answerWithin = updAnswerWithin_->value();
    if (answerWithin != UnitScan::storedAnswerWithinMs())
        UnitScan::storeAnswerWithinMs(answerWithin);
    scan_->setAnswerWithinMs(answerWithin);
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
    QStringList added, already;
    for (int i = 0; i < lstUnits_->count(); ++i) {
        const QListWidgetItem* item = lstUnits_->item(i);
        if (!item->data(Qt::UserRole).isValid() || item->checkState() != Qt::Checked)
            continue; // an address with more than one unit, or not wanted
        const char address = item->data(Qt::UserRole).toChar().toLatin1();
        if (slotsHold(st_->networkSlots, address))
            already << QString(QLatin1Char(address));
        else if (addNetworkMember(*st_, *mainUi_, *hooks_, NetworkSender{}, addressPosition(address)))
            added << QString(QLatin1Char(address));
    }
    QStringList said;
    if (!added.isEmpty())
        said << QStringLiteral("Added to the network: %1.").arg(added.join(QStringLiteral(", ")));
    if (!already.isEmpty())
        said << QStringLiteral("In the network already: %1.").arg(already.join(QStringLiteral(", ")));
    if (said.isEmpty())
        said << QStringLiteral("Nothing added: no unit is checked.");
    lblAdded_->setText(said.join(QLatin1Char(' ')));
}

} // namespace dxu
