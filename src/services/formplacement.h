#pragma once
#include <QDialog>
#include <QSize>

class QWidget;

namespace dxu {

// Sizes a fixed-size secondary window on its first showing: its design size,
// enlarged by the screen's logical resolution over 96 pixels per inch (1.25 at
// 120), truncated toward zero, and centred on its parent's window (or on the
// screen). A window with a layout is never made smaller than its size hint.
// Every secondary window follows this one rule. Later showings leave size
// and position as the user left them.
// Sizes the main window for a screen of dpi logical dots per inch (800 x 600,
// 1.25 times that at 120), never smaller than its controls need, fixed, and
// centred on its screen.
void placeMainWindow(QWidget* window, double dpi);

class FormPlacement {
public:
    explicit FormPlacement(QSize design) : design_(design) {}
    // Takes effect at the first showing.
    void setDesignSize(QSize design) { design_ = design; }
    void beforeShow(QWidget* window);
    QSize scaledSize(const QWidget* window) const;

private:
    QSize design_;
    bool placed_ = false;
};

// A dialog placed by the rule above when it is first shown.
class PlacedDialog : public QDialog {
public:
    PlacedDialog(QSize design, QWidget* parent) : QDialog(parent), placement_(design) {}

protected:
    void showEvent(QShowEvent* event) override;

private:
    FormPlacement placement_;
};

} // namespace dxu
