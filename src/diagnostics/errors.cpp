#include "diagnostics/errors.h"

namespace dxu {

TfrmErrors::TfrmErrors(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmErrors"));
    setWindowTitle(QStringLiteral("Errors"));
}

} // namespace dxu
