#include "ui/services/messages.h"

#include "services/locale.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>

namespace dxu {
namespace {

class BoxService : public MessageService {
    // The window a box belongs to, which centres it: the active one, else
    // the main window when it is on screen.
    static QWidget* owner()
    {
        if (QWidget* active = QApplication::activeWindow())
            return active;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<QMainWindow*>(w) && w->isVisible() && !w->parentWidget())
                return w;
        return nullptr;
    }

public:
    MsgAnswer show(const QString& caption, const QString& text, MsgButtons buttons) override
    {
        return showDetailed(caption, text, QString(), buttons);
    }

    MsgAnswer showDetailed(const QString& caption, const QString& text, const QString& details,
                           MsgButtons buttons) override
    {
        QWidget* parent = owner();
        if (buttons == MsgButtons::YesNo) {
            const auto r = QMessageBox::question(parent, caption, text,
                                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
            return r == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
        }
        QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
        box.setInformativeText(details);
        if (caption == QLatin1String("Error") || caption.contains(QLatin1String("Error")))
            box.setIcon(QMessageBox::Critical);
        else if (caption == QLatin1String("Warning") || caption == QLatin1String("Incorrect Value")
                 || caption == QLatin1String("Invalid PRF"))
            box.setIcon(QMessageBox::Warning);
        else
            box.setIcon(QMessageBox::Information);
        box.exec();
        return MsgAnswer::Ok;
    }
};

BoxService& defaultService()
{
    static BoxService s;
    return s;
}

MessageService* g_service = nullptr;

} // namespace

MessageService& messages() { return g_service ? *g_service : defaultService(); }

void setMessageService(MessageService* service) { g_service = service; }

void showMessage(const QString& caption, const QString& text)
{
    messages().show(caption, text, MsgButtons::Ok);
}

void showMessage(const QString& caption, const QString& text, const QString& details)
{
    messages().showDetailed(caption, text, details, MsgButtons::Ok);
}

bool askYesNo(const QString& caption, const QString& text)
{
    return messages().show(caption, text, MsgButtons::YesNo) == MsgAnswer::Yes;
}

bool textToInt(const QString& text, int& out, const QString& field)
{
    if (parseWholeNumber(text, out))
        return true;
    showMessage(QStringLiteral("Error"), notWholeNumberText(text, field));
    return false;
}

bool textToFloat(const QString& text, float& out, const QString& field)
{
    if (parseDecimalNumber(text, out))
        return true;
    showMessage(QStringLiteral("Error"), notDecimalNumberText(text, field));
    return false;
}

} // namespace dxu
