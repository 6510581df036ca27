#pragma once
// The program's secondary windows, each made on its first use and kept
// until the end. A window not made yet (or never, in tests of the main window
// alone) is nullptr; whoever uses one looks it up here at the time of use.
#include <array>
#include <functional>

class QWidget;

namespace dxu {

class TfrmAbout;
class TfrmAssignAddress;
class TfrmCLCalibration;
class TfrmCLSettings;
class TfrmCommSetup;
class TfrmErrors;
class TfrmFindUnits;
class TfrmNetSetup;
class TfrmTerminal;
class TfrmViewCapture;

struct SecondaryWindows {
    TfrmViewCapture* viewCapture = nullptr;
    TfrmAbout* about = nullptr;
    TfrmCLSettings* clSettings = nullptr;
    TfrmCLCalibration* clCalibration = nullptr;
    TfrmCommSetup* commSetup = nullptr;
    TfrmNetSetup* netSetup = nullptr;
    TfrmAssignAddress* assignAddress = nullptr;
    TfrmFindUnits* findUnits = nullptr;
    TfrmTerminal* terminal = nullptr;
    TfrmErrors* errors = nullptr;

    // Calls f with each window's member, in the order the program has always
    // made them (the one list of the windows: add a new one here).
    template <typename F>
    static void forEachMember(F&& f)
    {
        f(&SecondaryWindows::viewCapture);
        f(&SecondaryWindows::about);
        f(&SecondaryWindows::clSettings);
        f(&SecondaryWindows::clCalibration);
        f(&SecondaryWindows::commSetup);
        f(&SecondaryWindows::netSetup);
        f(&SecondaryWindows::assignAddress);
        f(&SecondaryWindows::terminal);
        f(&SecondaryWindows::errors);
        f(&SecondaryWindows::findUnits);
    }
    // Every one of them, in that order (nullptr where one is missing).
    std::array<QWidget*, 10> all() const;

    // The window of that member, made now when it is not made yet and a maker
    // is set (else nullptr).
    template <typename W>
    W* use(W* SecondaryWindows::*window) const
    {
        if (!(this->*window) && make_)
            make_(&(this->*window));
        return this->*window;
    }
    // How a window is made: make is given the address of the member to fill.
    void makeWith(std::function<void(const void* member)> make) { make_ = std::move(make); }

private:
    std::function<void(const void*)> make_;
};

} // namespace dxu
