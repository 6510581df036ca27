#include "ui/network/linebackupwindow.h"

#include "network/linebackup.h"
#include "ports/portsettings.h"
#include "services/csv.h"
#include "ui/services/filedialogs.h"
#include "ui/services/messages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace dxu {
namespace {

QString g_cliPath;

QString cliPath()
{
    if (!g_cliPath.isEmpty())
        return g_cliPath;
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("dxu-cli"));
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStandardPaths::findExecutable(QStringLiteral("dxu-cli"));
}

} // namespace

void TfrmLineBackup::setCliPath(const QString& path) { g_cliPath = path; }

TfrmLineBackup::TfrmLineBackup(const DxuState& state, Asker& asker, QWidget* parent)
    : PlacedDialog(QSize(460, 300), parent), st_(state), asker_(asker)
{
    setObjectName(QStringLiteral("frmLineBackup"));
    setWindowTitle(QStringLiteral("Back Up Line"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    // A backup may go to a new folder; a restore comes from a backup.
    backupFolder_ = deferFolderDialog(this, "BackupLineFolder", QStringLiteral("Back Up Line: choose a folder"), true);
    restoreFolder_ =
        deferFolderDialog(this, "RestoreLineFolder", QStringLiteral("Restore Line: choose the backup's folder"), false);

    lblLineTask_ = new QLabel(this);
    lblLineTask_->setObjectName(QStringLiteral("lblLineTask"));
    lblLineTask_->setWordWrap(true);
    prgLine_ = new QProgressBar(this);
    prgLine_->setObjectName(QStringLiteral("prgLine"));
    prgLine_->setFormat(QStringLiteral("%v of %m units"));
    lstLineResults_ = new QListWidget(this);
    lstLineResults_->setObjectName(QStringLiteral("lstLineResults"));
    pbCancel_ = new QPushButton(QStringLiteral("&Cancel"), this);
    pbCancel_->setObjectName(QStringLiteral("pbCancelLine"));
    pbClose_ = new QPushButton(QStringLiteral("C&lose"), this);
    pbClose_->setObjectName(QStringLiteral("pbCloseLine"));
    for (QPushButton* b : {pbCancel_, pbClose_})
        b->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(pbCancel_);
    buttons->addWidget(pbClose_);
    auto* top = new QVBoxLayout(this);
    top->addWidget(lblLineTask_);
    top->addWidget(prgLine_);
    top->addWidget(lstLineResults_, 1);
    top->addLayout(buttons);
    connect(pbCancel_, &QPushButton::clicked, this, &TfrmLineBackup::pbCancelLineClick);
    connect(pbClose_, &QPushButton::clicked, this, &QDialog::accept);
}

TfrmLineBackup::~TfrmLineBackup()
{
    // The program ends: a run still going is stopped as Cancel stops it.
    if (running()) {
        process_->disconnect(this);
        process_->terminate();
        process_->waitForFinished(5000);
    }
}

bool TfrmLineBackup::canStart() const { return lineFree(st_) && !running(); }

bool TfrmLineBackup::lineFree(const DxuState& state)
{
    return state.networkMode() && state.networkCount > 0 && !state.connected;
}

QStringList TfrmLineBackup::lineArguments() const
{
    const int comNumber = st_.unitTable[0].port485 + 1;
    // The results as lines for programs: each unit's, and the manifest's.
    return {QStringLiteral("--port"), QStringLiteral("COM %1").arg(comNumber), QStringLiteral("--rate"),
            QString::number(rateOfIndex(pcRateIndex(st_, PcLink::Rs485))), QStringLiteral("--format"),
            QStringLiteral("csv")};
}

QString TfrmLineBackup::chooseFolder(const QString& title, const QString& doing, DeferredFileDialog& dialog)
{
    if (!canStart()) {
        showMessage(title, QStringLiteral("%1 needs the RS-485 line to itself: choose \"RS-485 Network\" with units "
                                          "in its list, and disconnect first.")
                               .arg(doing));
        return {};
    }
    return dialog.choose();
}

void TfrmLineBackup::BackupLine1Click()
{
    const QString folder = chooseFolder(QStringLiteral("Back Up Line"), QStringLiteral("Backing up"), *backupFolder_);
    if (folder.isEmpty())
        return;
    QString addresses;
    for (int i = 1; i <= st_.networkCount && i < static_cast<int>(st_.unitTable.size()); ++i)
        addresses += (addresses.isEmpty() ? QString() : QStringLiteral(",")) + QLatin1Char(st_.unitTable[static_cast<size_t>(i)].addressChar());
    backup_ = true;
    folder_ = folder;
    start(QStringLiteral("Back Up Line"),
          QStringList{QStringLiteral("backup"), QStringLiteral("--dir"), folder, QStringLiteral("--address"), addresses}
              + lineArguments(),
          st_.networkCount);
}

void TfrmLineBackup::RestoreLine1Click()
{
    const QString folder = chooseFolder(QStringLiteral("Restore Line"), QStringLiteral("Restoring"), *restoreFolder_);
    if (folder.isEmpty())
        return;
    const Manifest manifest = readManifest(folder);
    if (!manifest.ok()) {
        showMessage(QStringLiteral("Error"), manifest.error);
        return;
    }
    // The units' settings are overwritten: only once the user agrees.
    Asking asking{Question::RestoreLine};
    for (const ManifestRow& row : manifest.rows)
        asking.units += QLatin1Char(row.address);
    asking.file = QDir::toNativeSeparators(folder);
    if (!asker_.ask(asking))
        return;
    backup_ = false;
    folder_ = folder;
    start(QStringLiteral("Restore Line"), QStringList{QStringLiteral("restore"), QStringLiteral("--dir"), folder} + lineArguments(),
          static_cast<int>(manifest.rows.size()));
}

void TfrmLineBackup::start(const QString& title, const QStringList& args, int units)
{
    const QString program = cliPath();
    if (program.isEmpty()) {
        showMessage(QStringLiteral("Error"),
                    QStringLiteral("dxu-cli was not found beside this program nor on the PATH: the line cannot be %1.")
                        .arg(backup_ ? QStringLiteral("backed up") : QStringLiteral("restored")));
        return;
    }
    setWindowTitle(title);
    units_ = units;
    done_ = succeeded_ = saved_ = 0;
    manifest_.clear();
    cancelled_ = false;
    pending_.clear();
    errorPending_.clear();
    errors_.clear();
    lstLineResults_->clear();
    prgLine_->setRange(0, units);
    prgLine_->setValue(0);
    lblLineTask_->setText(backup_ ? QStringLiteral("Reading %1 units into %2 ...").arg(units).arg(folder_)
                                  : QStringLiteral("Putting the backup in %1 into its %2 units ...").arg(folder_).arg(units));
    pbCancel_->setEnabled(true);
    pbClose_->setEnabled(false);

    auto* p = new QProcess(this);
    process_ = p;
    connect(p, &QProcess::readyReadStandardOutput, this, &TfrmLineBackup::readOutput);
    connect(p, &QProcess::readyReadStandardError, this, [this, p] {
        // Progress lines, notes and errors: the errors are kept for the end.
        errorPending_ += p->readAllStandardError();
        qsizetype end;
        while ((end = errorPending_.indexOf('\n')) >= 0) {
            const QByteArray line = errorPending_.left(end);
            errorPending_.remove(0, end + 1);
            if (line.startsWith("dxu-cli: ") && !line.startsWith("dxu-cli: note:"))
                errors_ << QString::fromLocal8Bit(line.mid(9)).trimmed();
        }
    });
    connect(p, &QProcess::finished, this, &TfrmLineBackup::ended);
    connect(p, &QProcess::errorOccurred, this, [this, p](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            ended(-1, QProcess::CrashExit);
        (void)p;
    });
    p->start(program, args);
    show();
    raise();
}

// One line per unit, "unit,a,<word>,<line of result>", and one of the
// manifest, "manifest,,<word>,<text>": only what dxu-cli says it did counts.
void TfrmLineBackup::readOutput()
{
    if (!process_)
        return;
    pending_ += process_->readAllStandardOutput();
    qsizetype end;
    while ((end = pending_.indexOf('\n')) >= 0) {
        const QString line = QString::fromLocal8Bit(pending_.left(end)).trimmed();
        pending_.remove(0, end + 1);
        if (line.isEmpty())
            continue;
        const QStringList f = csvLineFields(line);
        const QString word = f.value(2);
        if (f.size() == 4 && f[0] == QLatin1String("manifest")) {
            // A manifest written is the backup the summary speaks of.
            manifest_ = word;
            if (word != QLatin1String("written"))
                (new QListWidgetItem(f[3], lstLineResults_))->setForeground(Qt::red);
            continue;
        }
        auto* item = new QListWidgetItem(f.size() == 4 ? f[3] : line, lstLineResults_);
        const bool unit = f.size() == 4 && f[0] == QLatin1String("unit");
        if (unit && (word == QLatin1String("ok") || word == QLatin1String("saved") || word == QLatin1String("unsaved")
                     || word == QLatin1String("unchanged")))
            ++succeeded_;
        else
            item->setForeground(Qt::red);
        if (unit && word == QLatin1String("saved"))
            ++saved_;
        if (unit)
            prgLine_->setValue(++done_);
    }
}

void TfrmLineBackup::ended(int exitCode, QProcess::ExitStatus status)
{
    if (!process_)
        return;
    readOutput();
    QProcess* p = process_;
    process_ = nullptr;
    p->deleteLater();
    for (const QString& e : errors_)
        new QListWidgetItem(e, lstLineResults_);
    // A backup is one only with its manifest written.
    const bool allDone = status == QProcess::NormalExit && exitCode == 0 && succeeded_ == units_
                         && (!backup_ || manifest_ == QLatin1String("written"));
    const QString verb = backup_ ? QStringLiteral("backed up") : QStringLiteral("restored");
    QString summary;
    if (status != QProcess::NormalExit || exitCode < 0)
        summary = QStringLiteral("dxu-cli did not run to its end: nothing more is %1.").arg(verb);
    else if (backup_ && manifest_ == QLatin1String("failed"))
        summary = readManifest(folder_).ok()
                      ? QStringLiteral("The manifest was not written: %1 still lists the earlier backup; see the list.")
                            .arg(folder_)
                      : QStringLiteral("The manifest was not written: %1 is not a usable backup; see the list.")
                            .arg(folder_);
    else if (allDone)
        summary = backup_ ? QStringLiteral("All %1 units backed up to %2.").arg(units_).arg(folder_)
        : saved_ == units_ ? QStringLiteral("All %1 units restored and saved.").arg(units_)
                           // A unit that already held the backup's settings is not saved again.
                           : QStringLiteral("All %1 units restored, %2 of them saved; see the list.").arg(units_).arg(saved_);
    else if (succeeded_ == units_) // every unit, but not the whole (the manifest)
        summary = QStringLiteral("Not complete: %1").arg(errors_.value(0, QStringLiteral("see the list.")));
    else
        summary = QStringLiteral("%1 of %2 units %3%4; see the list.")
                      .arg(succeeded_)
                      .arg(units_)
                      .arg(verb)
                      .arg(cancelled_ ? QStringLiteral(" before Cancel") : QString());
    lblLineTask_->setText(summary);
    pbCancel_->setEnabled(false);
    pbClose_->setEnabled(true);
}

void TfrmLineBackup::pbCancelLineClick()
{
    if (!running())
        return;
    cancelled_ = true;
    lblLineTask_->setText(QStringLiteral("Cancelling: the unit in hand is interrupted ..."));
    // dxu-cli stops at the unit in hand (listed as interrupted) and writes
    // the manifest of the units done before it.
    process_->terminate();
}

void TfrmLineBackup::reject()
{
    // Closing the window while running cancels; the window closes at the end.
    if (running()) {
        pbCancelLineClick();
        return;
    }
    PlacedDialog::reject();
}

} // namespace dxu
