#include "ui/display/resultdisplay.h"

#include "ui/display/histogramview.h"

#include "protocol/linetext.h"
#include "services/locale.h"
#include "services/clock.h"

#include <cstdio>
#include <string>

namespace dxu {

void ResultDisplay::lamp(const char* name, bool on)
{
    ui_.setColor(name, on ? colors::Green : colors::Silver);
}

void ResultDisplay::showResultAge(uint32_t now)
{
    // A signed difference: a wrap of the tick counter still gives the short interval.
    const int32_t age = static_cast<int32_t>(now - st_.lastResultTick);
    const bool live = st_.current().laserOn && st_.lastResultTick != 0 && age >= 0 && age <= StaleAfterMs;
    std::string hint;
    if (!live)
        hint = st_.lastResultTick == 0 || age < 0 ? "No result yet"
                                                  : "Last result " + std::to_string(age / 1000) + " s ago";
    for (const char* n : {"lblResult", "lblIntensity"}) {
        ui_.setEnabled(n, live);
        ui_.setHint(n, hint);
    }
}

void ResultDisplay::showResult(const Result& result)
{
    showResultLines(result);
    if (listener_)
        listener_(result);
}

// The set's targets came in several replies: the histogram draws them from
// the state that gathered them, and chooses the target whose distance is the
// result.
void ResultDisplay::drawHistogram()
{
    if (histogram_)
        histogram_->drawHistogram();
    if (listener_) {
        Result chosen = recordedResult();
        chosen.kind = Result::Kind::Target;
        chosen.noValue = chosen.noValue || st_.targetCount <= 0;
        listener_(chosen);
    }
}

Result ResultDisplay::recordedResult() const
{
    const UnitRecord& r = st_.current();
    Result result;
    result.address = r.addressChar();
    result.distance = r.lastDistance;
    result.intensity = r.lastIntensity;
    result.metres = r.units != 0;
    result.noValue = st_.noDistance != 0;
    return result;
}

void ResultDisplay::showResultLines() { showResultLines(recordedResult()); }

// The reply gives the value; how it is shown (display and measurement mode)
// and the lamps (gates, cooperative target, offset) are the unit's settings,
// which the state keeps.
void ResultDisplay::showResultLines(const Result& result)
{
    showResultAge(tickCount());
    const UnitRecord& r = st_.current();
    const bool comma = st_.decimalComma != 0;
    lamp("lblConnected", st_.connected == 1);
    lamp("lblG", r.shortGateOn || r.longGateOn);
    lamp("lblF", r.cooperativeTarget != 0);
    lamp("lblO", r.offsetDistance != 0.0f);

    const char* unit = result.metres ? "M" : "F";
    ui_.setVisible("lblResult", true);
    ui_.setVisible("lblError", false);
    ui_.setVisible("lblErrTop", false);
    ui_.setVisible("lblErrBottom", false);

    char text[64];
    if (result.noValue) {
        std::snprintf(text, sizeof text, comma ? "---,--- %s" : "---.--- %s", unit);
        if (r.displayMode == 1) {
            ui_.setText("lblResult", text);
        } else if (r.displayMode == 3) {
            ui_.setText("lblResult", "-------");
        } else {
            ui_.setText("lblResult", text);
            ui_.setText("lblIntensity", "-------");
        }
        return;
    }

    // Written without printf, which costs more than the rest of a result.
    char distance[64];
    detail::TextBuilder(distance, sizeof distance)
        .putFixed(static_cast<double>(result.distance), result.metres ? 3 : 2)
        .put(' ')
        .put(unit);
    toDecimalComma(distance, comma);
    char intensity[64];
    detail::TextBuilder(intensity, sizeof intensity).putFixed(static_cast<double>(result.intensity), 1);
    toDecimalComma(intensity, comma);

    switch (r.measureMode) {
    case 1:
    case 4:
        if (r.displayMode == 1) {
            ui_.setText("lblResult", distance);
        } else if (r.displayMode == 3) {
            ui_.setText("lblResult", intensity);
        } else {
            ui_.setText("lblResult", distance);
            ui_.setText("lblIntensity", intensity);
        }
        break;
    case 2:
        ui_.setText("lblResult", distance);
        break;
    default:
        break;
    }
}

void ResultDisplay::showResultWidgets()
{
    const int mode = st_.current().measureMode;
    ui_.setVisible("lblError", false);
    ui_.setVisible("lblErrTop", false);
    ui_.setVisible("lblErrBottom", false);
    ui_.setVisible("lblResult", true);
    const bool averaging = mode == 1 || mode == 4;
    for (const char* n : {"rgDisplay", "rbDistance", "rbIntensity", "rbBothNumbers"})
        ui_.setVisible(n, averaging);
    if (averaging) {
        ui_.setVisible("lblTargetList", false);
        ui_.setVisible("lblTargetCount", false);
        ui_.setVisible("lblIntensity", !ui_.isChecked("rbDistance") && !ui_.isChecked("rbIntensity"));
    } else if (mode != 2) {
        ui_.setVisible("lblTargetList", false);
        ui_.setVisible("lblTargetCount", false);
    }
}

void ResultDisplay::showRate()
{
    const UnitRecord& r = st_.current();
    int prf = 0, pulses = 0;
    if (r.measureMode == 1 || r.measureMode == 4) {
        prf = r.prfAveraging;
        pulses = r.pulsesAveraging;
    } else if (r.measureMode == 2) {
        prf = r.prfBinning;
        pulses = r.pulsesBinning;
    } else {
        ui_.setText("lblRate", "");
        return;
    }
    if (pulses == 0)
        return;
    char text[48];
    std::snprintf(text, sizeof text, "%0.1f Hz", static_cast<double>(prf) / pulses);
    toDecimalComma(text, st_.decimalComma != 0);
    ui_.setText("lblRate", text);
}

void ResultDisplay::selectDisplay(const char* button)
{
    ui_.setEnabled("pbUpload", true);
    for (const char* n : {"rbDistance", "rbIntensity", "rbBothNumbers"})
        ui_.setChecked(n, std::string_view(n) == button);
    ui_.setText("lblResult", "");
    ui_.setText("lblIntensity", "");
}

} // namespace dxu
