#pragma once
// Current-loop output range, fault current and time-out of the current unit.
#include "protocol/dxustate.h"
#include "services/formplacement.h"

#include <functional>

class QLabel;
class QLineEdit;

namespace dxu {

class TfrmCLSettings : public PlacedDialog {
    Q_OBJECT
public:
    explicit TfrmCLSettings(QWidget* parent = nullptr);

    // What the dialog works on; the main window binds it once after creation.
    void bind(DxuState& state, std::function<void()> queueUpload);

public slots:
    void FormShow();
    void pbAcceptClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* edAnalogLow_ = nullptr;
    QLineEdit* edAnalogHigh_ = nullptr;
    QLineEdit* edFaultIndication_ = nullptr;
    QLineEdit* edFaultTimeout_ = nullptr;
    QLabel* lblALUnits_ = nullptr;
    QLabel* lblAHUnits_ = nullptr;

    DxuState* st_ = nullptr;
    std::function<void()> queueUpload_;
};

} // namespace dxu
