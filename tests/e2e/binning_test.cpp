// A unit measuring in Binning mode: the histogram's bars, the chosen
// target's distance as the result, a click on another bar, and the trend
// window filling with the results.
#include "e2e/e2efixture.h"

#include "ui/display/histogramview.h"
#include "ui/display/trendwindow.h"

#include <QDir>

namespace dxu::test {
namespace {

TEST_F(EndToEnd, BinningShowsBarsAndTheNearestTargetAndTheTrendFollows)
{
    // Three targets (5, 9 and 20 m) in bins of 0.104 m, with one empty entry;
    // the program adds the bin size's offset (0.104 m) to every distance.
    startSim({QStringLiteral("--mode"), QStringLiteral("2"), QStringLiteral("--targets"), QStringLiteral("5,9,20"),
              QStringLiteral("--hits"), QStringLiteral("100,40,400"), QStringLiteral("--empty-bins"),
              QStringLiteral("1"), QStringLiteral("--distance-noise"), QStringLiteral("0")});
    connectAndRead();
    ASSERT_TRUE(top().isVisible("imgBinning"));
    click("Trend1");
    auto* trend = top().findChild<TfrmTrend*>();
    ASSERT_NE(trend, nullptr);
    EXPECT_TRUE(trend->isVisible());
    top().activateWindow();

    click("pbContinuous");
    // FA 0: the nearest target is the result.
    ASSERT_TRUE(waitFor([&] { return text("lblResult") == "5.096 M"; }, 5000)) << text("lblResult").toStdString();
    EXPECT_EQ(text("lblTargetCount"), "4");
    EXPECT_TRUE(top().isVisible("lblTargetCount"));
    const DxuState& s = st();
    EXPECT_GT(s.targetList[0].bar, 0);
    EXPECT_EQ(s.targetList[1].bar, 0) << "the empty entry";
    EXPECT_EQ(s.targetList[3].bar, top().findChild<HistogramView*>()->height() - 40) << "the most hits: full height";

    // A click on the bar at 20 m shows its distance until the next reply.
    auto* img = top().findChild<HistogramView*>();
    const auto& bars = img->histogram().picture().lines;
    ASSERT_EQ(bars.size(), 3u + 3u);
    const auto far = bars.back();
    QTest::mouseClick(img, Qt::LeftButton, {}, QPoint(far.x1, far.y2 + 2));
    EXPECT_EQ(text("lblResult"), "20.072 M");

    // The trend has the results of the nearest target, a steady distance.
    ASSERT_TRUE(waitFor([&] { return trend->stats().distance().values >= 5; }, 5000));
    trend->refresh();
    const auto d = trend->stats().distance();
    EXPECT_NEAR(d.mean, 5.096, 1e-3);
    EXPECT_NEAR(d.stdDev, 0.0, 1e-6);
    EXPECT_GT(d.rate, 1.0);

    // Screenshots to look at.
    const QString dir = QDir::tempPath();
    top().grab().save(dir + QStringLiteral("/dxu-binning.png"));
    trend->grab().save(dir + QStringLiteral("/dxu-trend.png"));

    click("pbContinuous");
}

} // namespace
} // namespace dxu::test
