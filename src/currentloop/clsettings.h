#pragma once
#include <QDialog>

namespace dxu {

// Current-loop output range, fault current and time-out.
class TfrmCLSettings : public QDialog {
    Q_OBJECT
public:
    explicit TfrmCLSettings(QWidget* parent = nullptr);
};

} // namespace dxu
