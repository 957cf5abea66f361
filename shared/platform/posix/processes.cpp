#include "../processes.h"

#include "../childprocess.h"
#include "../platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orm::platform {

namespace {

// The kernel truncates a command name to this many characters, so a name of
// this length may be the start of a longer one.
constexpr size_t kCommandNameLimit = 15;

struct DirCloser {
    void operator()(DIR *d) const { ::closedir(d); }
};

char asciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) { return asciiUpper(x) == asciiUpper(y); });
}

// Up to `limit` bytes of a file below a /proc/<pid> folder; nothing when it
// cannot be read (the process may be gone).
std::optional<std::string> readEntry(int pidDir, const char *entry, size_t limit)
{
    const Fd fd(::openat(pidDir, entry, O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        return std::nullopt;
    std::string text;
    char buffer[4096];
    while (text.size() < limit) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

std::optional<std::string> linkTarget(int pidDir, const char *entry)
{
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = ::readlinkat(pidDir, entry, buffer.data(), buffer.size());
        if (n < 0)
            return std::nullopt;
        if (static_cast<size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<size_t>(n));
        buffer.resize(buffer.size() * 2);
    }
}

// The real user id from the "Uid:" line of the status file.
std::optional<uid_t> realUserOf(int pidDir)
{
    const auto status = readEntry(pidDir, "status", 64 * 1024);
    if (!status)
        return std::nullopt;
    const auto at = status->find("\nUid:");
    if (at == std::string::npos)
        return std::nullopt;
    const char *p = status->data() + at + 5;
    const char *end = status->data() + status->size();
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
    unsigned long uid = 0;
    if (std::from_chars(p, end, uid).ec != std::errc())
        return std::nullopt;
    return static_cast<uid_t>(uid);
}

// The texts that name the program of a process: the program file, the first
// argument and, when it cannot have been truncated, the command name.
std::vector<std::string> programTextsOf(int pidDir)
{
    std::vector<std::string> texts;
    if (auto exe = linkTarget(pidDir, "exe")) {
        constexpr std::string_view deleted = " (deleted)";
        if (exe->ends_with(deleted))
            exe->resize(exe->size() - deleted.size());
        texts.push_back(std::move(*exe));
    }
    if (auto cmdline = readEntry(pidDir, "cmdline", 64 * 1024)) {
        cmdline->resize(std::min(cmdline->find('\0'), cmdline->size()));
        texts.push_back(std::move(*cmdline));
    }
    if (auto comm = readEntry(pidDir, "comm", 64)) {
        if (!comm->empty() && comm->back() == '\n')
            comm->pop_back();
        if (comm->size() < kCommandNameLimit)
            texts.push_back(std::move(*comm));
    }
    return texts;
}

// Signals the process that the open /proc/<pid> folder belongs to, so a pid
// reused since the folder was read cannot be hit; kill() where the kernel lacks it.
bool killProcess(int pidDir, pid_t pid)
{
#ifdef SYS_pidfd_send_signal
    if (::syscall(SYS_pidfd_send_signal, pidDir, SIGKILL, nullptr, 0) == 0)
        return true;
    if (errno != ENOSYS && errno != EBADF && errno != EINVAL)
        return false;
#else
    (void)pidDir;
#endif
    return ::kill(pid, SIGKILL) == 0;
}

std::vector<pid_t> processIds(DIR *proc)
{
    std::vector<pid_t> pids;
    while (const dirent *entry = ::readdir(proc)) {
        const std::string_view text = entry->d_name;
        pid_t pid = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), pid);
        if (ec == std::errc() && end == text.data() + text.size() && pid > 0)
            pids.push_back(pid);
    }
    std::ranges::sort(pids);
    return pids;
}

} // namespace

bool programNameMatches(std::string_view programText, std::string_view name)
{
    if (name.empty() || programText.empty())
        return false;
    const auto separator =
        std::find_if(programText.rbegin(), programText.rend(), isPathSeparator).base();
    const std::string_view fileName =
        programText.substr(static_cast<size_t>(separator - programText.begin()));
    return equalsIgnoringCase(fileName, name) || equalsIgnoringCase(programText, name);
}

bool killProcessesByName(std::string_view name)
{
    const std::unique_ptr<DIR, DirCloser> proc(::opendir("/proc"));
    if (!proc || name.empty())
        return false;
    const pid_t self = ::getpid();
    const uid_t user = ::getuid();
    bool result = false;
    for (const pid_t pid : processIds(proc.get())) {
        if (pid == self)
            continue;
        // Every read goes through this folder: once the process is gone, they fail.
        const Fd pidDir(::openat(::dirfd(proc.get()), std::to_string(pid).c_str(),
                                 O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!pidDir.valid() || realUserOf(pidDir.get()) != user)
            continue;
        const auto texts = programTextsOf(pidDir.get());
        if (std::ranges::any_of(texts,
                                [&](const std::string &t) { return programNameMatches(t, name); }))
            result = killProcess(pidDir.get(), pid);
    }
    return result;
}

} // namespace orm::platform
