#pragma once
// Progress on standard error: on a terminal one line redrawn as a bar, else
// plain lines for each step of a unit (never the detail of every exchange).
#include <QString>

namespace dxu::cli {

class Progress {
public:
    Progress();
    ~Progress() { clear(); }

    // A new step, such as "a: connecting".
    void step(const QString& text);
    // How far the step is (value of maximum); shown on a terminal only.
    void detail(const QString& text, int value, int maximum);
    // A line that stays, such as a warning.
    void note(const QString& text);
    // Removes the bar.
    void clear();

private:
    void draw();

    bool tty_ = false;
    bool drawn_ = false;
    QString step_, detail_;
    int value_ = 0, maximum_ = 0;
};

} // namespace dxu::cli
