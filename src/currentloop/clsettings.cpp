#include "currentloop/clsettings.h"

namespace dxu {

TfrmCLSettings::TfrmCLSettings(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmCLSettings"));
    setWindowTitle(QStringLiteral("Settings"));
}

} // namespace dxu
