#pragma once
// The main window: the settings panels, the display panel with its buttons,
// the menus and the status bar. It owns the state that the protocol and the
// engine share, gives them access to its controls by name (Ui) and receives
// their calls (Hooks).
#include "ports/pcport.h"
#include "protocol/dxustate.h"
#include "protocol/hooks.h"
#include "serial/commlink.h"
#include "app/widgetui.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QFileDialog;
class QLabel;
class QProgressBar;
class QTimer;

namespace dxu {

class CaptureLog;
class Engine;
class Protocol;
class ResultDisplay;
class Session;
class SettingsPanel;
class SettingsTransfer;
class SetupFiles;
class TfrmCompare;
class PcRateFollow;
class RateSearch;
class TCommPortDriver;
class TfrmAbout;
class TfrmAssignAddress;
class TfrmFindUnits;
class UnitScan;
class TfrmCLCalibration;
class TfrmCLSettings;
class TfrmCommSetup;
class TfrmErrors;
class TfrmNetSetup;
class TfrmTerminal;
class TfrmTrend;
class TfrmViewCapture;

class TTopForm : public QMainWindow, public WidgetUi, public Hooks {
    Q_OBJECT
public:
    // The secondary windows; they are created after the main window.
    struct Windows {
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
    };
    // Logical dots per inch of the screen the window opens on.
    using DpiQuery = std::function<double()>;

    explicit TTopForm(QWidget* parent = nullptr);
    ~TTopForm() override;

    DxuState& state() { return state_; }
    const DxuState& state() const { return state_; }

    void attachWindows(const Windows& windows);
    const Windows& windows() const { return windows_; }
    // The serial link everything goes through. By default the window's own
    // driver CommPort; a test may put another link in its place (not owned;
    // nullptr puts the driver back).
    void setCommPort(CommLink* port);
    CommLink* commPort() const { return commPort_; }
    TCommPortDriver& driver() { return *CommPort; }
    // Whether port "COM n" can be opened now (by default: it exists and no
    // other program holds it).
    using PortCheck = std::function<bool(int comNumber)>;
    void setPortCheck(PortCheck check) { portCheck_ = std::move(check); }
    void setDpiQuery(DpiQuery query) { dpiQuery_ = std::move(query); }

    Protocol& protocol() { return *protocol_; }
    Engine& engine() { return *engine_; }
    ResultDisplay& resultDisplay() { return *display_; }
    SettingsPanel& settingsPanel() { return *panel_; }
    Session& session() { return *session_; }
    SettingsTransfer& settingsTransfer() { return *transfer_; }
    SetupFiles& setupFiles() { return *setupFiles_; }
    TfrmCompare* compareView() const { return compare_; }
    // Writes every setting whose changed flag is set, then reads them back.
    void queueUpload();

    // Fixed control sets.
    void showDisconnectedControls();
    void showConnectedControls() override;
    void resetDisplay();
    void hideResultWidgets();
    // kind 1: the program ends, kind 2: the unit is disconnected. True for Yes.
    bool unsavedChangesPrompt(int kind);
    // Sizes the window for the screen (also run when the window is shown).
    void FormShow();

    // Access to the controls by objectName. QWidget's own functions of the
    // same names stay available.
    using QMainWindow::isEnabled;
    using QMainWindow::isVisible;
    using QMainWindow::repaint;
    using QMainWindow::setEnabled;
    using QMainWindow::setVisible;
    using WidgetUi::isEnabled;
    using WidgetUi::isVisible;
    using WidgetUi::repaint;
    using WidgetUi::setEnabled;
    using WidgetUi::setVisible;
    void setStatusPanel(int index, std::string_view text) override;
    void setProgress(std::string_view text, int value, int maximum) override;

    // Calls from the parser, the engine and the session that this window answers.
    void showVersionText(std::string_view text) override;
    bool terminalVisible() const override;
    bool errorWindowVisible() const override;
    void showErrorWindow() override;
    bool commSetupVisible() const override;
    void showResultAge(uint32_t now) override;
    void appendTerminal(std::string_view line) override;
    void addErrorLine(std::string_view text) override;
    void clearErrors() override;
    int errorCount() const override;
    void setErrorCount(int count) override;
    void loadPollingInterval() override;
    void switchPcBaudRate() override;
    void unitAnswered() override;
    bool unitUnanswered() override;
    void scanVersion(std::string_view text) override;
    void scanStepDone(bool answered) override;
    void unitAddressChanged(char to) override;
    void showDisconnectedPanels() override;
    bool claimPort(int comNumber) override;
    bool confirmDisconnect() override { return unsavedChangesPrompt(2); }
    void updatePrevNextButtons() override;
    void startPolling() override;
    void stopPolling() override;
    void setTerminalSend(bool enabled) override;
    bool captureOpen() const override;
    void writeCaptureLine(std::string_view line) override;
    bool tryAnotherRate() override;
    bool keepConnectRate() override;
    void connectAbandoned() override;

    // The control of that name, wherever it lives (nullptr when there is none).
    QObject* control(std::string_view name) const override;
    QTimer* pollTimer() const { return PollTimer; }

signals:
    // The user ended the program (Exit or the close button).
    void terminateRequested();

public slots:
    void SettingChanged();
    void pbMoreClick();
    void pbResetClick();
    void Exit1Click();
    void About1Click();
    void Terminal1Click();
    // The live trend of the results, a window of its own made on first use.
    void Trend1Click();

    // Connection and unit switching.
    void pbConnectClick();
    void pbPrevDXUClick();
    void pbNextDXUClick();
    // Measuring.
    void pbContinuousClick();
    void pbSingleMeasureClick();
    void pbPointerClick();
    // The full settings read; also the last step of every connect.
    void pbReadClick();
    void pbUploadClick();
    void pbSaveSettingsClick();
    // Setup files and the settings report.
    void Open1Click();
    void Save1Click();
    void Saveas1Click();
    void SettingsReport1Click();
    void cmbMeasureModeChange();
    // Display choice.
    void rbDistanceClick();
    void rbIntensityClick();
    void rbBothNumbersClick();
    // Menu items; the checkable ones act on the check mark the click has set.
    void Single1Click();
    void MultiDrop1Click();
    void ModifyNetwork1Click();
    void AssignAddress1Click();
    void FindUnits1Click();
    // The current loop: the two switches upload at once; ranges and calibration.
    void CurrentLoopOn1Click();
    void DisableFaultCurrent1Click();
    void SetRanges1Click();
    void Calibrate1Click();
    void ViewNetworkStatus1Click();
    void CommPortSetup1Click();
    void DXUStatusRequests1Click();
    void CaptureAll1Click();
    void StartCapture1Click();
    void StopCapture1Click();
    void OpenCapture1Click();
    // The one-second tick and the receive event of CommPort.
    void PollTimerTimer();
    void CommPortReceiveData(const char* data, int32_t size);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildMenu();
    void buildStatusBar();
    void buildPanels();
    void buildDialogs();
    void FormCreate();
    void closeCaptureFile();
    // Connection steps.
    void wireConnection();
    void wireSettingsTransfer();
    void wireSetupFiles();
    // The upload of a unit-rate Set button, watched for the rate the link loses.
    void unitRateUpload();
    // Bold for every settings control that differs from the unit.
    void markChangedControls();
    void onPortLost();
    // A current-loop switch: the upload carries the new check mark.
    void uploadLoopSwitch();
    // Disconnects the port and the capture file for the end of the program.
    void releaseForExit();
    QWidget* widget(std::string_view name) const;
    QAction* action(std::string_view name) const;
    void setShown(std::initializer_list<const char*> names, bool shown);
    void setUsable(std::initializer_list<const char*> names, bool usable);

    DxuState state_;
    Windows windows_;
    TCommPortDriver* CommPort = nullptr;
    CommLink* commPort_ = nullptr;
    LinkRelay relay_{commPort_, CommPort};
    std::unique_ptr<Protocol> protocol_;
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<ResultDisplay> display_;
    std::unique_ptr<SettingsPanel> panel_;
    std::unique_ptr<Session> session_;
    TfrmTrend* trend_ = nullptr;
    std::unique_ptr<CaptureLog> capture_;
    std::unique_ptr<SettingsTransfer> transfer_;
    std::unique_ptr<PcRateFollow> rateFollow_;
    std::unique_ptr<SetupFiles> setupFiles_;
    TfrmCompare* compare_ = nullptr;
    std::unique_ptr<RateSearch> rateSearch_;
    std::unique_ptr<UnitScan> unitScan_;
    std::vector<std::string> changeMarks_;
    PortCheck portCheck_;
    DpiQuery dpiQuery_;
    mutable QHash<QString, QPointer<QObject>> lookup_;

    std::array<QLabel*, 6> statusPanels_{};
    QLabel* progressText_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QTimer* PollTimer = nullptr;
    QFileDialog* CfgOpen = nullptr;
    QFileDialog* CfgSave = nullptr;
    QFileDialog* ReportSave = nullptr;
    QFileDialog* CaptureSave = nullptr;
    QFileDialog* OpenCapture = nullptr;
};

} // namespace dxu
