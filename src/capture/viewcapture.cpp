#include "capture/viewcapture.h"

namespace dxu {

TfrmViewCapture::TfrmViewCapture(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmViewCapture"));
    setWindowTitle(QStringLiteral("View Capture File"));
    setFixedSize(233, 547);
}

} // namespace dxu
