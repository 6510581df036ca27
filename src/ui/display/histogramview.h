#pragma once
// The image imgBinning of the display panel: paints the histogram that the
// model lays out and hands clicks on it to the model.
#include "display/histogram.h"

#include <QWidget>

#include <functional>

namespace dxu {

class HistogramView : public QWidget {
    Q_OBJECT
public:
    // Design size at 96 dots per inch; 1.25 times that at 120.
    static constexpr int DesignWidth = 341, DesignHeight = 89;

    // showResult refreshes the result line after a target was chosen.
    HistogramView(DxuState& state, std::function<void()> showResult, QWidget* parent = nullptr);

    // Redraws from the last binning reply and chooses the target by FA.
    void drawHistogram();
    void imgBinningMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    // Sizes the image for the screen's dots per inch.
    void setDpi(double dpi);

    const Histogram& histogram() const { return histogram_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    DxuState& st_;
    std::function<void()> showResult_;
    Histogram histogram_;
};

} // namespace dxu
