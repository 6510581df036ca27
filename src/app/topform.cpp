#include "app/topform.h"

namespace dxu {

TTopForm::TTopForm(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("TopForm"));
    setWindowTitle(QStringLiteral("DXU Interface"));
}

} // namespace dxu
