#pragma once
// What came of a step the user asked for: done, or refused with the sentence
// that says why. The core returns it; the window shows the sentence in a box
// (caption "Error").
#include <QString>

namespace dxu {

struct StepOutcome {
    QString refusal; // empty: done

    static StepOutcome refused(const QString& why) { return {why}; }
    bool done() const { return refusal.isEmpty(); }
    explicit operator bool() const { return done(); }
};

} // namespace dxu
