#include "ui/display/trendwindow.h"

#include "ui/display/plotview.h"
#include "services/clock.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace dxu {
namespace {

constexpr double WindowSeconds[] = {10.0, 60.0, 600.0};
constexpr const char* StatNames[] = {"Results", "Minimum", "Maximum", "Mean", "Std. dev.", "Rate"};
constexpr int RefreshMs = 200;

} // namespace

void TfrmTrend::keyPressEvent(QKeyEvent* event)
{
    if (!closeOnEscape(this, event))
        QWidget::keyPressEvent(event);
}

void TfrmTrend::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        placement_.beforeShow(this);
    QWidget::showEvent(event);
}

TfrmTrend::TfrmTrend(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmTrend"));
    setWindowTitle(QStringLiteral("Trend"));

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Time window:"), this));
    window_ = new QComboBox(this);
    window_->setObjectName(QStringLiteral("cmbTrendWindow"));
    window_->addItems({QStringLiteral("10 s"), QStringLiteral("1 min"), QStringLiteral("10 min")});
    top->addWidget(window_);
    top->addStretch();
    pause_ = new QPushButton(QStringLiteral("&Pause"), this);
    pause_->setObjectName(QStringLiteral("pbTrendPause"));
    pause_->setCheckable(true);
    auto* clear = new QPushButton(QStringLiteral("&Clear"), this);
    clear->setObjectName(QStringLiteral("pbTrendClear"));
    top->addWidget(pause_);
    top->addWidget(clear);

    distancePlot_ = new PlotView(this);
    distancePlot_->setObjectName(QStringLiteral("plotTrendDistance"));
    distancePlot_->addSeries(QStringLiteral("Distance"), QColor(0, 70, 170));
    intensityPlot_ = new PlotView(this);
    intensityPlot_->setObjectName(QStringLiteral("plotTrendIntensity"));
    intensityPlot_->addSeries(QStringLiteral("Intensity"), QColor(200, 90, 0));
    intensityPlot_->setVisible(false);
    for (PlotView* p : {distancePlot_, intensityPlot_}) {
        // Time since the trend started, as minutes and seconds.
        p->setXLabelFormat([](double x) {
            if (x < 0)
                return QString();
            const auto whole = static_cast<long long>(std::floor(x + 1e-6));
            return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
        });
        p->setMinimumSize(420, 160);
    }
    distancePlot_->setAxisTitles(QStringLiteral("time (min:s)"), QStringLiteral("Distance"));
    intensityPlot_->setAxisTitles(QStringLiteral("time (min:s)"), QStringLiteral("Intensity"));
    auto* plots = new QVBoxLayout;
    plots->addWidget(distancePlot_, 3);
    plots->addWidget(intensityPlot_, 2);

    auto* box = new QGroupBox(QStringLiteral("In the window"), this);
    auto* grid = new QGridLayout(box);
    grid->addWidget(new QLabel(QStringLiteral("<b>Distance</b>"), box), 0, 1, Qt::AlignRight);
    grid->addWidget(new QLabel(QStringLiteral("<b>Intensity</b>"), box), 0, 2, Qt::AlignRight);
    for (int i = 0; i < 6; ++i) {
        grid->addWidget(new QLabel(QString::fromLatin1(StatNames[i]), box), i + 1, 0);
        for (int c = 0; c < 2; ++c) {
            auto* l = new QLabel(QStringLiteral("-"), box);
            l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            l->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000.0000 M")));
            l->setTextInteractionFlags(Qt::TextSelectableByMouse);
            l->setObjectName(QStringLiteral("lblTrend%1%2")
                                 .arg(c == 0 ? QStringLiteral("Distance") : QStringLiteral("Intensity"))
                                 .arg(i));
            grid->addWidget(l, i + 1, c + 1);
            (c == 0 ? distanceStats_ : intensityStats_)[i] = l;
        }
    }
    grid->setRowStretch(7, 1);
    auto* hint = new QLabel(QStringLiteral("Wheel: zoom (Ctrl: time only, Shift: values only)\n"
                                           "Drag: move   Double click: follow again"),
                            box);
    hint->setStyleSheet(QStringLiteral("color: gray"));
    grid->addWidget(hint, 8, 0, 1, 3);

    auto* body = new QHBoxLayout;
    body->addLayout(plots, 1);
    body->addWidget(box);
    auto* all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addLayout(body, 1);

    connect(window_, &QComboBox::currentIndexChanged, this, &TfrmTrend::cmbTrendWindowChange);
    connect(pause_, &QPushButton::clicked, this, &TfrmTrend::pbTrendPauseClick);
    connect(clear, &QPushButton::clicked, this, &TfrmTrend::pbTrendClearClick);
    refresh_ = new QTimer(this);
    refresh_->setInterval(RefreshMs);
    connect(refresh_, &QTimer::timeout, this, &TfrmTrend::refresh);
    refresh_->start();
    refresh();
}

double TfrmTrend::now()
{
    const uint32_t tick = tickCount();
    if (!started_) {
        started_ = true;
        lastTick_ = tick;
    }
    seconds_ += ticksSince(lastTick_, tick) / 1000.0;
    lastTick_ = tick;
    return seconds_;
}

void TfrmTrend::addResult(const UnitRecord& unit, bool noDistance)
{
    if (paused_)
        return;
    TrendStats::Sample s{now(), std::nullopt, std::nullopt};
    const int mode = unit.measureMode;
    if (mode == 1 || mode == 4) {
        if (!noDistance && unit.displayMode != 3)
            s.distance = unit.lastDistance;
        if (!noDistance && unit.displayMode != 1)
            s.intensity = unit.lastIntensity;
    } else if (mode == 2) {
        if (!noDistance)
            s.distance = unit.lastDistance;
    } else {
        return; // detection gives no distance
    }
    metres_ = unit.units != 0;
    stats_.add(s);
    pending_.push_back(s);
}

void TfrmTrend::refresh()
{
    if (paused_)
        return;
    const double t = now();
    stats_.trim(t);
    const double from = t - stats_.window();
    bool anyIntensity = false;
    for (const TrendStats::Sample& s : pending_) {
        if (s.distance)
            distancePlot_->append(0, s.time, *s.distance);
        if (s.intensity)
            intensityPlot_->append(0, s.time, *s.intensity);
    }
    pending_.clear();
    // Until the window has filled, its time axis runs from the start to the
    // window's length: labelled times only, none before the start.
    for (PlotView* p : {distancePlot_, intensityPlot_}) {
        p->removeBefore(from);
        p->setXRange(std::max(0.0, from), std::max(t, stats_.window()));
    }
    const TrendStats::Summary d = stats_.distance();
    const TrendStats::Summary i = stats_.intensity();
    anyIntensity = i.values > 0;
    if (intensityPlot_->isVisibleTo(this) != anyIntensity)
        intensityPlot_->setVisible(anyIntensity);
    showSummary(d, distanceStats_, true);
    showSummary(i, intensityStats_, false);
}

void TfrmTrend::showSummary(const TrendStats::Summary& s, QLabel* const* column, bool distance)
{
    const QString unit = distance ? (metres_ ? QStringLiteral(" M") : QStringLiteral(" F")) : QString();
    const int decimals = distance ? (metres_ ? 3 : 2) : 1;
    auto number = [&](double v, int extra) { return QString::number(v, 'f', decimals + extra) + unit; };
    column[0]->setText(QString::number(static_cast<qulonglong>(s.values)));
    const bool any = s.values > 0;
    column[1]->setText(any ? number(s.min, 0) : QStringLiteral("-"));
    column[2]->setText(any ? number(s.max, 0) : QStringLiteral("-"));
    column[3]->setText(any ? number(s.mean, 1) : QStringLiteral("-"));
    column[4]->setText(s.values >= 2 ? number(s.stdDev, 1) : QStringLiteral("-"));
    column[5]->setText(any && s.rate > 0 ? QString::number(s.rate, 'f', 1) + QStringLiteral(" Hz") : QStringLiteral("-"));
}

void TfrmTrend::cmbTrendWindowChange()
{
    const int i = std::clamp(window_->currentIndex(), 0, 2);
    stats_.setWindow(WindowSeconds[i]);
    // A longer window shows older results only as they come.
    refresh();
}

void TfrmTrend::pbTrendPauseClick()
{
    paused_ = pause_->isChecked();
    pause_->setText(paused_ ? QStringLiteral("&Resume") : QStringLiteral("&Pause"));
    if (!paused_) {
        // Time goes on while paused; what came meanwhile was not recorded.
        now();
        refresh();
    }
}

void TfrmTrend::pbTrendClearClick()
{
    stats_.clear();
    pending_.clear();
    distancePlot_->clearPoints();
    intensityPlot_->clearPoints();
    distancePlot_->resetView();
    intensityPlot_->resetView();
    refresh();
}

} // namespace dxu
