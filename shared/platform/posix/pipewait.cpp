#include "../pipewait.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

namespace orm::platform {

WakeEvent WakeEvent::create()
{
    WakeEvent event;
    event.m_fd.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    return event;
}

void WakeEvent::signal() const
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_fd.get(), &one, sizeof one);
}

bool waitReadable(std::span<WaitItem> items, int timeoutMs, int &error)
{
    std::vector<pollfd> fds;
    fds.reserve(items.size());
    for (WaitItem &item : items) {
        item.ready = false;
        fds.push_back({item.fd, POLLIN, 0}); // a negative descriptor is skipped by poll
    }
    const int r = ::poll(fds.data(), nfds_t(fds.size()), timeoutMs);
    if (r < 0) {
        if (errno == EINTR)
            return true;
        error = errno;
        return false;
    }
    for (size_t i = 0; i < items.size(); ++i)
        items[i].ready = items[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR));
    return true;
}

void prepareReadEnd(int fd, int size)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    // Refused beyond the system's limit: the default size then stays.
    ::fcntl(fd, F_SETPIPE_SZ, size);
}

ReadResult readAvailable(int fd, char *buffer, std::size_t size)
{
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n > 0)
            return {ReadStatus::Data, std::size_t(n)};
        if (n == 0)
            return {ReadStatus::End};
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return {ReadStatus::Empty};
        return {ReadStatus::Failed, 0, errno};
    }
}

} // namespace orm::platform
