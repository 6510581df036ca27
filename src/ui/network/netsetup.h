#pragma once
// The RS-485 network dialog: the member list, Add, Remove, and the polling
// interval.
#include "ui/network/networkedit.h"

#include "ui/services/formplacement.h"

class QComboBox;
class QLineEdit;

namespace dxu {

class TfrmNetSetup : public PlacedDialog {
    Q_OBJECT
public:
    explicit TfrmNetSetup(QWidget* parent = nullptr);

    // What the dialog works on; the main window binds it once after creation.
    void bind(DxuState& state, Ui& mainUi, Hooks& hooks, NetworkSender send);

    void RefreshNetworkList();

public slots:
    void FormShow();
    void pbAddDXUClick();
    void pbRemoveDXUClick();
    void pbExitClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* edPolling_ = nullptr;
    QComboBox* cmbNetworkList_ = nullptr;

    DxuState* st_ = nullptr;
    Ui* mainUi_ = nullptr;
    Hooks* hooks_ = nullptr;
    NetworkSender send_;
};

} // namespace dxu
