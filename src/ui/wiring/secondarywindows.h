#pragma once
// The program's secondary windows, created after the main window and kept
// until the end. A window not made (in tests) is nullptr; whoever uses one
// looks it up here at the time of use.
#include <array>

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

    // Every one of them, in this order (nullptr where one is missing).
    std::array<QWidget*, 10> all() const;
};

} // namespace dxu
