// The project's include arrows hold, and the check finds the edges it exists
// to catch.
#include "includearrows.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace ormtest;

namespace {

std::string describe(const std::vector<ArrowViolation> &found)
{
    std::string out;
    for (const ArrowViolation &v : found)
        out +=
            v.file + ":" + std::to_string(v.line) + ": \"" + v.include + "\": " + v.reason + "\n";
    return out;
}

void write(const fs::path &path, const std::string &text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

TEST(IncludeArrows, TheProjectKeepsItsArrows)
{
    const auto found = CheckIncludeArrows(ORM_PROJECT_DIR, ORM_ARROWS_TABLE,
                                          HeaderNamesIn(ORM_QT_WIDGETS_INCLUDE_DIR));
    EXPECT_TRUE(found.empty()) << describe(found);
}

TEST(IncludeArrows, UpwardIncludesAndWindowsInLogicAreFound)
{
    const fs::path root = fs::temp_directory_path() / "orm_arrows_test";
    fs::remove_all(root);
    write(root / "shared/CMakeLists.txt", "add_library(orm_shared STATIC ini.cpp)\n"
                                          "orm_expose(orm_shared shared)\n");
    write(root / "shared/ini.h", "#pragma once\n");
    write(root / "shared/ini.cpp", "#include \"ini.h\"\n#include \"engine/batch.h\"\n");
    write(root / "marbeck/engine/CMakeLists.txt",
          "add_library(orm_engine STATIC batch.cpp)\norm_expose(orm_engine engine)\n"
          "add_library(orm_engine_ui STATIC window.cpp)\n");
    write(root / "marbeck/engine/batch.h", "#pragma once\n");
    write(root / "marbeck/engine/batch.cpp", "#include \"batch.h\"\n#include \"shared/ini.h\"\n"
                                             "#include \"shell/main.h\"\n#include <QWidget>\n"
                                             "#include \"window.h\"\n");
    write(root / "marbeck/engine/window.h", "#pragma once\n#include <QWidget>\n");
    write(root / "marbeck/engine/window.cpp", "#include \"window.h\"\n#include \"batch.h\"\n");
    // A header-only interface is logic; <> reaches our folders too.
    write(root / "marbeck/engine/runner.h",
          "#pragma once\n#include <QLabel>\n#include <shell/main.h>\n");
    write(root / "marbeck/shell/CMakeLists.txt",
          "add_library(orm_shell STATIC main.cpp)\norm_expose(orm_shell shell)\n");
    write(root / "marbeck/shell/main.h", "#pragma once\n#include \"engine/batch.h\"\n");
    write(root / "marbeck/shell/main.cpp", "#include \"main.h\"\n");
    write(root / "cordane/CMakeLists.txt", "");
    write(root / "arrows.txt", "# test\nshared:\nmarbeck/engine: shared\nmarbeck/shell: marbeck/* "
                               "shared\n");

    const auto found = CheckIncludeArrows(root, root / "arrows.txt", {"QWidget", "QLabel"});
    const std::string text = describe(found);
    EXPECT_EQ(found.size(), 6u) << text;
    EXPECT_NE(text.find("runner.h:2: \"QLabel\": a logic library includes a Widgets header"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("runner.h:3: \"shell/main.h\": marbeck/engine may not include "
                        "marbeck/shell"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("shared/ini.cpp:2: \"engine/batch.h\": shared may not include "
                        "marbeck/engine"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("batch.cpp:3: \"shell/main.h\": marbeck/engine may not include "
                        "marbeck/shell"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("batch.cpp:4: \"QWidget\": a logic library includes a Widgets header"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("batch.cpp:5: \"window.h\": a logic library includes window code"),
              std::string::npos)
        << text;
    fs::remove_all(root);
}
