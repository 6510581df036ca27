#include "diagnostics/linelog.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCursor>

namespace dxu {
namespace {

constexpr qreal HangingIndent = 16;

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
    cursor.insertText(line);
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
