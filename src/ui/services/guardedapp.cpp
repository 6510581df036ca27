#include "ui/services/guardedapp.h"

#include <QMessageBox>

namespace dxu {

void showException(const std::exception* e)
{
    QMessageBox::critical(nullptr, QStringLiteral("DXU Interface"),
                          e ? QString::fromLocal8Bit(e->what()) : QStringLiteral("Unknown error"));
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showException(&e);
    } catch (...) {
        showException(nullptr);
    }
    return false;
}

} // namespace dxu
