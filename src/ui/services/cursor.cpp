#include "ui/services/cursor.h"

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
    // Only a program with a screen has a cursor (the command-line tool runs a
    // QCoreApplication).
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    if (busy)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QApplication::restoreOverrideCursor();
}

bool busyCursor() { return g_busy; }

} // namespace dxu
