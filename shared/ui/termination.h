#pragma once
#include <QObject>

#include <functional>

namespace orm {

// When the program is asked to end from outside (SIGTERM, SIGINT, SIGHUP),
// every event loop, modal ones included, is told to end, and then `close`
// runs: the program closes its windows the way the user would, while any
// question it asks on the way returns at once instead of waiting for a user
// who is not there.
void OnTerminationRequest(QObject *context, std::function<void()> close);

// True while `close` runs for such a request: a window closing then asks nothing.
bool ClosingOnEndRequest();

} // namespace orm
