// The settings panel on the real window: values written by the show
// functions run the same handlers as the user's clicks and typing, choices
// set from code run none, and the editable PRF box keeps its value while its
// list changes.
#include "mainwindow/fixture.h"

#include "ui/currentloop/clsettings.h"
#include "ui/network/assignaddress.h"
#include "ui/settings/panelbinding.h"
#include "ui/settings/settingspanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>

namespace dxu::test {
namespace {

class PanelWindow : public MainWindowTest {
protected:
    UnitRecord& rec() { return form().state().current(); }
    QComboBox* box(const char* name) { return get<QComboBox>(name); }
    QStringList items(const char* name)
    {
        QStringList out;
        QComboBox* c = box(name);
        for (int i = 0; i < c->count(); ++i)
            out << c->itemText(i);
        return out;
    }
};

TEST_F(PanelWindow, PrfBoxKeepsTheUnitsValueWhileItsListFollowsTheMode)
{
    rec().prfAveraging = 2000;
    rec().prfDetection = 4200;
    rec().prfBinning = 700;
    rec().measureMode = 3;
    form().settingsPanel().showSetting("MM");
    EXPECT_EQ(items("cmbPRF"), QStringList({"10", "50", "100", "200", "500", "1000", "2000", "3000", "4000", "4500"}));
    EXPECT_EQ(box("cmbPRF")->currentText(), "4200");

    rec().measureMode = 1;
    form().settingsPanel().showSetting("MM");
    EXPECT_EQ(box("cmbPRF")->count(), 9);
    EXPECT_EQ(box("cmbPRF")->itemText(8), "4000");
    EXPECT_EQ(box("cmbPRF")->currentText(), "2000");
    EXPECT_EQ(box("cmbMeasureMode")->currentText(), "Averaging");

    rec().measureMode = 2;
    form().settingsPanel().showSetting("MM");
    EXPECT_EQ(box("cmbPRF")->count(), 6);
    EXPECT_EQ(box("cmbPRF")->currentText(), "700");
    form().settingsPanel().showSetting("PF");
    EXPECT_EQ(box("cmbPRF")->toolTip(), "Allowed 10..1000");
    EXPECT_EQ(box("cmbMeasureMode")->currentText(), "Binning");
}

TEST_F(PanelWindow, ValuesShownFromTheUnitRunTheControlsHandlers)
{
    form().setEnabled("pbUpload", false);
    // Choices set from code are no user change.
    rec().targetSelector = 1;
    form().settingsPanel().showSetting("FA");
    rec().measureOutput = 2;
    form().settingsPanel().showSetting("MO");
    EXPECT_EQ(box("cmbTargetSelector")->currentIndex(), 1);
    EXPECT_EQ(box("cmbMeasureOutput")->currentIndex(), 2);
    EXPECT_FALSE(form().isEnabled("pbUpload"));

    // A check box set from code acts as if clicked.
    rec().units = 1;
    rec().shortGateOn = 1;
    rec().shortGate = 2.5f;
    form().settingsPanel().showSetting("EG");
    EXPECT_TRUE(form().isVisible("edShortGate"));
    EXPECT_EQ(text("edShortGate"), "2.500");
    EXPECT_TRUE(form().isEnabled("pbUpload"));

    // Radio buttons stay exclusive and their handlers run once chosen.
    rec().powerLevel = 2;
    form().settingsPanel().showSetting("PL");
    EXPECT_TRUE(get<QRadioButton>("rbLow")->isChecked());
    EXPECT_FALSE(get<QRadioButton>("rbHigh")->isChecked());
    rec().measureMode = 1;
    rec().outputProcessing = 1;
    form().settingsPanel().showSetting("OP");
    EXPECT_TRUE(form().isVisible("pnlWindowing"));
    EXPECT_FALSE(form().isVisible("pnlOff"));

    // The sample limit speaks once per change, also for a value from the unit.
    rec().dampSamples = 12;
    form().settingsPanel().showSetting("DS");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Maximum of 10 Samples allowed.");
}

TEST_F(PanelWindow, UsersClicksRunEachHandlerOnce)
{
    rec().measureMode = 1;
    form().settingsPanel().showSetting("MM");
    auto* dither = get<QCheckBox>("cbDither");
    box("cmbDitherSteps")->setCurrentIndex(0);
    dither->click();
    EXPECT_TRUE(dither->isChecked());
    EXPECT_EQ(box("cmbDitherSteps")->currentIndex(), 1);
    EXPECT_EQ(text("lblRequired"), "Required");
    dither->click();
    EXPECT_EQ(box("cmbDitherSteps")->currentIndex(), 0);
    EXPECT_EQ(text("lblDitherPulses"), "Good Pulses");

    get<QCheckBox>("cbUnitsMeters")->setChecked(true);
    get<QCheckBox>("cbUnitsFeet")->click();
    EXPECT_FALSE(get<QCheckBox>("cbUnitsMeters")->isChecked());
    EXPECT_EQ(form().state().editRecord.units, 0);
}

TEST_F(PanelWindow, UnitsRewriteTheBinSizeListInPlace)
{
    rec().units = 0;
    rec().binSize = 4;
    form().settingsPanel().showSetting("MU");
    EXPECT_EQ(box("cmbBinSize")->count(), 8);
    EXPECT_EQ(box("cmbBinSize")->currentIndex(), 4);
    EXPECT_EQ(box("cmbBinSize")->currentText(), "  16       (672)");
    EXPECT_EQ(text("lblBinUnits"), "inches (F)");
    EXPECT_EQ(text("lblODUnits"), "F");
    rec().units = 1;
    form().settingsPanel().showSetting("MU");
    EXPECT_EQ(box("cmbBinSize")->currentText(), "  40.8    (208)");
    EXPECT_EQ(text("lblWindowWidthUnits"), "M");
}

// The analog boxes of the output panel are out of sight; the current-loop
// values never land there.
TEST_F(PanelWindow, CurrentLoopValuesDoNotLandInTheHiddenAnalogGroup)
{
    rec().analogLow = 1.5f;
    rec().faultCurrent = 3.6f;
    form().settingsPanel().showSetting("AL");
    form().settingsPanel().showSetting("AF");
    auto* group = form().findChild<QGroupBox*>(QStringLiteral("GroupBox1"));
    ASSERT_NE(group, nullptr);
    for (QLineEdit* e : group->findChildren<QLineEdit*>())
        EXPECT_TRUE(e->text().isEmpty()) << e->objectName().toStdString();
}

} // namespace
} // namespace dxu::test

namespace dxu::test {
namespace {

// Every control the panel's binding names is in the window, and a plain one
// on the panel of the kind its look reads: a misspelt name in the table would
// otherwise do nothing. Every bound row is a row of the setting-code table,
// with no more bindings than the row has fields. The current-loop values
// live in their own window.
TEST_F(PanelWindow, EveryControlTheTableBindsIsThereOfItsKind)
{
    TfrmCLSettings loop(&form());
    TfrmAssignAddress assign(&form());
    TTopForm::Windows windows;
    windows.clSettings = &loop;
    windows.assignAddress = &assign;
    form().attachWindows(windows);
    for (const PanelRow& p : panelRows()) {
        SCOPED_TRACE(p.code);
        const SettingCode* row = findSetting(p.code);
        ASSERT_NE(row, nullptr);
        for (size_t i = 0; i < p.fields.size(); ++i)
            EXPECT_EQ(p.fields[i].look != Look::None, static_cast<int>(i) < row->fieldCount());
        for (const FieldBinding& f : p.fields)
            for (const char* name : f.controls) {
                if (name) {
                    EXPECT_NE(form().control(name), nullptr) << name;
                }
            }
    }
    for (const SettingCode& row : settingCodes())
        for (int i = 0; i < row.fieldCount(); ++i) {
            const SettingField& field = row.fields[static_cast<size_t>(i)];
            const FieldBinding& f = bindingOf(field);
            const std::string_view code = row.code;
            if (!f.plain() || code == "AL" || code == "AH" || code == "AF" || code == "AT" || code == "CL")
                continue;
            for (const char* name : f.controls) {
                if (!name)
                    continue;
                QObject* o = form().control(name);
                SCOPED_TRACE(name);
                switch (f.look) {
                case Look::Check:
                    EXPECT_NE(qobject_cast<QCheckBox*>(o), nullptr);
                    break;
                case Look::Radio:
                    EXPECT_NE(qobject_cast<QRadioButton*>(o), nullptr);
                    break;
                case Look::Choice:
                    ASSERT_NE(qobject_cast<QComboBox*>(o), nullptr);
                    EXPECT_EQ(qobject_cast<QComboBox*>(o)->count(), static_cast<int>(field.choices.size()))
                        << "an item for each value of the setting";
                    break;
                default:
                    EXPECT_NE(qobject_cast<QLineEdit*>(o), nullptr);
                    EXPECT_NE(field.caption, nullptr) << "a refused value is named by its caption";
                }
            }
        }
}

} // namespace
} // namespace dxu::test
