// The terminal window on real widgets: the capped log, the framing of typed
// commands, showing and hiding, the menu and the saved log file.
#include "common/testsupport.h"
#include "ui/diagnostics/terminal.h"
#include "protocol/dxustate.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dxu {
namespace {

using test::FakeClockScope;
using test::FakePort;
using test::ScriptedMessages;

class TerminalTest : public ::testing::Test {
protected:
    TerminalTest()
    {
        term.attach(&state, &port);
        edCommand = term.findChild<QLineEdit*>(QStringLiteral("edCommand"));
        pbSend = term.findChild<QPushButton*>(QStringLiteral("pbSend"));
        memWindow = term.findChild<QTextEdit*>(QStringLiteral("memWindow"));
        lblItemCount = term.findChild<QLabel*>(QStringLiteral("lblItemCount"));
    }

    QAction* action(const char* name) { return term.findChild<QAction*>(QString::fromLatin1(name)); }

    void setNetworkUnit(char address)
    {
        state.setNetworkMode(1);
        state.networkCount = 3;
        state.currentUnit = 2;
        state.unit(2).address = address;
    }

    // Runs "&Save..." and answers its file dialog with path.
    void saveThroughDialog(const QString& path)
    {
        dialogs.answerNext(path);
        action("LogStart1")->trigger();
        ASSERT_FALSE(dialogs.asked.empty());
        EXPECT_EQ(dialogs.asked.back().name, QStringLiteral("LogSave"));
        EXPECT_TRUE(dialogs.asked.back().save);
    }

    FakeClockScope clock;
    ScriptedMessages msgs;
    test::ScriptedFileDialogs dialogs;
    DxuState state;
    FakePort port;
    TfrmTerminal term;
    QLineEdit* edCommand = nullptr;
    QPushButton* pbSend = nullptr;
    QTextEdit* memWindow = nullptr;
    QLabel* lblItemCount = nullptr;
};

TEST_F(TerminalTest, LogKeepsTheNewest500LinesAndCountsThem)
{
    term.show();
    for (int i = 1; i <= 500; ++i)
        term.AppendLine(QStringLiteral("line %1\r").arg(i).toStdString());
    EXPECT_EQ(term.lineCount(), 500);
    EXPECT_EQ(lblItemCount->text(), QStringLiteral("500 items"));

    term.AppendLine("line 501\r");
    const QStringList lines = term.lines();
    ASSERT_EQ(lines.size(), 500);
    EXPECT_EQ(lines.first(), QStringLiteral("line 2"));
    EXPECT_EQ(lines.last(), QStringLiteral("line 501"));
    EXPECT_EQ(lblItemCount->text(), QStringLiteral("500 items"));
    // What the user sees agrees with the count.
    EXPECT_EQ(memWindow->document()->blockCount(), 500);
}

TEST_F(TerminalTest, EveryCallShowsExactlyOneLine)
{
    struct Case {
        const char* name;
        std::vector<std::string> calls;
        QStringList shown;
    };
    const std::vector<Case> cases = {
        {"empty text", {""}, {QString()}},
        {"two empty texts", {"", ""}, {QString(), QString()}},
        {"bare CR", {"\r"}, {QString()}},
        {"command", {"$US\r"}, {QStringLiteral("$US")}},
        {"text without CR keeps its last character", {"abc"}, {QStringLiteral("abc")}},
        {"CR LF reply in pieces", {"UA,c\r", "\nUS,3\r"}, {QStringLiteral("UA,c"), QStringLiteral("US,3")}},
        {"inner line break", {"a\nb\r"}, {QStringLiteral("a b")}},
        {"byte above 127", {"\xB0\r"}, {QString(QChar(0xB0))}},
    };
    term.show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        action("Delete1")->trigger();
        for (const std::string& text : c.calls)
            term.AppendLine(text);
        EXPECT_EQ(term.lines(), c.shown);
        EXPECT_EQ(memWindow->document()->blockCount(), c.shown.size());
        EXPECT_EQ(lblItemCount->text(), QStringLiteral("%1 items").arg(c.shown.size()));
    }
}

TEST_F(TerminalTest, EveryShowingStartsWithAnEmptyLog)
{
    term.AppendLine("$US\r"); // sent before the window was ever shown
    term.show();
    EXPECT_EQ(term.lineCount(), 0);
    EXPECT_TRUE(lblItemCount->text().isEmpty());

    term.AppendLine("$SV\r");
    edCommand->setText(QStringLiteral("$BM"));
    term.hide();
    term.AppendLine("$GO\r"); // sent while hidden
    term.show();
    EXPECT_EQ(term.lineCount(), 0);
    EXPECT_TRUE(lblItemCount->text().isEmpty());
    EXPECT_TRUE(edCommand->text().isEmpty());

    // Showing an already visible window keeps what it holds.
    term.AppendLine("$ST\r");
    term.show();
    EXPECT_EQ(term.lines(), QStringList{QStringLiteral("$ST")});
}

TEST_F(TerminalTest, TypedCommandIsFramedForTheLinkStampedAndEchoed)
{
    struct Case {
        const char* name;
        char address; // 0: point-to-point
        QString typed;
        bool pressEnter;
        std::string wire;
    };
    const std::vector<Case> cases = {
        {"point-to-point, typed with its $", 0, QStringLiteral("$SU"), false, "$SU\r"},
        {"network unit c", 'c', QStringLiteral("SU"), false, "#cSU\r"},
        {"Enter sends", 'Z', QStringLiteral("US"), true, "#ZUS\r"},
        {"empty command", 0, QString(), false, "\r"},
        {"longer than eleven framed characters", 0, QStringLiteral("$OF,-12.345"), true, "$OF,-12.345\r"},
        {"long network command", '7', QStringLiteral("SD,1234.567,12"), false, "#7SD,1234.567,12\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.address)
            setNetworkUnit(c.address);
        else
            state.setNetworkMode(0);
        term.hide();
        term.show();
        port.clear();
        state.lastSendTick = 0;
        clock.advance(1234);

        QTest::keyClicks(edCommand, c.typed);
        if (c.pressEnter)
            QTest::keyClick(edCommand, Qt::Key_Return);
        else
            QTest::mouseClick(pbSend, Qt::LeftButton);

        EXPECT_EQ(port.written, c.wire);
        EXPECT_EQ(state.lastSendTick, clock.tickCount());
        const std::string echoed = c.wire.substr(0, c.wire.size() - 1);
        EXPECT_EQ(term.lines(), QStringList{QString::fromStdString(echoed)});
        EXPECT_EQ(edCommand->text(), c.typed); // kept for sending again
    }
    EXPECT_TRUE(msgs.shown.empty());
}

TEST_F(TerminalTest, CommandBoxLimitsLengthAndRefusesWhatTheUnitCannotReceive)
{
    term.show();
    QTest::keyClicks(edCommand, QString(100, QLatin1Char('A')));
    EXPECT_EQ(edCommand->text().size(), TfrmTerminal::MaxCommandLength);
    QTest::mouseClick(pbSend, Qt::LeftButton);
    EXPECT_EQ(port.written, std::string(TfrmTerminal::MaxCommandLength, 'A') + "\r");

    for (const QString& bad : {QStringLiteral("$S\x01U"), QStringLiteral("$SU\u00e9"), QStringLiteral("$\u20acSU")}) {
        port.clear();
        msgs.shown.clear();
        state.lastSendTick = 0;
        edCommand->setText(bad);
        QTest::mouseClick(pbSend, Qt::LeftButton);
        EXPECT_TRUE(port.written.empty());
        EXPECT_EQ(state.lastSendTick, 0u);
        ASSERT_EQ(msgs.shown.size(), 1u);
        EXPECT_EQ(msgs.shown[0].caption, QStringLiteral("Error"));
        EXPECT_EQ(edCommand->text(), bad);
    }
}

TEST_F(TerminalTest, SendButtonFollowsTheConnection)
{
    port.open = false;
    term.show();
    EXPECT_FALSE(pbSend->isEnabled());
    QTest::keyClicks(edCommand, QStringLiteral("$US"));
    QTest::keyClick(edCommand, Qt::Key_Return);
    EXPECT_TRUE(port.written.empty());
    EXPECT_EQ(term.lineCount(), 0);

    port.open = true;
    term.setSendEnabled(true); // the connect sequence begins
    EXPECT_TRUE(pbSend->isEnabled());
    term.setSendEnabled(false); // disconnected
    EXPECT_FALSE(term.sendEnabled());

    term.hide();
    term.show();
    EXPECT_TRUE(pbSend->isEnabled());
}

TEST_F(TerminalTest, SavedFileHoldsExactlyTheVisibleLines)
{
    QTemporaryDir dir;
    term.show();
    const QString longLine(300, QLatin1Char('x'));
    for (int i = 1; i <= 502; ++i)
        term.AppendLine(QStringLiteral("l%1\r").arg(i).toStdString());
    term.AppendLine("");
    term.AppendLine("#cSU\r");
    term.AppendLine(longLine.toStdString() + "\r");

    saveThroughDialog(dir.filePath(QStringLiteral("trace")));

    QFile file(dir.filePath(QStringLiteral("trace.log"))); // the default extension
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray expected;
    for (int i = 6; i <= 502; ++i)
        expected += "l" + QByteArray::number(i) + "\r\n";
    expected += "\r\n#cSU\r\n" + longLine.toLatin1() + "\r\n";
    EXPECT_EQ(file.readAll(), expected);
    EXPECT_EQ(term.lineCount(), 500); // the log stays as it was
    EXPECT_TRUE(msgs.shown.empty());

    // An empty log makes an empty file, replacing an older one (the dialog has
    // asked before overwriting).
    action("Delete1")->trigger();
    EXPECT_TRUE(lblItemCount->text().isEmpty());
    file.close();
    EXPECT_TRUE(term.saveLog(file.fileName()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.size(), 0);
}

TEST_F(TerminalTest, UncreatableFileIsReported)
{
    QTemporaryDir dir;
    term.show();
    term.AppendLine("$US\r");
    const QString path = dir.filePath(QStringLiteral("missing/trace.log"));
    saveThroughDialog(path);
    ASSERT_EQ(msgs.shown.size(), 1u);
    EXPECT_EQ(msgs.shown[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(msgs.shown[0].text, QStringLiteral("Cannot create file."));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(term.lines(), QStringList{QStringLiteral("$US")});

    // A file that can be created but not written (a full disk) is not
    // reported as saved either.
    if (QFile::exists(QStringLiteral("/dev/full"))) {
        EXPECT_FALSE(term.saveLog(QStringLiteral("/dev/full")));
        ASSERT_EQ(msgs.shown.size(), 2u);
        EXPECT_EQ(msgs.shown[1].text, QStringLiteral("Cannot write file."));
    }
}

TEST_F(TerminalTest, EditMenuSelectsCopiesAndDeletes)
{
    term.show();
    term.AppendLine("$US\r");
    term.AppendLine("US,3\r");
    QApplication::clipboard()->clear();
    action("SelectAll1")->trigger();
    action("Copy1")->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("$US\nUS,3"));

    action("Delete1")->trigger();
    EXPECT_EQ(term.lineCount(), 0);
    EXPECT_TRUE(memWindow->toPlainText().isEmpty());
    EXPECT_TRUE(lblItemCount->text().isEmpty());
}

TEST_F(TerminalTest, QuitAndCloseOnlyHide)
{
    QPointer<TfrmTerminal> guard(&term);
    term.show();
    action("Quit1")->trigger();
    EXPECT_FALSE(term.isVisible());
    term.show();
    term.close();
    QApplication::processEvents();
    ASSERT_FALSE(guard.isNull());
    EXPECT_FALSE(term.isVisible());
}

} // namespace
} // namespace dxu
