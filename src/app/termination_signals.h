// Closes the main window through its ordinary close path (the save question or the silent save,
// then an orderly stop) when the process gets SIGTERM, SIGINT or SIGHUP. When that close could
// not save, the window stays with the reason shown; a second signal then ends the program
// without saving, as does a signal that comes while the first one's question or error is open.
#pragma once

namespace ovixlog {

class CMainFrame;

// The signal handler only writes a byte to a pipe; the window is closed from the event loop.
// Call once, after the window exists. Returns false when the pipe could not be made.
bool CloseOnTerminationSignals(CMainFrame* window);

}  // namespace ovixlog
