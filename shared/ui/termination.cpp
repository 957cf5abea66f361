#include "termination.h"

#include "platform/termination.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <unistd.h>

namespace orm {

void OnTerminationRequest(QObject *context, std::function<void()> close)
{
    const int fd = platform::terminationRequestFd();
    if (fd < 0)
        return;
    auto *notifier = new QSocketNotifier(fd, QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context,
                     [notifier, fd, close = std::move(close)] {
                         char bytes[16];
                         while (::read(fd, bytes, sizeof bytes) > 0) {
                         }
                         notifier->setEnabled(false);
                         QCoreApplication::exit(0);
                         close();
                     });
}

} // namespace orm
