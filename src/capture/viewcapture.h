#pragma once
#include <QDialog>

namespace dxu {

// Shows a capture file again.
class TfrmViewCapture : public QDialog {
    Q_OBJECT
public:
    explicit TfrmViewCapture(QWidget* parent = nullptr);
};

} // namespace dxu
