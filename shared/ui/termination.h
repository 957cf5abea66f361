#pragma once
class QWidget;

namespace orm {

// When the program is asked to end from outside (SIGTERM, SIGINT, SIGHUP),
// the main window is closed as if the user had closed it, and every event
// loop, modal ones included, then ends.
void CloseOnTerminationRequest(QWidget *mainWindow);

} // namespace orm
