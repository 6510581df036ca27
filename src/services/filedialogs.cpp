#include "services/filedialogs.h"

#include <QFileDialog>

namespace dxu {
namespace {

class ModalDialogs : public FileDialogService {
public:
    QString choose(QFileDialog& dialog) override
    {
        if (dialog.exec() != QDialog::Accepted)
            return {};
        return dialog.selectedFiles().value(0);
    }
};

FileDialogService* g_service = nullptr;

} // namespace

FileDialogService& fileDialogs()
{
    static ModalDialogs modal;
    return g_service ? *g_service : modal;
}

void setFileDialogService(FileDialogService* service) { g_service = service; }

QString chooseFile(QFileDialog& dialog) { return fileDialogs().choose(dialog); }

} // namespace dxu
