#pragma once
// The journal in the window: the journal file and the recorder that the
// line's events feed, "File > History..." and "File > Commissioning
// Report...". A child of the main window, found there by its type.
#include "journal/journal.h"
#include "journal/journalfeed.h"
#include "journal/recorder.h"
#include "journal/report.h"
#include "journal/reportpeople.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

class QDialog;
class QWidget;

namespace dxu {

struct DxuState;
class TfrmHistory;

// The small dialog that asks them ("frmReportDetails", its edits
// "edTechnician" and "edSite"), filled with remembered; the caller owns it.
QDialog* makeReportDetailsDialog(QWidget* owner, const ReportPeople& remembered);

class JournalViews : public QObject {
    Q_OBJECT
public:
    // Asks for the technician and site, starting from the remembered ones;
    // nothing when the user cancels.
    using AskPeople = std::function<std::optional<ReportPeople>(const ReportPeople& remembered)>;
    // How long the journal may keep the program at its end, when another
    // program holds it.
    static constexpr int ExitWaitMs = 10000;

    JournalViews(DxuState& state, QWidget* owner);
    ~JournalViews() override;

    Journal& journal() { return journal_; }
    ChangeRecorder& recorder() { return recorder_; }
    // What the line's events tell the recorder.
    JournalFeed& feed() { return feed_; }
    // The line and the unit the window talks to now (on RS-232 the unit has
    // no address: the link alone names it).
    WriteTarget target() const;
    int lineRate() const;
    // The history window, once made.
    TfrmHistory* history() const;
    void setAskPeople(AskPeople ask) { askPeople_ = std::move(ask); }

public slots:
    // "File > &History...": the history window, made on first use.
    void History1Click();
    // "File > Co&mmissioning Report...": the PDF of the connected unit.
    void CommissioningReport1Click();

private:
    DxuState& st_;
    QWidget* owner_;
    Journal journal_;
    ChangeRecorder recorder_;
    JournalFeed feed_;
    QPointer<TfrmHistory> history_;
    AskPeople askPeople_;
    bool peopleAsked_ = false;
};

} // namespace dxu
