#include "diagnostics/terminal.h"

namespace dxu {

TfrmTerminal::TfrmTerminal(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmTerminal"));
    setWindowTitle(QStringLiteral("Terminal"));
}

} // namespace dxu
