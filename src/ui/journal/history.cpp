#include "ui/journal/history.h"

#include "ui/services/filedialogs.h"
#include "ui/services/messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace dxu {
namespace {

constexpr QSize DesignSize(860, 480);

// The unit choice's item for a unit: its address (or "no address") and version.
QString unitItemText(const JournalUnit& u)
{
    const QString address = u.address.isEmpty() ? QStringLiteral("no address") : QStringLiteral("Address ") + u.address;
    return u.version.isEmpty() ? address : address + QStringLiteral(", ") + u.version;
}

} // namespace

TfrmHistory::TfrmHistory(QWidget* parent) : PlacedDialog(DesignSize, parent)
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(QStringLiteral("History"));
    deferFileDialog(this, "HistorySave", QStringLiteral("Export History"), QStringLiteral("CSV Files (*.csv)"),
                    QStringLiteral("csv"), true);

    cmbUnit = new QComboBox(this);
    cmbUnit->setObjectName(QStringLiteral("cmbUnit"));
    cmbUnit->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto* unitLabel = new QLabel(QStringLiteral("&Unit:"), this);
    unitLabel->setBuddy(cmbUnit);

    const QDate today = QDate::currentDate();
    auto dateBox = [this](const char* checkName, const char* text, const char* editName, QDate date,
                          QCheckBox*& check, QDateEdit*& edit) {
        check = new QCheckBox(QString::fromLatin1(text), this);
        check->setObjectName(QLatin1String(checkName));
        edit = new QDateEdit(date, this);
        edit->setObjectName(QLatin1String(editName));
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setEnabled(false);
        connect(check, &QCheckBox::toggled, edit, &QWidget::setEnabled);
        connect(check, &QCheckBox::toggled, this, &TfrmHistory::refresh);
        connect(edit, &QDateEdit::dateChanged, this, &TfrmHistory::refresh);
    };
    dateBox("cbFrom", "&From", "dtFrom", today.addDays(-30), cbFrom, dtFrom);
    dateBox("cbTo", "&To", "dtTo", today, cbTo, dtTo);
    connect(cmbUnit, &QComboBox::currentIndexChanged, this, &TfrmHistory::refresh);

    lvChanges = new QTableWidget(0, 10, this);
    lvChanges->setObjectName(QStringLiteral("lvChanges"));
    lvChanges->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("Unit"), QStringLiteral("Version"),
                                          QStringLiteral("Setting"), QStringLiteral("Old"), QStringLiteral("New"),
                                          QStringLiteral("Outcome"), QStringLiteral("User"), QStringLiteral("Host"),
                                          QStringLiteral("Link")});
    lvChanges->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvChanges->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvChanges->verticalHeader()->setVisible(false);
    lvChanges->horizontalHeader()->setStretchLastSection(true);

    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    pbExport = new QPushButton(QStringLiteral("&Export CSV..."), this);
    pbExport->setObjectName(QStringLiteral("pbExport"));
    pbExport->setAutoDefault(false);
    connect(pbExport, &QPushButton::clicked, this, &TfrmHistory::pbExportClick);
    auto* pbRefresh = new QPushButton(QStringLiteral("&Refresh"), this);
    pbRefresh->setObjectName(QStringLiteral("pbRefresh"));
    pbRefresh->setAutoDefault(false);
    connect(pbRefresh, &QPushButton::clicked, this, &TfrmHistory::FormShow);
    auto* pbClose = new QPushButton(QStringLiteral("&Close"), this);
    pbClose->setObjectName(QStringLiteral("pbClose"));
    pbClose->setDefault(true);
    connect(pbClose, &QPushButton::clicked, this, &QDialog::hide);

    auto* filters = new QHBoxLayout;
    filters->addWidget(unitLabel);
    filters->addWidget(cmbUnit);
    filters->addSpacing(16);
    filters->addWidget(cbFrom);
    filters->addWidget(dtFrom);
    filters->addWidget(cbTo);
    filters->addWidget(dtTo);
    filters->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lblCount);
    buttons->addStretch();
    buttons->addWidget(pbExport);
    buttons->addWidget(pbRefresh);
    buttons->addWidget(pbClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(lvChanges, 1);
    layout->addLayout(buttons);
}

void TfrmHistory::showEvent(QShowEvent* event)
{
    PlacedDialog::showEvent(event);
    FormShow();
}

JournalFilter TfrmHistory::filter() const
{
    JournalFilter f;
    const QStringList unit = cmbUnit->currentData().toStringList();
    if (unit.size() == 2) {
        f.address = unit[0];
        f.version = unit[1];
    }
    if (cbFrom->isChecked())
        f.from = dtFrom->date().startOfDay();
    if (cbTo->isChecked())
        f.to = dtTo->date().addDays(1).startOfDay();
    return f;
}

void TfrmHistory::FormShow()
{
    const QVariant chosen = cmbUnit->currentData();
    {
        const QSignalBlocker quiet(cmbUnit);
        cmbUnit->clear();
        cmbUnit->addItem(QStringLiteral("All units"));
        if (journal_)
            for (const JournalUnit& u : journal_->units())
                cmbUnit->addItem(unitItemText(u), QStringList{u.address, u.version});
        cmbUnit->setCurrentIndex(std::max(0, cmbUnit->findData(chosen)));
    }
    refresh();
}

void TfrmHistory::refresh()
{
    rows_ = journal_ ? journal_->changes(filter()) : std::vector<Change>{};
    lvChanges->setRowCount(static_cast<int>(rows_.size()));
    int r = 0;
    for (const Change& c : rows_) {
        QString outcome = outcomeText(c.outcome);
        if (!c.detail.isEmpty())
            outcome += QStringLiteral(": ") + c.detail;
        const QString cells[] = {c.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                 c.address,
                                 c.version,
                                 c.caption.isEmpty() ? c.code : c.caption,
                                 c.oldValue,
                                 c.newValue,
                                 outcome,
                                 c.user,
                                 c.host,
                                 c.link};
        for (int col = 0; col < 10; ++col)
            lvChanges->setItem(r, col, new QTableWidgetItem(cells[col]));
        ++r;
    }
    lvChanges->resizeColumnsToContents();
    lblCount->setText(rows_.size() == 1 ? QStringLiteral("1 change") : QStringLiteral("%1 changes").arg(rows_.size()));
    pbExport->setEnabled(!rows_.empty());
}

void TfrmHistory::pbExportClick()
{
    DeferredFileDialog* dialog = DeferredFileDialog::of(this, QStringLiteral("HistorySave"));
    const QString path = dialog ? dialog->choose() : QString();
    if (path.isEmpty())
        return;
    const QString error = exportChangesCsv(path, rows_);
    if (!error.isEmpty())
        showMessage(QStringLiteral("Error"), error);
}

} // namespace dxu
