#pragma once
#include <QDialog>

namespace dxu {

// Gives a unit on the RS-485 line its address.
class TfrmAssignAddress : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAssignAddress(QWidget* parent = nullptr);
};

} // namespace dxu
