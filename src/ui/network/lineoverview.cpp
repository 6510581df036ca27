#include "ui/network/lineoverview.h"

#include "engine/session.h"
#include "protocol/linetext.h"
#include "protocol/settingcodes.h"
#include "serial/commportdriver.h"
#include "services/clock.h"
#include "services/csv.h"
#include "ui/services/filedialogs.h"
#include "ui/services/messages.h"
#include "services/safewrite.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace dxu {
namespace {

QString modeName(int32_t mode)
{
    const char* name = choiceCaption(findSetting("MM")->fields[0], mode);
    return name ? QLatin1String(name) : QStringLiteral("?");
}

QString text(std::string_view v) { return QString::fromLatin1(v.data(), static_cast<qsizetype>(v.size())).trimmed(); }


QString age(uint32_t ms)
{
    const uint32_t s = ms / 1000;
    return s < 120 ? QStringLiteral("%1 s").arg(s) : QStringLiteral("%1 min").arg(s / 60);
}

} // namespace

// ----------------------------------------------------------------------------
// The watch

LineWatch::Line& LineWatch::line() const
{
    const UnitRecord& pc = st_.unitTable[0];
    const bool network = st_.networkMode() != 0;
    const int com = (network ? pc.port485 : pc.port232) + 1;
    // While the port is not open the port may be mapped to another device:
    // looked up again, at most once a second (results of a unit connecting
    // come faster).
    const uint32_t now = tickCount();
    if (!line_ || network != lineNetwork_ || com != lineCom_ || (!st_.connected && now - lineLookedUp_ >= 1000)) {
        lineNetwork_ = network;
        lineCom_ = com;
        lineLookedUp_ = now;
        const QString name = QStringLiteral("COM %1 (%2)").arg(com).arg(comDevicePath(com));
        line_ = &lines_[(network ? QStringLiteral("RS-485 ") : QStringLiteral("RS-232 ")) + name];
        line_->name = name;
    }
    return *line_;
}

void LineWatch::result(const Result& r)
{
    UnitFacts& f = r.address ? of(r.address) : onScreen();
    f.answer = UnitFacts::Answer::Answered;
    const bool metres = r.metres;
    detail::TextBuilder shown(f.result.data(), f.result.size());
    switch (r.kind) {
    case Result::Kind::Distance:
    case Result::Kind::Target:
        if (r.noValue)
            shown.put("no value");
        else
            shown.putFixed(double(r.distance), metres ? 3 : 2).put(metres ? " m" : " ft");
        break;
    case Result::Kind::Detection:
    case Result::Kind::TripTime: {
        const std::string_view state = detail::trimBlanks(r.state), what = detail::trimBlanks(r.detail);
        shown.put(state);
        if (!state.empty() && !what.empty())
            shown.put(' ');
        shown.put(what);
        break;
    }
    case Result::Kind::Other:
        shown.put("(result)");
        break;
    }
    f.resultTick = tickCount();
}

void LineWatch::deviceError(const DeviceError& e)
{
    UnitFacts& f = e.address ? of(e.address) : onScreen();
    f.answer = UnitFacts::Answer::Answered;
    f.error = text(e.text);
}

void LineWatch::version(std::string_view t) { onScreen().version = text(t); }

void LineWatch::laserState(bool on)
{
    UnitFacts& f = onScreen();
    f.answer = UnitFacts::Answer::Answered;
    f.statusKnown = true;
    f.measuring = on;
}

void LineWatch::addressNotAssigned() { onScreen().error = QStringLiteral("Address not assigned"); }

void LineWatch::unitStatus(int unitIndex, bool answered)
{
    const UnitRecord& r = st_.unitTable[static_cast<size_t>(DxuState::index(unitIndex))];
    UnitFacts& f = of(r.addressChar());
    f.answer = answered ? UnitFacts::Answer::Answered : UnitFacts::Answer::Silent;
    if (answered) {
        f.statusKnown = true;
        f.measuring = r.laserOn != 0;
    }
}

void LineWatch::measuringStarted()
{
    onScreen().statusKnown = true;
    onScreen().measuring = true;
}

QStringList LineWatch::header()
{
    return {QStringLiteral("Address"),     QStringLiteral("Version"),     QStringLiteral("Mode"),
            QStringLiteral("Units"),       QStringLiteral("State"),       QStringLiteral("Last result"),
            QStringLiteral("Age"),         QStringLiteral("Last error"),  QStringLiteral("Settings")};
}

std::vector<int> LineWatch::rowUnits() const
{
    std::vector<int> units;
    if (!st_.networkMode())
        units.push_back(0);
    else
        for (int i = 1; i <= st_.networkCount && i < static_cast<int>(st_.unitTable.size()); ++i)
            units.push_back(i);
    return units;
}

std::vector<QStringList> LineWatch::rows(uint32_t now) const
{
    std::vector<QStringList> out;
    for (int i : rowUnits()) {
        const UnitRecord& r = st_.unitTable[static_cast<size_t>(i)];
        const char address = r.addressChar();
        const UnitFacts& f = facts(address);
        const bool read = r.settingsRead != 0;
        QString state;
        if (f.answer == UnitFacts::Answer::Silent)
            state = QStringLiteral("not answering");
        else if (f.statusKnown)
            state = f.measuring ? QStringLiteral("measuring") : QStringLiteral("idle");
        out.push_back({address ? QString(QLatin1Char(address)) : QStringLiteral("-"),
                       f.version,
                       read ? modeName(r.measureMode) : QString(),
                       read ? (r.units ? QStringLiteral("metres") : QStringLiteral("feet")) : QString(),
                       state,
                       QString::fromLatin1(f.result.data()),
                       f.result[0] == 0 ? QString() : age(now - f.resultTick),
                       f.error,
                       f.unsaved ? QStringLiteral("not saved") : QString()});
    }
    return out;
}

// ----------------------------------------------------------------------------
// The window

TfrmLineOverview::TfrmLineOverview(const DxuState& state, const LineWatch& watch, QWidget* parent)
    : PlacedDialog(QSize(860, 320), parent), st_(state), watch_(watch)
{
    setObjectName(QStringLiteral("frmLineOverview"));
    setWindowTitle(QStringLiteral("Line Overview"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    lblLineState_ = new QLabel(this);
    lblLineState_->setObjectName(QStringLiteral("lblLineState"));
    grid_ = new QTableWidget(0, static_cast<int>(LineWatch::header().size()), this);
    grid_->setObjectName(QStringLiteral("grdLineOverview"));
    grid_->setHorizontalHeaderLabels(LineWatch::header());
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->verticalHeader()->setVisible(false);
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    grid_->horizontalHeader()->setStretchLastSection(true);
    grid_->setWordWrap(false);
    grid_->setToolTip(QStringLiteral("Double-click a unit to view it"));
    auto* pbExport = new QPushButton(QStringLiteral("&Export CSV..."), this);
    pbExport->setObjectName(QStringLiteral("pbExportCsv"));
    auto* pbClose = new QPushButton(QStringLiteral("&Close"), this);
    pbClose->setObjectName(QStringLiteral("pbCloseOverview"));
    for (QPushButton* b : {pbExport, pbClose})
        b->setAutoDefault(false);
    save_ = deferFileDialog(this, "LineOverviewSave", QStringLiteral("Export CSV"), QStringLiteral("CSV Files (*.csv)"),
                           QStringLiteral("csv"), true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(pbExport);
    buttons->addStretch();
    buttons->addWidget(pbClose);
    auto* top = new QVBoxLayout(this);
    top->addWidget(lblLineState_);
    top->addWidget(grid_, 1);
    top->addLayout(buttons);

    connect(pbExport, &QPushButton::clicked, this, &TfrmLineOverview::pbExportCsvClick);
    connect(pbClose, &QPushButton::clicked, this, &QDialog::close);
    connect(grid_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (row >= 0 && row < static_cast<int>(units_.size()) && onViewUnit)
            onViewUnit(units_[static_cast<size_t>(row)]);
    });
    // Only the ages and what the events changed: nothing goes on the line.
    auto* tick = new QTimer(this);
    tick->setInterval(500);
    connect(tick, &QTimer::timeout, this, [this] {
        if (isVisible())
            refresh();
    });
    tick->start();
}

void TfrmLineOverview::showEvent(QShowEvent* event)
{
    refresh();
    PlacedDialog::showEvent(event);
}

void TfrmLineOverview::refresh()
{
    units_ = watch_.rowUnits();
    const std::vector<QStringList> rows = watch_.rows(tickCount());
    const QString line = watch_.lineName();
    if (!st_.connected)
        lblLineState_->setText(
            QStringLiteral("Not connected: each row shows what was last heard from the unit on %1.").arg(line));
    else if (st_.networkMode())
        lblLineState_->setText(QStringLiteral("RS-485 network on %1, %2 unit%3; viewing unit %4 (address %5). Double-click a unit to view it.")
                                   .arg(line)
                                   .arg(st_.networkCount)
                                   .arg(st_.networkCount == 1 ? "" : "s")
                                   .arg(st_.currentUnit)
                                   .arg(QLatin1Char(st_.current().addressChar())));
    else
        lblLineState_->setText(QStringLiteral("RS-232 on %1: one unit.").arg(line));
    grid_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const bool viewing = st_.connected && units_[static_cast<size_t>(r)] == DxuState::index(st_.currentUnit);
        for (int c = 0; c < rows[static_cast<size_t>(r)].size(); ++c) {
            QTableWidgetItem* item = grid_->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                grid_->setItem(r, c, item);
            }
            item->setText(rows[static_cast<size_t>(r)][c]);
            QFont font = item->font();
            font.setBold(viewing);
            item->setFont(font);
        }
    }
}

void TfrmLineOverview::pbExportCsvClick()
{
    const QString path = save_->choose();
    if (path.isEmpty())
        return;
    refresh();
    QString csv;
    const auto line = [&csv](const QStringList& fields) {
        QStringList quoted;
        for (const QString& f : fields)
            quoted << csvField(f);
        csv += quoted.join(QLatin1Char(',')) + QLatin1Char('\n');
    };
    line(LineWatch::header());
    for (int r = 0; r < grid_->rowCount(); ++r) {
        QStringList fields;
        for (int c = 0; c < grid_->columnCount(); ++c)
            fields << (grid_->item(r, c) ? grid_->item(r, c)->text() : QString());
        line(fields);
    }
    const QString error = replaceFile(path, csv.toUtf8());
    if (!error.isEmpty())
        showMessage(QStringLiteral("Error"), QStringLiteral("Cannot write \"%1\": %2.").arg(path, error));
}

// ----------------------------------------------------------------------------
// The module

LineOverview::LineOverview(DxuState& state, Session& session, EventFanout& events, QWidget* owner)
    : QObject(owner), st_(state), session_(session), events_(events), owner_(owner), watch_(state)
{
    setObjectName(QStringLiteral("LineOverview"));
    events_.add(watch_);
}

LineOverview::~LineOverview()
{
    events_.remove(watch_);
    delete window_.data();
}

void LineOverview::LineOverview1Click()
{
    if (!window_) {
        window_ = new TfrmLineOverview(st_, watch_, owner_);
        window_->onViewUnit = [this](int unitIndex) { viewUnit(unitIndex); };
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void LineOverview::viewUnit(int unitIndex)
{
    const int from = st_.currentUnit;
    if (!st_.connected || !st_.networkMode() || unitIndex < 1 || unitIndex > st_.networkCount || unitIndex == from)
        return;
    // Prev/Next step one unit from the unit on screen: stand beside the one
    // wanted and step once. A step the session refuses (a list of the unit
    // on screen still answered) leaves the unit on screen as it was.
    const bool forward = unitIndex > from;
    st_.currentUnit = forward ? unitIndex - 1 : unitIndex + 1;
    session_.switchUnit(forward ? StepNext : StepPrevious);
    if (st_.currentUnit != unitIndex)
        st_.currentUnit = from;
    if (window_)
        window_->refresh();
}

} // namespace dxu
