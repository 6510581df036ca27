#include "ui/currentloop/clcalibration.h"

#include "services/clock.h"
#include "ui/services/messages.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace dxu {
namespace {

// An edit with its up/down spinner, 0 to 255 without wrap-around, shown with
// two digits at least.
class CalibrationSpin : public QSpinBox {
public:
    CalibrationSpin(const char* editName, const char* spinnerName, QWidget* parent) : QSpinBox(parent)
    {
        setObjectName(QString::fromLatin1(spinnerName));
        lineEdit()->setObjectName(QString::fromLatin1(editName));
        setRange(0, 255);
        setWrapping(false);
        setValue(0);
        lineEdit()->setText(QStringLiteral("0"));
    }

protected:
    QString textFromValue(int value) const override { return QString::asprintf("%02d", value); }
};

QLineEdit* editOf(const QSpinBox* spin) { return spin->findChild<QLineEdit*>(); }

} // namespace

TfrmCLCalibration::TfrmCLCalibration(QWidget* parent) : PlacedDialog(QSize(300, 150), parent)
{
    setObjectName(QStringLiteral("frmCLCalibration"));
    setWindowTitle(QStringLiteral("Calibration"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    updCoarse4_ = new CalibrationSpin("edCoarse4", "updCoarse4", this);
    updFine4_ = new CalibrationSpin("edFine4", "updFine4", this);
    updCoarse20_ = new CalibrationSpin("edCoarse20", "updCoarse20", this);
    updFine20_ = new CalibrationSpin("edFine20", "updFine20", this);
    auto button = [this](const char* name, const char* caption) {
        auto* b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    auto* set4 = button("pbSet4", "Set &4 mA");
    auto* set20 = button("pbSet20", "Set &20 mA");
    auto* save = button("pbSave", "&Save");
    auto* cancel = button("pbCancel", "&Cancel");

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Coarse"), this), 0, 1, Qt::AlignHCenter);
    grid->addWidget(new QLabel(QStringLiteral("Fine"), this), 0, 2, Qt::AlignHCenter);
    grid->addWidget(new QLabel(QStringLiteral("4 mA"), this), 1, 0);
    grid->addWidget(updCoarse4_, 1, 1);
    grid->addWidget(updFine4_, 1, 2);
    grid->addWidget(set4, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("20 mA"), this), 2, 0);
    grid->addWidget(updCoarse20_, 2, 1);
    grid->addWidget(updFine20_, 2, 2);
    grid->addWidget(set20, 2, 3);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(cancel);

    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addStretch();
    top->addLayout(buttons);

    connect(set4, &QPushButton::clicked, this, &TfrmCLCalibration::pbSet4Click);
    connect(set20, &QPushButton::clicked, this, &TfrmCLCalibration::pbSet20Click);
    connect(save, &QPushButton::clicked, this, &TfrmCLCalibration::pbSaveClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmCLCalibration::bind(DxuState& state, std::function<void()> sendFirst, std::function<void()> storeCalibration)
{
    st_ = &state;
    sendFirst_ = std::move(sendFirst);
    storeCalibration_ = std::move(storeCalibration);
}

void TfrmCLCalibration::showEvent(QShowEvent* event)
{
    PlacedDialog::showEvent(event);
    FormShow();
}

void TfrmCLCalibration::FormShow()
{
    if (!st_)
        return;
    const UnitRecord& r = st_->current();
    const auto show = [](QSpinBox* coarse, QSpinBox* fine, int32_t calibration) {
        coarse->setValue((calibration >> 8) & 0xFF);
        fine->setValue(calibration & 0xFF);
        // The two digits even when the value was already there.
        const CalibrationTexts t = calibrationTexts(calibration);
        editOf(coarse)->setText(t.coarse);
        editOf(fine)->setText(t.fine);
    };
    show(updCoarse4_, updFine4_, r.loopCalibration4mA);
    show(updCoarse20_, updFine20_, r.loopCalibration20mA);
}

void TfrmCLCalibration::setPoint(LoopPoint point, QSpinBox* coarse, QSpinBox* fine)
{
    if (!st_)
        return;
    if (const StepOutcome queued = queueCalibrationPoint(*st_, point, editOf(coarse)->text(), editOf(fine)->text(),
                                                         sendFirst_);
        !queued)
        showMessage(QStringLiteral("Error"), queued.refusal);
}

void TfrmCLCalibration::pbSet4Click() { setPoint(Point4mA, updCoarse4_, updFine4_); }
void TfrmCLCalibration::pbSet20Click() { setPoint(Point20mA, updCoarse20_, updFine20_); }

void TfrmCLCalibration::pbSaveClick()
{
    if (storeCalibration_)
        storeCalibration_();
    waitMs(100);
    accept();
}

} // namespace dxu
