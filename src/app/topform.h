#pragma once
// The main window: the settings panels, the display panel with its buttons,
// the menus and the status bar. It owns the state that the protocol and the
// engine share, gives them access to its controls by name (Ui) and receives
// their calls (Hooks).
#include "protocol/dxustate.h"
#include "protocol/hooks.h"
#include "services/ui.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>

class QAction;
class QFileDialog;
class QLabel;
class QTimer;

namespace dxu {

class CommLink;
class TfrmAbout;
class TfrmAssignAddress;
class TfrmCLCalibration;
class TfrmCLSettings;
class TfrmCommSetup;
class TfrmErrors;
class TfrmNetSetup;
class TfrmTerminal;
class TfrmViewCapture;

class TTopForm : public QMainWindow, public Ui, public Hooks {
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
    // The serial link the window closes on exit; not owned.
    void setCommPort(CommLink* port) { commPort_ = port; }
    CommLink* commPort() const { return commPort_; }
    void setDpiQuery(DpiQuery query) { dpiQuery_ = std::move(query); }

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
    void setText(std::string_view name, std::string_view text) override;
    void setVisible(std::string_view name, bool visible) override;
    bool isVisible(std::string_view name) const override;
    void setEnabled(std::string_view name, bool enabled) override;
    bool isEnabled(std::string_view name) const override;
    void setChecked(std::string_view name, bool checked) override;
    bool isChecked(std::string_view name) const override;
    void setColor(std::string_view name, Rgb color) override;
    void setButtonFace(std::string_view name) override;
    void setFontStyle(std::string_view name, bool bold, bool italic, const Rgb* textColor) override;
    void repaint(std::string_view name) override;
    void setStatusPanel(int index, std::string_view text) override;

    // Calls from the parser and the engine that this window answers itself.
    void showVersionText(std::string_view text) override;
    bool terminalVisible() const override;
    bool errorWindowVisible() const override;
    void showErrorWindow() override;
    bool commSetupVisible() const override;

    // The control of that name, wherever it lives (nullptr when there is none).
    QObject* control(std::string_view name) const;
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

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildMenu();
    void buildStatusBar();
    void buildPanels();
    void buildDialogs();
    void wireSettingChanged();
    void FormCreate();
    // Start-up steps that read the port and network configuration.
    void loadPortSettings();
    void loadNetworkSettings();
    void selectStartupMode();
    void readStoredOption(const char* valueName, int32_t& flag, QAction* mirror);
    // The reset command and the reconnect that follows it.
    void sendResetAndReconnect();
    void closeCaptureFile();
    // Disconnects the port and the capture file for the end of the program.
    void releaseForExit();
    QWidget* widget(std::string_view name) const;
    QAction* action(std::string_view name) const;
    void setShown(std::initializer_list<const char*> names, bool shown);
    void setUsable(std::initializer_list<const char*> names, bool usable);

    DxuState state_;
    Windows windows_;
    CommLink* commPort_ = nullptr;
    DpiQuery dpiQuery_;
    mutable QHash<QString, QPointer<QObject>> lookup_;

    std::array<QLabel*, 6> statusPanels_{};
    QTimer* PollTimer = nullptr;
    QFileDialog* CfgOpen = nullptr;
    QFileDialog* CfgSave = nullptr;
    QFileDialog* CaptureSave = nullptr;
    QFileDialog* OpenCapture = nullptr;
};

} // namespace dxu
