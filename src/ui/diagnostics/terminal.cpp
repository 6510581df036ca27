#include "ui/diagnostics/terminal.h"

#include "ui/services/filedialogs.h"

#include "ui/diagnostics/linelog.h"
#include "protocol/dxustate.h"
#include "serial/commlink.h"
#include "services/clock.h"
#include "ui/services/messages.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace dxu {
namespace {

// The window's size before any enlargement for the screen's resolution.
constexpr QSize TerminalSize(520, 400);

// A line as the log shows it: the CR that ends every command and reply goes,
// and so does the LF of a CR LF pair that the receive path leaves at the start
// of the next piece. The log shows any other line break as a blank.
QString logText(std::string_view text)
{
    if (!text.empty() && text.back() == '\r')
        text.remove_suffix(1);
    while (!text.empty() && text.front() == '\n')
        text.remove_prefix(1);
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

TfrmTerminal::TfrmTerminal(QWidget* parent) : QMainWindow(parent), placement_(TerminalSize)
{
    setObjectName(QStringLiteral("frmTerminal"));
    setWindowTitle(QStringLiteral("DXU Terminal"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    mmTerminalMenu = new QMenuBar(this);
    mmTerminalMenu->setObjectName(QStringLiteral("mmTerminalMenu"));
    setMenuBar(mmTerminalMenu);

    QMenu* file = mmTerminalMenu->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    addItem(file, "LogStart1", QStringLiteral("&Save..."), QKeySequence(Qt::CTRL | Qt::Key_S),
            &TfrmTerminal::LogStart1Click);
    file->addSeparator();
    addItem(file, "Quit1", QStringLiteral("&Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q),
            &TfrmTerminal::Quit1Click);

    QMenu* edit = mmTerminalMenu->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("Edit1"));
    addItem(edit, "Delete1", QStringLiteral("&Delete"), QKeySequence(Qt::CTRL | Qt::Key_X),
            &TfrmTerminal::Delete1Click);
    edit->addSeparator();
    addItem(edit, "SelectAll1", QStringLiteral("Select &All"), QKeySequence(Qt::CTRL | Qt::Key_A),
            &TfrmTerminal::SelectAll1Click);
    addItem(edit, "Copy1", QStringLiteral("&Copy"), QKeySequence(Qt::CTRL | Qt::Key_C),
            &TfrmTerminal::Copy1Click);

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("pnlTerminal"));
    auto* column = new QVBoxLayout(central);

    lblItemCount = new QLabel(central);
    lblItemCount->setObjectName(QStringLiteral("lblItemCount"));
    column->addWidget(lblItemCount);

    memWindow = new LineLog(central, MaxLines);
    memWindow->setObjectName(QStringLiteral("memWindow"));
    memWindow->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    column->addWidget(memWindow, 1);

    auto* row = new QHBoxLayout;
    lblCommand = new QLabel(QStringLiteral("Command:"), central);
    lblCommand->setObjectName(QStringLiteral("lblCommand"));
    edCommand = new QLineEdit(central);
    edCommand->setObjectName(QStringLiteral("edCommand"));
    edCommand->setMaxLength(MaxCommandLength);
    lblCommand->setBuddy(edCommand);
    pbSend = new QPushButton(QStringLiteral("&Send"), central);
    pbSend->setObjectName(QStringLiteral("pbSend"));
    pbSend->setDefault(true);
    pbSend->setEnabled(false);
    row->addWidget(lblCommand);
    row->addWidget(edCommand, 1);
    row->addWidget(pbSend);
    column->addLayout(row);
    setCentralWidget(central);

    connect(pbSend, &QPushButton::clicked, this, &TfrmTerminal::pbSendClick);
    // Enter in the command box presses the default button, when it can be pressed.
    connect(edCommand, &QLineEdit::returnPressed, this, [this] {
        if (pbSend->isEnabled())
            pbSend->click();
    });

    LogSave = new DeferredFileDialog(this, QStringLiteral("LogSave"), [](QWidget* parent) {
        auto* d = new QFileDialog(parent);
        d->setObjectName(QStringLiteral("LogSave"));
        d->setAcceptMode(QFileDialog::AcceptSave);
        d->setFileMode(QFileDialog::AnyFile);
        d->setDefaultSuffix(QStringLiteral("log"));
        d->setNameFilter(QStringLiteral("Log files (*.log)"));
        return d;
    });
}

QAction* TfrmTerminal::addItem(QMenu* menu, const char* name, const QString& caption,
                               const QKeySequence& key, void (TfrmTerminal::*handler)())
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(key);
    connect(action, &QAction::triggered, this, handler);
    return action;
}

void TfrmTerminal::attach(DxuState* state, CommLink* port)
{
    state_ = state;
    port_ = port;
}

void TfrmTerminal::AppendLine(std::string_view text)
{
    if (!isVisible())
        return;
    memWindow->appendLine(logText(text));
    updateItemCount();
}

void TfrmTerminal::updateItemCount()
{
    lblItemCount->setText(QStringLiteral("%1 items").arg(memWindow->lineCount()));
}

void TfrmTerminal::setSendEnabled(bool enabled) { pbSend->setEnabled(enabled); }

bool TfrmTerminal::sendEnabled() const { return pbSend->isEnabled(); }

int TfrmTerminal::lineCount() const { return memWindow->lineCount(); }

QStringList TfrmTerminal::lines() const { return memWindow->lines(); }

void TfrmTerminal::pbSendClick()
{
    if (!state_ || !port_)
        return;
    // The unit speaks ASCII: a character it cannot receive is not silently
    // turned into another one.
    const std::optional<std::string> framed =
        typedCommandLine(edCommand->text(), state_->networkMode(), state_->current().addressChar());
    if (!framed) {
        showMessage(QStringLiteral("Error"),
                    QStringLiteral("The command can contain only printable ASCII characters."));
        return;
    }
    const std::string& line = *framed;

    // A typed line may be anything: whatever comes back answers it.
    state_->lastSendTick = sendStamp();
    state_->awaited.expectAny();
    port_->SendData(line.data(), static_cast<int32_t>(line.size()));
    AppendLine(line);
}

void TfrmTerminal::FormShow()
{
    placement_.beforeShow(this);
    memWindow->clearLines();
    edCommand->clear();
    edCommand->setFocus();
    lblItemCount->clear();
    pbSend->setEnabled(port_ && port_->Connected());
}

void TfrmTerminal::showEvent(QShowEvent* event)
{
    // A window restored from the task bar keeps its log.
    if (!event->spontaneous())
        FormShow();
    QMainWindow::showEvent(event);
}

void TfrmTerminal::keyPressEvent(QKeyEvent* event)
{
    if (!closeOnEscape(this, event))
        QMainWindow::keyPressEvent(event);
}

void TfrmTerminal::closeEvent(QCloseEvent* event)
{
    event->ignore();
    hide();
}

void TfrmTerminal::Quit1Click() { hide(); }

void TfrmTerminal::Delete1Click()
{
    memWindow->clearLines();
    lblItemCount->clear();
}

void TfrmTerminal::SelectAll1Click()
{
    memWindow->setFocus();
    memWindow->selectAll();
}

void TfrmTerminal::Copy1Click()
{
    memWindow->setFocus();
    memWindow->copy();
}

void TfrmTerminal::LogStart1Click()
{
    LogSave->dialog().setDirectory(QDir::currentPath());
    const QString chosen = LogSave->choose();
    if (!chosen.isEmpty())
        saveLog(chosen);
}

bool TfrmTerminal::saveLog(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        showMessage(QStringLiteral("Error"), QStringLiteral("Cannot create file."));
        return false;
    }
    QByteArray data;
    for (const QString& line : memWindow->lines()) {
        data += line.toLatin1();
        data += "\r\n";
    }
    const bool written = file.write(data) == data.size() && file.flush();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        showMessage(QStringLiteral("Error"), QStringLiteral("Cannot write file."));
        return false;
    }
    return true;
}

} // namespace dxu
