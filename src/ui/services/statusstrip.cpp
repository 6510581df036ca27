#include "ui/services/statusstrip.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

namespace dxu {
namespace {

constexpr int ProgressTextWidth = 150;
constexpr int ProgressBarWidth = 100;

QLabel* namedLabel(QWidget* parent, const QString& name, const QString& text)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

} // namespace

StatusStrip::StatusStrip(QWidget* parent) : QStatusBar(parent)
{
    setObjectName(QStringLiteral("StatusBar1"));
    setSizeGripEnabled(false);
    setStyleSheet(QStringLiteral("QStatusBar::item { border: none; }"));

    auto* strip = new QWidget(this);
    auto* l = new QHBoxLayout(strip);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(1);
    static constexpr int widths[6] = {45, 370, 60, 195, 70, 50};
    static const char* const texts[6] = {"Help:", "", "Status:", "", "Capture:", ""};
    for (int i = 0; i < 6; ++i) {
        auto* p = namedLabel(strip, QStringLiteral("StatusBar1Panel%1").arg(i), QString::fromLatin1(texts[i]));
        texts_[static_cast<size_t>(i)] = p->text();
        p->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (i < 5)
            p->setFixedWidth(widths[i] - 1);
        else
            p->setMinimumWidth(widths[i] - 1);
        l->addWidget(p, i == 5 ? 1 : 0);
        panels_[static_cast<size_t>(i)] = p;
    }
    progressText_ = namedLabel(strip, QStringLiteral("StatusBar1ProgressText"), QString());
    progressText_->setFixedWidth(ProgressTextWidth);
    progressBar_ = new QProgressBar(strip);
    progressBar_->setObjectName(QStringLiteral("StatusBar1ProgressBar"));
    progressBar_->setTextVisible(false);
    progressBar_->setFixedWidth(ProgressBarWidth);
    progressText_->setVisible(false);
    progressBar_->setVisible(false);
    l->addWidget(progressText_);
    l->addWidget(progressBar_);
    addWidget(strip, 1);
}

void StatusStrip::setPanel(int index, const QString& text)
{
    if (index < 0 || index >= static_cast<int>(panels_.size()))
        return;
    texts_[static_cast<size_t>(index)] = text;
    showPanel(static_cast<size_t>(index));
}

void StatusStrip::showPanel(size_t index)
{
    QLabel* p = panels_[index];
    const QString& text = texts_[index];
    QString shown = text;
    if (p->maximumWidth() < QWIDGETSIZE_MAX) {
        const QMargins m = p->contentsMargins();
        const int room = p->maximumWidth() - 2 * p->frameWidth() - m.left() - m.right()
                         - p->fontMetrics().horizontalAdvance(QLatin1Char('x'));
        shown = p->fontMetrics().elidedText(text, Qt::ElideMiddle, room);
    }
    p->setText(shown);
    p->setToolTip(shown == text ? QString() : text);
}

void StatusStrip::setProgress(const QString& text, int value, int maximum)
{
    const bool shown = maximum > 0;
    if (shown) {
        progressText_->setText(text);
        progressBar_->setRange(0, maximum);
        progressBar_->setValue(value);
    }
    if (progressBar_->isHidden() == shown) {
        const int room = ProgressTextWidth + ProgressBarWidth + 2;
        panels_[1]->setFixedWidth(panels_[1]->minimumWidth() + (shown ? -room : room));
        showPanel(1);
        progressText_->setVisible(shown);
        progressBar_->setVisible(shown);
    }
}

} // namespace dxu
