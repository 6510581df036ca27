#pragma once
// "File > History...": the change journal, newest first, for one unit
// (link, address and version) or all, from and to a date, and its export as CSV.
#include "journal/journal.h"
#include "ui/services/formplacement.h"

#include <vector>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableWidget;

namespace dxu {

class TfrmHistory : public PlacedDialog {
    Q_OBJECT
public:
    explicit TfrmHistory(QWidget* parent = nullptr);

    // The journal shown (not owned); nullptr shows nothing.
    void setJournal(Journal* journal) { journal_ = journal; }
    // The filter the controls make.
    JournalFilter filter() const;
    // The rows on show, newest first.
    const std::vector<Change>& rows() const { return rows_; }
    // Wide enough for every column of the rows on show.
    QSize sizeHint() const override;

public slots:
    // Reads the units and the rows again.
    void FormShow();
    // Reads the rows of the filter again.
    void refresh();
    void pbExportClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    Journal* journal_ = nullptr;
    std::vector<Change> rows_;
    QComboBox* cmbUnit = nullptr;
    QCheckBox* cbFrom = nullptr;
    QCheckBox* cbTo = nullptr;
    QDateEdit* dtFrom = nullptr;
    QDateEdit* dtTo = nullptr;
    QTableWidget* lvChanges = nullptr;
    QLabel* lblCount = nullptr;
    QPushButton* pbExport = nullptr;
};

} // namespace dxu
