#pragma once
// Open and save file dialogs go through one service, beside the message
// boxes, so that tests can answer them without a real dialog. The dialog
// objects themselves (names, titles, filters, suffixes, folders) stay the
// windows' own.
#include <QString>

class QFileDialog;

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

// Shorthand: fileDialogs().choose(dialog).
QString chooseFile(QFileDialog& dialog);

} // namespace dxu
