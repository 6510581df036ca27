#pragma once
#include <QMainWindow>

namespace dxu {

// The main window.
class TTopForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TTopForm(QWidget* parent = nullptr);
};

} // namespace dxu
