#pragma once
// The display panel's subscriber: renders what the parser and the engine
// report on the result lines, the lamps, the error bars and the measuring
// button, and hands results on to the result view (readout, histogram, rate).
#include "protocol/events.h"
#include "ui/display/settingsview.h"
#include "ui/services/ui.h"

namespace dxu {

// The error bars in place of the result line, or the result line back. The
// only code that shows or hides them.
void showErrorBars(Ui& ui, bool on);

class ResultPanel final : public UnitEvents {
public:
    ResultPanel(Ui& ui, ResultView& view) : ui_(ui), view_(view) {}

    void result(const Result& r) override;
    void deviceError(const DeviceError& e) override;
    void settingRead(const SettingCode& code) override;
    void laserState(bool on) override;
    void beamPower(int value) override;
    void laserDiode(bool on) override;
    void addressNotAssigned() override;
    void measuringStarted() override;
    void resultOverdue() override;

private:
    Ui& ui_;
    ResultView& view_;
};

} // namespace dxu
