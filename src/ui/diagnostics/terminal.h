#pragma once
#include "protocol/typedcommand.h"
#include "ui/services/formplacement.h"

#include <QMainWindow>
#include <QStringList>

#include <optional>
#include <string>
#include <string_view>

class QAction;
class QKeySequence;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;

namespace dxu {

struct DxuState;
class CommLink;
class DeferredFileDialog;
class LineLog;

// The terminal window: every line sent and received, and typed commands.
// Created once, shown and hidden; every showing starts with an empty log.
class TfrmTerminal : public QMainWindow {
    Q_OBJECT
public:
    // Lines kept in the log; the oldest goes first.
    static constexpr int MaxLines = 500;
    // Characters the command box accepts. A typed command is sent whole, framed
    // for the link; the limit only keeps a stray paste from stalling the
    // blocking write for seconds at low rates.
    static constexpr int MaxCommandLength = MaxTypedCommandLength;

    explicit TfrmTerminal(QWidget* parent = nullptr);

    // The shared state (network flag, current unit, lastSendTick) and the port
    // that typed commands go to. Not owned; either may be null (nothing is sent).
    void attach(DxuState* state, CommLink* port);

    // Shows one line sent or received, without its ending CR. Does nothing while
    // the window is hidden. The bytes are shown as Latin-1.
    void AppendLine(std::string_view text);

    // "&Send" follows the connection: enabled on connect, disabled on disconnect.
    void setSendEnabled(bool enabled);
    bool sendEnabled() const;

    int lineCount() const;
    QStringList lines() const;

    // Writes every line of the log, each ended by CR LF. Shows "Cannot create
    // file." when the file cannot be created. Returns true when all was written.
    bool saveLog(const QString& path);

public slots:
    void pbSendClick();
    void LogStart1Click();
    void Delete1Click();
    void SelectAll1Click();
    void Copy1Click();
    void Quit1Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormShow();
    void updateItemCount();
    QAction* addItem(QMenu* menu, const char* name, const QString& caption, const QKeySequence& key,
                     void (TfrmTerminal::*handler)());

    DxuState* state_ = nullptr;
    CommLink* port_ = nullptr;
    FormPlacement placement_;

    QMenuBar* mmTerminalMenu = nullptr;
    QLabel* lblItemCount = nullptr;
    LineLog* memWindow = nullptr;
    QLabel* lblCommand = nullptr;
    QLineEdit* edCommand = nullptr;
    QPushButton* pbSend = nullptr;
    DeferredFileDialog* LogSave = nullptr;
};

} // namespace dxu
