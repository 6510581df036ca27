#include "diagnostics/linelog.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

namespace dxu {

LineLog::LineLog(QWidget* parent, int maxLines) : QPlainTextEdit(parent), max_(maxLines > 0 ? maxLines : 1)
{
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setUndoRedoEnabled(false);
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
