#pragma once
// Current-loop output range, fault current and time-out of the current unit.
#include "protocol/dxustate.h"
#include "protocol/events.h"
#include "ui/services/formplacement.h"

#include <array>
#include <functional>

class QLabel;
class QLineEdit;

namespace dxu {

// Accept closes the window once the unit has taken every changed value; a
// value the unit refuses stays in its field, with the unit's reason, for
// correction.
class TfrmCLSettings : public PlacedDialog, public UnitEvents {
    Q_OBJECT
public:
    explicit TfrmCLSettings(QWidget* parent = nullptr);

    // What the dialog works on; the main window binds it once after creation.
    // The dialog follows the upload's outcome through events; as a child of
    // the main window it outlives the events it is added to.
    void bind(DxuState& state, std::function<void()> queueUpload, EventFanout& events);

    void settingWritten(uint32_t commandId) override;
    void settingRefused(uint32_t commandId, std::string_view reason) override;
    void settingRead(const SettingCode& code) override;
    // A list that ended, or a unit that stopped answering, with writes still
    // unanswered: they are not confirmed, and Accept is usable again.
    void listEnded() override { unconfirmed(); }
    void connectUnanswered() override { unconfirmed(); }

public slots:
    void FormShow();
    void pbAcceptClick();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QLineEdit* edAnalogLow_ = nullptr;
    QLineEdit* edAnalogHigh_ = nullptr;
    QLineEdit* edFaultIndication_ = nullptr;
    QLineEdit* edFaultTimeout_ = nullptr;
    QLabel* lblALUnits_ = nullptr;
    QLabel* lblAHUnits_ = nullptr;
    QLabel* lblUnitReply_ = nullptr;
    QWidget* accept_ = nullptr;

    // The upload's written fields: done once none is awaited.
    void answered(uint32_t commandId);
    void focusRefused();
    void unconfirmed();
    std::array<QLineEdit*, 4> edits() const;
    unsigned awaited_ = 0;  // bit i: the write of field i is unanswered
    int refusedField_ = -1;
    QString refusal_;
    QString refusedText_;  // what was typed into the refused field

    DxuState* st_ = nullptr;
    std::function<void()> queueUpload_;
    EventFanout* events_ = nullptr;
};

} // namespace dxu
