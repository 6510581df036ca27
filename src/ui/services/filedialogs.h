#pragma once
// Open and save file dialogs go through one service, beside the message
// boxes, so that tests can answer them without a real dialog. The dialog
// objects themselves (names, titles, filters, suffixes, folders) stay the
// windows' own.
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QFileDialog;
class QWidget;

namespace dxu {

class FileDialogService {
public:
    virtual ~FileDialogService() = default;
    // Runs dialog; the file chosen, empty when the user cancelled.
    virtual QString choose(QFileDialog& dialog) = 0;
};

// The service in use; by default the dialog runs modally.
FileDialogService& fileDialogs();
// Installs another service (nullptr restores the default). Not owned.
void setFileDialogService(FileDialogService* service);

// A dialog of the program's kind, child of parent and named name: one file of
// the filter's kind to open or to save (with suffix added when none is
// typed), starting in the working folder.
QFileDialog* makeFileDialog(QWidget* parent, const char* name, const QString& title, const QString& filter,
                            const QString& suffix, bool save);

// A dialog of the program's kind that chooses a folder, child of parent and
// named name, starting in the working folder. With mayCreate a name typed
// for a folder that does not exist yet is taken too: the folder is made when
// the user confirms it.
QFileDialog* makeFolderDialog(QWidget* parent, const char* name, const QString& title, bool mayCreate);

// Shorthand: fileDialogs().choose(dialog).
QString chooseFile(QFileDialog& dialog);

// A file dialog that exists only while it is used: a dialog lists, watches
// and re-reads the files of its folder for as long as it exists, open or not
// (a capture file growing in that folder, a busy download folder). This
// holder, a child of the window the dialog belongs to, makes it when it is
// first needed and lets it go once it has run, keeping the folder it was in
// and its state (history, places, view, size) for the next run, which lists
// the folder afresh.
class DeferredFileDialog : public QObject {
    Q_OBJECT
public:
    using Make = std::function<QFileDialog*(QWidget* parent)>;
    // make builds the dialog as a child of parent, named name.
    DeferredFileDialog(QWidget* parent, const QString& name, Make make);

    const QString& name() const { return name_; }
    // The dialog, made now when it is not there, in the folder and state of
    // its last run.
    QFileDialog& dialog();
    // Runs dialog() through the file-dialog service; the file chosen, empty
    // when cancelled. The dialog goes afterwards.
    QString choose();
    // The holder of that dialog name among owner's children (nullptr when none).
    static DeferredFileDialog* of(const QObject* owner, const QString& name);

private:
    QString name_;
    Make make_;
    QPointer<QFileDialog> dialog_;
    // What the last run left.
    QString folder_;
    QByteArray state_, geometry_;
};

// makeFileDialog's dialog, made the first time it is needed.
DeferredFileDialog* deferFileDialog(QWidget* parent, const char* name, const QString& title, const QString& filter,
                                    const QString& suffix, bool save);
// makeFolderDialog's dialog, made the first time it is needed.
DeferredFileDialog* deferFolderDialog(QWidget* parent, const char* name, const QString& title, bool mayCreate);

} // namespace dxu
