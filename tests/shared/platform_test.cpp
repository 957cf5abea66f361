#include "platform/platform.h"
#include "support/testfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace orm::platform;
using namespace ormtest;

TEST(Platform, ProgramFolderIsTheFolderOfTheRunningProgram)
{
    const std::string folder = programFolder();
    EXPECT_TRUE(directoryExists(folder));
    EXPECT_TRUE(fileExists(
        folder + "/" + QFileInfo(QString::fromStdString(programPath())).fileName().toStdString()));
    EXPECT_NE(folder.back(), '/');
}

TEST(Platform, DataPathsAreResolvedWithoutRegardToCase)
{
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    writeFile(dir.filePath("Skins/Tools/LANG/English.ini"), "x");
    writeFile(dir.filePath("Skins/Tools/LANG/type_ENGLISH.dat"), "x");

    EXPECT_EQ(resolveCaseInsensitive(root + "/skins/tools/lang/english.ini"),
              root + "/Skins/Tools/LANG/English.ini");
    EXPECT_EQ(resolveCaseInsensitive(root + "/" +
                                     toPlatformSeparators("Skins\\tools\\lang\\type_english.dat")),
              root + "/Skins/Tools/LANG/type_ENGLISH.dat");
    EXPECT_EQ(resolveCaseInsensitive(root + "/Skins/none.ini"), root + "/Skins/none.ini");

    // The exact name wins where both spellings exist.
    writeFile(dir.filePath("Skins/Tools/LANG/english.ini"), "y");
    EXPECT_EQ(resolveCaseInsensitive(root + "/Skins/Tools/LANG/english.ini"),
              root + "/Skins/Tools/LANG/english.ini");
}

TEST(Platform, TextIsUtf8OrWindows1252)
{
    EXPECT_EQ(decodeText("plain"), "plain");
    EXPECT_EQ(decodeText("Caf\xc3\xa9"), "Caf\xc3\xa9");
    EXPECT_EQ(decodeText("Caf\xe9"), "Caf\xc3\xa9");
    EXPECT_EQ(decodeText("\x80"), "\xe2\x82\xac");
    EXPECT_EQ(decodeText("\x81"), "\xc2\x81");
    EXPECT_FALSE(isValidUtf8("\xc0\xaf"));     // overlong
    EXPECT_FALSE(isValidUtf8("\xed\xa0\x80")); // surrogate
    EXPECT_FALSE(isValidUtf8("\xe2\x82"));     // cut short
    EXPECT_TRUE(isValidUtf8("\xf0\x9f\x8e\xac"));
}

TEST(Platform, DocumentsFolderFollowsTheUserDirectories)
{
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    const QByteArray oldDocs = qgetenv("XDG_DOCUMENTS_DIR");
    qunsetenv("XDG_DOCUMENTS_DIR");
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath("cfg").toUtf8());

    EXPECT_EQ(documentsFolder(), home.path().toStdString()); // nothing else exists

    QDir(home.path()).mkpath("Documents");
    EXPECT_EQ(documentsFolder(), home.filePath("Documents").toStdString());

    QDir(home.path()).mkpath("Dokumente");
    writeFile(home.filePath("cfg/user-dirs.dirs"),
              "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
              "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    EXPECT_EQ(documentsFolder(), home.filePath("Dokumente").toStdString());

    qputenv("HOME", oldHome);
    oldConfig.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", oldConfig);
    if (!oldDocs.isNull())
        qputenv("XDG_DOCUMENTS_DIR", oldDocs);
}
