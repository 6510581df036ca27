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
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace dxu {
namespace {

constexpr QSize HistorySize(860, 480);

// The unit choice's item for a unit: its address (the RS-232 unit has none),
// version and the device of its link.
QString unitItemText(const JournalUnit& u)
{
    QString text = u.address.isEmpty() ? QStringLiteral("RS-232 unit") : QStringLiteral("Address ") + u.address;
    if (!u.version.isEmpty())
        text += QStringLiteral(", ") + u.version;
    return text + QStringLiteral(" on ") + (u.device.isEmpty() ? QStringLiteral("an unknown link") : u.device);
}

} // namespace

TfrmHistory::TfrmHistory(QWidget* parent) : PlacedDialog(HistorySize, parent, true)
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
    // The rows first: the first showing makes room for their columns.
    FormShow();
    PlacedDialog::showEvent(event);
}

QSize TfrmHistory::sizeHint() const
{
    const QSize hint = PlacedDialog::sizeHint();
    const QMargins margins = layout()->contentsMargins();
    const int columns = lvChanges->horizontalHeader()->length() + lvChanges->verticalScrollBar()->sizeHint().width()
                        + 2 * lvChanges->frameWidth() + margins.left() + margins.right();
    return {std::max(hint.width(), columns), hint.height()};
}

JournalFilter TfrmHistory::filter() const
{
    JournalFilter f;
    const QStringList unit = cmbUnit->currentData().toStringList();
    if (unit.size() == 3) {
        f.link = unit[0];
        f.address = unit[1];
        f.version = unit[2];
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
                cmbUnit->addItem(unitItemText(u), QStringList{u.device, u.address, u.version});
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
