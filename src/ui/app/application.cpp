#include "ui/app/application.h"
#include "ui/app/exposestamp.h"

#include "ui/capture/viewcapture.h"
#include "ui/currentloop/clcalibration.h"
#include "ui/currentloop/clsettings.h"
#include "ui/diagnostics/about.h"
#include "ui/diagnostics/errors.h"
#include "ui/diagnostics/terminal.h"
#include "ui/network/assignaddress.h"
#include "ui/network/findunits.h"
#include "ui/network/netsetup.h"
#include "ui/ports/commsetup.h"
#include "ui/services/guardedapp.h"
#include "ui/settings/preview.h"

namespace dxu {

AppWindows::AppWindows(TTopForm::DpiQuery dpiQuery) : top_(std::make_unique<TTopForm>())
{
    top_->setDpiQuery(std::move(dpiQuery));
    top_->makeWindowsOnFirstUse();
}

std::vector<QWidget*> AppWindows::creationOrder()
{
    std::vector<QWidget*> order{top_.get()};
    for (QWidget* w : top_->windows().all())
        order.push_back(w);
    return order;
}

// The secondary windows belong to the main window and go with it.
AppWindows::~AppWindows() = default;

void quitOnTerminate(TTopForm& top)
{
    QObject::connect(&top, &TTopForm::terminateRequested, QCoreApplication::instance(), &QCoreApplication::quit,
                     Qt::QueuedConnection);
}

int runApplication(int argc, char** argv)
{
    GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("DXU Interface"));
    // No display name: the window system would add it to every title, and
    // the main window's title already starts with it.
    ExposeStamp::installIfAsked();
    try {
        AppWindows windows;
        quitOnTerminate(windows.top());
        windows.top().show();
        if (const QByteArray preview = qgetenv("DXU_SHOW_ALL_PANELS"); !preview.isEmpty())
            previewConnectedLook(windows.top().state(), windows.top(), windows.top().hooks(),
                                 windows.top().settingsPanel(), preview.toStdString());
        QApplication::exec();
    } catch (const std::exception& e) {
        showException(&e);
    } catch (...) {
        showException(nullptr);
    }
    return 0;
}

} // namespace dxu
