#pragma once
// The live trend: the distance (and the intensity, where the display mode
// gives one) of the results of the last 10 s, 1 min or 10 min, with their
// minimum, maximum, mean, standard deviation and rate beside the plot. A
// window of its own; pausing freezes it, clearing starts afresh.
#include "display/trendstats.h"
#include "protocol/unitrecord.h"
#include "ui/services/formplacement.h"

#include <QWidget>

#include <cstdint>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

namespace dxu {

class PlotView;

class TfrmTrend : public QWidget {
    Q_OBJECT
public:
    explicit TfrmTrend(QWidget* parent = nullptr);

    // One result of the unit on screen, as the display shows it. Ignored while paused.
    void addResult(const UnitRecord& unit, bool noDistance);

    const TrendStats& stats() const { return stats_; }
    bool paused() const { return paused_; }
    // Shows what has arrived since the last refresh (run by a timer).
    void refresh();

public slots:
    void cmbTrendWindowChange();
    void pbTrendPauseClick();
    void pbTrendClearClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    FormPlacement placement_{QSize(820, 460), true};
    // Seconds since the trend started, from the program's tick count.
    double now();
    void showSummary(const TrendStats::Summary& s, QLabel* const* column, bool distance);

    TrendStats stats_;
    std::vector<TrendStats::Sample> pending_;
    bool paused_ = false;
    bool metres_ = true;
    uint32_t lastTick_ = 0;
    double seconds_ = 0;
    bool started_ = false;

    QComboBox* window_ = nullptr;
    QPushButton* pause_ = nullptr;
    PlotView* distancePlot_ = nullptr;
    PlotView* intensityPlot_ = nullptr;
    QLabel* distanceStats_[6] = {};
    QLabel* intensityStats_[6] = {};
    QTimer* refresh_ = nullptr;
};

} // namespace dxu
