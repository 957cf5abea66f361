#include "termination.h"

#include "platform/termination.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>

#include <unistd.h>

namespace orm {

void CloseOnTerminationRequest(QWidget *mainWindow)
{
    const int fd = platform::terminationRequestFd();
    if (fd < 0)
        return;
    auto *notifier = new QSocketNotifier(fd, QSocketNotifier::Read, mainWindow);
    QObject::connect(notifier, &QSocketNotifier::activated, mainWindow,
                     [notifier, window = QPointer<QWidget>(mainWindow), fd] {
                         char bytes[16];
                         while (::read(fd, bytes, sizeof bytes) > 0) {
                         }
                         notifier->setEnabled(false);
                         if (window)
                             window->close();
                         QCoreApplication::exit(0);
                     });
}

} // namespace orm
