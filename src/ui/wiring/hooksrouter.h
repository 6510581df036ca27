#pragma once
// The calls of the parser, the engine and the session (Hooks), each handed to
// the window or module that answers it: the terminal, the error list, the
// about box, the capture log, the rate follow and rate search, the unit scan,
// the session and the main window's fixed looks. The composition fills in
// the parts as they are made; a part not there answers with the default.
#include "protocol/hooks.h"
#include "ui/wiring/secondarywindows.h"

#include <functional>

class QTimer;
class QWidget;

namespace dxu {

struct DxuState;
class CaptureLog;
class PcRateFollow;
class RateSearch;
class ResultDisplay;
class Ui;
class Session;
class TCommPortDriver;
class UnitScan;

class HooksRouter : public Hooks {
public:
    // Whether port "COM n" can be opened now.
    using PortCheck = std::function<bool(int comNumber)>;

    struct Parts {
        CaptureLog* capture = nullptr;
        ResultDisplay* display = nullptr;
        Session* session = nullptr;
        PcRateFollow* rateFollow = nullptr;
        RateSearch* rateSearch = nullptr;
        UnitScan* unitScan = nullptr;
        QTimer* pollTimer = nullptr;
        // The driver that a claimed port is pointed at.
        TCommPortDriver* driver = nullptr;
        PortCheck portCheck;
        // The main window's connected look and disconnected panels.
        std::function<void()> connectedLook, disconnectedLook;
        // The main window's controls, redrawn when the current unit's address changes.
        Ui* mainUi = nullptr;
    };

    HooksRouter(DxuState& state, const SecondaryWindows& windows) : state_(state), windows_(windows) {}
    Parts& parts() { return parts_; }
    // Whether the terminal's Send was last enabled (for a terminal made later).
    bool terminalSend() const { return terminalSend_; }

    void showResultAge(uint32_t now) override;
    void showVersionText(std::string_view text) override;
    bool captureOpen() const override;
    void writeCaptureLine(std::string_view line) override;
    void appendTerminal(std::string_view line) override;
    bool terminalVisible() const override;
    void setTerminalSend(bool enabled) override;
    void addErrorLine(std::string_view text) override;
    void clearErrors() override;
    int errorCount() const override;
    void setErrorCount(int count) override;
    bool errorWindowVisible() const override;
    void showErrorWindow() override;
    void showConnectedControls() override;
    void showDisconnectedPanels() override;
    bool claimPort(int comNumber) override;
    bool confirmDisconnect() override;
    void updatePrevNextButtons() override;
    void startPolling() override;
    void stopPolling() override;
    void loadPollingInterval() override;
    void switchPcBaudRate() override;
    bool commSetupVisible() const override;
    void unitAnswered() override;
    bool unitUnanswered() override;
    bool tryAnotherRate() override;
    bool keepConnectRate() override;
    void connectAbandoned() override;
    void scanVersion(std::string_view text) override;
    void scanStepDone(bool answered) override;
    void scanReplyFrom(char address) override;
    void unitAddressChanged(char to) override;

private:
    DxuState& state_;
    const SecondaryWindows& windows_;
    Parts parts_;
    bool terminalSend_ = false;
};

// Shows a modeless window (nullptr: nothing) in front.
void showModeless(QWidget* window);

} // namespace dxu
