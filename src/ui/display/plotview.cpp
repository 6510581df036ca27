#include "ui/display/plotview.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace dxu {
namespace {

// Decimals that tell ticks step apart.
int decimalsFor(double step)
{
    if (!(step > 0))
        return 0;
    return std::clamp(static_cast<int>(std::ceil(-std::log10(step) - 1e-9)), 0, 9);
}

// The next round step below step (5 -> 2 -> 1 -> 0.5 times a power of ten).
double finerStep(double step)
{
    const double mag = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    const double m = std::round(step / mag);
    return m >= 5 ? 2 * mag : m >= 2 ? mag : mag / 2;
}

// A span that can be drawn: never empty, never inverted.
void widen(double& lo, double& hi)
{
    if (!(lo < hi)) {
        const double pad = lo == 0 ? 1.0 : std::abs(lo) * 0.05;
        lo -= pad;
        hi += pad;
    }
}

// The first and last pixel rows (or columns) a pen of the given width covers
// from `from` to `to` without antialiasing: those whose centre lies within.
std::pair<int, int> covered(double from, double to, double width)
{
    // Far off the widget (a zoom into a long series) is as good as just off it.
    constexpr double limit = 1e8;
    from = std::clamp(from, -limit, limit);
    to = std::clamp(to, -limit, limit);
    const double half = width / 2;
    const int first = static_cast<int>(std::ceil(from - half - 0.5));
    const int last = static_cast<int>(std::floor(to + half - 0.5));
    return {first, std::max(first, last)};
}

// Many points per pixel column: each column as one bar from its lowest to
// its highest point, reaching to the last point of the column before, so
// spikes stay visible. Filled bars cost a fraction of stroking a line of
// thousands of short segments; only gaps between columns are stroked.
template <class It, class MapX, class MapY>
void drawColumns(QPainter& p, const QPen& pen, It from, It to, MapX mapX, MapY mapY)
{
    struct Column {
        long x;
        double first, low, high, last;
    };
    std::vector<Column> columns;
    for (auto it = from; it != to; ++it) {
        if (!std::isfinite(it->y()))
            continue;
        const long x = std::lround(mapX(it->x()));
        const double y = mapY(it->y());
        if (columns.empty() || columns.back().x != x) {
            columns.push_back({x, y, y, y, y});
        } else {
            Column& c = columns.back();
            c.low = std::min(c.low, y);
            c.high = std::max(c.high, y);
            c.last = y;
        }
    }
    QList<QRect> bars;
    QList<QLineF> gaps;
    bars.reserve(static_cast<qsizetype>(columns.size()));
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const Column& c = columns[i];
        double top = c.low, bottom = c.high;
        if (i > 0) {
            const Column& before = columns[i - 1];
            if (before.x + 1 == c.x) {
                top = std::min(top, before.last);
                bottom = std::max(bottom, before.last);
            } else {
                gaps.append(QLineF(static_cast<double>(before.x), before.last, static_cast<double>(c.x), c.first));
            }
        }
        const auto [x0, x1] = covered(static_cast<double>(c.x), static_cast<double>(c.x), pen.widthF());
        const auto [y0, y1] = covered(top, bottom, pen.widthF());
        bars.append(QRect(x0, y0, x1 - x0 + 1, y1 - y0 + 1));
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(pen);
    p.drawLines(gaps);
    p.setPen(Qt::NoPen);
    p.setBrush(pen.color());
    p.drawRects(bars);
    p.setBrush(Qt::NoBrush);
}

} // namespace

PlotView::PlotView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
}

int PlotView::addSeries(const QString& name, const QColor& color)
{
    series_.push_back(Series{name, color, {}, true});
    update();
    return static_cast<int>(series_.size()) - 1;
}

void PlotView::setPoints(int series, const std::vector<QPointF>& points)
{
    if (series < 0 || series >= seriesCount())
        return;
    Series& s = series_[static_cast<std::size_t>(series)];
    s.points.assign(points.begin(), points.end());
    s.ordered = std::is_sorted(points.begin(), points.end(),
                               [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
    update();
}

void PlotView::append(int series, double x, double y)
{
    if (series < 0 || series >= seriesCount())
        return;
    Series& s = series_[static_cast<std::size_t>(series)];
    if (!s.points.empty() && x < s.points.back().x())
        s.ordered = false;
    s.points.emplace_back(x, y);
    update();
}

void PlotView::removeBefore(double x)
{
    for (Series& s : series_) {
        if (s.ordered) {
            while (!s.points.empty() && s.points.front().x() < x)
                s.points.pop_front();
        } else {
            std::erase_if(s.points, [x](const QPointF& p) { return p.x() < x; });
        }
    }
    update();
}

void PlotView::clearPoints()
{
    for (Series& s : series_) {
        s.points.clear();
        s.points.shrink_to_fit();
        s.ordered = true;
    }
    update();
}

std::size_t PlotView::pointCount(int series) const
{
    return series >= 0 && series < seriesCount() ? series_[static_cast<std::size_t>(series)].points.size() : 0;
}

void PlotView::setAxisTitles(const QString& x, const QString& y)
{
    xTitle_ = x;
    yTitle_ = y;
    update();
}

void PlotView::setXRange(double min, double max)
{
    xMin_ = min;
    xMax_ = max;
    update();
}

void PlotView::resetView()
{
    zoomed_ = false;
    update();
}

QRectF PlotView::viewRange() const { return zoomed_ ? view_ : dataRange(); }

QRectF PlotView::dataRange() const
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    double x0 = xMin_, x1 = xMax_;
    if (!(x0 < x1)) {
        x0 = inf;
        x1 = -inf;
        for (const Series& s : series_) {
            if (s.points.empty())
                continue;
            if (s.ordered) {
                x0 = std::min(x0, s.points.front().x());
                x1 = std::max(x1, s.points.back().x());
            } else {
                for (const QPointF& p : s.points) {
                    x0 = std::min(x0, p.x());
                    x1 = std::max(x1, p.x());
                }
            }
        }
        if (x0 > x1)
            x0 = x1 = 0;
        widen(x0, x1);
    }
    // y always scales to the data within the x range.
    double y0 = inf, y1 = -inf;
    for (const Series& s : series_) {
        auto from = s.points.begin(), to = s.points.end();
        if (s.ordered) {
            from = std::lower_bound(from, to, x0, [](const QPointF& p, double v) { return p.x() < v; });
            to = std::upper_bound(from, to, x1, [](double v, const QPointF& p) { return v < p.x(); });
        }
        for (auto it = from; it != to; ++it) {
            if (it->x() < x0 || it->x() > x1 || !std::isfinite(it->y()))
                continue;
            y0 = std::min(y0, it->y());
            y1 = std::max(y1, it->y());
        }
    }
    if (y0 > y1)
        y0 = y1 = 0;
    const double pad = (y1 - y0) * 0.05;
    y0 -= pad;
    y1 += pad;
    widen(y0, y1);
    return QRectF(x0, y0, x1 - x0, y1 - y0);
}

std::vector<double> PlotView::ticks(double min, double max, int maxCount)
{
    std::vector<double> out;
    if (!(min < max) || !std::isfinite(min) || !std::isfinite(max) || maxCount < 1)
        return out;
    const double raw = (max - min) / maxCount;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    double step = mag;
    // A step a little finer than asked for beats one much coarser.
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        step = m * mag;
        if (step >= raw * 0.75)
            break;
    }
    // A short span can hold one tick or two only: finer steps then, so
    // that the axis shows where the data lies (1.43..1.58 is not just "2").
    for (int k = 0;; ++k) {
        out.clear();
        const double first = std::ceil(min / step - 1e-9) * step;
        for (int i = 0; i <= std::max(maxCount, 3) + 1; ++i) {
            const double v = first + i * step;
            if (v > max + step * 1e-9)
                break;
            out.push_back(std::abs(v) < step * 1e-9 ? 0.0 : v);
        }
        if (out.size() >= 3 || k >= 60)
            return out;
        step = finerStep(step);
    }
}

QRect PlotView::plotArea() const
{
    const QFontMetrics fm = fontMetrics();
    const int left = fm.horizontalAdvance(QStringLiteral("-00000.000")) + 10;
    const int top = fm.height() + 6;
    const int bottom = fm.height() * 2 + 8;
    // Room for half the label of a tick on the right edge.
    const int right = std::max(12, fm.horizontalAdvance(QStringLiteral("00:00")) / 2 + 4);
    return QRect(left, top, std::max(10, width() - left - right), std::max(10, height() - top - bottom));
}

PlotView::Axis PlotView::axis(Qt::Orientation orientation) const
{
    const QRect area = plotArea();
    const QRectF range = viewRange();
    const bool horizontal = orientation == Qt::Horizontal;
    Axis a;
    a.values = horizontal ? ticks(range.left(), range.right(), std::max(2, area.width() / 90))
                          : ticks(range.top(), range.bottom(), std::max(2, area.height() / 40));
    const int decimals = a.values.size() > 1 ? decimalsFor(a.values[1] - a.values[0]) : 0;
    for (double v : a.values) {
        a.labels << (horizontal && xFormat_ ? xFormat_(v) : QString::number(v, 'f', decimals));
        a.at.push_back(horizontal ? area.left() + (v - range.left()) / range.width() * area.width()
                                  : area.bottom() - (v - range.top()) / range.height() * area.height());
    }
    return a;
}

void PlotView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    const QRect area = plotArea();
    const QRectF range = viewRange();
    const QFontMetrics fm = fontMetrics();
    const QColor text = palette().color(QPalette::Text);
    const QColor grid = palette().color(QPalette::Mid).lighter(130);


    // Grid, ticks and labels.
    const Axis xs = axis(Qt::Horizontal);
    const Axis ys = axis(Qt::Vertical);
    p.setPen(QPen(grid, 0, Qt::DotLine));
    for (double x : xs.at)
        p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    for (double y : ys.at)
        p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    p.setPen(text);
    for (std::size_t i = 0; i < xs.at.size(); ++i) {
        const double at = xs.at[i];
        p.drawLine(QPointF(at, area.bottom()), QPointF(at, area.bottom() + 4));
        p.drawText(QRectF(at - 60, area.bottom() + 5, 120, fm.height()), Qt::AlignHCenter | Qt::AlignTop,
                   xs.labels[static_cast<qsizetype>(i)]);
    }
    for (std::size_t i = 0; i < ys.at.size(); ++i) {
        const double at = ys.at[i];
        p.drawLine(QPointF(area.left() - 4, at), QPointF(area.left(), at));
        p.drawText(QRectF(0, at - fm.height() / 2.0, area.left() - 6, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   ys.labels[static_cast<qsizetype>(i)]);
    }
    p.drawRect(area.adjusted(0, 0, -1, -1));
    if (!xTitle_.isEmpty())
        p.drawText(QRect(area.left(), area.bottom() + 5 + fm.height(), area.width(), fm.height() + 2),
                   Qt::AlignRight | Qt::AlignTop, xTitle_);
    if (!yTitle_.isEmpty())
        p.drawText(QRect(2, 2, area.left() + area.width() / 2, fm.height() + 2), Qt::AlignLeft | Qt::AlignTop,
                   yTitle_);

    // The legend at the top right.
    int lx = area.right();
    for (auto it = series_.rbegin(); it != series_.rend(); ++it) {
        if (it->name.isEmpty())
            continue;
        const int w = fm.horizontalAdvance(it->name);
        lx -= w;
        p.setPen(text);
        p.drawText(QPoint(lx, 2 + fm.ascent()), it->name);
        lx -= 20;
        p.setPen(QPen(it->color, 2));
        p.drawLine(lx, 2 + fm.height() / 2, lx + 14, 2 + fm.height() / 2);
        lx -= 12;
    }

    p.setClipRect(area.adjusted(1, 1, -1, -1));
    for (const Series& s : series_)
        drawSeries(p, s, area, range);
}

void PlotView::drawSeries(QPainter& p, const Series& s, const QRect& area, const QRectF& range) const
{
    if (s.points.empty())
        return;
    auto from = s.points.begin(), to = s.points.end();
    if (s.ordered) {
        // One point beyond each edge keeps the line running to the frame.
        from = std::lower_bound(from, to, range.left(), [](const QPointF& q, double v) { return q.x() < v; });
        if (from != s.points.begin())
            --from;
        to = std::upper_bound(from, to, range.right(), [](double v, const QPointF& q) { return v < q.x(); });
        if (to != s.points.end())
            ++to;
    }
    const double sx = area.width() / range.width();
    const double sy = area.height() / range.height();
    auto mapX = [&](double x) { return area.left() + (x - range.left()) * sx; };
    auto mapY = [&](double y) {
        // Far outside values are held near the frame so the painter never
        // sees huge coordinates.
        const double v = area.bottom() - (y - range.top()) * sy;
        return std::clamp(v, area.top() - 1e4, area.bottom() + 1e4);
    };

    const auto count = static_cast<std::size_t>(std::distance(from, to));
    const QPen pen(s.color, 1.5);
    if (s.ordered && count >= 2 * static_cast<std::size_t>(area.width())) {
        drawColumns(p, pen, from, to, mapX, mapY);
        return;
    }
    QPolygonF line;
    line.reserve(static_cast<qsizetype>(count));
    for (auto it = from; it != to; ++it)
        if (std::isfinite(it->y()))
            line.append(QPointF(mapX(it->x()), mapY(it->y())));
    const bool sparse = count * 4 < static_cast<std::size_t>(area.width());
    p.setPen(pen);
    p.setRenderHint(QPainter::Antialiasing, sparse);
    p.drawPolyline(line);
    if (sparse) {
        p.setBrush(s.color);
        for (const QPointF& q : line)
            p.drawEllipse(q, 2.0, 2.0);
        p.setBrush(Qt::NoBrush);
    }
}

void PlotView::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta == 0)
        return;
    const QRect area = plotArea();
    const QRectF r = viewRange();
    const QPointF at = event->position();
    const double cx = r.left() + (at.x() - area.left()) / area.width() * r.width();
    const double cy = r.top() + (area.bottom() - at.y()) / area.height() * r.height();
    const double f = std::pow(0.85, delta / 120.0);
    const bool xOnly = event->modifiers() & Qt::ControlModifier;
    const bool yOnly = event->modifiers() & Qt::ShiftModifier;
    double x0 = r.left(), x1 = r.right(), y0 = r.top(), y1 = r.bottom();
    if (!yOnly) {
        x0 = cx - (cx - x0) * f;
        x1 = cx + (x1 - cx) * f;
    }
    if (!xOnly) {
        y0 = cy - (cy - y0) * f;
        y1 = cy + (y1 - cy) * f;
    }
    if (!(x1 - x0 > 1e-12) || !(y1 - y0 > 1e-12))
        return;
    view_ = QRectF(x0, y0, x1 - x0, y1 - y0);
    zoomed_ = true;
    update();
    event->accept();
}

void PlotView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    dragging_ = true;
    dragFrom_ = event->position().toPoint();
    dragView_ = viewRange();
    setCursor(Qt::ClosedHandCursor);
}

void PlotView::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging_)
        return QWidget::mouseMoveEvent(event);
    const QRect area = plotArea();
    const QPoint d = event->position().toPoint() - dragFrom_;
    const double dx = -d.x() * dragView_.width() / area.width();
    const double dy = d.y() * dragView_.height() / area.height();
    view_ = dragView_.translated(dx, dy);
    zoomed_ = true;
    update();
}

void PlotView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && dragging_) {
        dragging_ = false;
        unsetCursor();
    }
    QWidget::mouseReleaseEvent(event);
}

void PlotView::mouseDoubleClickEvent(QMouseEvent*) { resetView(); }

} // namespace dxu
