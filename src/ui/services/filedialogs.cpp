#include "ui/services/filedialogs.h"

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

QFileDialog* makeFileDialog(QWidget* parent, const char* name, const QString& title, const QString& filter,
                            const QString& suffix, bool save)
{
    auto* d = new QFileDialog(parent, title);
    d->setObjectName(QString::fromLatin1(name));
    d->setNameFilter(filter);
    d->setDefaultSuffix(suffix);
    d->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    d->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    d->setDirectory(QStringLiteral("."));
    return d;
}

QString chooseFile(QFileDialog& dialog) { return fileDialogs().choose(dialog); }

DeferredFileDialog::DeferredFileDialog(QWidget* parent, const QString& name, Make make)
    : QObject(parent), name_(name), make_(std::move(make))
{
}

QFileDialog& DeferredFileDialog::dialog()
{
    if (!dialog_) {
        dialog_ = make_(static_cast<QWidget*>(parent()));
        if (!folder_.isEmpty()) {
            dialog_->restoreState(state_);
            dialog_->restoreGeometry(geometry_);
            // After restoreState, which goes to the folder any dialog visited last.
            dialog_->setDirectory(folder_);
        }
    }
    return *dialog_;
}

QString DeferredFileDialog::choose()
{
    QFileDialog& d = dialog();
    const QString chosen = chooseFile(d);
    folder_ = d.directory().absolutePath();
    state_ = d.saveState();
    geometry_ = d.saveGeometry();
    delete dialog_;
    return chosen;
}

DeferredFileDialog* DeferredFileDialog::of(const QObject* owner, const QString& name)
{
    if (owner)
        for (DeferredFileDialog* d : owner->findChildren<DeferredFileDialog*>(Qt::FindDirectChildrenOnly))
            if (d->name() == name)
                return d;
    return nullptr;
}

DeferredFileDialog* deferFileDialog(QWidget* parent, const char* name, const QString& title, const QString& filter,
                                    const QString& suffix, bool save)
{
    return new DeferredFileDialog(parent, QString::fromLatin1(name),
                                  [name = QByteArray(name), title, filter, suffix, save](QWidget* owner) {
                                      return makeFileDialog(owner, name.constData(), title, filter, suffix, save);
                                  });
}

} // namespace dxu
