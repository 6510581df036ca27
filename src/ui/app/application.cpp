#include "ui/app/application.h"

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
namespace {

template <typename W>
W* create(TTopForm& top, std::vector<QWidget*>& order)
{
    auto* w = new W(&top);
    order.push_back(w);
    return w;
}

} // namespace

AppWindows::AppWindows(TTopForm::DpiQuery dpiQuery) : top_(std::make_unique<TTopForm>())
{
    top_->setDpiQuery(std::move(dpiQuery));
    order_.push_back(top_.get());
    TTopForm::Windows w;
    w.viewCapture = create<TfrmViewCapture>(*top_, order_);
    w.about = create<TfrmAbout>(*top_, order_);
    w.clSettings = create<TfrmCLSettings>(*top_, order_);
    w.clCalibration = create<TfrmCLCalibration>(*top_, order_);
    w.commSetup = create<TfrmCommSetup>(*top_, order_);
    w.netSetup = create<TfrmNetSetup>(*top_, order_);
    w.assignAddress = create<TfrmAssignAddress>(*top_, order_);
    w.terminal = create<TfrmTerminal>(*top_, order_);
    w.errors = create<TfrmErrors>(*top_, order_);
    w.findUnits = create<TfrmFindUnits>(*top_, order_);
    top_->attachWindows(w);
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
