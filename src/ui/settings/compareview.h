#pragma once
// The Compare view: the settings an opened setup file would change in the
// unit, side by side, with the choice to upload them now or later.
#include "settings/setupfile.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

namespace dxu {

class TfrmCompare : public QDialog {
    Q_OBJECT
public:
    explicit TfrmCompare(QWidget* parent = nullptr);

    // Fills the list and shows the window (without waiting for it). Upload
    // can be pressed only when there is something to send and a unit to take it.
    void showDifferences(const std::vector<CompareRow>& rows, const QString& path, bool connected);

signals:
    // "Upload" was pressed: the loaded settings are to go to the unit.
    void uploadRequested();

private:
    QLabel* lblCompareFile_;
    QTableWidget* grdCompare_;
    QPushButton* pbCompareUpload_;
};

} // namespace dxu
