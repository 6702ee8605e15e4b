// Closes the main window through its ordinary close path (the save question or the silent save,
// then an orderly stop) when the process gets SIGTERM, SIGINT or SIGHUP.
#pragma once

class QWidget;

namespace ovixlog {

// The signal handler only writes a byte to a pipe; the window is closed from the event loop.
// Call once, after the window exists. Returns false when the pipe could not be made.
bool CloseOnTerminationSignals(QWidget* window);

}  // namespace ovixlog
