#pragma once
#include <QTextEdit>
#include <QStringList>

namespace dxu {

// A read-only, vertically scrolling text box that keeps at most a fixed number
// of lines: at the limit the oldest line goes before a new one is added. Every
// append is exactly one line, an empty text included: a line break inside the
// text shows as a blank.
class LineLog : public QTextEdit {
    Q_OBJECT
public:
    static constexpr int DefaultMaxLines = 500;

    explicit LineLog(QWidget* parent = nullptr, int maxLines = DefaultMaxLines);

    void appendLine(const QString& line);
    void clearLines();
    int lineCount() const { return count_; }
    int maxLines() const { return max_; }
    QStringList lines() const;

private:
    int max_;
    int count_ = 0;
};

} // namespace dxu
