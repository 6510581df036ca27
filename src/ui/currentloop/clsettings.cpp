#include "ui/currentloop/clsettings.h"

#include "currentloop/loopmodel.h"
#include "protocol/commandids.h"
#include "protocol/settingcodes.h"
#include "ui/services/messages.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace dxu {
namespace {

// The edit of a setting's write; -1 for none.
int editOf(uint32_t commandId)
{
    for (int i = 0; i < 4; ++i)
        if (loopSettings()[static_cast<size_t>(i)]->commandId == commandId)
            return i;
    return -1;
}

const SettingField& fieldOfEdit(int edit) { return loopSettings()[static_cast<size_t>(edit)]->fields[0]; }

} // namespace

TfrmCLSettings::TfrmCLSettings(QWidget* parent) : PlacedDialog(QSize(280, 200), parent)
{
    setObjectName(QStringLiteral("frmCLSettings"));
    setWindowTitle(QStringLiteral("Settings"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* group = new QGroupBox(QStringLiteral("Analog"), this);
    auto* grid = new QGridLayout(group);
    auto row = [&](int r, const char* caption, const char* name, const char* hint, QLabel* units) {
        auto* edit = new QLineEdit(group);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setToolTip(QString::fromLatin1(hint));
        edit->setMaximumWidth(90);
        grid->addWidget(new QLabel(QString::fromLatin1(caption), group), r, 0);
        grid->addWidget(edit, r, 1);
        grid->addWidget(units, r, 2);
        return edit;
    };
    auto unitLabel = [&](const char* name, const char* text) {
        auto* l = new QLabel(QString::fromLatin1(text), group);
        if (name)
            l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    lblALUnits_ = unitLabel("lblALUnits", "M");
    lblAHUnits_ = unitLabel("lblAHUnits", "M");
    edAnalogLow_ = row(0, "Distance at  4mA", "edAnalogLow", "0..2000", lblALUnits_);
    edAnalogHigh_ = row(1, "Distance at 20mA", "edAnalogHigh", "0..2000", lblAHUnits_);
    edFaultIndication_ = row(2, "Fault Indication", "edFaultIndication", "2.00..20.00", unitLabel(nullptr, "mA"));
    edFaultTimeout_ = row(3, "Fault Timeout", "edFaultTimeout", "0..99", unitLabel(nullptr, "secs"));

    lblUnitReply_ = new QLabel(this);
    lblUnitReply_->setObjectName(QStringLiteral("lblUnitReply"));
    lblUnitReply_->setWordWrap(true);

    auto* accept = new QPushButton(QStringLiteral("&Accept"), this);
    accept_ = accept;
    accept->setObjectName(QStringLiteral("pbAccept"));
    accept->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("pbCancel"));
    cancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(accept);
    buttons->addWidget(cancel);

    auto* top = new QVBoxLayout(this);
    top->addWidget(group);
    top->addWidget(lblUnitReply_);
    top->addStretch();
    top->addLayout(buttons);

    connect(accept, &QPushButton::clicked, this, &TfrmCLSettings::pbAcceptClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmCLSettings::bind(DxuState& state, std::function<void()> queueUpload, EventFanout& events)
{
    st_ = &state;
    queueUpload_ = std::move(queueUpload);
    if (events_)
        events_->remove(*this);
    events_ = &events;
    events.add(*this);
}

void TfrmCLSettings::showEvent(QShowEvent* event)
{
    PlacedDialog::showEvent(event);
    FormShow();
}

void TfrmCLSettings::hideEvent(QHideEvent* event)
{
    // Cancel while the unit is still asked: the upload goes on without the
    // window.
    awaited_ = 0;
    accept_->setEnabled(true);
    PlacedDialog::hideEvent(event);
}

void TfrmCLSettings::FormShow()
{
    lblUnitReply_->clear();
    refusedField_ = -1;
    if (!st_)
        return;
    const LoopRangeTexts t = loopRangeTexts(*st_);
    lblALUnits_->setText(t.units);
    lblAHUnits_->setText(t.units);
    edAnalogLow_->setText(t.low);
    edAnalogHigh_->setText(t.high);
    edFaultIndication_->setText(t.faultCurrent);
    edFaultTimeout_->setText(t.faultTimeout);
}

void TfrmCLSettings::pbAcceptClick()
{
    if (!st_)
        return;
    const LoopRangeTexts t{edAnalogLow_->text(), edAnalogHigh_->text(), edFaultIndication_->text(),
                           edFaultTimeout_->text(), {}};
    int refused = -1;
    lblUnitReply_->clear();
    // Which fields go to the unit is known once Accept has marked them, and
    // before the upload starts: a quick line may answer within the call.
    bool started = false;
    const auto upload = [this, &started] {
        awaited_ = 0;
        for (int i = 0; i < 4; ++i)
            if (st_->current().*fieldOfEdit(i).changed)
                awaited_ |= 1u << i;
        refusedField_ = -1;
        started = awaited_ != 0;
        if (started) {
            accept_->setEnabled(false);
            lblUnitReply_->setText(QStringLiteral("Sending to the unit..."));
        }
        if (queueUpload_)
            queueUpload_();
    };
    const StepOutcome accepted = acceptLoopRanges(*st_, t, upload, &refused);
    if (accepted) {
        if (!started)
            accept();
        return;
    }
    showMessage(QStringLiteral("Error"), accepted.refusal);
    refusedField_ = refused;
    focusRefused();
}

void TfrmCLSettings::settingWritten(uint32_t commandId) { answered(commandId); }

void TfrmCLSettings::settingRefused(uint32_t commandId, std::string_view reason)
{
    const int field = editOf(commandId);
    if (field < 0 || !(awaited_ & (1u << field)))
        return;
    if (refusedField_ < 0) {
        refusedField_ = field;
        refusedText_ = edits()[field]->text();
        refusal_ = QStringLiteral("The unit refused %1: %2")
                       .arg(QLatin1String(fieldOfEdit(field).caption),
                            QString::fromLatin1(reason.data(), static_cast<qsizetype>(reason.size())));
    }
    answered(commandId);
}

// The read-back after an upload shows the unit's values in the fields; the
// refused field keeps what was typed, for correction.
void TfrmCLSettings::settingRead(const SettingCode& code)
{
    if (refusedField_ >= 0 && awaited_ == 0 && isVisible() && code.commandId == loopSettings()[static_cast<size_t>(refusedField_)]->commandId) {
        edits()[refusedField_]->setText(refusedText_);
        focusRefused();
    }
}

void TfrmCLSettings::answered(uint32_t commandId)
{
    const int field = editOf(commandId);
    if (field < 0 || !(awaited_ & (1u << field)))
        return;
    awaited_ &= ~(1u << field);
    if (awaited_ == 0) {
        accept_->setEnabled(true);
        if (refusedField_ < 0) {
            lblUnitReply_->clear();
            accept();
            return;
        }
        lblUnitReply_->setText(refusal_);
        focusRefused();
    }
}

void TfrmCLSettings::unconfirmed()
{
    if (awaited_ == 0)
        return;
    awaited_ = 0;
    accept_->setEnabled(true);
    lblUnitReply_->setText(QStringLiteral("The unit did not confirm the values; check them and Accept again."));
}

// The dialog stays open with the refused value for correction.
void TfrmCLSettings::focusRefused()
{
    if (refusedField_ >= 0 && refusedField_ < 4) {
        QLineEdit* edit = edits()[refusedField_];
        edit->setFocus(Qt::OtherFocusReason);
        edit->selectAll();
    }
}

std::array<QLineEdit*, 4> TfrmCLSettings::edits() const
{
    return {edAnalogLow_, edAnalogHigh_, edFaultIndication_, edFaultTimeout_};
}

} // namespace dxu
