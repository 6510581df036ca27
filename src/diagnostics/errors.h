#pragma once
#include <QDialog>

namespace dxu {

// The error list: connection failures collected while a list runs.
class TfrmErrors : public QDialog {
    Q_OBJECT
public:
    explicit TfrmErrors(QWidget* parent = nullptr);
};

} // namespace dxu
