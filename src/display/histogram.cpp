#include "display/histogram.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace dxu {
namespace {

constexpr int SlotCount = static_cast<int>(std::tuple_size_v<decltype(DxuState::targetList)>);

// "%0.1f", with the first '.' as ',' for a decimal-comma locale.
std::string oneDecimal(double v, bool comma)
{
    char text[48];
    std::snprintf(text, sizeof text, "%0.1f", v);
    std::string s(text);
    if (comma)
        if (auto dot = s.find('.'); dot != std::string::npos)
            s[dot] = ',';
    return s;
}

// Truncation toward zero, held inside what the painter can take.
int pixel(double v)
{
    if (!std::isfinite(v))
        return v > 0 ? 1000000 : -1000000;
    return static_cast<int>(std::clamp(v, -1e6, 1e6));
}

// The number of entries of the list that hold the last reply.
int storedTargets(const DxuState& st) { return std::clamp(st.targetCount, 0, SlotCount); }

TargetEntry& entry(DxuState& st, int i) { return st.targetList[static_cast<std::size_t>(std::clamp(i, 0, SlotCount - 1))]; }

} // namespace

int Histogram::axisSpan(int binSize, bool metres)
{
    if (binSize < 0 || binSize > 8)
        return 0;
    return (metres ? 13 : 42) << binSize;
}

bool Histogram::draw(DxuState& st, int width, int height, const TextWidth& textWidth, int textHeight)
{
    UnitRecord& rec = st.current();
    const bool comma = st.decimalComma != 0;
    const int n = storedTargets(st);
    picture_ = {};
    rects_ = {};

    const int left = 15, right = width - 15, baseline = height - 40;
    const int plot = std::max(baseline, 0);

    // Bar heights against the largest hit count. Counts of 0 (or less) give
    // no bar instead of a division by zero.
    if (st.targetCount >= 2) {
        int32_t most = 0;
        for (int j = 0; j < n; ++j)
            most = std::max(most, entry(st, j).value);
        for (int j = 0; j < n; ++j) {
            const int64_t v = std::max<int32_t>(entry(st, j).value, 0);
            entry(st, j).bar = most > 0 ? static_cast<int32_t>(v * plot / most) : 0;
        }
    } else {
        entry(st, 0).bar = plot;
    }

    auto centred = [&](const std::string& text, int x) { return x - textWidth(text) / 2; };
    // A label that would run into one already placed is left out.
    auto place = [&](const std::string& text, int x, int y) {
        const int w = textWidth(text);
        for (const HistogramPicture::Text& t : picture_.texts)
            if (x < t.x + textWidth(t.text) + 2 && t.x < x + w + 2 && y < t.y + textHeight && t.y < y + textHeight)
                return;
        picture_.texts.push_back({text, x, y});
    };

    picture_.lines.push_back({left, baseline, right, baseline});
    const int span = axisSpan(rec.binSize, rec.units != 0);
    const double scale = span != 0 ? static_cast<double>(right - left) / span : 0.0;
    const int tick = pixel(span * scale);
    picture_.lines.push_back({left, baseline - 5, left, baseline + 5});
    const std::string low = oneDecimal(rec.offsetDistance, comma);
    picture_.texts.push_back({low, centred(low, left), baseline + 6});
    if (span != 0) {
        // Without a span (an unknown bin size) there is no far end to mark.
        picture_.lines.push_back({left + tick, baseline - 5, left + tick, baseline + 5});
        const std::string high = oneDecimal(span + static_cast<double>(rec.offsetDistance), comma);
        place(high, centred(high, left + tick), baseline + 6);
    }
    const std::string unit = rec.units ? "M" : "F";
    // The letter stays inside the image whatever the font.
    picture_.texts.push_back({unit, std::min(left + right - 8, width - textWidth(unit) - 1), baseline - 8});

    lineOf_.fill(-1);
    if (st.targetCount > 0 && span != 0) {
        for (int j = 0; j < n; ++j) {
            const TargetEntry& e = entry(st, j);
            if (e.distance == 0.0f || e.distance == st.binOffset)
                continue;
            const int x = pixel((static_cast<double>(e.distance) - rec.offsetDistance) * scale) + left;
            const int top = baseline - e.bar;
            lineOf_[static_cast<std::size_t>(j)] = static_cast<int>(picture_.lines.size());
            picture_.lines.push_back({x, baseline + 5, x, top});
            rects_[static_cast<std::size_t>(j)] = {x - 4, top, x + 4, baseline};
            const std::string label = oneDecimal(e.distance, comma);
            place(label, centred(label, x), j % 2 == 0 ? baseline + 7 : baseline + textHeight + 9);
        }
    }
    if (st.targetCount <= 0)
        return false;

    // The nearest, the farthest and the most hit of the targets present. The
    // indices the parser keeps compare whole metres or feet and count an
    // empty entry (stored as the bin offset) as a target, so that "First"
    // could show the offset of an empty bin, or 5.7 before 5.2; they are only
    // used when no entry holds a target at all.
    int nearest = -1, farthest = -1, most = -1;
    for (int j = 0; j < n; ++j) {
        const TargetEntry& e = entry(st, j);
        if (e.distance == 0.0f || e.distance == st.binOffset)
            continue;
        if (nearest < 0 || e.distance < entry(st, nearest).distance)
            nearest = j;
        if (farthest < 0 || e.distance > entry(st, farthest).distance)
            farthest = j;
        if (most < 0 || e.value > entry(st, most).value)
            most = j;
    }
    switch (rec.targetSelector) {
    case 0:
        st.selectedTarget = nearest >= 0 ? nearest : st.targetMinIndex;
        break;
    case 1:
    case 3:
        st.selectedTarget = farthest >= 0 ? farthest : st.targetMaxIndex;
        break;
    case 2:
        // "Most": the target with the most hits; the first of equals.
        st.selectedTarget = most >= 0 ? most : 0;
        break;
    default:
        break;
    }
    st.selectedTarget = std::clamp(st.selectedTarget, 0, std::max(n - 1, 0));
    rec.lastDistance = entry(st, st.selectedTarget).distance;
    picture_.selectedLine = lineOf_[static_cast<std::size_t>(st.selectedTarget)];
    return true;
}

bool Histogram::click(DxuState& st, int x, int y)
{
    if (st.current().measureMode != 2)
        return false;
    const int n = storedTargets(st);
    for (int j = 0; j < n; ++j) {
        if (rects_[static_cast<std::size_t>(j)].contains(x, y)) {
            st.selectedTarget = j;
            st.current().lastDistance = entry(st, j).distance;
            picture_.selectedLine = lineOf_[static_cast<std::size_t>(j)];
            return true;
        }
    }
    return false;
}

} // namespace dxu
