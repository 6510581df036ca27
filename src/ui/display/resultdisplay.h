#pragma once
// The result lines, the lamps and the measurement rate of the display panel.
#include "protocol/dxustate.h"
#include "protocol/events.h"
#include "ui/display/settingsview.h"
#include "ui/services/ui.h"

#include <cstdint>
#include <functional>

namespace dxu {

class HistogramView;

class ResultDisplay : public ResultView {
public:
    ResultDisplay(DxuState& state, Ui& ui) : st_(state), ui_(ui) {}

    // A result older than this no longer looks live.
    static constexpr int32_t StaleAfterMs = 2000;

    // Lamps and result texts for a result that just came, as the parser
    // reported it: it also goes to the result listener.
    void showResult(const Result& result) override;
    // The result lines of the current unit's record, without telling the
    // listener (a target of the binning set chosen again).
    void showResultLines();
    // The binning image; draws the last binning reply.
    void setHistogram(HistogramView* view) { histogram_ = view; }
    void drawHistogram() override;
    // Told of every result that came: a distance result as reported, the
    // binning set's as the target chosen from it.
    void setResultListener(std::function<void(const Result& result)> listener) { listener_ = std::move(listener); }
    // How fresh the result on screen is at tick count now: live while the
    // unit measures and a result came within StaleAfterMs; otherwise greyed,
    // its tooltip telling how long ago the last result came.
    void showResultAge(uint32_t now);
    // The widgets that suit the current unit's measurement mode.
    void showResultWidgets();
    // Results per second, "%0.1f Hz"; empty outside the averaging and binning modes.
    void showRate() override;
    // The display choice (the unit's DM setting).
    void rbDistanceClick() { selectDisplay("rbDistance"); }
    void rbIntensityClick() { selectDisplay("rbIntensity"); }
    void rbBothNumbersClick() { selectDisplay("rbBothNumbers"); }

private:
    void showResultLines(const Result& r);
    // The result the current unit's record holds: the binning set's chosen
    // target, or a target chosen again.
    Result recordedResult() const;
    void selectDisplay(const char* button);
    void lamp(const char* name, bool on);

    DxuState& st_;
    Ui& ui_;
    HistogramView* histogram_ = nullptr;
    std::function<void(const Result&)> listener_;
};

} // namespace dxu
