#include "ui/diagnostics/linelog.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCursor>

namespace dxu {
namespace {

constexpr qreal HangingIndent = 16;

// A character the text box would take as the start of a new line shows as a
// blank, so that one append stays one line and the line limit holds.
QString oneLine(QString text)
{
    for (QChar& ch : text) {
        const char16_t u = ch.unicode();
        if (u == u'\r' || u == u'\n' || u == 0x2028 || u == 0x2029 || u == 0xFDD0 || u == 0xFDD1)
            ch = QLatin1Char(' ');
    }
    return text;
}

} // namespace

LineLog::LineLog(QWidget* parent, int maxLines) : QTextEdit(parent), max_(maxLines > 0 ? maxLines : 1)
{
    setReadOnly(true);
    // Long lines wrap, so a narrow window still shows them whole.
    setLineWrapMode(QTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUndoRedoEnabled(false);
    setAcceptRichText(false);
}

void LineLog::appendLine(const QString& line)
{
    QScrollBar* bar = verticalScrollBar();
    const bool follow = bar->value() >= bar->maximum();

    QTextCursor cursor(document());
    cursor.beginEditBlock();
    if (count_ >= max_) {
        // Drop the first line together with the line break after it.
        cursor.movePosition(QTextCursor::Start);
        cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        --count_;
    }
    cursor.movePosition(QTextCursor::End);
    // An empty box already has the one (empty) block the first line goes into;
    // counting lines ourselves keeps empty lines apart from "no lines".
    if (count_ > 0)
        cursor.insertBlock();
    // A wrapped line continues indented, so it does not read as a line of its own.
    QTextBlockFormat hanging;
    hanging.setLeftMargin(HangingIndent);
    hanging.setTextIndent(-HangingIndent);
    cursor.setBlockFormat(hanging);
    cursor.insertText(oneLine(line));
    cursor.endEditBlock();
    ++count_;

    if (follow)
        bar->setValue(bar->maximum());
}

void LineLog::clearLines()
{
    clear();
    count_ = 0;
}

QStringList LineLog::lines() const
{
    QStringList out;
    if (count_ == 0)
        return out;
    out.reserve(count_);
    for (QTextBlock b = document()->firstBlock(); b.isValid(); b = b.next())
        out << b.text();
    return out;
}

} // namespace dxu
