// The binning histogram's model: bars, axis, labels, the target choice and
// clicks; its view and trend statistics.
#include "display/histogram.h"
#include "ui/display/histogramview.h"
#include "display/trendstats.h"

#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using namespace dxu;

namespace {

// Six pixels a character, thirteen a line.
int width6(std::string_view t) { return 6 * static_cast<int>(t.size()); }

struct Target {
    float distance;
    int value;
};

DxuState binningState(std::initializer_list<Target> targets, int announced = -1)
{
    DxuState st;
    UnitRecord& r = st.current();
    r.measureMode = 2;
    r.units = 1;
    r.binSize = 0;
    int i = 0;
    for (const Target& t : targets) {
        st.targetList[static_cast<std::size_t>(i)].distance = t.distance;
        st.targetList[static_cast<std::size_t>(i)].value = t.value;
        ++i;
    }
    st.targetCount = announced >= 0 ? announced : i;
    // As the parser leaves them: the nearest and the farthest non-empty target.
    int lo = -1, hi = -1;
    for (int j = 0; j < std::min(i, 10); ++j) {
        const float d = st.targetList[static_cast<std::size_t>(j)].distance;
        if (d == 0)
            continue;
        if (lo < 0 || d < st.targetList[static_cast<std::size_t>(lo)].distance)
            lo = j;
        if (hi < 0 || d > st.targetList[static_cast<std::size_t>(hi)].distance)
            hi = j;
    }
    st.targetMinIndex = std::max(lo, 0);
    st.targetMaxIndex = std::max(hi, 0);
    return st;
}

std::vector<std::string> texts(const Histogram& h)
{
    std::vector<std::string> out;
    for (const auto& t : h.picture().texts)
        out.push_back(t.text);
    return out;
}

} // namespace

TEST(Histogram, BarHeightsScaleToTheMostHitsAndNeverDivideByZero)
{
    struct Case {
        const char* what;
        std::vector<Target> targets;
        int announced, height;
        std::vector<int> bars;
    } cases[] = {
        {"one target is full height", {{5.0f, 17}}, -1, 89, {49}},
        {"10 and 40 on 89 pixels", {{5.0f, 10}, {9.0f, 40}}, -1, 89, {12, 49}},
        {"the largest need not be first", {{5.0f, 40}, {9.0f, 10}, {11.0f, 20}}, -1, 89, {49, 12, 24}},
        {"every value 0", {{5.0f, 0}, {9.0f, 0}}, -1, 89, {0, 0}},
        {"more than ten announced", {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 7}, {8, 8}, {9, 9}, {10, 10}},
         14, 89, {4, 9, 14, 19, 24, 29, 34, 39, 44, 49}},
        {"huge counts do not overflow", {{5.0f, 2000000000}, {9.0f, 1000000000}}, -1, 89, {49, 24}},
        {"taller image", {{5.0f, 10}, {9.0f, 40}}, -1, 111, {17, 71}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DxuState st = binningState({}, 0);
        for (std::size_t i = 0; i < c.targets.size(); ++i)
            st.targetList[i] = {c.targets[i].distance, c.targets[i].value, 0};
        st.targetCount = c.announced >= 0 ? c.announced : static_cast<int>(c.targets.size());
        Histogram h;
        EXPECT_TRUE(h.draw(st, 341, c.height, width6, 13));
        for (std::size_t i = 0; i < c.bars.size(); ++i)
            EXPECT_EQ(st.targetList[i].bar, c.bars[i]) << "entry " << i;
    }
}

TEST(Histogram, AxisLabelsSpanAndBarPositions)
{
    struct Case {
        const char* what;
        int units, binSize;
        float offset;
        bool comma;
        std::vector<std::string> texts; // axis labels, unit letter, bar labels
    } cases[] = {
        {"offset 5.0, metres, index 0", 1, 0, 5.0f, false, {"5.0", "18.0", "M", "7.0", "15.0"}},
        {"decimal comma", 1, 0, 5.0f, true, {"5,0", "18,0", "M", "7,0", "15,0"}},
        // Bars near the axis's start: labels that would cover it are left out.
        {"feet, index 2", 0, 2, 0.0f, false, {"0.0", "168.0", "F", "15.0"}},
        {"index 8", 1, 8, 0.0f, false, {"0.0", "3328.0", "M"}},
        {"an unknown bin size: no far end, no bars", 1, 9, 0.0f, false, {"0.0", "M"}},
        {"a negative index likewise", 1, -1, 0.0f, false, {"0.0", "M"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DxuState st = binningState({{7.0f, 10}, {0.0f, 30}, {15.0f, 40}});
        st.current().units = c.units;
        st.current().binSize = c.binSize;
        st.current().offsetDistance = c.offset;
        st.decimalComma = c.comma;
        Histogram h;
        h.draw(st, 341, 89, width6, 13);
        EXPECT_EQ(texts(h), c.texts);
    }

    // The pixels of offset 5.0, metres, index 0: 13 m over 311 pixels.
    DxuState st = binningState({{7.0f, 10}, {0.0f, 30}, {15.0f, 40}});
    st.current().offsetDistance = 5.0f;
    Histogram h;
    h.draw(st, 341, 89, width6, 13);
    const auto& lines = h.picture().lines;
    using L = HistogramPicture::Line;
    ASSERT_EQ(lines.size(), 5u) << "axis, two ticks, two bars (the target at 0 is empty)";
    EXPECT_EQ(lines[0], (L{15, 49, 326, 49}));
    EXPECT_EQ(lines[1], (L{15, 44, 15, 54}));
    EXPECT_EQ(lines[2], (L{326, 44, 326, 54}));
    EXPECT_EQ(lines[3], (L{62, 54, 62, 37}));  // (7 - 5) x 311 / 13 = 47.8 -> 47, + 15; bar 12
    EXPECT_EQ(lines[4], (L{254, 54, 254, 0})); // (15 - 5) x 311 / 13 = 239.2 -> 239; bar 49
    const auto& t = h.picture().texts;
    EXPECT_EQ(t[0].x, 15 - 9);
    EXPECT_EQ(t[0].y, 55);
    EXPECT_EQ(t[1].x, 326 - 12);
    EXPECT_EQ(t[3].y, 56) << "entry 0: first row";
    EXPECT_EQ(t[4].y, 49 + 7) << "entry 2 is even: first row as well";

    // Odd entries take the second row; a distance equal to the bin offset is empty.
    DxuState odd = binningState({{7.0f, 10}, {9.0f, 30}, {0.013f, 40}});
    odd.binOffset = 0.013f;
    h.draw(odd, 341, 89, width6, 13);
    ASSERT_EQ(h.picture().texts.size(), 5u);
    EXPECT_EQ(h.picture().texts[4].y, 49 + 13 + 9);

    // A label that would run into one already there is left out.
    DxuState close = binningState({{7.0f, 10}, {7.2f, 30}, {7.3f, 40}});
    h.draw(close, 341, 89, width6, 13);
    EXPECT_EQ(texts(h), (std::vector<std::string>{"0.0", "13.0", "M", "7.0", "7.2"}));
}

TEST(Histogram, TargetSelectorAndClicksChooseTheResult)
{
    // Entries: 9.0 (20 hits), empty, 4.0 (50), 12.0 (10).
    const std::initializer_list<Target> scene = {{9.0f, 20}, {0.0f, 0}, {4.0f, 50}, {12.0f, 10}};
    struct Case {
        int fa, before, chosen;
    } cases[] = {
        {0, 0, 2}, // First: the nearest
        {1, 0, 3}, // Last: the farthest
        {3, 0, 3}, // All: the farthest
        {2, 0, 2}, // Most: the most hits
        {7, 1, 1}, // unknown selector: the choice stays (an empty entry: distance 0)
        {7, 9, 3}, // ... but never past what was received
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "FA " << c.fa << " before " << c.before);
        DxuState st = binningState(scene);
        st.current().targetSelector = c.fa;
        st.selectedTarget = c.before;
        Histogram h;
        EXPECT_TRUE(h.draw(st, 341, 89, width6, 13));
        EXPECT_EQ(st.selectedTarget, c.chosen);
        EXPECT_FLOAT_EQ(st.current().lastDistance, st.targetList[static_cast<std::size_t>(c.chosen)].distance);
    }

    // The true nearest and farthest: an empty entry (at the bin offset) is no
    // target, and 5.2 is nearer than 5.7 although both truncate to 5.
    for (const auto& [fa, chosen] : {std::pair{0, 2}, std::pair{1, 0}}) {
        DxuState st = binningState({{5.7f, 10}, {0.104f, 0}, {5.2f, 10}});
        st.binOffset = 0.104f;
        st.targetMinIndex = 1; // as the parser leaves them
        st.targetMaxIndex = 0;
        st.current().targetSelector = fa;
        Histogram h;
        h.draw(st, 341, 89, width6, 13);
        EXPECT_EQ(st.selectedTarget, chosen) << "FA " << fa;
    }

    // Clicks: the 9-pixel rectangle of a bar, edges included, until the next reply.
    DxuState st = binningState(scene);
    Histogram h;
    h.draw(st, 341, 89, width6, 13);
    const int x12 = 15 + static_cast<int>(12.0 * 311 / 13); // the bar at 12.0, 9 pixels high
    const int top12 = 49 - st.targetList[3].bar;
    struct Click {
        int x, y;
        bool selects;
    } clicks[] = {
        {x12 + 5, 45, false}, {x12 - 5, 45, false}, {x12, top12 - 1, false}, {x12, 50, false},
        {x12 + 4, 49, true},  {x12 - 4, top12, true}, {x12, 45, true},
    };
    for (const auto& k : clicks) {
        SCOPED_TRACE(testing::Message() << "click " << k.x << "," << k.y);
        st.selectedTarget = 2;
        st.current().lastDistance = 4.0f;
        EXPECT_EQ(h.click(st, k.x, k.y), k.selects);
        EXPECT_EQ(st.selectedTarget, k.selects ? 3 : 2);
        EXPECT_FLOAT_EQ(st.current().lastDistance, k.selects ? 12.0f : 4.0f);
    }
    // Only in Binning mode.
    st.current().measureMode = 1;
    EXPECT_FALSE(h.click(st, x12, 45));
    // The next reply chooses by FA again.
    st.current().measureMode = 2;
    h.click(st, x12, 45);
    h.draw(st, 341, 89, width6, 13);
    EXPECT_EQ(st.selectedTarget, 2);

    // No targets: nothing chosen, nothing clickable.
    DxuState none = binningState({}, 0);
    none.current().lastDistance = 3.0f;
    EXPECT_FALSE(h.draw(none, 341, 89, width6, 13));
    EXPECT_FALSE(h.click(none, x12, 45));
    EXPECT_FLOAT_EQ(none.current().lastDistance, 3.0f);
}

TEST(Histogram, ViewShowsTheChosenDistanceAndTakesClicks)
{
    DxuState st = binningState({{4.0f, 50}, {12.0f, 10}});
    int shown = 0;
    HistogramView view(st, [&] { ++shown; });
    view.setDpi(120);
    EXPECT_EQ(view.size(), QSize(426, 111));
    view.setDpi(96);
    EXPECT_EQ(view.size(), QSize(341, 89));
    view.drawHistogram();
    EXPECT_EQ(shown, 1);
    EXPECT_FLOAT_EQ(st.current().lastDistance, 4.0f);
    const auto& bar = view.histogram().picture().lines.back();
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(bar.x1, 45));
    EXPECT_EQ(shown, 2);
    EXPECT_FLOAT_EQ(st.current().lastDistance, 12.0f);
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(shown, 2);
}

TEST(TrendStats, SummaryOfTheResultsInTheWindow)
{
    using S = TrendStats::Sample;
    struct Case {
        const char* what;
        double window;
        std::vector<S> samples;
        std::size_t results, values;
        double min, max, mean, stdDev, rate;
    } cases[] = {
        {"empty", 10, {}, 0, 0, 0, 0, 0, 0, 0},
        {"one", 10, {{1.0, 5.0f, {}}}, 1, 1, 5, 5, 5, 0, 0},
        {"known series 2,4,4,4,5,5,7,9 at 10 Hz", 10,
         {{0.0, 2.f, {}}, {0.1, 4.f, {}}, {0.2, 4.f, {}}, {0.3, 4.f, {}}, {0.4, 5.f, {}}, {0.5, 5.f, {}},
          {0.6, 7.f, {}}, {0.7, 9.f, {}}},
         8, 8, 2, 9, 5, std::sqrt(32.0 / 7.0), 10},
        {"results without a distance count for the rate only", 10,
         {{0.0, 3.f, {}}, {0.5, {}, {}}, {1.0, 5.f, {}}}, 3, 2, 3, 5, 4, std::sqrt(2.0), 2},
        {"older than the window are dropped", 1,
         {{0.0, 100.f, {}}, {5.0, 1.f, {}}, {5.5, 3.f, {}}, {6.0, 2.f, {}}}, 3, 3, 1, 3, 2, 1, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TrendStats t(c.window);
        for (const S& s : c.samples)
            t.add(s);
        const auto d = t.distance();
        EXPECT_EQ(d.results, c.results);
        EXPECT_EQ(d.values, c.values);
        EXPECT_DOUBLE_EQ(d.min, c.min);
        EXPECT_DOUBLE_EQ(d.max, c.max);
        EXPECT_DOUBLE_EQ(d.mean, c.mean);
        EXPECT_NEAR(d.stdDev, c.stdDev, 1e-12);
        EXPECT_NEAR(d.rate, c.rate, 1e-9);
        EXPECT_EQ(t.intensity().values, 0u);
    }

    // A millimetre spread on a long distance keeps its digits; a spike shows at once.
    TrendStats t(600);
    for (int i = 0; i < 100000; ++i)
        t.add({i * 0.001, (i % 2 ? 1234.567f : 1234.569f), 100.0f});
    EXPECT_NEAR(t.distance().stdDev, 0.001, 1e-4);
    EXPECT_NEAR(t.intensity().stdDev, 0.0, 1e-12);
    t.add({100.0, 1240.0f, {}});
    EXPECT_GT(t.distance().stdDev, 0.015);
    EXPECT_FLOAT_EQ(static_cast<float>(t.distance().max), 1240.0f);
    t.setWindow(0.0005);
    EXPECT_EQ(t.distance().results, 1u);
}
