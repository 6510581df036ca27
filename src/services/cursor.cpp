#include "services/cursor.h"

#include <QApplication>
#include <QCursor>

namespace dxu {
namespace {
bool g_busy = false;
}

void setBusyCursor(bool busy)
{
    if (busy == g_busy)
        return;
    g_busy = busy;
    if (!qApp)
        return;
    if (busy)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QApplication::restoreOverrideCursor();
}

bool busyCursor() { return g_busy; }

} // namespace dxu
