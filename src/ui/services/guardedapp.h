#pragma once
// The program's application object: an exception thrown by a handler is
// shown to the user (caption "DXU Interface") and the program carries on with
// the next event, as the program's standard exception display does; nothing
// is left to unwind through the toolkit.
#include <QApplication>

#include <exception>

namespace dxu {

// Shows what an exception said, or "Unknown error".
void showException(const std::exception* e);

class GuardedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace dxu
