#include "common/testsupport.h"
#include "ui/display/plotview.h"
#include "ui/display/trendwindow.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace dxu;
using dxu::test::FakeClockScope;

TEST(PlotView, TicksAreRoundStepsInsideTheRange)
{
    struct Case {
        double min, max;
        int count;
        std::vector<double> expected;
    } cases[] = {
        {0, 10, 5, {0, 2, 4, 6, 8, 10}},
        {-0.3, 0.75, 6, {-0.2, 0, 0.2, 0.4, 0.6}},
        {12.341, 12.349, 4, {12.342, 12.344, 12.346, 12.348}},
        {-60, 0, 6, {-60, -50, -40, -30, -20, -10, 0}},
        {1.4225, 1.5875, 2, {1.45, 1.5, 1.55}}, // a short span still gets three
        {0.96, 1.04, 2, {0.96, 0.98, 1.0, 1.02, 1.04}},
        {5, 5, 4, {}},     // empty span
        {10, 0, 4, {}},    // inverted
        {0, 1, 0, {}},     // no ticks wanted
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.min << ".." << c.max);
        const auto t = PlotView::ticks(c.min, c.max, c.count);
        ASSERT_EQ(t.size(), c.expected.size());
        for (std::size_t i = 0; i < t.size(); ++i)
            EXPECT_NEAR(t[i], c.expected[i], 1e-9);
    }
}

// At the trend's default size, from its first results on, each axis of each
// plot has at least three ticks whose labels differ and do not overlap.
TEST(PlotView, TrendAxesTellTheirScaleAtTheDefaultSize)
{
    FakeClockScope clock;
    TfrmTrend trend;
    trend.show();
    UnitRecord unit;
    unit.measureMode = 1;
    unit.displayMode = 2; // distance and intensity
    unit.units = 1;
    for (int i = 0; i < 30; ++i) {
        clock.advance(100);
        unit.lastDistance = 12.345f + 0.001f * static_cast<float>(i % 3);
        unit.lastIntensity = 1.43f + 0.005f * static_cast<float>(i);
        trend.addResult(unit, false);
    }
    trend.refresh();
    for (const char* name : {"plotTrendDistance", "plotTrendIntensity"}) {
        auto* plot = trend.findChild<PlotView*>(QString::fromLatin1(name));
        ASSERT_NE(plot, nullptr);
        ASSERT_TRUE(plot->isVisible()) << name;
        const QFontMetrics fm = plot->fontMetrics();
        for (Qt::Orientation o : {Qt::Horizontal, Qt::Vertical}) {
            SCOPED_TRACE(testing::Message() << name << (o == Qt::Horizontal ? " x" : " y"));
            const PlotView::Axis a = plot->axis(o);
            ASSERT_GE(a.labels.size(), 3);
            for (qsizetype i = 0; i < a.labels.size(); ++i) {
                EXPECT_FALSE(a.labels[i].isEmpty());
                if (i == 0)
                    continue;
                EXPECT_NE(a.labels[i], a.labels[i - 1]);
                const double room = o == Qt::Vertical ? fm.height()
                                                      : (fm.horizontalAdvance(a.labels[i])
                                                         + fm.horizontalAdvance(a.labels[i - 1])) / 2.0;
                EXPECT_GE(std::abs(a.at[static_cast<size_t>(i)] - a.at[static_cast<size_t>(i) - 1]), room);
            }
        }
    }
}

TEST(PlotView, ScalesToTheDataKeepsFixedRangesAndShowsASpikeAmongManyPoints)
{
    PlotView plot;
    plot.resize(400, 200);
    const int s = plot.addSeries(QStringLiteral("Distance"), Qt::red);
    // Empty: a drawable range all the same.
    EXPECT_GT(plot.viewRange().width(), 0);
    EXPECT_GT(plot.viewRange().height(), 0);

    // 20000 points on 12.0, one spike to 13.0 at x = 7.5.
    for (int i = 0; i < 20000; ++i)
        plot.append(s, i * 0.001, i == 7500 ? 13.0 : 12.0);
    QRectF r = plot.viewRange();
    EXPECT_DOUBLE_EQ(r.left(), 0.0);
    EXPECT_NEAR(r.right(), 19.999, 1e-9);
    EXPECT_LT(r.top(), 12.0);
    EXPECT_GT(r.bottom(), 13.0);

    // A fixed window drops older points from the scale; removeBefore from the store.
    plot.setXRange(10, 20);
    EXPECT_LT(plot.viewRange().bottom(), 13.0) << "the spike is outside the window";
    plot.removeBefore(10);
    EXPECT_EQ(plot.pointCount(s), 10000u);
    plot.setXRange(0, 0);
    EXPECT_DOUBLE_EQ(plot.viewRange().left(), 10.0);

    // The spike survives the thinning to pixel columns.
    plot.clearPoints();
    for (int i = 0; i < 20000; ++i)
        plot.append(s, i * 0.001, i == 7500 ? 13.0 : 12.0);
    QImage image(plot.size(), QImage::Format_RGB32);
    plot.render(&image);
    const QRectF range = plot.viewRange();
    int top = image.height();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (QColor(image.pixel(x, y)) == QColor(Qt::red))
                top = std::min(top, y);
    // The spike reaches within a few pixels of the top of the data.
    const double spikeFraction = (13.0 - range.top()) / range.height();
    EXPECT_LT(top, image.height() / 2);
    EXPECT_GT(spikeFraction, 0.9);

    // A pause in a dense series is bridged by the line: no column without it.
    plot.clearPoints();
    for (int i = 0; i < 20000; ++i)
        if (i < 3000 || i > 4000)
            plot.append(s, i * 0.001, 12.0);
    plot.render(&image);
    std::vector<int> columns;
    for (int x = 0; x < image.width(); ++x)
        for (int y = image.height() / 4; y < image.height() * 3 / 4; ++y)
            if (QColor(image.pixel(x, y)) == QColor(Qt::red)) {
                columns.push_back(x);
                break;
            }
    ASSERT_GT(columns.size(), 100u);
    EXPECT_EQ(columns.back() - columns.front() + 1, static_cast<int>(columns.size()));

    // Zoom by the wheel equivalent and back.
    plot.resetView();
    EXPECT_FALSE(plot.zoomed());
}
