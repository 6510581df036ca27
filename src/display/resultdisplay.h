#pragma once
// The result lines, the lamps and the measurement rate of the display panel.
#include "protocol/dxustate.h"
#include "protocol/settingsview.h"
#include "services/ui.h"

namespace dxu {

class ResultDisplay : public ResultView {
public:
    ResultDisplay(DxuState& state, Ui& ui) : st_(state), ui_(ui) {}

    // Lamps and result texts from the current unit's record.
    void showResult() override;
    // The widgets that suit the current unit's measurement mode.
    void showResultWidgets();
    // Results per second, "%0.1f Hz"; empty outside the averaging and binning modes.
    void showRate() override;
    // The display choice (the unit's DM setting).
    void rbDistanceClick() { selectDisplay("rbDistance"); }
    void rbIntensityClick() { selectDisplay("rbIntensity"); }
    void rbBothNumbersClick() { selectDisplay("rbBothNumbers"); }

private:
    void selectDisplay(const char* button);
    void lamp(const char* name, bool on);

    DxuState& st_;
    Ui& ui_;
};

} // namespace dxu
