#pragma once
// The comm port setup dialog: the PC's RS-232 and RS-485 ports and rates, and
// the rates of the unit's configuration and universal ports.
#include "ports/portsettings.h"
#include "serial/portoptions.h"

#include "ui/app/boxasker.h"
#include "ui/services/formplacement.h"
#include "ui/services/ui.h"

#include <functional>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLineEdit;
class QLabel;
class QPushButton;
class QSpinBox;

namespace dxu {

class TfrmCommSetup : public PlacedDialog {
    Q_OBJECT
public:
    explicit TfrmCommSetup(QWidget* parent = nullptr);

    // What the dialog works on; the main window binds it once after creation.
    // queueUpload starts the settings upload of the current unit.
    void bind(DxuState& state, PcPort& port, Ui& mainUi, std::function<void()> queueUpload);

    // Selects a rate in the PC rate list of a link (after a PC rate switch).
    void selectPcRate(PcLink link, int rateIndex);

public slots:
    void FormShow();
    void cbActive232Click();
    void cbActive485Click();
    void pbSetPC232Click();
    void pbSetPC485Click();
    void pbConfigBaudRateClick();
    void pbUniversalBaudRateClick();
    void pbExitClick();
    void edTurnaroundChange();

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct PcGroup {
        QComboBox* port = nullptr;
        QComboBox* rate = nullptr;
        QCheckBox* inUse = nullptr;
        QPushButton* set = nullptr;
        QComboBox* device = nullptr; // the device file or network address "COM n" opens (POSIX)
        QLabel* deviceNote = nullptr;
        // The port's options (see serial/portoptions.h).
        QComboBox* direction = nullptr;
        QSpinBox* rtsBefore = nullptr;
        QSpinBox* rtsAfter = nullptr;
        QCheckBox* dropEcho = nullptr;
        QSpinBox* replyAllowance = nullptr;
        QLineEdit* caFile = nullptr;
    };
    QWidget* buildPcGroup(PcGroup& g, const QString& caption, const QString& suffix);
    void buildOptions(PcGroup& g, QGridLayout* grid, const QString& suffix);
    void showOptionsOf(PcGroup& g, int com);
    PortOptions optionsOf(const PcGroup& g) const;
    QWidget* buildUnitGroup();
    void setPc(PcGroup& g, PcLink link);
    void showDeviceOf(PcGroup& g);
    void unitRateSet(UnitPort unitPort, QComboBox* list);

    PcGroup g232_, g485_;
    QComboBox* cmbDXUConfigRate_ = nullptr;
    QComboBox* cmbDXUUniversalRate_ = nullptr;
    QPushButton* pbConfigBaudRate_ = nullptr;
    QPushButton* pbUniversalBaudRate_ = nullptr;
    QPushButton* pbExit_ = nullptr;
    QSpinBox* edTurnaround_ = nullptr;
    bool showing_ = false;

    DxuState* st_ = nullptr;
    PcPort* port_ = nullptr;
    Ui* mainUi_ = nullptr;
    std::function<void()> queueUpload_;
    // The unit rate change's questions, as boxes.
    BoxAsker asker_;
};

} // namespace dxu
