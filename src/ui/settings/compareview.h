#pragma once
// The Compare view: the settings an opened setup file would change in the
// unit, side by side, with the choice to upload them now or later.
#include "settings/setupfile.h"

#include <QDialog>

#include <functional>

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
    // Whether the unit can take the settings now; asked again whenever it may
    // have changed (refreshUpload) and when Upload is pressed.
    void setUploadable(std::function<bool()> uploadable) { uploadable_ = std::move(uploadable); }
    void refreshUpload();
    // Upload is asked about again whenever this button is enabled or disabled.
    void follow(QWidget* button);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // "Upload" was pressed: the loaded settings are to go to the unit.
    void uploadRequested();

private:
    QLabel* lblCompareFile_;
    QTableWidget* grdCompare_;
    QPushButton* pbCompareUpload_;
    std::function<bool()> uploadable_;
    bool differences_ = false;
};

} // namespace dxu
