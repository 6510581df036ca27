#include "services/formplacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QWidget>

#include <algorithm>

namespace dxu {

void placeMainWindow(QWidget* window, double dpi)
{
    int w = 800;
    int h = 600;
    if (qRound(dpi) == 120) {
        w = static_cast<int>(w * 1.25);
        h = static_cast<int>(h * 1.25);
    }
    // Never smaller than the controls need, whatever the screen's fonts.
    const QSize least = window->minimumSizeHint();
    w = std::max(w, least.width());
    h = std::max(h, least.height());
    window->setFixedSize(w, h);
    if (QScreen* sc = window->screen()) {
        const QRect area = sc->availableGeometry();
        window->move(area.center() - QPoint(w / 2, h / 2));
    }
}

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
