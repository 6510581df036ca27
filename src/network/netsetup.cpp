#include "network/netsetup.h"

namespace dxu {

TfrmNetSetup::TfrmNetSetup(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmNetSetup"));
    setWindowTitle(QStringLiteral("RS-485 Netowrk Setup"));
}

} // namespace dxu
