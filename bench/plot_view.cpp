// The plot view under a fast live stream.
//
//   bench_plot_view [seconds, default 60] [points per second, default 2000] [window seconds, default 600]
//
// Feeds the plot a distance series at the given rate in 100 ms batches, keeps
// only the last window of points, and paints it ten times a second into an
// 800 x 300 image, as a live window repaints. Prints the CPU time per second of
// stream (the share of one core the plot would take) and the longest paint.
// A driver, not a timed test: exits 0 when the share stays under 15 %.
#include "ui/display/plotview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {
double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const int rate = argc > 2 ? std::atoi(argv[2]) : 2000;
    const double window = argc > 3 ? std::atof(argv[3]) : 600.0;

    dxu::PlotView plot;
    plot.resize(800, 300);
    const int s = plot.addSeries(QStringLiteral("Distance"), Qt::darkBlue);
    QImage image(plot.size(), QImage::Format_ARGB32_Premultiplied);

    const int batch = rate / 10;
    double t = 0;
    long n = 0;
    double worstPaint = 0;
    const double start = cpuSeconds();
    for (int frame = 0; frame < seconds * 10; ++frame) {
        for (int i = 0; i < batch; ++i, ++n) {
            t = static_cast<double>(n) / rate;
            plot.append(s, t, 12.345 + 0.002 * std::sin(t * 3) + (n % 997 == 0 ? 0.5 : 0.0));
        }
        plot.removeBefore(t - window);
        plot.setXRange(t - window, t);
        const double before = cpuSeconds();
        plot.render(&image);
        worstPaint = std::max(worstPaint, cpuSeconds() - before);
    }
    const double used = cpuSeconds() - start;
    const double share = used / seconds * 100.0;
    std::printf("plot view: %d s at %d points/s, window %.0f s (%zu points held): CPU %.2f s = %.1f %% of one core, "
                "longest paint %.1f ms\n",
                seconds, rate, window, plot.pointCount(s), used, share, worstPaint * 1000.0);
    return share < 15.0 ? 0 : 1;
}
