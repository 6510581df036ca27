#pragma once
// Calibration of the 4 mA and 20 mA points of the current loop: coarse and
// fine per point, written with Set and stored in the unit with Save.
#include "currentloop/loopmodel.h"
#include "ui/services/formplacement.h"

#include <functional>

class QSpinBox;

namespace dxu {

class TfrmCLCalibration : public PlacedDialog {
    Q_OBJECT
public:
    explicit TfrmCLCalibration(QWidget* parent = nullptr);

    // What the dialog works on: sendFirst starts the queue at its cursor,
    // storeCalibration sends CD,95 outside the queue.
    void bind(DxuState& state, std::function<void()> sendFirst, std::function<void()> storeCalibration);

public slots:
    void FormShow();
    void pbSet4Click();
    void pbSet20Click();
    void pbSaveClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setPoint(LoopPoint point, QSpinBox* coarse, QSpinBox* fine);

    QSpinBox* updCoarse4_ = nullptr;
    QSpinBox* updFine4_ = nullptr;
    QSpinBox* updCoarse20_ = nullptr;
    QSpinBox* updFine20_ = nullptr;

    DxuState* st_ = nullptr;
    std::function<void()> sendFirst_;
    std::function<void()> storeCalibration_;
};

} // namespace dxu
