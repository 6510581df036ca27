#pragma once
#include <QDialog>

namespace dxu {

// Calibration of the 4 mA and 20 mA points of the current loop.
class TfrmCLCalibration : public QDialog {
    Q_OBJECT
public:
    explicit TfrmCLCalibration(QWidget* parent = nullptr);
};

} // namespace dxu
