#pragma once
// "Find Units": scans the RS-485 line for units, lists those that answer
// with their version, and adds the checked ones to the network list. An
// address at which more than one unit answers is listed as such, and cannot
// be added. "Units answer within" is kept in the store.
#include "network/unitscan.h"
#include "ui/services/formplacement.h"
#include "ui/services/ui.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace dxu {

class TfrmFindUnits : public PlacedDialog {
    Q_OBJECT
public:
    explicit TfrmFindUnits(QWidget* parent = nullptr);

    // What the dialog works on; the main window binds it once after creation.
    void bind(DxuState& state, UnitScan& scan, Ui& mainUi, Hooks& hooks);

public slots:
    void pbStartClick();
    void pbCancelClick();
    void pbAddToNetworkClick();

protected:
    void reject() override;

private:
    void showScan();

    QLabel* lblScanLine_ = nullptr;
    QLabel* lblAdded_ = nullptr;
    QSpinBox* updAnswerWithin_ = nullptr;
    QProgressBar* prgScan_ = nullptr;
    QListWidget* lstUnits_ = nullptr;
    QPushButton* pbStart_ = nullptr;
    QPushButton* pbAddToNetwork_ = nullptr;

    DxuState* st_ = nullptr;
    UnitScan* scan_ = nullptr;
    Ui* mainUi_ = nullptr;
    Hooks* hooks_ = nullptr;
};

} // namespace dxu
