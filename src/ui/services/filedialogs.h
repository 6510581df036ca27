#pragma once
// Open and save file dialogs go through one service, beside the message
// boxes, so that tests can answer them without a real dialog. The dialog
// objects themselves (names, titles, filters, suffixes, folders) stay the
// windows' own.
#include <QString>

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

} // namespace dxu
