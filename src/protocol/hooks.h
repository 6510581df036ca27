#pragma once
// What the parser and the engine call on the window and on the other feature
// modules. Every call has a harmless default so that tests override only what
// they observe. The main window implements all of it.
#include <cstdint>
#include <string_view>

namespace dxu {

// The settings codes that have a show function, in the order showSettings runs them.
#define DXU_SHOW_CODES(X)                                                                         \
    X(UA) X(MM) X(MU) X(EG) X(SG) X(LG) X(CG) X(OF) X(PL) X(FL) X(MP) X(XP) X(TE) X(PF) X(PO)     \
    X(AW) X(DD) X(AB) X(IL) X(FA) X(BH) X(BS) X(LA) X(TP) X(TT) X(FT) X(MX) X(CT) X(TB) X(OP)     \
    X(CE) X(CV) X(WT) X(WV) X(DRRange) X(DS) X(DR) X(AL) X(AH) X(AF) X(AT) X(CL) X(MO) X(CO)     \
    X(MA) X(DM)

class Hooks {
public:
    virtual ~Hooks() = default;

#define DXU_DECLARE_SHOW(code) virtual void show##code() {}
    DXU_SHOW_CODES(DXU_DECLARE_SHOW)
#undef DXU_DECLARE_SHOW

    // Settings panel, modes and display.
    virtual void showRate() {}
    virtual void refreshProcessingPanels() {}
    virtual void applyOldFirmwareLimits() {}
    virtual void showResult() {}
    // Shows whether the result on screen is still live at tick count now.
    virtual void showResultAge(uint32_t /*now*/) {}
    virtual void drawHistogram() {}
    virtual void showVersionText(std::string_view /*text*/) {} // the about box's lblDXUVersion

    // Capture file.
    virtual bool captureOpen() const { return false; }
    virtual void writeCaptureLine(std::string_view /*line*/) {}

    // Terminal window.
    virtual void appendTerminal(std::string_view /*line*/) {}
    virtual bool terminalVisible() const { return false; }

    // Error list.
    virtual void addErrorLine(std::string_view /*text*/) {}
    virtual void clearErrors() {}
    virtual int errorCount() const { return 0; }
    virtual void setErrorCount(int /*count*/) {}
    virtual bool errorWindowVisible() const { return false; }
    virtual void showErrorWindow() {}

    // Main window steps that the engine runs.
    virtual void pbReadClick() {}
    virtual void showConnectedControls() {}
    virtual void updatePrevNextButtons() {}
    virtual void updateConnectionTypeLabel() {}
    virtual void openAndConnect() {}
    // Returns the address character, 0 when there is none; moves currentUnit.
    virtual char nextAssignedAddress(char /*address*/, int /*direction*/) { return 0; }
    // Loads "Polling" from the store into the state.
    virtual void loadPollingInterval() {}
    // The PC side of a unit baud-rate change, after its BR write was answered.
    virtual void switchPcBaudRate() {}
    virtual bool commSetupVisible() const { return false; }
};

} // namespace dxu
