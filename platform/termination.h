// SIGTERM and SIGINT as an orderly exit request: the handler writes one
// byte to a pipe whose read end the user interface watches, and the
// watcher then posts the exit request on its own thread.
#pragma once

namespace velka {

// Installs the handlers (once) and returns the pipe's read end, or -1.
int InstallTerminationPipe();
// Reads what is waiting on the pipe; true when a signal arrived.
bool DrainTerminationPipe();

} // namespace velka
