#include "ui/ports/commsetup.h"

#include "ports/devicepaths.h"
#include "ui/services/messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace dxu {
namespace {

// The device choice exists where "COM n" is a name for a device file.
#ifdef Q_OS_WIN
constexpr bool kDeviceChoice = false;
#else
constexpr bool kDeviceChoice = true;
#endif

QComboBox* rateList(QWidget* parent, const char* name)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(QLatin1String(name));
    // The texts are right-aligned with blanks, which needs a fixed-pitch font.
    c->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    for (int i = 0; i < RateCount; ++i)
        c->addItem(rateItemText(i));
    c->setCurrentIndex(-1);
    return c;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

TfrmCommSetup::TfrmCommSetup(QWidget* parent)
    : PlacedDialog(QSize(420, 260), parent)
{
    setObjectName(QStringLiteral("frmCommSetup"));
    setWindowTitle(QStringLiteral("Comm Ports Setup"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* top = new QVBoxLayout(this);
    top->addWidget(buildPcGroup(g232_, QStringLiteral("PC RS232 COMM PORT"), QStringLiteral("232")));
    top->addWidget(buildPcGroup(g485_, QStringLiteral("PC RS485 COMM PORT"), QStringLiteral("485")));
    top->addWidget(buildUnitGroup());

    pbExit_ = button(this, "pbExit", QStringLiteral("E&xit"));
    edTurnaround_ = new QSpinBox(this);
    edTurnaround_->setObjectName(QStringLiteral("edTurnaround"));
    edTurnaround_->setRange(0, MaxTurnaroundMs);
    edTurnaround_->setSuffix(QStringLiteral(" ms"));
    edTurnaround_->setSpecialValueText(QStringLiteral("Auto"));
    const QString turnaroundTip =
        QStringLiteral("The least pause after a unit's reply before the next command is sent, so that a unit "
                       "on an RS-485 line has let go of it. Auto: one character time at the line rate plus 2 ms. "
                       "Units or adapters that need longer take a larger value.");
    edTurnaround_->setToolTip(turnaroundTip);
    auto* turnaroundLabel = new QLabel(QStringLiteral("&Turnaround after a reply:"), this);
    turnaroundLabel->setBuddy(edTurnaround_);
    turnaroundLabel->setToolTip(turnaroundTip);
    auto* exitRow = new QHBoxLayout;
    exitRow->addWidget(turnaroundLabel);
    exitRow->addWidget(edTurnaround_);
    exitRow->addStretch();
    exitRow->addWidget(pbExit_);
    top->addLayout(exitRow);

    connect(g232_.inUse, &QCheckBox::clicked, this, &TfrmCommSetup::cbActive232Click);
    connect(g485_.inUse, &QCheckBox::clicked, this, &TfrmCommSetup::cbActive485Click);
    connect(g232_.set, &QPushButton::clicked, this, &TfrmCommSetup::pbSetPC232Click);
    connect(g485_.set, &QPushButton::clicked, this, &TfrmCommSetup::pbSetPC485Click);
    connect(pbConfigBaudRate_, &QPushButton::clicked, this, &TfrmCommSetup::pbConfigBaudRateClick);
    connect(pbUniversalBaudRate_, &QPushButton::clicked, this, &TfrmCommSetup::pbUniversalBaudRateClick);
    connect(pbExit_, &QPushButton::clicked, this, &TfrmCommSetup::pbExitClick);
    connect(edTurnaround_, &QSpinBox::valueChanged, this, &TfrmCommSetup::edTurnaroundChange);
}

QWidget* TfrmCommSetup::buildPcGroup(PcGroup& g, const QString& caption, const QString& suffix)
{
    auto* box = new QGroupBox(caption, this);
    auto* grid = new QGridLayout(box);
    const QByteArray sfx = suffix.toLatin1();

    g.port = new QComboBox(box);
    g.port->setObjectName(QStringLiteral("cmbPC%1Port").arg(suffix));
    for (int i = 0; i < PortListCount; ++i)
        g.port->addItem(portItemText(i));
    g.port->setCurrentIndex(-1);
    g.rate = rateList(box, ("cmbPC" + sfx + "Rate").constData());
    g.inUse = new QCheckBox(QStringLiteral("In Use"), box);
    g.inUse->setObjectName(QStringLiteral("cbActive%1").arg(suffix));
    g.set = button(box, ("pbSetPC" + sfx).constData(), QStringLiteral("&Set"));

    grid->addWidget(new QLabel(QStringLiteral("Port:"), box), 0, 0);
    grid->addWidget(g.port, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Baud Rate:"), box), 0, 2);
    grid->addWidget(g.rate, 0, 3);
    grid->addWidget(g.inUse, 0, 4);
    grid->addWidget(g.set, 0, 5);

    if (kDeviceChoice) {
        g.device = new QComboBox(box);
        g.device->setObjectName(QStringLiteral("cmbPC%1Device").arg(suffix));
        g.device->setEditable(true);
        g.device->setInsertPolicy(QComboBox::NoInsert);
        g.device->setMinimumContentsLength(28);
        g.device->setToolTip(QStringLiteral("The device file this COM port opens. "
                                            "Choose a serial device present or type a path."));
        g.deviceNote = new QLabel(box);
        g.deviceNote->setObjectName(QStringLiteral("lblPC%1DeviceNote").arg(suffix));
        g.deviceNote->setVisible(false);
        grid->addWidget(new QLabel(QStringLiteral("Device:"), box), 1, 0);
        grid->addWidget(g.device, 1, 1, 1, 5);
        grid->addWidget(g.deviceNote, 2, 1, 1, 5);
        connect(g.port, &QComboBox::currentIndexChanged, this, [this, &g] { showDeviceOf(g); });
        buildOptions(g, grid, suffix);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    return box;
}

// Direction control of an RS-485 adapter, the echo, the extra reply time
// and the CA file of a TLS link: stored for the port with Set.
void TfrmCommSetup::buildOptions(PcGroup& g, QGridLayout* grid, const QString& suffix)
{
    QWidget* box = g.device->parentWidget();
    const auto spin = [box](const QString& name, int max, const QString& tip) {
        auto* s = new QSpinBox(box);
        s->setObjectName(name);
        s->setRange(0, max);
        s->setSuffix(QStringLiteral(" ms"));
        s->setToolTip(tip);
        return s;
    };
    g.direction = new QComboBox(box);
    g.direction->setObjectName(QStringLiteral("cmbPC%1Direction").arg(suffix));
    g.direction->addItems({QStringLiteral("The adapter switches direction itself"),
                           QStringLiteral("Kernel RS-485 mode: RTS on while sending"),
                           QStringLiteral("Kernel RS-485 mode: RTS on after sending")});
    g.direction->setToolTip(QStringLiteral("How the transmitter of an RS-485 adapter is switched on. Most USB "
                                           "adapters switch it themselves; a port that needs the kernel's "
                                           "RS-485 mode (TIOCSRS485) drives it by RTS."));
    g.rtsBefore = spin(QStringLiteral("edPC%1RtsBefore").arg(suffix), PortOptions::MaxDelayMs,
                       QStringLiteral("Kernel RS-485 mode: RTS delay before sending"));
    g.rtsAfter = spin(QStringLiteral("edPC%1RtsAfter").arg(suffix), PortOptions::MaxDelayMs,
                      QStringLiteral("Kernel RS-485 mode: RTS delay after sending"));
    g.dropEcho = new QCheckBox(QStringLiteral("Drop the echo"), box);
    g.dropEcho->setObjectName(QStringLiteral("cbPC%1DropEcho").arg(suffix));
    g.dropEcho->setToolTip(QStringLiteral("For converters that hear their own transmission: what comes back "
                                          "as it was sent is not taken as the unit's reply."));
    g.replyAllowance = spin(QStringLiteral("edPC%1ReplyAllowance").arg(suffix), PortOptions::MaxReplyAllowanceMs,
                            QStringLiteral("Time added to the 2000 ms a reply may take, for a device server "
                                           "whose network round trip needs it."));
    g.caFile = new QLineEdit(box);
    g.caFile->setObjectName(QStringLiteral("edPC%1CaFile").arg(suffix));
    g.caFile->setPlaceholderText(QStringLiteral("the system's CAs"));
    g.caFile->setToolTip(QStringLiteral("tls:// and rfc2217+tls:// addresses: a PEM file of the certificates "
                                        "that the server's certificate must be signed by."));

    grid->addWidget(new QLabel(QStringLiteral("Direction:"), box), 3, 0);
    grid->addWidget(g.direction, 3, 1, 1, 3);
    auto* delays = new QHBoxLayout;
    delays->addWidget(new QLabel(QStringLiteral("before"), box));
    delays->addWidget(g.rtsBefore);
    delays->addWidget(new QLabel(QStringLiteral("after"), box));
    delays->addWidget(g.rtsAfter);
    grid->addLayout(delays, 3, 4, 1, 2);
    grid->addWidget(g.dropEcho, 4, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Extra reply time:"), box), 4, 2);
    grid->addWidget(g.replyAllowance, 4, 3);
    grid->addWidget(new QLabel(QStringLiteral("CA file:"), box), 5, 0);
    grid->addWidget(g.caFile, 5, 1, 1, 5);
    const auto delaysUsed = [&g] {
        const bool kernel = g.direction->currentIndex() > 0;
        g.rtsBefore->setEnabled(kernel);
        g.rtsAfter->setEnabled(kernel);
    };
    connect(g.direction, &QComboBox::currentIndexChanged, this, delaysUsed);
    delaysUsed();
}

void TfrmCommSetup::showOptionsOf(PcGroup& g, int com)
{
    if (!g.direction)
        return;
    const PortOptions o = com > 0 ? loadPortOptions(com) : PortOptions{};
    g.direction->setCurrentIndex(int(o.rs485));
    g.rtsBefore->setValue(o.rtsBeforeMs);
    g.rtsAfter->setValue(o.rtsAfterMs);
    g.dropEcho->setChecked(o.dropEcho);
    g.replyAllowance->setValue(o.replyAllowanceMs);
    g.caFile->setText(o.caFile);
}

PortOptions TfrmCommSetup::optionsOf(const PcGroup& g) const
{
    PortOptions o;
    o.rs485 = Rs485Mode(std::clamp(g.direction->currentIndex(), 0, 2));
    o.rtsBeforeMs = g.rtsBefore->value();
    o.rtsAfterMs = g.rtsAfter->value();
    o.dropEcho = g.dropEcho->isChecked();
    o.replyAllowanceMs = g.replyAllowance->value();
    o.caFile = g.caFile->text().trimmed();
    return o;
}

QWidget* TfrmCommSetup::buildUnitGroup()
{
    auto* box = new QGroupBox(QStringLiteral("DXU COMM PORTS"), this);
    auto* grid = new QGridLayout(box);
    cmbDXUConfigRate_ = rateList(box, "cmbDXUConfigRate");
    cmbDXUUniversalRate_ = rateList(box, "cmbDXUUniversalRate");
    pbConfigBaudRate_ = button(box, "pbConfigBaudRate", QStringLiteral("&Set"));
    pbUniversalBaudRate_ = button(box, "pbUniversalBaudRate", QStringLiteral("&Set"));

    const auto heading = [box](const QString& text) {
        auto* l = new QLabel(text, box);
        l->setAlignment(Qt::AlignCenter);
        return l;
    };
    grid->addWidget(heading(QStringLiteral("Configuration\nPort")), 0, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Baud Rate:"), box), 1, 0);
    grid->addWidget(cmbDXUConfigRate_, 1, 1);
    grid->addWidget(pbConfigBaudRate_, 1, 2);
    grid->setColumnMinimumWidth(3, 24);
    grid->addWidget(heading(QStringLiteral("Universal\nPort")), 0, 4, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Baud Rate:"), box), 1, 4);
    grid->addWidget(cmbDXUUniversalRate_, 1, 5);
    grid->addWidget(pbUniversalBaudRate_, 1, 6);
    return box;
}

void TfrmCommSetup::bind(DxuState& state, PcPort& port, Ui& mainUi, std::function<void()> queueUpload)
{
    st_ = &state;
    port_ = &port;
    mainUi_ = &mainUi;
    queueUpload_ = std::move(queueUpload);
}

void TfrmCommSetup::showEvent(QShowEvent* event)
{
    PlacedDialog::showEvent(event);
    FormShow();
}

void TfrmCommSetup::FormShow()
{
    if (!st_)
        return;
    const UnitRecord& r = st_->unitTable[0];
    const auto select = [](QComboBox* c, int index) { c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1); };
    select(g232_.port, r.port232);
    select(g232_.rate, r.port232RateIndex);
    select(g485_.port, r.port485);
    select(g485_.rate, r.port485RateIndex);
    for (PcGroup* g : {&g232_, &g485_})
        if (g->device) {
            g->device->clear();
            g->device->addItems(listSerialDevices());
            showDeviceOf(*g);
        }

    const bool open = port_->Connected();
    select(cmbDXUConfigRate_, open ? indexOfRate(st_->current().port0Baud) : -1);
    select(cmbDXUUniversalRate_, open ? indexOfRate(st_->current().port1Baud) : -1);
    // Unit rates can only be changed on a unit that is connected.
    for (QWidget* w : {static_cast<QWidget*>(cmbDXUConfigRate_), static_cast<QWidget*>(cmbDXUUniversalRate_),
                       static_cast<QWidget*>(pbConfigBaudRate_), static_cast<QWidget*>(pbUniversalBaudRate_)})
        w->setEnabled(st_->connected != 0);

    g485_.inUse->setChecked(r.portInUse == 2);
    g232_.inUse->setChecked(r.portInUse != 2);
    showing_ = true;
    edTurnaround_->setValue(loadTurnaround());
    showing_ = false;
}

void TfrmCommSetup::edTurnaroundChange()
{
    if (st_ && !showing_)
        setTurnaround(*port_, edTurnaround_->value());
}

void TfrmCommSetup::showDeviceOf(PcGroup& g)
{
    if (!g.device)
        return;
    const int com = g.port->currentIndex() + 1;
    showOptionsOf(g, com);
    if (com <= 0) {
        g.device->setEditText(QString());
        g.device->setEnabled(false);
        g.deviceNote->setVisible(false);
        return;
    }
    const QString fixed = deviceOverride(com);
    g.device->setEnabled(fixed.isEmpty());
    const QString path = comDevicePath(com);
    g.device->setEditText(path);
    g.deviceNote->setText(deviceNote(com, path));
    g.deviceNote->setVisible(!g.deviceNote->text().isEmpty());
}

void TfrmCommSetup::cbActive232Click()
{
    if (g232_.inUse->isChecked())
        g485_.inUse->setChecked(false);
}

void TfrmCommSetup::cbActive485Click()
{
    if (g485_.inUse->isChecked())
        g232_.inUse->setChecked(false);
}

void TfrmCommSetup::setPc(PcGroup& g, PcLink link)
{
    if (!st_)
        return;
    if (g.device && g.device->isEnabled()) {
        const QString device = g.device->currentText().trimmed();
        if (!deviceTextValid(device)) {
            showMessage(QStringLiteral("Error"),
                        QStringLiteral("'%1' is no network address this program knows.\nWrite it as "
                                       "rfc2217://HOST:PORT, rfc2217+tls://HOST:PORT, tcp://HOST:PORT or "
                                       "tls://HOST:PORT.")
                            .arg(device));
            return;
        }
    }
    const bool inUse = g.inUse->isChecked();
    if (const StepOutcome set = setPcPort(*st_, *port_, link, g.port->currentIndex(), g.rate->currentIndex(), inUse);
        !set) {
        showMessage(QStringLiteral("Error"), set.refusal);
        return;
    }
    if (inUse)
        (link == PcLink::Rs232 ? g485_ : g232_).inUse->setChecked(false);
    if (g.device && g.device->isEnabled()) {
        const int com = g.port->currentIndex() + 1;
        if (!storeDevicePath(com, g.device->currentText()) || !storePortOptions(com, optionsOf(g)))
            showMessage(QStringLiteral("Error"),
                        QStringLiteral("The device for COM%1 could not be stored.").arg(com));
        showDeviceOf(g);
    }
}

void TfrmCommSetup::pbSetPC232Click() { setPc(g232_, PcLink::Rs232); }
void TfrmCommSetup::pbSetPC485Click() { setPc(g485_, PcLink::Rs485); }

void TfrmCommSetup::unitRateSet(UnitPort unitPort, QComboBox* list)
{
    if (st_)
        changeUnitRate(*st_, asker_, mainUi_->isEnabled("pbSaveSettings"), unitPort, list->currentIndex(),
                       queueUpload_);
}

void TfrmCommSetup::pbConfigBaudRateClick() { unitRateSet(UnitPort::Configuration, cmbDXUConfigRate_); }
void TfrmCommSetup::pbUniversalBaudRateClick() { unitRateSet(UnitPort::Universal, cmbDXUUniversalRate_); }

void TfrmCommSetup::pbExitClick() { accept(); }

void TfrmCommSetup::selectPcRate(PcLink link, int rateIndex)
{
    QComboBox* c = (link == PcLink::Rs485 ? g485_ : g232_).rate;
    c->setCurrentIndex(rateIndex >= 0 && rateIndex < RateCount ? rateIndex : -1);
}

} // namespace dxu
