#pragma once
// "Connections > Line Overview...": every unit of the network list in one
// table, from what the line already carries: the status requests the poll
// timer sends, the replies of the unit on screen, its results and errors.
// It sends nothing of its own. LineWatch gathers, TfrmLineOverview shows,
// LineOverview composes them with the menu item.
#include "protocol/dxustate.h"
#include "protocol/events.h"
#include "ui/services/formplacement.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <map>
#include <vector>

class QLabel;
class QTableWidget;

namespace dxu {

class DeferredFileDialog;
class Session;

// What the line has told about one unit.
struct UnitFacts {
    enum class Answer { Unknown, Answered, Silent };
    Answer answer = Answer::Unknown;
    bool statusKnown = false;
    bool measuring = false;
    QString version;
    // The last result as shown, empty when none came (kept as bytes: one
    // comes with every result of a stream; room for a state and a detail).
    std::array<char, 128> result{};
    uint32_t resultTick = 0;
    QString error;         // the last device error's text
    bool unsaved = false;  // written settings the unit has not saved
};

// The subscriber: the facts of each unit, kept while the program runs. A
// unit is its line and its address: what the RS-232 cable told stays apart
// from an RS-485 line's unit of the same address, and two ports (two
// adapters, two device servers) are two lines. The line is the one the mode
// uses now: its kind, its port and the device behind the port.
class LineWatch final : public UnitEvents {
public:
    explicit LineWatch(const DxuState& state) : st_(state) {}

    // What the line in use now told of the unit at address.
    const UnitFacts& facts(char address) const { return line().units[static_cast<unsigned char>(address) & 0x7F]; }
    // The line in use now: "COM 2 (/dev/ttyUSB1)".
    QString lineName() const { return line().name; }
    // The table's rows: one per unit of the network list (on RS-232 the one
    // unit), each cell as shown; header() names the columns.
    static QStringList header();
    std::vector<QStringList> rows(uint32_t now) const;
    // The record index each row shows.
    std::vector<int> rowUnits() const;

    void result(const Result& r) override;
    void deviceError(const DeviceError& e) override;
    void version(std::string_view text) override;
    void laserState(bool on) override;
    void addressNotAssigned() override;
    void unitStatus(int unitIndex, bool answered) override;
    void settingWritten(uint32_t) override { onScreen().unsaved = true; }
    void settingsSaved() override { onScreen().unsaved = false; }
    void measuringStarted() override;
    void connectAnswered() override { onScreen().answer = UnitFacts::Answer::Answered; }
    void connectUnanswered() override { onScreen().answer = UnitFacts::Answer::Silent; }

private:
    struct Line {
        QString name;
        std::array<UnitFacts, 128> units{};
    };
    // The line in use now, made on first use. Its device is looked up again
    // when the mode or the port changed, and now and then while the port is
    // not open.
    Line& line() const;
    UnitFacts& of(char address) { return line().units[static_cast<unsigned char>(address) & 0x7F]; }
    UnitFacts& onScreen() { return of(st_.current().addressChar()); }

    const DxuState& st_;
    mutable std::map<QString, Line> lines_;
    mutable Line* line_ = nullptr;
    mutable bool lineNetwork_ = false;
    mutable int lineCom_ = 0;
    mutable uint32_t lineLookedUp_ = 0;
};

class TfrmLineOverview : public PlacedDialog {
    Q_OBJECT
public:
    TfrmLineOverview(const DxuState& state, const LineWatch& watch, QWidget* parent = nullptr);

    // Called with the record index of a row double-clicked.
    std::function<void(int unitIndex)> onViewUnit;

public slots:
    // Shows what the watch holds now (also every half second while shown).
    void refresh();
    void pbExportCsvClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    const DxuState& st_;
    const LineWatch& watch_;
    QLabel* lblLineState_ = nullptr;
    QTableWidget* grid_ = nullptr;
    DeferredFileDialog* save_ = nullptr;
    std::vector<int> units_;
};

// The module: the watch subscribed to the core's events, the window made on
// first use, and viewing a unit as Prev/Next would.
class LineOverview : public QObject {
    Q_OBJECT
public:
    LineOverview(DxuState& state, Session& session, EventFanout& events, QWidget* owner);
    ~LineOverview() override;

    TfrmLineOverview* window() const { return window_; }

public slots:
    void LineOverview1Click();
    // Steps to the unit of that record index as Prev/Next steps: its stored
    // settings when it was read, else a connect to it. Only while connected
    // to a network and the line is not busy with a list of the unit on screen.
    void viewUnit(int unitIndex);

private:
    DxuState& st_;
    Session& session_;
    EventFanout& events_;
    QWidget* owner_;
    LineWatch watch_;
    QPointer<TfrmLineOverview> window_;
};

} // namespace dxu
