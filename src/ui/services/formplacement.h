#pragma once
#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QSize>

class QKeyEvent;
class QWidget;

namespace dxu {

// Sizes a fixed-size secondary window on its first showing: its design size,
// enlarged by the screen's logical resolution over 96 pixels per inch (1.25 at
// 120), truncated toward zero, and placed by placeBeside on the screen that
// holds its parent's window (or centred on its own screen). A window with a
// layout is never made smaller than its size hint. Every secondary window
// follows this one rule. Later showings leave size and position as the user
// left them.
// Sizes the main window for a screen of dpi logical dots per inch (800 x 600,
// 1.25 times that at 120), never smaller than its controls need (its least
// size; it can be enlarged), and centred on its screen.
void placeMainWindow(QWidget* window, double dpi);

// Where a window of size goes: beside the owner's window (on its right, else
// on its left) when the screen's area has room there, so that the owner's
// menu bar and readout stay in sight; else centred on the owner; with no
// owner, centred on the area. Always wholly inside area.
QPoint placeBeside(QSize size, const QRect& owner, const QRect& area);

class FormPlacement {
public:
    // resizable: the window keeps a minimum of its size hint and can be
    // enlarged (a plot window) instead of being fixed.
    explicit FormPlacement(QSize design, bool resizable = false) : design_(design), resizable_(resizable) {}
    // Takes effect at the first showing.
    void setDesignSize(QSize design) { design_ = design; }
    void beforeShow(QWidget* window);
    QSize scaledSize(const QWidget* window) const;

private:
    QSize design_;
    bool resizable_ = false;
    bool placed_ = false;
};

// Esc (alone) closes a tool window that is no dialog, as it closes a
// dialog: true when event was that key and window was closed.
bool closeOnEscape(QWidget* window, const QKeyEvent* event);

// A dialog placed by the rule above when it is first shown (resizable: see
// FormPlacement).
class PlacedDialog : public QDialog {
public:
    PlacedDialog(QSize design, QWidget* parent, bool resizable = false)
        : QDialog(parent), placement_(design, resizable)
    {
    }

protected:
    void showEvent(QShowEvent* event) override;

private:
    FormPlacement placement_;
};

} // namespace dxu
