#include "ui/settings/moderules.h"

#include "protocol/settingcodes.h"
#include "ui/services/messages.h"
#include "ui/settings/panelbinding.h"

#include <array>

namespace dxu {
namespace {

constexpr ModeView kModes[] = {
    {1, 0, "pnlAveraging"},
    {4, 1, "pnlLastTarget"},
    {2, 2, "pnlBinning"},
    {3, 3, nullptr},
};

constexpr std::array<const char*, 10> kPrfItems = {"10", "50", "100", "200", "500", "1000", "2000", "3000", "4000", "4500"};

const SettingField* prfField(int32_t mode) { return fieldOfMode(*findSetting("PF"), mode); }

} // namespace

const ModeView* modeView(int32_t mode)
{
    for (const ModeView& m : kModes)
        if (m.mode == mode)
            return &m;
    return nullptr;
}

int32_t modeOfItem(int item)
{
    for (const ModeView& m : kModes)
        if (m.item == item)
            return m.mode;
    return kModes[0].mode;
}

int32_t minPrf(int32_t mode)
{
    const SettingField* f = prfField(mode);
    return f ? static_cast<int32_t>(f->min) : 0;
}

int32_t maxPrf(int32_t mode)
{
    const SettingField* f = prfField(mode);
    return f ? static_cast<int32_t>(f->max) : 0;
}

std::string prfHint(int32_t mode)
{
    if (!prfField(mode))
        return {};
    return "Allowed " + std::to_string(minPrf(mode)) + ".." + std::to_string(maxPrf(mode));
}

int prfItemCount(int32_t mode)
{
    int count = 0;
    while (count < static_cast<int>(kPrfItems.size()) && std::stoi(kPrfItems[static_cast<size_t>(count)]) <= maxPrf(mode))
        ++count;
    return count;
}

const char* prfItem(int index) { return kPrfItems[static_cast<size_t>(index)]; }

void checkPrf(Ui& ui, int32_t value, int32_t mode)
{
    const int32_t min = minPrf(mode), max = maxPrf(mode);
    if (max == 0)
        return;
    if (value < min) {
        showMessage(QStringLiteral("Invalid PRF"),
                    QStringLiteral("PRF value has to be larger than\n or equal to %1.\n\nSetting minimum value.").arg(min));
        ui.setText("cmbPRF", std::to_string(min));
    } else if (value > max) {
        showMessage(QStringLiteral("Invalid PRF"),
                    QStringLiteral("PRF may not be larger than %1.\n\nSetting maximum value.").arg(max));
        ui.setText("cmbPRF", std::to_string(max));
    }
}

} // namespace dxu
