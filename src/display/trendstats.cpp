#include "display/trendstats.h"

#include <algorithm>
#include <cmath>

namespace dxu {

void TrendStats::setWindow(double seconds)
{
    window_ = seconds > 0 ? seconds : window_;
    if (!samples_.empty())
        trim(samples_.back().time);
}

void TrendStats::add(const Sample& sample)
{
    samples_.push_back(sample);
    trim(sample.time);
}

void TrendStats::trim(double now)
{
    const double from = now - window_;
    while (!samples_.empty() && samples_.front().time < from)
        samples_.pop_front();
}

TrendStats::Summary TrendStats::summary(std::optional<float> Sample::*value) const
{
    Summary s;
    s.results = samples_.size();
    if (s.results >= 2) {
        const double span = samples_.back().time - samples_.front().time;
        if (span > 0)
            s.rate = static_cast<double>(s.results - 1) / span;
    }
    // Two passes: the mean first, then the spread around it, so that a small
    // spread on a large distance (12.345 m +/- 1 mm) keeps its digits.
    double sum = 0;
    for (const Sample& x : samples_) {
        if (!(x.*value))
            continue;
        const double v = *(x.*value);
        if (s.values == 0)
            s.min = s.max = v;
        s.min = std::min(s.min, v);
        s.max = std::max(s.max, v);
        sum += v;
        ++s.values;
    }
    if (s.values == 0)
        return s;
    s.mean = sum / static_cast<double>(s.values);
    double squares = 0, residual = 0;
    for (const Sample& x : samples_) {
        if (!(x.*value))
            continue;
        const double d = *(x.*value) - s.mean;
        squares += d * d;
        residual += d;
    }
    const auto n = static_cast<double>(s.values);
    // The residual term corrects the rounding left in the mean.
    if (s.values >= 2)
        s.stdDev = std::sqrt(std::max(0.0, (squares - residual * residual / n) / (n - 1)));
    return s;
}

} // namespace dxu
