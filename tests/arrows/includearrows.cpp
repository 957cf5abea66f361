#include "includearrows.h"

#include <fstream>
#include <map>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

namespace ormtest {

namespace {

const char *const kCodeFolders[] = {"shared", "marbeck", "cordane"};

std::string readText(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string relativeTo(const fs::path &path, const fs::path &root)
{
    return fs::relative(path, root).lexically_normal().generic_string();
}

std::string folderOf(const std::string &file)
{
    return fs::path(file).parent_path().generic_string();
}

std::vector<std::string> words(const std::string &text)
{
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string word; in >> word;)
        out.push_back(word);
    return out;
}

struct Table {
    std::map<std::string, std::vector<std::string>> allowed;

    // The folder whose line governs `folder`: itself or the nearest above it.
    std::string ruleFolder(std::string folder) const
    {
        while (!folder.empty()) {
            if (allowed.count(folder))
                return folder;
            folder = folderOf(folder);
        }
        return {};
    }

    bool allows(const std::string &from, const std::string &to) const
    {
        if (from == to)
            return true;
        const auto rule = allowed.find(from);
        if (rule == allowed.end())
            return false;
        for (const std::string &entry : rule->second) {
            if (entry == to)
                return true;
            if (entry.size() > 2 && entry.ends_with("/*")) {
                const std::string base = entry.substr(0, entry.size() - 2);
                if (to == base || to.starts_with(base + "/"))
                    return true;
            }
        }
        return false;
    }
};

Table readTable(const fs::path &path)
{
    Table table;
    std::istringstream in(readText(path));
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line.front() == '#')
            continue;
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        table.allowed[line.substr(0, colon)] = words(line.substr(colon + 1));
    }
    return table;
}

// What the build files say: which prefix reaches which folder, and which
// sources are compiled into logic libraries and which into window libraries.
struct BuildFacts {
    std::map<std::string, std::string> prefixFolder;
    std::set<std::string> logicFiles, windowFiles;
};

void addWithHeader(std::set<std::string> &files, const std::string &source)
{
    files.insert(source);
    fs::path header(source);
    header.replace_extension(".h");
    files.insert(header.generic_string());
}

BuildFacts readBuildFiles(const fs::path &root)
{
    BuildFacts facts;
    static const std::regex expose(R"(orm_expose\(\s*(\S+)\s+(\S+)\s*\))");
    static const std::regex library(R"(add_library\(\s*(\S+)\s+STATIC\s+([^)]*)\))");
    for (const char *top : kCodeFolders) {
        for (const auto &entry : fs::recursive_directory_iterator(root / top)) {
            if (entry.path().filename() != "CMakeLists.txt")
                continue;
            const std::string folder = relativeTo(entry.path().parent_path(), root);
            const std::string text = readText(entry.path());
            for (std::sregex_iterator m(text.begin(), text.end(), expose), end; m != end; ++m)
                facts.prefixFolder[(*m)[2]] = folder;
            for (std::sregex_iterator m(text.begin(), text.end(), library), end; m != end; ++m) {
                const bool window = std::string((*m)[1]).ends_with("_ui");
                for (const std::string &source : words((*m)[2])) {
                    const std::string file =
                        (fs::path(folder) / source).lexically_normal().generic_string();
                    std::set<std::string> &files = window ? facts.windowFiles : facts.logicFiles;
                    if (source.ends_with(".cpp"))
                        addWithHeader(files, file);
                    else if (source.ends_with(".h"))
                        files.insert(file);
                }
            }
        }
    }
    // A header that no library lists (a header-only interface) is logic: a
    // header-only window class is listed in its _ui library.
    for (const char *top : kCodeFolders) {
        for (const auto &entry : fs::recursive_directory_iterator(root / top)) {
            const std::string file = relativeTo(entry.path(), root);
            if (entry.path().extension() == ".h" && !facts.windowFiles.count(file))
                facts.logicFiles.insert(file);
        }
    }
    return facts;
}

// The project file an include names, relative to the root; empty when it is
// none of ours.
std::string resolve(const fs::path &root, const std::string &includer, const std::string &name,
                    const BuildFacts &facts)
{
    const fs::path beside = (root / folderOf(includer) / name).lexically_normal();
    if (fs::exists(beside))
        return relativeTo(beside, root);
    const auto slash = name.find('/');
    if (slash == std::string::npos)
        return {};
    const auto prefix = facts.prefixFolder.find(name.substr(0, slash));
    if (prefix == facts.prefixFolder.end())
        return {};
    const fs::path through = (root / prefix->second / name.substr(slash + 1)).lexically_normal();
    return fs::exists(through) ? relativeTo(through, root) : std::string();
}

} // namespace

std::set<std::string> HeaderNamesIn(const fs::path &folder)
{
    std::set<std::string> names;
    std::error_code error;
    for (const auto &entry : fs::directory_iterator(folder, error))
        names.insert(entry.path().filename().string());
    return names;
}

std::vector<ArrowViolation> CheckIncludeArrows(const fs::path &root, const fs::path &tablePath,
                                               const std::set<std::string> &widgetsHeaders)
{
    const Table table = readTable(tablePath);
    const BuildFacts facts = readBuildFiles(root);
    static const std::regex include(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    std::vector<ArrowViolation> found;
    for (const char *top : kCodeFolders) {
        for (const auto &entry : fs::recursive_directory_iterator(root / top)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h"))
                continue;
            const std::string file = relativeTo(entry.path(), root);
            const std::string from = table.ruleFolder(folderOf(file));
            const bool logic = facts.logicFiles.count(file) > 0;
            std::istringstream in(readText(entry.path()));
            int lineNumber = 0;
            for (std::string line; std::getline(in, line);) {
                ++lineNumber;
                std::smatch m;
                if (!std::regex_search(line, m, include))
                    continue;
                const std::string name = m[2];
                const auto report = [&](const std::string &reason) {
                    found.push_back({file, lineNumber, name, reason});
                };
                // <engine/batchqueue.h> is ours as much as "engine/batchqueue.h".
                const std::string target = resolve(root, file, name, facts);
                if (m[1] == "<" && target.empty()) {
                    const std::string base =
                        name.starts_with("QtWidgets/") ? name.substr(10) : name;
                    if (logic && (widgetsHeaders.count(base) || name.starts_with("QtWidgets/")))
                        report("a logic library includes a Widgets header");
                    continue;
                }
                if (target.empty())
                    continue;
                const std::string to = table.ruleFolder(folderOf(target));
                if (from.empty())
                    report("the folder " + folderOf(file) + " has no line in the table");
                else if (!table.allows(from, to))
                    report(from + " may not include " + to);
                else if (logic && facts.windowFiles.count(target))
                    report("a logic library includes window code (" + target + ")");
            }
        }
    }
    return found;
}

} // namespace ormtest
