#pragma once
// The results of the last few seconds or minutes, for the trend window:
// every result with its time, and the minimum, maximum, mean, standard
// deviation and rate of those inside the chosen time window. No widgets.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

namespace dxu {

class TrendStats {
public:
    struct Sample {
        double time;                    // seconds
        std::optional<float> distance;  // none: no target, or the display mode gives none
        std::optional<float> intensity; // none where the display mode gives none
    };
    struct Summary {
        std::size_t results = 0;  // every result in the window, with or without a value
        std::size_t values = 0;   // the results that carry the value
        double min = 0, max = 0, mean = 0;
        double stdDev = 0;        // sample standard deviation (n - 1); 0 below two values
        double rate = 0;          // results per second; 0 with fewer than two results
    };

    explicit TrendStats(double windowSeconds = 10.0) : window_(windowSeconds) {}

    // The window length in seconds; older results are dropped on the next add or trim.
    void setWindow(double seconds);
    double window() const { return window_; }
    // A result at time (seconds; times are expected not to go back).
    void add(const Sample& sample);
    // Drops what has left the window by now.
    void trim(double now);
    void clear() { samples_.clear(); }

    const std::deque<Sample>& samples() const { return samples_; }
    Summary distance() const { return summary(&Sample::distance); }
    Summary intensity() const { return summary(&Sample::intensity); }

private:
    Summary summary(std::optional<float> Sample::*value) const;

    double window_;
    std::deque<Sample> samples_;
};

} // namespace dxu
