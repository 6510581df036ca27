#pragma once
#include <QDialog>

class QLabel;

namespace dxu {

// The about box: the program's version and the version text of the unit.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);
    // The unit's answer to the version query.
    void setVersionText(const QString& text);

private:
    QLabel* lblDXUVersion = nullptr;
};

} // namespace dxu
