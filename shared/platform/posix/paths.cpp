#include "../platform.h"

#include <dirent.h>
#include <pwd.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <vector>

namespace orm::platform {

namespace {

std::string homeFolder()
{
    if (const char *home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd *pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return {};
}

// The value of XDG_DOCUMENTS_DIR in user-dirs.dirs: a quoted path that may
// begin with $HOME.
std::string xdgDocumentsFolder(const std::string &home)
{
    if (const char *env = std::getenv("XDG_DOCUMENTS_DIR"); env && *env)
        return env;
    std::string config;
    if (const char *xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        config = xdg;
    else if (!home.empty())
        config = home + "/.config";
    else
        return {};
    std::ifstream in(config + "/user-dirs.dirs");
    std::string line;
    while (std::getline(in, line)) {
        const std::string prefix = "XDG_DOCUMENTS_DIR=";
        if (line.compare(0, prefix.size(), prefix) != 0)
            continue;
        std::string value = line.substr(prefix.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.compare(0, 5, "$HOME") == 0)
            value = home + value.substr(5);
        return value;
    }
    return {};
}

struct DirCloser {
    void operator()(DIR *d) const { ::closedir(d); }
};

// The entry of `folder` whose name equals `name` without regard to case.
std::string findEntryIgnoringCase(const std::string &folder, const std::string &name)
{
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir)
        return {};
    while (const dirent *entry = ::readdir(dir.get())) {
        if (::strcasecmp(entry->d_name, name.c_str()) == 0)
            return entry->d_name;
    }
    return {};
}

} // namespace

bool isPathSeparator(char c)
{
    return c == '/';
}

std::string programPath()
{
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<size_t>(n));
        buffer.resize(buffer.size() * 2);
    }
}

std::string programFolder()
{
    const std::string path = programPath();
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string documentsFolder()
{
    const std::string home = homeFolder();
    if (const std::string xdg = xdgDocumentsFolder(home); !xdg.empty() && directoryExists(xdg))
        return xdg;
    if (!home.empty() && directoryExists(home + "/Documents"))
        return home + "/Documents";
    return home;
}

bool fileExists(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool directoryExists(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool pathExists(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::string toPlatformSeparators(std::string_view path)
{
    std::string out(path);
    for (char &c : out) {
        if (c == '\\')
            c = '/';
    }
    return out;
}

std::string resolveCaseInsensitive(const std::string &path)
{
    if (path.empty() || pathExists(path))
        return path;
    std::string resolved = path.front() == '/' ? "/" : "";
    size_t pos = 0;
    while (pos < path.size()) {
        const size_t next = path.find('/', pos);
        const std::string part =
            path.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
        pos = next == std::string::npos ? path.size() : next + 1;
        if (part.empty())
            continue;
        const std::string folder = resolved;
        std::string candidate =
            folder.empty() || folder.back() == '/' ? folder + part : folder + "/" + part;
        if (part != "." && part != ".." && !pathExists(candidate)) {
            const std::string match = findEntryIgnoringCase(folder, part);
            if (match.empty())
                return path;
            candidate =
                folder.empty() || folder.back() == '/' ? folder + match : folder + "/" + match;
        }
        resolved = candidate;
    }
    return resolved;
}

} // namespace orm::platform
