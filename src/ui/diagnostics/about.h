#pragma once
#include "ui/services/formplacement.h"

class QLabel;

namespace dxu {

// The about box: the program's version and the version text of the unit.
class TfrmAbout : public PlacedDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);
    // The unit's answer to the version query.
    void setVersionText(const QString& text);

private:
    QLabel* lblDXUVersion = nullptr;
};

} // namespace dxu
