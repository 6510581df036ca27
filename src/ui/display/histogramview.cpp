#include "ui/display/histogramview.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace dxu {

HistogramView::HistogramView(DxuState& state, std::function<void()> showResult, QWidget* parent)
    : QWidget(parent), st_(state), showResult_(std::move(showResult))
{
    setObjectName(QStringLiteral("imgBinning"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(DesignWidth, DesignHeight);
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Click a bar to show its distance"));
}

void HistogramView::setDpi(double dpi)
{
    const double f = qRound(dpi) == 120 ? 1.25 : 1.0;
    setFixedSize(static_cast<int>(DesignWidth * f), static_cast<int>(DesignHeight * f));
}

void HistogramView::showEvent(QShowEvent* event)
{
    if (QScreen* s = screen())
        setDpi(s->logicalDotsPerInch());
    QWidget::showEvent(event);
}

void HistogramView::drawHistogram()
{
    const QFontMetrics fm = fontMetrics();
    const bool chosen = histogram_.draw(
        st_, width(), height(),
        [&fm](std::string_view t) { return fm.horizontalAdvance(QString::fromLatin1(t.data(), static_cast<qsizetype>(t.size()))); },
        fm.height());
    update();
    if (chosen && showResult_)
        showResult_();
}

void HistogramView::imgBinningMouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)
{
    if (histogram_.click(st_, x, y)) {
        update();
        if (showResult_)
            showResult_();
    }
}

void HistogramView::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    imgBinningMouseDown(event->button(), event->modifiers(), at.x(), at.y());
}

void HistogramView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    const HistogramPicture& pic = histogram_.picture();
    const QColor ink = palette().color(QPalette::ButtonText);
    for (int i = 0; i < static_cast<int>(pic.lines.size()); ++i) {
        const auto& l = pic.lines[static_cast<std::size_t>(i)];
        // The chosen target's bar stands out.
        p.setPen(i == pic.selectedLine ? QPen(QColor(200, 0, 0), 3) : QPen(ink, i >= 3 ? 2 : 1));
        p.drawLine(l.x1, l.y1, l.x2, l.y2);
    }
    p.setPen(ink);
    const QFontMetrics fm = fontMetrics();
    for (const auto& t : pic.texts)
        p.drawText(t.x, t.y + fm.ascent(), QString::fromStdString(t.text));
}

} // namespace dxu
