#pragma once
// Files as the programs use them: data files read with a bound, a job's
// outputs published under their final names without replacing anything, and
// a file's identity, to tell whether it is still the one seen earlier.
#include <cstdint>
#include <optional>
#include <string>

namespace orm::platform {

// No data file of the programs comes near this; anything larger is refused.
inline constexpr std::size_t kDataFileLimit = 16u * 1024u * 1024u;

enum class ReadRefusal { Missing, NotRegular, TooLarge, Unreadable };

// The bytes of a regular file of at most `limit` bytes. A FIFO, a device or a
// folder is refused without being read, so a read never waits for a writer or
// runs without end.
std::optional<std::string> readRegularFile(const std::string &path,
                                           std::size_t limit = kDataFileLimit,
                                           ReadRefusal *why = nullptr);

// Renames `from` to `to` only while nothing is at `to`: 0, or the system's
// error number (EEXIST when the name is taken). Where the file system cannot
// rename that way, a link and an unlink do the same.
int renameNoReplace(const std::string &from, const std::string &to);

// What tells one file from another that later takes its path.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileIdentity &) const = default;
};
std::optional<FileIdentity> fileIdentity(const std::string &path);

} // namespace orm::platform
