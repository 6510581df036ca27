#include "ui/journal/journalviews.h"

#include "ui/journal/history.h"
#include "ports/portsettings.h"
#include "protocol/dxustate.h"
#include "serial/commportdriver.h"
#include "ui/services/filedialogs.h"
#include "ui/services/messages.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLineEdit>

#include <memory>

namespace dxu {
namespace {

// The technician and site, asked in the dialog below.
std::optional<ReportPeople> askPeopleDialog(QWidget* owner, const ReportPeople& remembered)
{
    const std::unique_ptr<QDialog> dialog(makeReportDetailsDialog(owner, remembered));
    if (dialog->exec() != QDialog::Accepted)
        return std::nullopt;
    auto field = [&dialog](const char* name) {
        return dialog->findChild<QLineEdit*>(QLatin1String(name))->text().trimmed();
    };
    return ReportPeople{field("edTechnician"), field("edSite")};
}

} // namespace

QDialog* makeReportDetailsDialog(QWidget* owner, const ReportPeople& remembered)
{
    auto* dialog = new QDialog(owner);
    dialog->setObjectName(QStringLiteral("frmReportDetails"));
    dialog->setWindowTitle(QStringLiteral("Commissioning Report"));
    auto* technician = new QLineEdit(remembered.technician, dialog);
    technician->setObjectName(QStringLiteral("edTechnician"));
    auto* site = new QLineEdit(remembered.site, dialog);
    site->setObjectName(QStringLiteral("edSite"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    // Room for a name or a site of 40 characters; the title is whole then.
    for (QLineEdit* edit : {technician, site})
        edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 40);
    auto* form = new QFormLayout(dialog);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->addRow(QStringLiteral("&Technician:"), technician);
    form->addRow(QStringLiteral("&Site:"), site);
    form->addRow(buttons);
    return dialog;
}

JournalViews::JournalViews(DxuState& state, QWidget* owner)
    : QObject(owner), st_(state), owner_(owner),
      // Said after the event in hand, never in the middle of the line's work.
      journal_({}, [this](const QString& text) {
          QMetaObject::invokeMethod(
              this, [text] { showMessage(QStringLiteral("Warning"), text); }, Qt::QueuedConnection);
      }),
      recorder_(journal_, [this] { return target(); }), feed_(recorder_, state),
      askPeople_([owner](const ReportPeople& remembered) { return askPeopleDialog(owner, remembered); })
{
    setObjectName(QStringLiteral("JournalViews"));
    deferFileDialog(owner, "CommissioningReportSave", QStringLiteral("Commissioning Report"),
                   QStringLiteral("PDF Files (*.pdf)"), QStringLiteral("pdf"), true);
}

JournalViews::~JournalViews()
{
    // What is still queued is written before the program ends; what cannot
    // be is said now, while it still can be.
    recorder_.settle();
    journal_.setNotice([](const QString& text) { showMessage(QStringLiteral("Warning"), text); });
    journal_.finish(ExitWaitMs);
    journal_.setNotice({});
}

WriteTarget JournalViews::target() const
{
    const UnitRecord& pc = st_.unitTable[0];
    const bool network = linkOfMode(st_) == PcLink::Rs485;
    const int comNumber = (network ? pc.port485 : pc.port232) + 1;
    // The unit on the RS-232 cable is the one unit of its link, whatever
    // address it holds: it is not the unit of that address on a network.
    const char address = network ? st_.current().addressChar() : 0;
    return {QStringLiteral("COM %1 (%2)").arg(comNumber).arg(comDevicePath(comNumber)),
            address ? QString(QLatin1Char(address)) : QString(),
            QString::fromLatin1(st_.versionText, qstrnlen(st_.versionText, sizeof st_.versionText)).trimmed()};
}

TfrmHistory* JournalViews::history() const { return history_; }

int JournalViews::lineRate() const { return rateOfIndex(pcRateIndex(st_, linkOfMode(st_))); }

void JournalViews::History1Click()
{
    if (!history_) {
        history_ = new TfrmHistory(owner_);
        history_->setJournal(&journal_);
    }
    history_->show();
    history_->raise();
    history_->activateWindow();
}

void JournalViews::CommissioningReport1Click()
{
    if (!st_.connected || !st_.current().settingsRead) {
        showMessage(QStringLiteral("Error"),
                    QStringLiteral("The commissioning report is made of the connected unit: connect and read it first."));
        return;
    }
    ReportPeople people = storedReportPeople();
    if (!peopleAsked_) {
        const std::optional<ReportPeople> asked = askPeople_ ? askPeople_(people) : people;
        if (!asked)
            return;
        people = *asked;
        storeReportPeople(people);
        peopleAsked_ = true;
    }
    DeferredFileDialog* dialog = DeferredFileDialog::of(owner_, QStringLiteral("CommissioningReportSave"));
    const QString path = dialog ? dialog->choose() : QString();
    if (path.isEmpty())
        return;
    recorder_.settle();
    const WriteTarget where = target();
    ReportDetails details{QDateTime::currentDateTime(), people.technician, people.site, where.link, lineRate(),
                          where.version};
    const std::vector<Change> today =
        journal_.changes(changesOfTheDay(where.link, where.address, where.version, details.date));
    const QString error = writeReportPdf(path, commissioningReport(st_.current(), details, today));
    if (!error.isEmpty())
        showMessage(QStringLiteral("Error"), error);
}

} // namespace dxu
