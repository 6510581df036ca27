#pragma once
#include <QMainWindow>

namespace dxu {

// The terminal window: every line sent and received, and typed commands.
class TfrmTerminal : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmTerminal(QWidget* parent = nullptr);
};

} // namespace dxu
