#pragma once
// The settings panels of the main window, from the unit's side: showing a
// setting writes the current unit's record into the controls the panel's
// binding names (one loop for every plain setting, a rule of its own for
// units, mode, PRF, dithering, display and the like), the mode
// view arranges the panels for the unit's measurement mode, and the handlers
// of the units, gate, laser-power, dithering, processing and
// detection-reference controls keep the panel consistent. Everything goes
// through the controls' names, so the same code runs on the real window and
// on a control map in tests.
#include "ui/display/resultdisplay.h"
#include "protocol/dxustate.h"
#include "protocol/settingcodes.h"
#include "ui/display/settingsview.h"
#include "ui/services/ui.h"
#include "ui/settings/gather.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace dxu {

class SettingsPanel : public SettingsView {
public:
    // Registers the handlers with the controls of ui.
    SettingsPanel(DxuState& state, Ui& ui);
    SettingsPanel(const SettingsPanel&) = delete;
    SettingsPanel& operator=(const SettingsPanel&) = delete;

    // A row of the setting-code table in its controls; the row of a code
    // (BR: the configuration port's).
    void showSetting(const SettingCode& row) override;
    void showSetting(std::string_view code);

    // Every setting on the panel, in the order that lets later ones rely on earlier ones.
    void showSettings() override;
    // An opened setup file's settings on the panel, pending for Upload while
    // the panel shows them: the unit's own settings shown again (a read, a
    // unit switch, a disconnect, another file) discard them.
    void showPendingFile(const UnitRecord& file);
    // That file while it is pending, else nullptr.
    const UnitRecord* pendingFile() const { return pendingFile_ ? &*pendingFile_ : nullptr; }
    void showDitherLabels();
    void applyOldFirmwareLimits() override;
    // Unit letters and the bin-size texts.
    void showUnits();

    // The panels, the PRF list and the mode's values for the unit's mode.
    void refreshModeView();
    // The panels, lamps and result texts of the disconnected look.
    void resetDisplay();
    // The mode groups of the connected look, by the current unit's MM.
    void showModeGroups();
    void fillPrfList(int mode);
    void refreshProcessingPanels() override;
    // binOffset from the bin-size choice and the unit's units.
    void updateBinOffset() override;
    // Size of one bin for a bin-size index; false for an index outside 0..7.
    static bool binOffset(int index, bool metres, float& out);

    // Handlers.
    void cbUnitsFeetClick();
    void cbUnitsMetersClick();
    void cbShortGateClick();
    void cbLongGateClick();
    void rbHighClick() { selectPower("rbHigh"); }
    void rbMediumClick() { selectPower("rbMedium"); }
    void rbLowClick() { selectPower("rbLow"); }
    void cbDitherClick();
    void rbProcessingOffClick() { processingClicked(); }
    void rbWindowingOnClick() { processingClicked(); }
    void rbDampeningOnClick() { processingClicked(); }
    void rbAbsoluteClick();
    void rbRelativeClick();
    void edNumberofSamplesChange();
    void pbMoreClick();
    // The user changed a setting: Upload becomes available, and the
    // control's setting is marked while it differs from the unit.
    void settingChanged(const char* control);
    // A setup edited without a unit: a change makes nothing to upload.
    void setOffline(bool on) { offline_ = on; }

    // A distance as the panel shows it: three decimals in metres, two in
    // feet, with the locale's decimal comma.
    std::string distanceText(float value, bool metres) const;

private:
    const UnitRecord& rec() const { return st_.current(); }
    void wireHandlers();
    // The settings with rules of their own.
    void showUA();
    void showMM();
    void showMU();
    void showFL();
    void showPF();
    void showPO();
    void showDD();
    void showBS();
    void showOP();
    void showCO();
    void showDM();
    // The plain fields of a row in their controls; then the row's controls
    // marked again.
    void showRow(const char* code);
    // A value in a field's control(s), as the table binds it; a choice
    // outside the list changes nothing.
    void showValue(const SettingField& f, double value);
    void remark(const char* control);
    // The panel of a mode's own settings shown, the others hidden.
    void showModePanel(const char* panel);
    void setInt(const char* name, int32_t value);
    void setDistance(const char* name, float value);
    void setTenths(const char* name, float value);
    void selectPower(const char* button);
    // "Required Dither Pulses" while dithering, "Minimum Good Pulses" without.
    void ditherLabels(bool on);
    void gateClicked(const char* check, const char* edit, const char* unitLabel, float value);
    void showProcessingPanel(int32_t processing);
    void processingClicked();
    // What the averaging, last-target and binning views have in common.
    void showRangingMode(int mode);
    void show(std::initializer_list<const char*> names, bool shown);
    void enable(std::initializer_list<const char*> names, bool enabled);
    void emptyResultTexts();

    DxuState& st_;
    Ui& ui_;
    ResultDisplay display_;
    std::optional<UnitRecord> pendingFile_;
    ChangeMarks marks_;
    bool showingAll_ = false; // showSettings marks every control once, at its end
    bool offline_ = false;
};

} // namespace dxu
