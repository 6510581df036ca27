// The anchor of bench_startup: a bare Qt main window with a menu bar and a
// status bar, started the way the program starts (same stamp on the first
// expose, DXU_EXPOSE_STAMP).
#include "ui/app/exposestamp.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    dxu::ExposeStamp::installIfAsked();
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    window.menuBar()->addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("&Exit"), &app, &QApplication::quit);
    window.statusBar()->showMessage(QStringLiteral("Ready"));
    window.resize(800, 600);
    window.show();
    return QApplication::exec();
}
