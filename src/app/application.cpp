#include "app/application.h"

#include "app/topform.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>

namespace dxu {
namespace {

void showException(const QString& what)
{
    QMessageBox::critical(nullptr, QStringLiteral("DXU Interface"), what);
}

} // namespace

int runApplication(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("DXU Interface"));
    QApplication::setApplicationDisplayName(QStringLiteral("DXU Interface"));
    try {
        TTopForm top;
        top.show();
        QApplication::exec();
    } catch (const std::exception& e) {
        showException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        showException(QStringLiteral("Unknown error"));
    }
    return 0;
}

} // namespace dxu
