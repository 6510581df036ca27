#include "services/formplacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QWidget>

namespace dxu {

QSize FormPlacement::scaledSize(const QWidget* window) const
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    const qreal dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    const qreal factor = dpi > 96.0 ? dpi / 96.0 : 1.0;
    return {static_cast<int>(design_.width() * factor), static_cast<int>(design_.height() * factor)};
}

void FormPlacement::beforeShow(QWidget* window)
{
    if (placed_)
        return;
    placed_ = true;
    // A window laid out by a layout never becomes smaller than its contents
    // need, whatever font the screen gives them.
    const QSize size = scaledSize(window).expandedTo(window->sizeHint());
    window->setFixedSize(size);

    QRect area;
    const QWidget* parent = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    if (parent && parent->isVisible())
        area = parent->frameGeometry();
    else if (const QScreen* screen = window->screen())
        area = screen->availableGeometry();
    if (area.isValid()) {
        QRect r(QPoint(0, 0), size);
        r.moveCenter(area.center());
        window->move(r.topLeft());
    }
}

void PlacedDialog::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        placement_.beforeShow(this);
    QDialog::showEvent(event);
}

} // namespace dxu
