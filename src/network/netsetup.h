#pragma once
#include <QDialog>

namespace dxu {

// The members of the RS-485 network and its polling interval.
class TfrmNetSetup : public QDialog {
    Q_OBJECT
public:
    explicit TfrmNetSetup(QWidget* parent = nullptr);
};

} // namespace dxu
