#include "ui/services/formplacement.h"

#include <QGuiApplication>
#include <QKeyEvent>
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
    // The least size is what the controls need; the user may enlarge it.
    window->setMinimumSize(least);
    window->setProperty("designSize", QSize(w, h));
    window->resize(w, h);
    if (QScreen* sc = window->screen()) {
        const QRect area = sc->availableGeometry();
        window->move(area.center() - QPoint(w / 2, h / 2));
    }
}

QPoint placeBeside(QSize size, const QRect& owner, const QRect& area)
{
    QRect r(QPoint(0, 0), size);
    if (!owner.isValid())
        r.moveCenter(area.center());
    else if (owner.right() + size.width() <= area.right())
        r.moveTopLeft(QPoint(owner.right() + 1, owner.top()));
    else if (owner.left() - size.width() >= area.left())
        r.moveTopLeft(QPoint(owner.left() - size.width(), owner.top()));
    else
        r.moveCenter(owner.center());
    // Wholly on the screen; a window larger than the screen keeps its top
    // left corner (and so its title bar) on it.
    r.moveLeft(std::clamp(r.left(), area.left(), std::max(area.left(), area.right() + 1 - r.width())));
    r.moveTop(std::clamp(r.top(), area.top(), std::max(area.top(), area.bottom() + 1 - r.height())));
    return r.topLeft();
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
    if (resizable_)
        window->resize(size);
    else
        window->setFixedSize(size);

    const QWidget* parent = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    const bool beside = parent && parent->isVisible();
    const QScreen* screen = beside && parent->screen() ? parent->screen() : window->screen();
    if (!screen)
        return;
    window->move(placeBeside(size, beside ? parent->frameGeometry() : QRect(), screen->availableGeometry()));
}

bool closeOnEscape(QWidget* window, const QKeyEvent* event)
{
    if (event->key() != Qt::Key_Escape || event->modifiers() != Qt::NoModifier)
        return false;
    window->close();
    return true;
}

void PlacedDialog::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        placement_.beforeShow(this);
    QDialog::showEvent(event);
}

} // namespace dxu
