#pragma once
// "File > Back Up Line..." and "File > Restore Line...": every unit of the
// network list into a folder of setup files with its manifest, and back.
// The work is dxu-cli's own backup and restore (the same reads, writes,
// read-backs, checks and saves as "dxu-cli apply"), run on the line while
// the window is disconnected; the window shows each unit's result as it
// comes, the progress, and Cancel.
#include "engine/asking.h"
#include "protocol/dxustate.h"
#include "ui/services/formplacement.h"

#include <QPointer>
#include <QProcess>
#include <QStringList>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace dxu {

class DeferredFileDialog;

class TfrmLineBackup : public PlacedDialog {
    Q_OBJECT
public:
    // asker: whether the units may be overwritten by a restore.
    TfrmLineBackup(const DxuState& state, Asker& asker, QWidget* parent = nullptr);
    ~TfrmLineBackup() override;

    // The line must be the program's alone: RS-485, units in the list, not
    // connected, and no backup or restore running.
    bool canStart() const;
    // The same for a window not made yet: the line's part of canStart.
    static bool lineFree(const DxuState& state);
    bool running() const { return process_ && process_->state() != QProcess::NotRunning; }
    // Where dxu-cli is; by default beside this program, else on the PATH.
    static void setCliPath(const QString& path);

public slots:
    void BackupLine1Click();
    void RestoreLine1Click();
    void pbCancelLineClick();

protected:
    void reject() override;

private:
    // The folder the user chooses, empty when the line is not free or the
    // user cancelled.
    QString chooseFolder(const QString& title, const QString& doing, DeferredFileDialog& dialog);
    void start(const QString& title, const QStringList& args, int units);
    void readOutput();
    void ended(int exitCode, QProcess::ExitStatus status);
    QStringList lineArguments() const;

    const DxuState& st_;
    Asker& asker_;
    DeferredFileDialog* backupFolder_ = nullptr;
    DeferredFileDialog* restoreFolder_ = nullptr;
    QLabel* lblLineTask_ = nullptr;
    QProgressBar* prgLine_ = nullptr;
    QListWidget* lstLineResults_ = nullptr;
    QPushButton* pbCancel_ = nullptr;
    QPushButton* pbClose_ = nullptr;
    QPointer<QProcess> process_;
    QByteArray pending_;      // standard output not yet ended by a line end
    QByteArray errorPending_; // the same of standard error
    QStringList errors_;
    int units_ = 0;
    int done_ = 0;
    int succeeded_ = 0;
    int saved_ = 0; // restored units the unit confirmed saving
    QString manifest_; // how dxu-cli said the manifest went: written, failed, unchanged; empty: not said
    bool cancelled_ = false;
    bool backup_ = true;
    QString folder_;
};

} // namespace dxu
