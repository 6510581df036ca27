#pragma once
#include <QDialog>

namespace dxu {

// The PC's port and rate per link and the unit's port rates.
class TfrmCommSetup : public QDialog {
    Q_OBJECT
public:
    explicit TfrmCommSetup(QWidget* parent = nullptr);
};

} // namespace dxu
