#include "settings/moderules.h"

#include "services/messages.h"

#include <string>

namespace dxu {

int32_t maxPrf(int32_t mode)
{
    switch (mode) {
    case 1:
    case 4:
        return 4000;
    case 2:
        return 1000;
    case 3:
        return 4500;
    default:
        return 0;
    }
}

void checkPrf(Ui& ui, int32_t value, int32_t mode)
{
    if (value < MinPrf) {
        showMessage(QStringLiteral("Invalid PRF"),
                    QStringLiteral("PRF value has to be larger than\n or equal to 10.\n\nSetting minimum value."));
        ui.setText("cmbPRF", std::to_string(MinPrf));
        return;
    }
    const int32_t max = maxPrf(mode);
    if (max != 0 && value > max) {
        showMessage(QStringLiteral("Invalid PRF"),
                    QStringLiteral("PRF may not be larger than %1.\n\nSetting maximum value.").arg(max));
        ui.setText("cmbPRF", std::to_string(max));
    }
}

} // namespace dxu
