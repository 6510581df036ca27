#pragma once
#include "ui/app/topform.h"

#include <QWidget>

#include <memory>
#include <vector>

namespace dxu {

// The ten windows of the program, created in their fixed order: the main
// window first (its creation runs before any other window exists), then the
// secondary windows, which are only ever shown and hidden. All of them live
// until this object goes.
class AppWindows {
public:
    explicit AppWindows(TTopForm::DpiQuery dpiQuery = {});
    ~AppWindows();
    AppWindows(const AppWindows&) = delete;
    AppWindows& operator=(const AppWindows&) = delete;

    TTopForm& top() { return *top_; }
    // Every window, in the order it was created.
    const std::vector<QWidget*>& creationOrder() const { return order_; }

private:
    std::unique_ptr<TTopForm> top_;
    std::vector<QWidget*> order_;
};

// The program ends when the main window asks to (Exit, its close button).
void quitOnTerminate(TTopForm& top);

// Program entry: initialises the application, creates the windows in their
// order and runs the message loop. An exception that escapes is shown to the
// user and the process ends with exit code 0.
int runApplication(int argc, char** argv);

} // namespace dxu
