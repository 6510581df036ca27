#include "currentloop/clcalibration.h"

namespace dxu {

TfrmCLCalibration::TfrmCLCalibration(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmCLCalibration"));
    setWindowTitle(QStringLiteral("Calibration"));
}

} // namespace dxu
