#pragma once
// Checks the project's include arrows against the table in arrows.txt: which
// folder's code may include which, and that no file of a logic library
// includes a window header (of the toolkit's Widgets module or of our own
// window code).
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace ormtest {

struct ArrowViolation {
    std::string file; // relative to the project root
    int line = 0;
    std::string include;
    std::string reason;
};

// `root` holds shared/, marbeck/ and cordane/ with their CMakeLists.txt;
// `widgetsHeaders` are the names of the toolkit's Widgets headers.
std::vector<ArrowViolation> CheckIncludeArrows(const std::filesystem::path &root,
                                               const std::filesystem::path &table,
                                               const std::set<std::string> &widgetsHeaders);

// The header names in a folder (the toolkit's QtWidgets include folder).
std::set<std::string> HeaderNamesIn(const std::filesystem::path &folder);

} // namespace ormtest
