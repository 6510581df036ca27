#include "ui/settings/compareview.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace dxu {

TfrmCompare::TfrmCompare(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmCompare"));
    setWindowTitle(QStringLiteral("Compare"));
    auto* layout = new QVBoxLayout(this);

    lblCompareFile_ = new QLabel(this);
    lblCompareFile_->setObjectName(QStringLiteral("lblCompareFile"));
    lblCompareFile_->setWordWrap(true);
    layout->addWidget(lblCompareFile_);

    grdCompare_ = new QTableWidget(0, 3, this);
    grdCompare_->setObjectName(QStringLiteral("grdCompare"));
    grdCompare_->setHorizontalHeaderLabels({QStringLiteral("Setting"), QStringLiteral("Unit"), QStringLiteral("File")});
    grdCompare_->verticalHeader()->hide();
    grdCompare_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdCompare_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdCompare_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    grdCompare_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    grdCompare_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    layout->addWidget(grdCompare_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    pbCompareUpload_ = new QPushButton(QStringLiteral("&Upload"), this);
    pbCompareUpload_->setObjectName(QStringLiteral("pbCompareUpload"));
    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("pbCompareClose"));
    buttons->addWidget(pbCompareUpload_);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(pbCompareUpload_, &QPushButton::clicked, this, [this] {
        // The unit went away or took them while the window was open: the
        // window stays and says so, rather than closing as if they had gone.
        if (uploadable_ && !uploadable_()) {
            refreshUpload();
            lblCompareFile_->setText(lblCompareFile_->text()
                                     + QStringLiteral("\nNothing was sent: no connected unit is waiting for them."));
            return;
        }
        hide();
        emit uploadRequested();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
    resize(560, 380);
}

void TfrmCompare::showDifferences(const std::vector<CompareRow>& rows, const QString& path, bool connected)
{
    const QString file = QFileInfo(path).fileName();
    setWindowTitle(QStringLiteral("Compare - ") + file);
    const QString next = connected ? QStringLiteral("\"Upload\" sends them to the unit now, \"Close\" leaves them "
                                                    "for \"Upload Settings\".")
                                   : QStringLiteral("\"Upload Settings\" sends them once a unit is connected.");
    lblCompareFile_->setText(
        rows.empty() ? QStringLiteral("\"%1\" holds the same settings as the unit: there is nothing to upload.").arg(file)
                     : QStringLiteral("%1 of \"%2\" differ from the unit's. They are shown in the panel; %3")
                           .arg(rows.size() == 1 ? QStringLiteral("1 setting")
                                                 : QStringLiteral("%1 settings").arg(rows.size()),
                                file, next));
    grdCompare_->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const CompareRow& r = rows[static_cast<size_t>(i)];
        grdCompare_->setItem(i, 0, new QTableWidgetItem(r.setting));
        grdCompare_->setItem(i, 1, new QTableWidgetItem(r.unitValue));
        grdCompare_->setItem(i, 2, new QTableWidgetItem(r.fileValue));
    }
    grdCompare_->setVisible(!rows.empty());
    differences_ = !rows.empty();
    pbCompareUpload_->setEnabled(differences_ && connected);
    show();
}

void TfrmCompare::refreshUpload() { pbCompareUpload_->setEnabled(differences_ && (!uploadable_ || uploadable_())); }

void TfrmCompare::follow(QWidget* button)
{
    if (button)
        button->installEventFilter(this);
}

bool TfrmCompare::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::EnabledChange)
        refreshUpload();
    return QDialog::eventFilter(watched, event);
}

} // namespace dxu
