// Stands in for the encoder in the start benchmark: appends the time it was
// started (CLOCK_REALTIME in nanoseconds, one line) to "<its path>.stamps",
// then runs the real encoder, "<its path>.real", with the same arguments, so
// the conversion itself is the real one.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>

int main(int argc, char *argv[])
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    if (argc < 1)
        return 127;
    const std::string self = argv[0];
    const std::string line = std::to_string(now.tv_sec * 1000000000LL + now.tv_nsec) + "\n";
    const int fd =
        ::open((self + ".stamps").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd >= 0) {
        [[maybe_unused]] auto n = ::write(fd, line.data(), line.size());
        ::close(fd);
    }
    const std::string real = self + ".real";
    argv[0] = const_cast<char *>(real.c_str());
    ::execv(real.c_str(), argv);
    std::perror(real.c_str());
    return 127;
}
