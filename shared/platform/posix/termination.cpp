#include "../termination.h"

#include <csignal>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

namespace orm::platform {

namespace {

int g_pipe[2] = {-1, -1};

// Only async-signal-safe work here: one byte, the signal's number, into the pipe.
extern "C" void onTerminationSignal(int signal)
{
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
}

int install()
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return -1;
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
    return g_pipe[0];
}

} // namespace

int terminationRequestFd()
{
    static const int fd = install();
    return fd;
}

int takeTerminationRequests()
{
    int last = 0;
    char bytes[16];
    ssize_t count = 0;
    while (g_pipe[0] >= 0 && (count = ::read(g_pipe[0], bytes, sizeof bytes)) > 0)
        last = static_cast<unsigned char>(bytes[count - 1]);
    return last;
}

} // namespace orm::platform
