#pragma once
// The binning histogram: bar heights, the distance axis with its span and
// labels, the click rectangles of the bars and the choice of the target whose
// distance is the result. A model without widgets: it computes what to draw
// (lines and texts in image pixels) and leaves the painting to the view.
#include "protocol/dxustate.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace dxu {

struct HistogramPicture {
    struct Line {
        int x1, y1, x2, y2;
        bool operator==(const Line&) const = default;
    };
    struct Text {
        std::string text;
        int x, y; // top left
    };
    std::vector<Line> lines; // the axis, its two ticks, then one line per bar
    std::vector<Text> texts; // the axis labels, the unit letter, then the bar labels
    int selectedLine = -1;   // index in lines of the chosen target's bar, -1 for none
};

class Histogram {
public:
    // Width in pixels of a text in the font the picture is drawn in.
    using TextWidth = std::function<int(std::string_view)>;

    // The axis span for a bin-size index: 13 m x 2^i or 42 ft x 2^i for
    // i = 0..8; 0 for any other index.
    static int axisSpan(int binSize, bool metres);

    // Lays out the last binning reply on a width x height image: stores each
    // target's bar height, then chooses the target by the unit's selector (FA)
    // and puts its distance into the current record. Returns true when a
    // target was chosen (the result is then to be shown).
    bool draw(DxuState& st, int width, int height, const TextWidth& textWidth, int textHeight);
    const HistogramPicture& picture() const { return picture_; }

    // A click at (x, y) in Binning mode: the bar whose rectangle holds the
    // point (edges included) becomes the chosen target until the next reply.
    // Returns true when one did.
    bool click(DxuState& st, int x, int y);

private:
    struct Rect {
        int left = 0, top = 0, right = -1, bottom = -1; // empty by default
        bool contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
    };
    HistogramPicture picture_;
    static constexpr std::size_t Slots = std::tuple_size_v<decltype(DxuState::targetList)>;
    std::array<Rect, Slots> rects_{};
    std::array<int, Slots> lineOf_{}; // each entry's bar in picture_.lines, -1 for none
};

} // namespace dxu
