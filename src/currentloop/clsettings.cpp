#include "currentloop/clsettings.h"

#include "currentloop/loopmodel.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace dxu {

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

    auto* accept = new QPushButton(QStringLiteral("&Accept"), this);
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
    top->addStretch();
    top->addLayout(buttons);

    connect(accept, &QPushButton::clicked, this, &TfrmCLSettings::pbAcceptClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmCLSettings::bind(DxuState& state, std::function<void()> queueUpload)
{
    st_ = &state;
    queueUpload_ = std::move(queueUpload);
}

void TfrmCLSettings::showEvent(QShowEvent* event)
{
    PlacedDialog::showEvent(event);
    FormShow();
}

void TfrmCLSettings::FormShow()
{
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
    if (acceptLoopRanges(*st_, t, queueUpload_, &refused)) {
        accept();
        return;
    }
    // The dialog stays open with the value for correction.
    QLineEdit* const edits[] = {edAnalogLow_, edAnalogHigh_, edFaultIndication_, edFaultTimeout_};
    if (refused >= 0 && refused < 4) {
        edits[refused]->setFocus(Qt::OtherFocusReason);
        edits[refused]->selectAll();
    }
}

} // namespace dxu
