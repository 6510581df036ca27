// The error list on real widgets: the capped list, the count kept apart from
// the lines shown, and what each way of closing does to both.
#include "common/testsupport.h"
#include "ui/diagnostics/errors.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace dxu {
namespace {

class ErrorsTest : public ::testing::Test {
protected:
    void addLines(int n)
    {
        for (int i = 1; i <= n; ++i)
            errors.addErrorLine("Cannot connect to DXU " + std::to_string(i) + ": Address: c");
    }

    TfrmErrors errors;
};

TEST_F(ErrorsTest, ListKeeps500LinesWhileTheCountGoesOn)
{
    addLines(501); // collected while hidden
    EXPECT_EQ(errors.errorCount(), 501);
    const QStringList lines = errors.lines();
    ASSERT_EQ(lines.size(), 500);
    EXPECT_EQ(lines.first(), QStringLiteral("Cannot connect to DXU 2: Address: c"));
    EXPECT_EQ(lines.last(), QStringLiteral("Cannot connect to DXU 501: Address: c"));
    auto* memo = errors.findChild<QTextEdit*>(QStringLiteral("memErrorList"));
    ASSERT_NE(memo, nullptr);
    EXPECT_TRUE(memo->isReadOnly());
    EXPECT_EQ(memo->document()->blockCount(), 500);

    errors.clearErrors(); // before every connect and disconnect
    EXPECT_EQ(errors.errorCount(), 0);
    EXPECT_EQ(errors.lineCount(), 0);
    errors.addErrorLine("");
    EXPECT_EQ(errors.lines(), QStringList{QString()});
    EXPECT_EQ(errors.errorCount(), 1);
}

TEST_F(ErrorsTest, EveryAddedTextIsOneLineWhateverItHolds)
{
    struct Case {
        const char* name;
        std::string text;
        QString shown;
    };
    const std::vector<Case> cases = {
        {"plain", "Cannot connect to DXU 3: Address: c", QStringLiteral("Cannot connect to DXU 3: Address: c")},
        {"line feed inside", "Cannot connect\nto DXU 3", QStringLiteral("Cannot connect to DXU 3")},
        {"carriage return inside", "Cannot connect\rto DXU 3", QStringLiteral("Cannot connect to DXU 3")},
        {"CR LF at the end", "Cannot connect to DXU 3\r\n", QStringLiteral("Cannot connect to DXU 3  ")},
        {"address byte above 127", "Address: \xE9", QStringLiteral("Address: \u00e9")},
    };
    auto* memo = errors.findChild<QTextEdit*>(QStringLiteral("memErrorList"));
    ASSERT_NE(memo, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        errors.clearErrors();
        errors.addErrorLine("first");
        errors.addErrorLine(c.text);
        EXPECT_EQ(errors.lines(), QStringList({QStringLiteral("first"), c.shown}));
        EXPECT_EQ(memo->document()->blockCount(), 2);
    }

    // The cap still holds when the lines carry line breaks.
    errors.clearErrors();
    for (int i = 1; i <= 501; ++i)
        errors.addErrorLine("unit " + std::to_string(i) + "\nnot answering");
    EXPECT_EQ(errors.lineCount(), 500);
    EXPECT_EQ(memo->document()->blockCount(), 500);
    EXPECT_EQ(errors.lines().first(), QStringLiteral("unit 2 not answering"));
    EXPECT_EQ(errors.errorCount(), 501);
}

TEST_F(ErrorsTest, AFailureLineFitsOnOneLineOfTheWindow)
{
    errors.addErrorLine("Cannot connect to DXU 62: Address: W");
    errors.show();
    QApplication::processEvents();
    auto* memo = errors.findChild<QTextEdit*>(QStringLiteral("memErrorList"));
    ASSERT_NE(memo, nullptr);
    QTextBlock block = memo->document()->firstBlock();
    memo->document()->documentLayout()->blockBoundingRect(block); // lays the block out
    ASSERT_NE(block.layout(), nullptr);
    EXPECT_EQ(block.layout()->lineCount(), 1);
    EXPECT_GE(errors.width(), 247);
    EXPECT_GE(errors.height(), 414);
    EXPECT_GT(errors.height(), errors.width()); // still a narrow list
}

TEST_F(ErrorsTest, ClearKeepsTheCountEveryWayOfClosingResetsIt)
{
    struct Case {
        const char* name;
        std::function<void(TfrmErrors&)> act;
        bool visible;
        int lines, count;
    };
    auto click = [](TfrmErrors& e, const char* name) {
        QTest::mouseClick(e.findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
    };
    const std::vector<Case> cases = {
        {"Clear", [&](TfrmErrors& e) { click(e, "pbClear"); }, true, 0, 3},
        {"Close", [&](TfrmErrors& e) { click(e, "pbClose"); }, false, 0, 0},
        {"close button", [](TfrmErrors& e) { e.close(); }, false, 0, 0},
        {"Escape", [](TfrmErrors& e) { QTest::keyClick(&e, Qt::Key_Escape); }, false, 0, 0},
        {"Enter presses nothing", [](TfrmErrors& e) { QTest::keyClick(&e, Qt::Key_Return); }, true, 3, 3},
    };
    QPointer<TfrmErrors> guard(&errors);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        errors.clearErrors();
        addLines(3);
        errors.show();
        c.act(errors);
        EXPECT_EQ(errors.isVisible(), c.visible);
        EXPECT_EQ(errors.lineCount(), c.lines);
        EXPECT_EQ(errors.errorCount(), c.count);
        ASSERT_FALSE(guard.isNull());
    }
}

} // namespace
} // namespace dxu
