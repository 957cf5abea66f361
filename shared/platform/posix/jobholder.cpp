// ormolux-jobholder: leads a conversion job's process group for the program
// that started it, runs the job's command as its own child, passes on how the
// command ended, and ends the whole group when that program goes (even by
// SIGKILL). ChildProcess starts it with vfork and exec, which costs a large
// window program far less than a fork of itself.
//
//   ormolux-jobholder <program pid> <failure fd> <command file> <argv0> [args...]
//
// The starter has already made this process its group's leader, set its
// priority and folder, and given it the job's standard streams. The failure
// descriptor gets the system's error number when the command cannot start.
#include "jobholding.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// A whole decimal number in [0, INT_MAX], or -1.
int decimal(const char *text)
{
    char *end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno || end == text || *end || value < 0 || value > INT_MAX)
        return -1;
    return int(value);
}

// Closes every descriptor from `from` up to `to`, both included.
void closeRange(unsigned from, unsigned to)
{
    if (from > to)
        return;
    if (::syscall(SYS_close_range, from, to, 0U) != 0) {
        for (unsigned fd = from; fd <= to && fd < 4096; ++fd)
            ::close(int(fd));
    }
}

} // namespace

int main(int argc, char **argv)
{
    const int program = argc >= 5 ? decimal(argv[1]) : -1;
    const int failureFd = argc >= 5 ? decimal(argv[2]) : -1;
    if (program <= 0 || failureFd < 3) {
        static const char usage[] =
            "ormolux-jobholder runs a conversion job for Marbeck and Cordane; it is not "
            "started by hand.\nusage: ormolux-jobholder <program pid> <failure fd> "
            "<command file> <argv0> [arguments...]\n";
        [[maybe_unused]] auto n = ::write(2, usage, sizeof usage - 1);
        return 2;
    }
    // Nothing of the program's but the job's streams and the failure pipe.
    closeRange(3, unsigned(failureFd) - 1);
    closeRange(unsigned(failureFd) + 1, ~0U);

    const orm::platform::holding::ChildSetup setup{argv[3], argv + 4, nullptr, false,     0,
                                                   0,       1,        2,       failureFd, true};
    orm::platform::holding::holdJob(setup, pid_t(program));
}
