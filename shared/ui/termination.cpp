#include "termination.h"

#include "platform/termination.h"

#include <QCoreApplication>
#include <QSocketNotifier>

namespace orm {

namespace {
bool g_closingOnEndRequest = false;
} // namespace

bool ClosingOnEndRequest()
{
    return g_closingOnEndRequest;
}

void OnTerminationRequest(QObject *context, std::function<void()> close)
{
    const int fd = platform::terminationRequestFd();
    if (fd < 0)
        return;
    auto *notifier = new QSocketNotifier(fd, QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context,
                     [notifier, close = std::move(close)] {
                         platform::takeTerminationRequests();
                         notifier->setEnabled(false);
                         QCoreApplication::exit(0);
                         g_closingOnEndRequest = true;
                         close();
                         g_closingOnEndRequest = false;
                     });
}

} // namespace orm
