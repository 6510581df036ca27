#pragma once
// The settings panel over a control map that holds the window's lists and
// radio groups as designed.
#include "common/testsupport.h"
#include "protocol/dxustate.h"
#include "ui/settings/settingspanel.h"

#include <gtest/gtest.h>

#include <memory>

namespace dxu::test {

class PanelTest : public ::testing::Test {
protected:
    PanelTest()
    {
        ui.radioGroups = {{"rbHigh", "rbMedium", "rbLow"},
                          {"rbProcessingOff", "rbWindowingOn", "rbDampeningOn"},
                          {"rbRelative", "rbAbsolute"},
                          {"rbDistance", "rbIntensity", "rbBothNumbers"}};
        ui.setItems("cmbMeasureMode", {"Averaging", "LastTarget", "Binning", "Detection Mode"});
        ui.setItems("cmbPRF", {"    10", "    50", "  100", "  200", "  500", "1000"});
        ui.setItems("cmbDitherSteps", {"  ", "1", "2", "4", "8", "16"});
        ui.setItems("cmbTargetSelector", {"First", "Last", "Most", "All"});
        ui.setItems("cmbBinSize", {"    2.5      (13)", "    5.1      (26)", "  10.2      (52)", "  20.4    (104)",
                                   "  40.8   (213)", "  81.6    (416)", "163.2    (832)", "325.1  (1664)"});
        ui.setItems("cmbMeasureOutput", {"RS232 Configuration Port", "RS232 Universal Port", "RS485 Universal Port"});
        ui.setVisible("pnlMoreAveraging", false);
        ui.setEnabled("pbUpload", false);
        panel = std::make_unique<SettingsPanel>(st, ui);
    }

    UnitRecord& rec() { return st.current(); }
    bool uploadEnabled() const { return ui.isEnabled("pbUpload"); }
    void clearUpload() { ui.setEnabled("pbUpload", false); }
    // Shows the record in a mode and forgets that showing it enabled Upload.
    void showMode(int mode)
    {
        rec().measureMode = mode;
        panel->showSetting("MM");
        clearUpload();
    }
    std::string lastItem(const char* box) const { return ui.itemText(box, ui.itemCount(box) - 1); }

    DxuState st;
    FakeUi ui;
    ScriptedMessages messages;
    std::unique_ptr<SettingsPanel> panel;
};

} // namespace dxu::test
