#pragma once
// The address assignment dialog: the present address of the point-to-point
// unit, the 62 addresses with those handed out marked, and Assign.
#include "protocol/dxustate.h"
#include "ui/services/formplacement.h"

#include <functional>

class QComboBox;
class QLabel;

namespace dxu {

class TfrmAssignAddress : public PlacedDialog {
    Q_OBJECT
public:
    explicit TfrmAssignAddress(QWidget* parent = nullptr);

    // What the dialog works on; the main window binds it once after creation.
    // queueUpload starts the settings upload of the current unit.
    void bind(DxuState& state, std::function<void()> queueUpload);

    void RefreshAddressList();

public slots:
    void FormShow();
    void pbSetAddressClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* lblCurrAddress_ = nullptr;
    QComboBox* cmbAddressList_ = nullptr;

    DxuState* st_ = nullptr;
    std::function<void()> queueUpload_;
};

} // namespace dxu
