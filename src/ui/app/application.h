#pragma once
#include "ui/app/topform.h"

#include <QWidget>

#include <memory>
#include <vector>

namespace dxu {

// The windows of the program: the main window, made first, and the ten
// secondary windows, each made on its first use and from then on only shown
// and hidden. All of them live until this object goes.
class AppWindows {
public:
    explicit AppWindows(TTopForm::DpiQuery dpiQuery = {});
    ~AppWindows();
    AppWindows(const AppWindows&) = delete;
    AppWindows& operator=(const AppWindows&) = delete;

    TTopForm& top() { return *top_; }
    // Every window in the program's order of old (the main window first);
    // those not made yet are made now.
    std::vector<QWidget*> creationOrder();

private:
    std::unique_ptr<TTopForm> top_;
};

// The program ends when the main window asks to (Exit, its close button).
void quitOnTerminate(TTopForm& top);

// Program entry: initialises the application, creates the windows in their
// order and runs the message loop. An exception that escapes is shown to the
// user and the process ends with exit code 0.
int runApplication(int argc, char** argv);

} // namespace dxu
