#pragma once
// Ctrl+C and SIGTERM for the command-line tool: the signal handler only writes
// a byte to a pipe; the event loop reads it and raises a flag that the
// running command looks at, so that it can stop a measuring unit and release
// the port before the program ends.
class QObject;

namespace dxu::cli {

// Installs the handlers for SIGINT and SIGTERM (and ignores SIGPIPE, so that a
// closed output ends the program through its own checks).
void installInterruptHandler(QObject* parent);
// True once a signal has been seen by the event loop.
bool interrupted();
// The signal that interrupted (SIGINT or SIGTERM), or 0.
int interruptSignal();
// Raises the flag from the program itself (the MQTT broker refused it for
// good): the command stops as on a signal, with no signal's status.
void interruptNow();

} // namespace dxu::cli
