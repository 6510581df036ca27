#include "ports/commsetup.h"

namespace dxu {

TfrmCommSetup::TfrmCommSetup(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmCommSetup"));
    setWindowTitle(QStringLiteral("Comm Ports Setup"));
}

} // namespace dxu
