#pragma once
// A request to end the program from outside (the session logging out, `kill`),
// turned into something the event loop can wait on, so the program closes the
// way it does when the user closes it: settings saved, encoders stopped.
namespace orm::platform {

// A descriptor that becomes readable once SIGTERM, SIGINT or SIGHUP arrives;
// -1 when it cannot be set up. Installed once per process; later calls return
// the same descriptor.
int terminationRequestFd();

// Empties the descriptor once its requests have been seen; returns the last
// signal among them (0 when there was none).
int takeTerminationRequests();

} // namespace orm::platform
