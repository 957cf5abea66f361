#include "../files.h"

#include "../childprocess.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orm::platform {

std::optional<std::string> readRegularFile(const std::string &path, std::size_t limit,
                                           ReadRefusal *why)
{
    const auto refuse = [why](ReadRefusal reason) -> std::optional<std::string> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    // Not blocking: opening a FIFO for reading would wait for a writer.
    const Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid())
        return refuse(errno == ENOENT || errno == ENOTDIR ? ReadRefusal::Missing
                                                          : ReadRefusal::Unreadable);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return refuse(ReadRefusal::Unreadable);
    if (!S_ISREG(st.st_mode))
        return refuse(ReadRefusal::NotRegular);
    if (st.st_size < 0 || std::size_t(st.st_size) > limit)
        return refuse(ReadRefusal::TooLarge);
    std::string bytes;
    bytes.resize(std::size_t(st.st_size) + 1);
    std::size_t have = 0;
    // A file that grows while it is read is still cut at the limit.
    while (have < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + have, bytes.size() - have);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return refuse(ReadRefusal::Unreadable);
        if (n == 0)
            break;
        have += std::size_t(n);
        if (have > limit)
            return refuse(ReadRefusal::TooLarge);
        if (have == bytes.size())
            bytes.resize(std::min(bytes.size() * 2, limit + 1));
    }
    bytes.resize(have);
    return bytes;
}

int renameNoReplace(const std::string &from, const std::string &to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    // A link fails on an existing name as the rename above would.
    if (::link(from.c_str(), to.c_str()) != 0)
        return errno;
    ::unlink(from.c_str());
    return 0;
}

std::optional<FileIdentity> fileIdentity(const std::string &path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    FileIdentity id;
    id.device = std::uint64_t(st.st_dev);
    id.inode = std::uint64_t(st.st_ino);
    id.size = std::int64_t(st.st_size);
    id.modifiedNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return id;
}

} // namespace orm::platform
