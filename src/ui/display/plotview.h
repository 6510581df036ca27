#pragma once
// A small line plot drawn with QPainter: series of (x, y) points over two axes
// with ticks and labels. Both axes scale to the data unless a range is set;
// the user zooms with the mouse wheel (Ctrl: x only, Shift: y only), pans by
// dragging and returns to the automatic view with a double click.
//
// Fast enough for long live streams: points are kept per series in x order
// (appends with a smaller x than the last one are accepted but disable the
// fast path for that series), only the visible run is looked at, and where
// several points fall on one pixel column the column is drawn as one bar from
// its lowest to its highest point, so spikes stay visible.
#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <deque>
#include <functional>
#include <vector>

namespace dxu {

class PlotView : public QWidget {
    Q_OBJECT
public:
    explicit PlotView(QWidget* parent = nullptr);

    // Adds a series and returns its index (0, 1, ...).
    int addSeries(const QString& name, const QColor& color);
    int seriesCount() const { return static_cast<int>(series_.size()); }
    // Replaces the points of a series.
    void setPoints(int series, const std::vector<QPointF>& points);
    void append(int series, double x, double y);
    // Drops the points of every series whose x is below x.
    void removeBefore(double x);
    // Drops every point; the series stay.
    void clearPoints();
    std::size_t pointCount(int series) const;

    void setAxisTitles(const QString& x, const QString& y);
    // A fixed x range (for example the last ten seconds); min >= max goes
    // back to scaling x to the data.
    void setXRange(double min, double max);
    // Formats tick labels of the x axis (default: the shortest decimal text).
    void setXLabelFormat(std::function<QString(double)> format) { xFormat_ = std::move(format); }

    // What is shown now, after scaling, zoom and pan.
    QRectF viewRange() const;
    // Whether the user has zoomed or panned away from the automatic view.
    bool zoomed() const { return zoomed_; }
    // Back to the automatic (or fixed) ranges.
    void resetView();

    // About maxCount (at most 1.33 x maxCount + 1) tick values inside [min, max],
    // at multiples of 1, 2 or 5 times a power of ten; never fewer than three,
    // so that an axis always tells its scale.
    static std::vector<double> ticks(double min, double max, int maxCount);

    // The ticks of an axis as drawn at the present size: their values, their
    // labels and where they are (x: the pixel column, y: the pixel row).
    struct Axis {
        std::vector<double> values;
        QStringList labels;
        std::vector<double> at;
    };
    Axis axis(Qt::Orientation orientation) const;

    QSize sizeHint() const override { return {400, 200}; }
    QSize minimumSizeHint() const override { return {160, 90}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    struct Series {
        QString name;
        QColor color;
        std::deque<QPointF> points;
        bool ordered = true;
    };
    // The automatic range of the data (or the fixed ranges).
    QRectF dataRange() const;
    // The rectangle the data is drawn in.
    QRect plotArea() const;
    void drawSeries(QPainter& p, const Series& s, const QRect& area, const QRectF& range) const;

    std::vector<Series> series_;
    QString xTitle_, yTitle_;
    double xMin_ = 0, xMax_ = 0; // fixed when min < max
    std::function<QString(double)> xFormat_;
    QRectF view_;       // the user's view while zoomed_
    bool zoomed_ = false;
    bool dragging_ = false;
    QPoint dragFrom_;
    QRectF dragView_;
};

} // namespace dxu
