#include "../channel.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace orm::platform {

std::optional<Channel> Channel::create(int &error)
{
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        error = errno;
        return std::nullopt;
    }
    return Channel{Fd(fds[0]), Fd(fds[1])};
}

bool writeAll(int fd, const char *data, std::size_t size, int &error)
{
    while (size > 0) {
        // On a socket a reader that has gone gives EPIPE, not SIGPIPE.
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == ENOTSOCK)
            n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            return false;
        }
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

void shutdownChannel(int fd)
{
    ::shutdown(fd, SHUT_RDWR);
}

} // namespace orm::platform
