#include "network/assignaddress.h"

namespace dxu {

TfrmAssignAddress::TfrmAssignAddress(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAssignAddress"));
    setWindowTitle(QStringLiteral("Assign RS-485 Address"));
}

} // namespace dxu
