#include "cli/progress.h"

#include <cstdio>
#include <unistd.h>

namespace dxu::cli {
namespace {
constexpr int BarWidth = 24;
}

Progress::Progress() : tty_(::isatty(STDERR_FILENO) == 1) {}

void Progress::step(const QString& text)
{
    step_ = text;
    detail_.clear();
    value_ = maximum_ = 0;
    if (tty_) {
        draw();
    } else {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        std::fflush(stderr);
    }
}

void Progress::detail(const QString& text, int value, int maximum)
{
    detail_ = text;
    value_ = value;
    maximum_ = maximum;
    if (tty_)
        draw();
}

void Progress::note(const QString& text)
{
    clear();
    std::fprintf(stderr, "%s\n", qPrintable(text));
    std::fflush(stderr);
    if (tty_ && !step_.isEmpty())
        draw();
}

void Progress::clear()
{
    if (tty_ && drawn_) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }
    drawn_ = false;
}

void Progress::draw()
{
    QString line = step_;
    if (maximum_ > 0) {
        const int filled = BarWidth * qBound(0, value_, maximum_) / maximum_;
        line += QStringLiteral(" [%1%2] %3").arg(QString(filled, QLatin1Char('#')), QString(BarWidth - filled, QLatin1Char('.')), detail_);
    } else if (!detail_.isEmpty()) {
        line += QLatin1Char(' ') + detail_;
    }
    std::fprintf(stderr, "\r\033[K%s", qPrintable(line));
    std::fflush(stderr);
    drawn_ = true;
}

} // namespace dxu::cli
