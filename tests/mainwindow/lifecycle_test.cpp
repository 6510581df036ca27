// Ending the program, the unsaved-settings question, reset and the modeless windows.
#include "common/simwindow.h"
#include "ui/app/application.h"
#include "ui/diagnostics/about.h"
#include "ui/diagnostics/terminal.h"
#include "engine/session.h"
#include "fixture.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace dxu;
using namespace dxu::test;

namespace {

const QString kTerminateQuestion =
    "The most recent changes to DXU settings are not saved,\nand will be lost after cycling the power.\n"
    "Do you want to terminate program?";

struct EndCase {
    const char* label;
    bool viaCloseButton;
    bool unsaved;        // written settings the unit has not saved
    MsgAnswer answer;    // used only when asked
    bool expectAsked;
    bool expectEnded;
};

class Ending : public MainWindowTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(Ending, AsksOnlyWhenSettingsAreUnsavedAndKeepsRunningOnNo)
{
    const EndCase& c = GetParam();
    TTopForm& top = form();
    FakePort port;
    port.open = true;
    top.setCommPort(&port);
    top.state().connected = 1;
    top.controlLooks().showSaveState(c.unsaved);
    top.setText("pbContinuous", "&Stop");
    top.setText("lblResult", "12.00 F");
    top.show();
    QSignalSpy ended(&top, &TTopForm::terminateRequested);
    messages.answerNext(c.answer);

    if (c.viaCloseButton)
        top.close();
    else
        top.Exit1Click();

    ASSERT_EQ(messages.shown.size(), c.expectAsked ? 1u : 0u);
    if (c.expectAsked) {
        EXPECT_EQ(messages.shown[0].caption, "Warning");
        EXPECT_EQ(messages.shown[0].text, kTerminateQuestion);
        EXPECT_EQ(messages.shown[0].buttons, MsgButtons::YesNo);
    }
    EXPECT_EQ(ended.count(), c.expectEnded ? 1 : 0);
    EXPECT_EQ(port.disconnects, c.expectEnded ? 1 : 0);
    EXPECT_EQ(port.open, !c.expectEnded);
    if (!c.expectEnded) {
        // Still running and connected, nothing touched.
        EXPECT_TRUE(top.QWidget::isVisible());
        EXPECT_EQ(top.state().connected, 1);
        EXPECT_EQ(text("pbContinuous"), "&Stop");
        EXPECT_EQ(text("lblResult"), "12.00 F");
    } else if (c.viaCloseButton) {
        EXPECT_FALSE(top.QWidget::isVisible());
        EXPECT_EQ(top.state().connected, 0);
        EXPECT_EQ(text("pbContinuous"), "Measurement &Start");
        EXPECT_EQ(get("lblLaserOn")->palette().color(QPalette::Window), QColor(192, 192, 192));
    } else {
        EXPECT_EQ(text("lblResult"), "");
        EXPECT_EQ(text("lblIntensity"), "");
    }
    top.setCommPort(nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    ExitAndClose, Ending,
    ::testing::Values(EndCase{"exitSaved", false, false, MsgAnswer::No, false, true},
                      EndCase{"exitUnsavedYes", false, true, MsgAnswer::Yes, true, true},
                      EndCase{"exitUnsavedNo", false, true, MsgAnswer::No, true, false},
                      EndCase{"closeSaved", true, false, MsgAnswer::No, false, true},
                      EndCase{"closeUnsavedYes", true, true, MsgAnswer::Yes, true, true},
                      EndCase{"closeUnsavedNo", true, true, MsgAnswer::No, true, false}),
    [](const auto& info) { return std::string(info.param.label); });

// The program as it runs, its event loop included: with an upload not saved
// in the unit, Exit, the close button and Ctrl+X ask once; Yes ends the
// program with the port closed, No keeps it connected with the port open and
// every button working.
class EndingOnALine : public SimWindowTest {};

TEST_F(EndingOnALine, AsksOnceWhateverThePathAndDoesWhatWasAnswered)
{
    enum Path { ExitMenu, CloseButton, CtrlX };
    const struct {
        const char* what;
        Path path;
        MsgAnswer answer;
    } cases[] = {{"Exit, Yes", ExitMenu, MsgAnswer::Yes},      {"Exit, No", ExitMenu, MsgAnswer::No},
                 {"close, Yes", CloseButton, MsgAnswer::Yes}, {"close, No", CloseButton, MsgAnswer::No},
                 {"Ctrl+X, Yes", CtrlX, MsgAnswer::Yes},      {"Ctrl+X, No", CtrlX, MsgAnswer::No}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        attach();
        connect();
        quitOnTerminate(top());
        type("edPulsesperMeasure", "40");
        click("pbUpload");
        ASSERT_TRUE(runUntil([this] { return idle() && top().isEnabled("pbSaveSettings"); }));
        top().show();
        top().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&top()));
        messages.shown.clear();
        messages.answers.clear();
        messages.answerNext(c.answer);
        // Whatever the answer, a second question would be answered the other way.
        messages.answerNext(c.answer == MsgAnswer::Yes ? MsgAnswer::No : MsgAnswer::Yes);
        QTimer::singleShot(0, &top(), [&] {
            if (c.path == ExitMenu)
                click("Exit1");
            else if (c.path == CloseButton)
                top().close();
            else
                QTest::keyClick(&top(), Qt::Key_X, Qt::ControlModifier);
        });
        // Still running after a while: the loop is left by hand.
        QTimer::singleShot(500, &top(), [] { QCoreApplication::exit(7); });
        const int ended = QCoreApplication::exec();

        EXPECT_EQ(messages.shown.size(), 1u);
        if (c.answer == MsgAnswer::Yes) {
            EXPECT_EQ(ended, 0);
            EXPECT_FALSE(link->Connected());
            continue;
        }
        EXPECT_EQ(ended, 7);
        EXPECT_TRUE(top().QWidget::isVisible());
        EXPECT_TRUE(link->Connected());
        EXPECT_EQ(top().state().connected, 1);
        EXPECT_EQ(text("pbConnect"), "Dis&connect");
        link->received.clear();
        click("pbRead");
        ASSERT_TRUE(runUntil([this] { return idle(); }));
        EXPECT_EQ(sent("$SV"), 1);
        top().hide();
    }
}

// A connection whose port was closed under it (the window still shows it
// connected): each command says that it cannot reach the unit and the
// window shows what is true; Disconnect disconnects and never opens the port.
TEST_F(EndingOnALine, CommandsOnAClosedPortSaySoAndShowTheTruth)
{
    const struct {
        const char* button;
        size_t boxes;
    } cases[] = {{"pbRead", 1}, {"pbSaveSettings", 1}, {"pbContinuous", 1}, {"pbPointer", 1}, {"pbConnect", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        attach();
        connect();
        top().setEnabled("pbSaveSettings", true);
        link->Disconnect();
        messages.shown.clear();
        click(c.button);
        runUntil([] { return false; }, 3000);
        ASSERT_EQ(messages.shown.size(), c.boxes);
        if (c.boxes) {
            EXPECT_TRUE(messages.shown[0].text.contains("COM1 is no longer available"))
                << messages.shown[0].text.toStdString();
        }
        EXPECT_FALSE(link->Connected());
        EXPECT_TRUE(link->received.empty());
        EXPECT_EQ(top().state().connected, 0);
        EXPECT_EQ(text("pbConnect"), "&Connect");
        EXPECT_EQ(get("lblConnected")->palette().color(QPalette::Window), QColor(192, 192, 192));
        EXPECT_FALSE(top().isEnabled("pbRead"));
    }
}

TEST_F(MainWindowTest, UnsavedPromptKinds)
{
    TTopForm& top = form();
    EXPECT_TRUE(top.unsavedChangesPrompt(UnsavedMoment::Exit)); // nothing unsaved: no question
    EXPECT_TRUE(messages.shown.empty());

    top.controlLooks().showSaveState(true);
    messages.answerNext(MsgAnswer::No);
    EXPECT_FALSE(top.unsavedChangesPrompt(UnsavedMoment::Disconnect));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "The most recent changes to DXU settings are not saved,\nand will be lost after cycling the power.\n"
              "Do you want to disconnect DXU?");
}

TEST_F(MainWindowTest, ResetAsksFirstAndDropsTheSaveHighlight)
{
    TTopForm& top = form();
    top.controlLooks().showSaveState(true);
    top.setEnabled("pbUpload", true);

    messages.answerNext(MsgAnswer::No);
    top.session().resetClicked();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Warning");
    EXPECT_EQ(messages.shown[0].text,
              "This action will reset the unit to previously saved settings.\n\nDo you want to continue?");
    EXPECT_TRUE(top.isEnabled("pbSaveSettings"));
    EXPECT_TRUE(top.isEnabled("pbUpload"));

    messages.answerNext(MsgAnswer::Yes);
    top.session().resetClicked();
    EXPECT_FALSE(top.isEnabled("pbSaveSettings"));
    EXPECT_FALSE(top.isEnabled("pbUpload"));
    const QFont f = get("pbSaveSettings")->font();
    EXPECT_FALSE(f.bold());
    EXPECT_FALSE(f.italic());
}

TEST(Windows, AboutAndTerminalOpenModelessAndTheAboutBoxHidesOnOk)
{
    clearStore();
    AppWindows windows;
    TTopForm& top = windows.top();
    const TTopForm::Windows& w = top.windows();
    top.show();

    top.findChild<QAction*>(QStringLiteral("About1"))->trigger();
    EXPECT_TRUE(w.about->isVisible());
    EXPECT_FALSE(w.about->isModal());
    EXPECT_TRUE(top.QWidget::isVisible());

    top.hooks().showVersionText("DXU V1.07 2004");
    EXPECT_EQ(w.about->findChild<QLabel*>(QStringLiteral("lblDXUVersion"))->text(), "DXU V1.07 2004");
    bool programVersionShown = false;
    for (QLabel* l : w.about->findChildren<QLabel*>())
        programVersionShown |= l->text() == QLatin1String("DXU Interface v2.0.0.4");
    EXPECT_TRUE(programVersionShown);

    QPushButton* ok = nullptr;
    for (QPushButton* b : w.about->findChildren<QPushButton*>())
        if (b->text() == QLatin1String("&Ok"))
            ok = b;
    ASSERT_NE(ok, nullptr);
    ok->click();
    EXPECT_FALSE(w.about->isVisible());

    EXPECT_FALSE(top.hooks().terminalVisible());
    top.findChild<QAction*>(QStringLiteral("Terminal1"))->trigger();
    EXPECT_TRUE(w.terminal->isVisible());
    EXPECT_TRUE(top.hooks().terminalVisible());
    w.terminal->hide();
    top.hide();
}

} // namespace
