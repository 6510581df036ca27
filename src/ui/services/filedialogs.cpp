#include "ui/services/filedialogs.h"

#include "ui/services/messages.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

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

// Qt's own folder dialog offers its button only for a folder that exists;
// this one also for a new name, and makes that folder on the choice.
class NewFolderDialog : public QFileDialog {
public:
    NewFolderDialog(QWidget* parent, const QString& title) : QFileDialog(parent, title) {}

protected:
    void showEvent(QShowEvent* event) override
    {
        QFileDialog::showEvent(event);
        auto* typed = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        if (!typed || !buttons || hooked_)
            return;
        hooked_ = true;
        // After the dialog's own check of the name, which runs first.
        connect(typed, &QLineEdit::textChanged, this, [typed, buttons] {
            if (QPushButton* choose = buttons->button(QDialogButtonBox::Open); choose && !typed->text().trimmed().isEmpty())
                choose->setEnabled(true);
        });
    }
    void accept() override
    {
        const QString folder = selectedFiles().value(0);
        if (!folder.isEmpty() && !QFileInfo::exists(folder) && !QDir().mkpath(folder)) {
            showMessage(QStringLiteral("Error"), QStringLiteral("Cannot create the folder %1.").arg(folder));
            return;
        }
        QFileDialog::accept();
    }

private:
    bool hooked_ = false;
};

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

QFileDialog* makeFolderDialog(QWidget* parent, const char* name, const QString& title, bool mayCreate)
{
    QFileDialog* d = mayCreate ? new NewFolderDialog(parent, title) : new QFileDialog(parent, title);
    d->setObjectName(QString::fromLatin1(name));
    d->setFileMode(QFileDialog::Directory);
    d->setOption(QFileDialog::ShowDirsOnly, true);
    d->setAcceptMode(QFileDialog::AcceptOpen);
    d->setDirectory(QDir::currentPath());
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

DeferredFileDialog* deferFolderDialog(QWidget* parent, const char* name, const QString& title, bool mayCreate)
{
    return new DeferredFileDialog(parent, QString::fromLatin1(name), [name = QByteArray(name), title, mayCreate](QWidget* owner) {
        return makeFolderDialog(owner, name.constData(), title, mayCreate);
    });
}

} // namespace dxu
