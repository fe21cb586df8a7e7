#pragma once
// The end of the desktop session (SIGTERM) or an interrupt from a terminal
// (SIGINT) asks the program to end as when its main window is closed. The
// signal handler only writes one byte into a pipe; the event loop reads it
// and calls the request handler on the user-interface thread.
//
//   installTerminationRequest([] { ...close the main window... });
//   ...
//   removeTerminationRequest();   // further signals are ignored
#include <functional>

// False when the pipe or the handlers can't be set up.
bool installTerminationRequest(std::function<void()> onRequest);
void removeTerminationRequest();
