// The widgets of the main window's panels: the settings panels and the
// display panel with its buttons, named as the settings panel and the result
// display address them. Behaviour lives in SettingsPanel and ResultDisplay.
#include "ui/settings/panelwidgets.h"

#include "protocol/settingcodes.h"
#include "ui/settings/moderules.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <type_traits>
#include <vector>

namespace dxu {
namespace {

constexpr int EditWidth = 64;
constexpr int WideEditWidth = 78;

// The caption the setting-code table gives a value of a setting's field.
QString caption(const char* code, int32_t value, int field = 0)
{
    return QString::fromLatin1(choiceCaption(findSetting(code)->fields[static_cast<size_t>(field)], value));
}

// The captions of every value of a setting, in the order of its values.
QStringList captions(const char* code)
{
    QStringList list;
    for (const Choice& c : findSetting(code)->fields[0].choices)
        list << QString::fromLatin1(c.caption);
    return list;
}

QLineEdit* edit(QWidget* parent, const char* name, int width = EditWidth, const QString& hint = {})
{
    auto* e = named(new QLineEdit(parent), name, hint);
    e->setFixedWidth(width);
    e->setAlignment(Qt::AlignRight);
    return e;
}

QCheckBox* check(QWidget* parent, const char* name, const QString& text)
{
    return named(new QCheckBox(text, parent), name);
}

QRadioButton* radio(QWidget* parent, const char* name, const QString& text)
{
    return named(new QRadioButton(text, parent), name);
}

QComboBox* combo(QWidget* parent, const char* name, const QStringList& items, bool editable = false)
{
    auto* c = named(new QComboBox(parent), name);
    c->setEditable(editable);
    c->addItems(items);
    if (editable)
        c->setInsertPolicy(QComboBox::NoInsert);
    return c;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text)
{
    auto* b = named(new QPushButton(text, parent), name);
    b->setAutoDefault(false);
    return b;
}

// A captioned settings panel: bold caption, normal-weight contents laid out
// on a grid that keeps its rows at the top.
struct Panel {
    QGroupBox* box;
    QWidget* body;
    QGridLayout* grid;
};

Panel panel(QWidget* parent, const char* name, const QString& caption)
{
    auto* box = named(new QGroupBox(caption, parent), name);
    QFont bold = box->font();
    bold.setBold(true);
    box->setFont(bold);
    auto* outer = new QVBoxLayout(box);
    outer->setContentsMargins(6, 2, 6, 5);
    auto* body = new QWidget(box);
    QFont normal = bold;
    normal.setBold(false);
    body->setFont(normal);
    outer->addWidget(body);
    auto* grid = new QGridLayout(body);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    return {box, body, grid};
}

// Rows of caption, edit and optional unit label.
struct Field {
    const char* labelName;
    const char* caption;
    const char* editName;
    const char* unitName = nullptr;
    const char* unitText = nullptr;
};

void addFields(const Panel& p, std::initializer_list<Field> rows)
{
    int r = p.grid->rowCount() == 1 && p.grid->count() == 0 ? 0 : p.grid->rowCount();
    for (const Field& f : rows) {
        p.grid->addWidget(label(p.body, f.labelName, QString::fromLatin1(f.caption)), r, 0);
        p.grid->addWidget(edit(p.body, f.editName), r, 1);
        if (f.unitName)
            p.grid->addWidget(label(p.body, f.unitName, QString::fromLatin1(f.unitText)), r, 2);
        ++r;
    }
}

// A small captioned group inside a panel.
QGroupBox* group(QWidget* parent, const char* name, const QString& caption, QBoxLayout::Direction dir,
                 std::initializer_list<QWidget*> widgets)
{
    auto* g = named(new QGroupBox(caption, parent), name);
    auto* l = new QBoxLayout(dir, g);
    l->setContentsMargins(6, 2, 6, 4);
    l->setSpacing(6);
    for (QWidget* w : widgets) {
        w->setParent(g);
        l->addWidget(w);
    }
    l->addStretch();
    return g;
}

// A label right before its control, and a unit after it, on one row.
QWidget* row(QWidget* parent, std::initializer_list<QWidget*> widgets, int spacing = 4)
{
    auto* w = new QWidget(parent);
    auto* l = new QHBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(spacing);
    for (QWidget* c : widgets) {
        c->setParent(w);
        l->addWidget(c);
    }
    l->addStretch();
    return w;
}

void finishGrid(QGridLayout* grid)
{
    grid->setRowStretch(grid->rowCount(), 1);
    grid->setColumnStretch(grid->columnCount(), 1);
}

QLabel* lamp(QWidget* parent, const char* name, const QString& text, bool whiteText)
{
    auto* l = label(parent, name, text);
    l->setAlignment(Qt::AlignCenter);
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setAutoFillBackground(true);
    QPalette p = l->palette();
    p.setColor(QPalette::Window, QColor(192, 192, 192));
    p.setColor(QPalette::WindowText, whiteText ? Qt::white : Qt::black);
    l->setPalette(p);
    l->setMinimumHeight(l->sizeHint().height() + 4);
    return l;
}

// Grows the readout's lines with their window, by how much the window exceeds
// the size it was designed for (its "designSize" property); never below the
// digits of that size.
class ReadoutScaler : public QObject {
public:
    ReadoutScaler(QWidget* screen, std::vector<QLabel*> lines, int lineHeight)
        : QObject(screen), screen_(screen), lines_(std::move(lines)), lineHeight_(lineHeight)
    {
        for (QLabel* l : lines_)
            pixels_.push_back(l->font().pixelSize());
        screen->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != screen_ || event->type() != QEvent::Resize)
            return false;
        const QWidget* window = screen_->window();
        const QSize now = window->size();
        const QSize base = window->property("designSize").toSize();
        if (base.isEmpty())
            return false;
        const double factor = std::max(1.0, std::min(static_cast<double>(now.width()) / base.width(),
                                                     static_cast<double>(now.height()) / base.height()));
        for (size_t i = 0; i < lines_.size(); ++i) {
            QFont f = lines_[i]->font();
            f.setPixelSize(static_cast<int>(pixels_[i] * factor));
            lines_[i]->setFont(f);
            lines_[i]->setFixedHeight(static_cast<int>(lineHeight_ * factor));
        }
        return false;
    }

private:
    QWidget* screen_;
    std::vector<QLabel*> lines_;
    std::vector<int> pixels_;
    int lineHeight_;
};

void blackBar(QLabel* l, int pixelSize, Qt::Alignment align)
{
    QFont f(QStringLiteral("sans-serif"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixelSize);
    f.setBold(true);
    l->setFont(f);
    l->setAlignment(align);
    l->setAutoFillBackground(true);
    QPalette p = l->palette();
    p.setColor(QPalette::Window, Qt::black);
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::Disabled, QPalette::WindowText, Qt::darkGray); // a stale result
    l->setPalette(p);
}

// Panels that share one place: only one of them is meant to be visible.
QWidget* stackedPlace(QWidget* parent, std::initializer_list<QWidget*> panels, bool fixedHeight)
{
    auto* place = new QWidget(parent);
    auto* grid = new QGridLayout(place);
    grid->setContentsMargins(0, 0, 0, 0);
    int height = 0;
    for (QWidget* p : panels) {
        p->setParent(place);
        grid->addWidget(p, 0, 0);
        height = std::max(height, p->sizeHint().height());
    }
    if (fixedHeight)
        place->setFixedHeight(height);
    return place;
}

} // namespace

QLabel* label(QWidget* parent, const char* name, const QString& text, const QString& hint)
{
    return named(new QLabel(text, parent), name, hint);
}

bool insideHiddenAnalogGroup(const QObject* o)
{
    for (const QObject* p = o->parent(); p; p = p->parent())
        if (p->objectName() == QLatin1String("GroupBox1"))
            return true;
    return false;
}

void buildPanelWidgets(QWidget* central, const std::function<QWidget*(QWidget*)>& makeHistogram)
{
    auto* columns = new QHBoxLayout(central);
    columns->setContentsMargins(4, 4, 4, 2);
    columns->setSpacing(4);
    auto* leftColumn = new QWidget(central);
    auto* rightColumn = new QWidget(central);
    auto* left = new QVBoxLayout(leftColumn);
    auto* right = new QVBoxLayout(rightColumn);
    for (QVBoxLayout* l : {left, right}) {
        l->setContentsMargins(0, 0, 0, 0);
        l->setSpacing(3);
    }
    columns->addWidget(leftColumn, 1);
    columns->addWidget(rightColumn, 0);

    // Tab follows the order the controls are made in: the panels left column
    // first, each column top to bottom, and in a panel line by line.

    // --- BASIC SETUP ---------------------------------------------------------
    {
        Panel p = panel(leftColumn, "pnlBasicSetup", QStringLiteral("BASIC SETUP"));
        QWidget* b = p.body;
        auto* units = group(b, "grpUnits", QStringLiteral("Units"), QBoxLayout::LeftToRight,
                            {check(b, "cbUnitsFeet", caption("MU", 0)),
                             check(b, "cbUnitsMeters", caption("MU", 1))});
        auto* shortGate = group(b, "grpShortGate", QStringLiteral("Short Gate"), QBoxLayout::LeftToRight,
                                {check(b, "cbShortGate", caption("EG", 1)), edit(b, "edShortGate"),
                                 label(b, "lblShortUnits", QStringLiteral("F"))});
        auto* longGate = group(b, "grpLongGate", QStringLiteral("Long Gate"), QBoxLayout::LeftToRight,
                               {check(b, "cbLongGate", caption("EG", 1, 1)), edit(b, "edLongGate"),
                                label(b, "lblLongUnits", QStringLiteral("F"))});
        auto* checkGate = group(b, "grpCheckGate", QStringLiteral("Check Gate"), QBoxLayout::LeftToRight,
                                {check(b, "cbCheckGate", caption("CG", 1))});
        auto* offset = group(b, "grpOffsetDistance", QStringLiteral("Offset Distance"),
                             QBoxLayout::LeftToRight,
                             {edit(b, "edOffsetDistance"), label(b, "lblODUnits", QStringLiteral("F"))});
        auto* flags = new QWidget(b);
        auto* fl = new QVBoxLayout(flags);
        fl->setContentsMargins(4, 4, 0, 0);
        fl->setSpacing(4);
        fl->addWidget(check(flags, "cbTarget", QStringLiteral("Cooperative Target")));
        fl->addWidget(check(flags, "cbTermination", QStringLiteral("RS485 Termination")));
        fl->addStretch();
        auto* power = group(b, "grpLaserPowerLevel", QStringLiteral("Laser Power Level"),
                            QBoxLayout::LeftToRight,
                            {radio(b, "rbHigh", caption("PL", 0)),
                             radio(b, "rbMedium", caption("PL", 1)),
                             radio(b, "rbLow", caption("PL", 2))});
        auto* intensity = group(b, "grpIntensityRejection", QStringLiteral("Intensity Rejection (ns)"),
                                QBoxLayout::LeftToRight,
                                {label(b, "lblMinIntensity", QStringLiteral("Min")),
                                 edit(b, "edMinIntensity", 52),
                                 label(b, "lblMaxIntensity", QStringLiteral("Max")),
                                 edit(b, "edMaxIntensity", 52)});

        p.grid->addWidget(units, 0, 0);
        p.grid->addWidget(shortGate, 0, 1);
        p.grid->addWidget(longGate, 0, 2);
        p.grid->addWidget(checkGate, 1, 0);
        p.grid->addWidget(offset, 1, 1);
        p.grid->addWidget(flags, 1, 2);
        auto* last = new QHBoxLayout;
        last->setSpacing(6);
        last->addWidget(power, 1);
        last->addWidget(intensity, 1);
        p.grid->addLayout(last, 2, 0, 1, 3);
        for (int c = 0; c < 3; ++c)
            p.grid->setColumnStretch(c, 1);
        left->addWidget(p.box);
    }

    // --- DXU CONTROL BUTTONS AND DISPLAY -------------------------------------
    {
        Panel p = panel(leftColumn, "pnlDisplay", QStringLiteral("DXU CONTROL BUTTONS AND DISPLAY"));
        QWidget* b = p.body;

        auto* lamps = new QHBoxLayout;
        lamps->setSpacing(4);
        lamps->addWidget(lamp(b, "lblConnected", QStringLiteral(" Connected "), true));
        lamps->addWidget(lamp(b, "lblLaserOn", QStringLiteral(" Laser On "), true));
        const struct {
            const char* name;
            const char* text;
            const char* tip;
        } kSettingLamps[] = {{"lblG", " G ", "Gating: a short or long gate is on"},
                             {"lblF", " CT ", "Cooperative target is on"},
                             {"lblO", " O ", "An offset distance is set"}};
        for (const auto& l : kSettingLamps) {
            QLabel* label = lamp(b, l.name, QLatin1String(l.text), false);
            label->setToolTip(QLatin1String(l.tip));
            lamps->addWidget(label);
        }
        auto* rx = lamp(b, "lblRx", QStringLiteral("BM"), false);
        rx->setMinimumWidth(rx->sizeHint().width() + 8);
        lamps->addWidget(rx);
        lamps->addStretch();
        auto* rate = label(b, "lblRate", QString(), QStringLiteral("Measurement Output Rate"));
        rate->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        rate->setMinimumWidth(70);
        lamps->addWidget(rate);

        // The result lines on black, with the histogram and the error bars in
        // the same place.
        auto* screen = new QFrame(b);
        screen->setObjectName(QStringLiteral("frmResultScreen"));
        screen->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        screen->setAutoFillBackground(true);
        QPalette sp = screen->palette();
        sp.setColor(QPalette::Window, Qt::black);
        screen->setPalette(sp);
        auto* sg = new QGridLayout(screen);
        sg->setContentsMargins(2, 2, 2, 2);
        sg->setSpacing(0);
        auto* result = label(screen, "lblResult", QStringLiteral("123.456  F"));
        blackBar(result, 64, Qt::AlignRight | Qt::AlignVCenter);
        auto* intensity = label(screen, "lblIntensity", QStringLiteral("10230"));
        blackBar(intensity, 64, Qt::AlignRight | Qt::AlignVCenter);
        QWidget* img = makeHistogram(screen);
        // Digits have no descent: the lines keep only a little of it.
        const int lineHeight = result->fontMetrics().ascent() + result->fontMetrics().descent() / 2;
        result->setFixedHeight(lineHeight);
        intensity->setFixedHeight(lineHeight);
        sg->addWidget(result, 0, 0);
        sg->addWidget(intensity, 1, 0);
        sg->addWidget(img, 1, 0, Qt::AlignCenter);

        auto* errors = new QWidget(screen);
        errors->setAttribute(Qt::WA_TransparentForMouseEvents);
        auto* el = new QVBoxLayout(errors);
        el->setContentsMargins(0, 0, 0, 0);
        el->setSpacing(0);
        auto* errTop = label(errors, "lblErrTop", QString());
        auto* error = label(errors, "lblError", QString());
        auto* errBottom = label(errors, "lblErrBottom", QString());
        blackBar(errTop, 14, Qt::AlignCenter);
        blackBar(error, 28, Qt::AlignCenter);
        error->setWordWrap(true);
        blackBar(errBottom, 14, Qt::AlignCenter);
        el->addWidget(errTop);
        el->addWidget(error, 1);
        el->addWidget(errBottom);
        sg->addWidget(errors, 0, 0, 2, 1);
        // The screen takes the room the window is enlarged by, and its
        // digits grow with it; its least size is what the digits need.
        screen->setMinimumHeight(std::max(2 * lineHeight, lineHeight + 89) + 6);
        screen->setMinimumWidth(screen->minimumSizeHint().width());
        for (QLabel* l : {result, intensity})
            l->setMinimumWidth(1);
        new ReadoutScaler(screen, {result, intensity}, lineHeight);

        auto* rg = named(new QGroupBox(QStringLiteral("Display"), b), "rgDisplay");
        auto* rgl = new QHBoxLayout(rg);
        rgl->setContentsMargins(6, 2, 6, 4);
        rgl->setSpacing(4);
        rgl->addWidget(radio(rg, "rbDistance", caption("DM", 1)));
        rgl->addWidget(radio(rg, "rbIntensity", caption("DM", 3)));
        rgl->addWidget(radio(rg, "rbBothNumbers", caption("DM", 2)));

        auto* info = new QGridLayout;
        info->setHorizontalSpacing(6);
        info->setVerticalSpacing(2);
        info->addWidget(label(b, "lblConnectionType", QString()), 0, 0, 1, 3);
        info->addWidget(label(b, "lblViewing", QStringLiteral("Viewing:")), 1, 0);
        info->addWidget(label(b, "lblDXUAddress", QStringLiteral("Address:")), 1, 1);
        auto* targets = label(b, "lblTargetList", QStringLiteral("Targets:"));
        targets->hide();
        info->addWidget(targets, 2, 0);
        info->addWidget(label(b, "lblTargetCount", QStringLiteral("0")), 2, 1);
        auto* current = label(b, "lblCurrent", QString());
        QFont bold = current->font();
        bold.setBold(true);
        current->setFont(bold);
        current->hide();
        info->addWidget(current, 2, 2);
        info->setColumnStretch(2, 1);

        auto* middle = new QHBoxLayout;
        middle->addWidget(rg);
        middle->addLayout(info, 1);

        auto* buttons = new QGridLayout;
        buttons->setSpacing(4);
        struct Btn {
            const char* name;
            const char* text;
            int r, c;
        };
        for (const Btn& x : {Btn{"pbConnect", "&Connect", 0, 0}, Btn{"pbRead", "&Read", 0, 1},
                             Btn{"pbUpload", "&Upload Settings", 0, 2},
                             Btn{"pbContinuous", "Measurement &Start", 1, 0},
                             Btn{"pbSingleMeasure", "Single &Measurement", 1, 1},
                             Btn{"pbSaveSettings", "Sa&ve Settings", 1, 2},
                             Btn{"pbPointer", "&Pointer On", 2, 0}, Btn{"pbReset", "Reset", 2, 1}}) {
            buttons->addWidget(button(b, x.name, QString::fromLatin1(x.text)), x.r, x.c);
        }
        auto* prev = button(b, "pbPrevDXU", QStringLiteral("Prev. DXU"));
        auto* next = button(b, "pbNextDXU", QStringLiteral("Next DXU"));
        for (QPushButton* nav : {prev, next}) {
            nav->setEnabled(false);
            nav->hide();
        }
        buttons->addWidget(row(b, {prev, next}), 2, 2);
        for (int c = 0; c < 3; ++c)
            buttons->setColumnStretch(c, 1);
        b->findChild<QWidget*>(QStringLiteral("pbUpload"))->setEnabled(false);
        b->findChild<QWidget*>(QStringLiteral("pbSaveSettings"))->setEnabled(false);

        p.grid->addLayout(lamps, 0, 0);
        p.grid->addWidget(screen, 1, 0);
        p.grid->addLayout(middle, 2, 0);
        p.grid->addLayout(buttons, 3, 0);
        p.grid->setRowStretch(1, 1);
        left->addWidget(p.box, 1);
    }

    // --- MEASUREMENT MODE ----------------------------------------------------
    {
        Panel p = panel(rightColumn, "pnlMode", QStringLiteral("MEASUREMENT MODE"));
        QWidget* b = p.body;
        QStringList modes; // in the order of the list's items
        for (int item = 0; item < 4; ++item)
            modes << caption("MM", modeOfItem(item));
        auto* mode = combo(b, "cmbMeasureMode", modes);
        auto* prf = combo(b, "cmbPRF",
                          {QStringLiteral("    10"), QStringLiteral("    50"), QStringLiteral("  100"),
                           QStringLiteral("  200"), QStringLiteral("  500"), QStringLiteral("1000")},
                          true);
        prf->setToolTip(QStringLiteral("Allowed 10..4000"));
        prf->setFixedWidth(WideEditWidth);
        auto* pulses = edit(b, "edPulsesperMeasure", EditWidth,
                            QStringLiteral("Must be greater than or equal to Required Dither Pulses"));
        auto* required = edit(b, "edPulsesRequired", EditWidth,
                              QStringLiteral("Must be less than Pulses/Measure"));
        p.grid->addWidget(label(b, "lblModeCaption", QStringLiteral("Mode")), 0, 0);
        p.grid->addWidget(mode, 0, 1);
        p.grid->addWidget(label(b, "lblPrfCaption", QStringLiteral("PRF")), 1, 0);
        p.grid->addWidget(row(b, {prf, label(b, "lblHz", QStringLiteral("Hz"))}), 1, 1);
        p.grid->addWidget(row(b, {label(b, "lblPulses", QStringLiteral("Pulses/")),
                                  label(b, "lblMeasure", QStringLiteral("Measure"))}, 0),
                          2, 0);
        p.grid->addWidget(pulses, 2, 1);
        p.grid->addWidget(row(b, {label(b, "lblRequired", QStringLiteral("Required")),
                                  label(b, "lblDitherPulses", QStringLiteral("Dither Pulses"))}),
                          3, 0);
        p.grid->addWidget(required, 3, 1);
        finishGrid(p.grid);
        right->addWidget(p.box);
    }

    // --- the mode panels -----------------------------------------------------
    Panel averaging = panel(central, "pnlAveraging", QStringLiteral("AVERAGING PARAMETERS"));
    {
        QWidget* b = averaging.body;
        averaging.grid->addWidget(check(b, "cbDither", QStringLiteral("Dithering")), 0, 0);
        auto* steps = combo(b, "cmbDitherSteps",
                            {QStringLiteral("  "), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("4"),
                             QStringLiteral("8"), QStringLiteral("16")});
        averaging.grid->addWidget(label(b, "lblDitherSteps", QStringLiteral("Dither Steps")), 0, 1,
                                  Qt::AlignRight);
        averaging.grid->addWidget(steps, 0, 2);
        averaging.grid->setColumnMinimumWidth(3, 12);
        averaging.grid->addWidget(button(b, "pbMore", QStringLiteral("&More >>")), 0, 4);
        finishGrid(averaging.grid);
    }
    Panel lastTarget = panel(central, "pnlLastTarget", QStringLiteral("LAST TARGET PARAMETERS"));
    lastTarget.grid->addWidget(check(lastTarget.body, "cbSuccessiveGate", QStringLiteral("Successive Gating")),
                               0, 0);
    finishGrid(lastTarget.grid);
    Panel binning = panel(central, "pnlBinning", QStringLiteral("BINNING PARAMETERS"));
    {
        QWidget* b = binning.body;
        binning.grid->addWidget(label(b, "lblTargetSelector", QStringLiteral("Target")), 0, 0);
        binning.grid->addWidget(combo(b, "cmbTargetSelector", captions("FA")), 0, 1);
        binning.grid->addWidget(label(b, "lblBinHits", QStringLiteral("Bin Hits")), 0, 2, Qt::AlignRight);
        binning.grid->addWidget(edit(b, "edBinHits", 48), 0, 3);
        auto* size = combo(b, "cmbBinSize",
                           {QStringLiteral("    2.5      (13)"), QStringLiteral("    5.1      (26)"),
                            QStringLiteral("  10.2      (52)"), QStringLiteral("  20.4    (104)"),
                            QStringLiteral("  40.8   (213)"), QStringLiteral("  81.6    (416)"),
                            QStringLiteral("163.2    (832)"), QStringLiteral("325.1  (1664)")});
        binning.grid->addWidget(label(b, "lblBinSize", QStringLiteral("Bin Size (Range)")), 1, 0);
        binning.grid->addWidget(row(b, {size, label(b, "lblBinUnits", QStringLiteral("cm (M)"))}), 1, 1, 1, 3);
        finishGrid(binning.grid);
    }
    Panel detection = panel(central, "pnlDetectionMode", QStringLiteral("DETECTION MODE"));
    {
        QWidget* b = detection.body;
        detection.grid->addWidget(row(b, {radio(b, "rbRelative", caption("LA", 0)),
                                          radio(b, "rbAbsolute", caption("LA", 1))}, 16),
                                  0, 0, 1, 2);
        detection.grid->addWidget(label(b, "lblDetectionLine1", QStringLiteral("Detection if range is less than")),
                                  1, 0);
        detection.grid->addWidget(label(b, "lblDetectionLine2", QStringLiteral("reference minus trip point")),
                                  2, 0);
        detection.grid->addWidget(row(b, {edit(b, "edTripPoint"),
                                          label(b, "lblDetectionModeUnits", QStringLiteral("F"))}),
                                  1, 1, 2, 1, Qt::AlignVCenter);
        finishGrid(detection.grid);
    }
    right->addWidget(stackedPlace(rightColumn, {averaging.box, lastTarget.box, binning.box, detection.box}, false));

    // --- more averaging, output processing or detection parameters ----------
    Panel more = panel(central, "pnlMoreAveraging", QStringLiteral("MORE AVERAGING PARAMETERS"));
    {
        addFields(more, {{"lblAverageBounds", "Average Bounds", "edAverageBounds", "lblAverageBoundsUnits", "psecs"},
                         {"lblInitialLock", "Initial Lock", "edInitialLock", "lblInitialLockUnits", "psecs"}});
        finishGrid(more.grid);
        // Drawn over the output-processing panel that shares its place.
        more.box->setAutoFillBackground(true);
    }
    Panel processing = panel(central, "pnlOutputProcessing", QStringLiteral("OUTPUT PROCESSING"));
    {
        QWidget* b = processing.body;
        processing.grid->addWidget(check(b, "cbCosineOn", QStringLiteral("Cosine On")), 0, 0);
        processing.grid->addWidget(label(b, "lblCosineFactor", QStringLiteral("Cosine Factor")), 0, 1,
                                   Qt::AlignRight);
        processing.grid->addWidget(edit(b, "edCosineFactor"), 0, 2);
        processing.grid->addWidget(row(b, {radio(b, "rbProcessingOff", caption("OP", 0)),
                                           radio(b, "rbWindowingOn", caption("OP", 1)),
                                           radio(b, "rbDampeningOn", caption("OP", 2))}, 16),
                                   1, 0, 1, 3);
        finishGrid(processing.grid);
    }
    Panel detectionParameters = panel(central, "pnlDetectionParameters", QStringLiteral("DETECTION PARAMETERS"));
    {
        addFields(detectionParameters, {{"lblTripTimeout", "Trip Timeout (secs)", "edTripTimeout"},
                                        {"lblFlyerTrap", "Flyer Trap (mm)", "edFlyerTrap"},
                                        {"lblMaxFalsePulses", "Max False Pulses", "edMaxFalsePulses"},
                                        {"lblMinTripPulses", "Min Trip Pulses in Detection", "edMinTripPulses"}});
        QGridLayout* g = detectionParameters.grid;
        g->addWidget(check(detectionParameters.body, "cbOutputTBE", QStringLiteral("Output TBE")), 4, 0, 1, 2);
        finishGrid(g);
    }
    right->addWidget(stackedPlace(rightColumn, {processing.box, detectionParameters.box, more.box}, false));
    more.box->raise();

    // --- off, windowing or dampening -----------------------------------------
    auto* off = named(new QWidget(central), "pnlOff");
    Panel windowing = panel(central, "pnlWindowing", QString());
    {
        addFields(windowing,
                  {{"lblWindowErrorTimeout", "Error Timeout (Measurement Cycles)", "edErrorTimeout"},
                   {"lblWindowWidth", "Error Range Difference (+/-)", "edWindowWidth", "lblWindowWidthUnits", "F"}});
        finishGrid(windowing.grid);
    }
    Panel dampening = panel(central, "pnlDampening", QString());
    {
        addFields(dampening,
                  {{"lblNumberofSamples", "Number of Samples", "edNumberofSamples"},
                   {"lblNumberofErrors", "Error Timeout (Measurement Cycles)", "edNumberofErrors"},
                   {"lblErrorRangeDifference", "Error Range Difference (+/-)", "edErrorRangeDifference",
                    "lblErrorRangeUnits", "F"}});
        QGridLayout* g = dampening.grid;
        finishGrid(g);
    }
    right->addWidget(stackedPlace(rightColumn, {off, windowing.box, dampening.box}, true));
    // The output setup keeps its place at the bottom whatever shows above it.
    right->addStretch(1);

    // --- OUTPUT SETUP --------------------------------------------------------
    {
        Panel p = panel(rightColumn, "pnlOutputSetup", QStringLiteral("OUTPUT SETUP"));
        QWidget* b = p.body;
        p.grid->addWidget(label(b, "lblMeasureOutput", QStringLiteral("Port")), 0, 0);
        p.grid->addWidget(combo(b, "cmbMeasureOutput", captions("MO")), 0, 1, 1, 2);
        p.grid->addWidget(check(b, "cbContinuousOutput", QStringLiteral("Continuous Output")), 1, 0, 1, 2);
        p.grid->addWidget(check(b, "cbAutostart", QStringLiteral("DXU Autostart")), 1, 2);
        finishGrid(p.grid);

        // The analog values are edited in the current-loop settings window;
        // this group stays out of sight and has no behaviour.
        auto* analog = named(new QGroupBox(QStringLiteral("Analog Settings"), p.box), "GroupBox1");
        auto* al = new QGridLayout(analog);
        al->addWidget(edit(analog, "edAnalogLow"), 0, 0);
        al->addWidget(edit(analog, "edAnalogHigh"), 0, 1);
        al->addWidget(edit(analog, "edFaultIndication"), 1, 0);
        al->addWidget(edit(analog, "edFaultTimeout"), 1, 1);
        al->addWidget(check(analog, "cb420Enable", QStringLiteral("4-20 mA")), 2, 0);
        analog->hide();
        right->addWidget(p.box);
    }

    // The right column is as wide as its widest panel in any mode, so that
    // switching modes never moves the columns.
    int rightWidth = 0;
    for (QWidget* place : rightColumn->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        rightWidth = std::max(rightWidth, place->sizeHint().width());
    rightColumn->setFixedWidth(rightWidth);
}

} // namespace dxu
