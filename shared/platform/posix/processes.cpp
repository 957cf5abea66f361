#include "../processes.h"

#include "../childprocess.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <map>
#include <memory>
#include <set>

namespace orm::platform {

namespace {

struct DirCloser {
    void operator()(DIR *d) const { ::closedir(d); }
};

std::optional<std::string> readFileText(const std::string &path, size_t limit)
{
    const Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
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

// The fields of /proc/<pid>/stat after the command name (which may hold
// blanks and parentheses): [0] state, [1] parent, [2] group, ... [19] start time.
std::optional<std::vector<std::string>> statFields(int pid)
{
    const auto text = readFileText("/proc/" + std::to_string(pid) + "/stat", 4096);
    if (!text)
        return std::nullopt;
    const size_t close = text->rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    std::vector<std::string> fields;
    size_t at = close + 1;
    while (at < text->size()) {
        while (at < text->size() && (*text)[at] == ' ')
            ++at;
        const size_t end = std::min(text->find(' ', at), text->size());
        if (end > at)
            fields.push_back(text->substr(at, end - at));
        at = end;
    }
    if (fields.size() < 20)
        return std::nullopt;
    return fields;
}

template <class T> std::optional<T> number(const std::string &text)
{
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

struct ProcessEntry {
    int pid;
    int parent;
    int group;
};

// Every process the system shows now.
std::vector<ProcessEntry> processTable()
{
    std::vector<ProcessEntry> table;
    const std::unique_ptr<DIR, DirCloser> proc(::opendir("/proc"));
    if (!proc)
        return table;
    while (const dirent *entry = ::readdir(proc.get())) {
        const auto pid = number<int>(entry->d_name);
        if (!pid || *pid <= 0)
            continue;
        const auto fields = statFields(*pid);
        if (!fields)
            continue; // gone meanwhile
        const auto parent = number<int>((*fields)[1]);
        const auto group = number<int>((*fields)[2]);
        if (parent && group)
            table.push_back({*pid, *parent, *group});
    }
    std::ranges::sort(table, {}, &ProcessEntry::pid);
    return table;
}

std::vector<int> descendantsIn(const std::vector<ProcessEntry> &table, int ancestor)
{
    std::multimap<int, int> children;
    for (const ProcessEntry &e : table)
        children.emplace(e.parent, e.pid);
    std::vector<int> found;
    std::vector<int> open{ancestor};
    while (!open.empty()) {
        const int parent = open.back();
        open.pop_back();
        for (auto [it, end] = children.equal_range(parent); it != end; ++it) {
            if (std::ranges::find(found, it->second) == found.end()) {
                found.push_back(it->second);
                open.push_back(it->second);
            }
        }
    }
    std::ranges::sort(found);
    return found;
}

Fd openProcess(int pid)
{
#ifdef SYS_pidfd_open
    return Fd(int(::syscall(SYS_pidfd_open, pid, 0)));
#else
    (void)pid;
    return Fd();
#endif
}

// Signals the process the descriptor was opened on, so that an id reused
// since the table was read cannot be hit; kill() where the kernel lacks it.
bool killOpened(const Fd &process, int pid)
{
#ifdef SYS_pidfd_send_signal
    if (process.valid())
        return ::syscall(SYS_pidfd_send_signal, process.get(), SIGKILL, nullptr, 0) == 0;
#else
    (void)process;
#endif
    return ::kill(pid, SIGKILL) == 0;
}

} // namespace

std::vector<int> descendantsOf(int ancestor)
{
    return descendantsIn(processTable(), ancestor);
}

std::vector<int> processGroupMembers(int group)
{
    std::vector<int> members;
    for (const ProcessEntry &e : processTable())
        if (e.group == group)
            members.push_back(e.pid);
    return members;
}

std::optional<unsigned long long> processStartTime(int pid)
{
    const auto fields = statFields(pid);
    return fields ? number<unsigned long long>((*fields)[19]) : std::nullopt;
}

std::optional<std::string> processProgramFile(int pid)
{
    std::string buffer(4096, '\0');
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    const ssize_t n = ::readlink(link.c_str(), buffer.data(), buffer.size());
    if (n <= 0 || size_t(n) >= buffer.size())
        return std::nullopt;
    buffer.resize(size_t(n));
    constexpr std::string_view deleted = " (deleted)";
    if (buffer.ends_with(deleted))
        buffer.resize(buffer.size() - deleted.size());
    return buffer;
}

bool isZombie(int pid)
{
    const auto fields = statFields(pid);
    return fields && (*fields)[0] == "Z";
}

bool killJobProcesses(int leader)
{
    if (leader <= 0)
        return false;
    const int self = ::getpid();
    // Who belongs to the job is read before anything is killed: a killed
    // parent's children are handed to another parent and no longer lead back.
    const std::vector<ProcessEntry> table = processTable();
    std::set<int> job{leader};
    for (const int pid : descendantsIn(table, leader))
        job.insert(pid);
    for (const ProcessEntry &e : table)
        if (e.group == leader)
            job.insert(e.pid);
    job.erase(self);
    std::vector<std::pair<int, Fd>> opened;
    for (const int pid : job)
        opened.emplace_back(pid, openProcess(pid));

    bool any = ::kill(-leader, SIGKILL) == 0;
    for (auto &[pid, process] : opened)
        any = killOpened(process, pid) || any;
    return any;
}

} // namespace orm::platform
