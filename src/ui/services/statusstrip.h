#pragma once
// The main window's status bar: six sunken panels (a caption and its text
// for help, status and capture) and, while a long step runs, its progress
// after them, for which the help text makes room.
#include <QStatusBar>

#include <array>

class QLabel;
class QProgressBar;

namespace dxu {

class StatusStrip : public QStatusBar {
public:
    // Named "StatusBar1"; its parts "StatusBar1Panel0".."StatusBar1Panel5",
    // "StatusBar1ProgressText" and "StatusBar1ProgressBar".
    explicit StatusStrip(QWidget* parent);

    // Panel 0..5; any other index is ignored. A text longer than its panel
    // is shortened in the middle and shown whole as the panel's tool tip.
    void setPanel(int index, const QString& text);
    // text and value of maximum; a maximum of 0 hides the progress.
    void setProgress(const QString& text, int value, int maximum);

private:
    void showPanel(size_t index);

    std::array<QLabel*, 6> panels_{};
    std::array<QString, 6> texts_;
    QLabel* progressText_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
};

} // namespace dxu
