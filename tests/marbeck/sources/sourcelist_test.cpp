// The source list's rules without a window: accepted types, the add rules,
// the row operations and the output-folder check.
#include "lang/marbeckmessages.h"
#include "settings/globalvars.h"
#include "shared/utilfuncs.h"
#include "sourceclips.h"
#include "sources/sourcelist.h"
#include "sources/sourcelistmodel.h"
#include "sources/typelists.h"
#include "support/scriptedinteraction.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace marbeck;
using namespace ormtest;

namespace {

TFileItem record(const QString &path, const QString &size = "1000")
{
    TFileItem item;
    item.FileName = orm::ExtractFileName(path);
    item.Directory = orm::ExtractFilePath(path);
    item.CompleteName = path;
    item.FileSize = size;
    return item;
}

// A probe that answers from the path alone, for the rules that do not
// depend on what is in the file.
TFileItem fakeProbe(const QString &path)
{
    return record(path, "1234");
}

QStringList captionsOf(const SourceListModel &list)
{
    QStringList out;
    for (int row = 0; row < list.count(); ++row)
        out << list.item(row).FileName;
    return out;
}

} // namespace

TEST(TypeLists, TheExtensionIsFoundAnywhereInAPatternList)
{
    const QStringList types = {"AVI Files (*.avi;*.divx)=*.avi;*.divx", "MPEG-4 (*.MP4)=*.MP4"};
    for (const QString ext :
         {".AVI", ".avi", ".divx", ".DivX", ".av", ".mp", ".mp4", ".MP4", ".d", "."})
        EXPECT_TRUE(IsAcceptedType(ext, types)) << ext.toStdString();
    for (const QString ext : {"", ".mkv", ".avix", ".divx;*.avi"})
        EXPECT_FALSE(IsAcceptedType(ext, types)) << ext.toStdString();
    // The description is not searched, only the patterns.
    EXPECT_FALSE(IsAcceptedType(".files", {"AVI Files (*.files)=*.avi"}));
    EXPECT_FALSE(IsAcceptedType(".avi", {}));
}

TEST(TypeLists, AFileWithoutExtensionIsNeverAdded)
{
    QTemporaryDir dir;
    const QString bare = dir.filePath("README");
    const QString dotInFolder = dir.filePath("clips.mp4/film");
    writeFile(bare, "x");
    writeFile(dotInFolder, "x");
    ScriptedScope script;
    SourceListModel list;
    const QStringList anything = {"All=*.*;*;.", "Dots=.;*"};
    EXPECT_EQ(AddFile(list, bare, anything, fakeProbe), AddResult::RefusedType);
    EXPECT_EQ(AddFile(list, dotInFolder, anything, fakeProbe), AddResult::RefusedType);
    EXPECT_EQ(list.count(), 0);
    EXPECT_TRUE(script->asked.isEmpty());
}

TEST(TypeLists, LoadingReadsBothSectionsAndStopsTheExtensionsAtTheFirstGap)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("type_test.dat");
    writeFile(path, "[AVSExt]\n1=.rmvb\n2=.RM\n4=.vob\n"
                    "[InputFileTypes]\nReal (*.rm)=*.rm;*.rmvb\nAVI (*.avi)=*.avi\n");
    TypeLists lists;
    lists.AVSExt = {"stale"};
    LoadTypeLists(lists, path);
    EXPECT_EQ(lists.AVSExt, QStringList({".rmvb", ".RM"}));
    EXPECT_EQ(lists.InputFileTypes, QStringList({"Real (*.rm)=*.rm;*.rmvb", "AVI (*.avi)=*.avi"}));

    writeFile(path, "[AVSExt]\n1=.ogm\n2=<none>\n3=.mkv\n");
    LoadTypeLists(lists, path);
    EXPECT_EQ(lists.AVSExt, QStringList({".ogm"}));
    EXPECT_TRUE(lists.InputFileTypes.isEmpty());

    LoadTypeLists(lists, dir.filePath("missing.dat"));
    EXPECT_TRUE(lists.AVSExt.isEmpty());
    EXPECT_TRUE(lists.InputFileTypes.isEmpty());
}

TEST(TypeLists, TheFileIsNamedAfterTheLanguageAndFoundWithoutRegardToCase)
{
    TGlobalVars g;
    g.AppFolder = stageDir();
    g.LanguageFile = "ENGLISH.INI";
    EXPECT_EQ(TypeFileName(g.AppFolder, g.LanguageFolder, g.LanguageFile),
              stageDir() + "/Skins/tools/lang/type_english.dat");
    g.LanguageFile = "klingon.ini";
    EXPECT_EQ(TypeFileName(g.AppFolder, g.LanguageFolder, g.LanguageFile),
              stageDir() + "/Skins/tools/lang/type_klingon.dat");
    g.LanguageFile = "noextension";
    EXPECT_EQ(TypeFileName(g.AppFolder, g.LanguageFolder, g.LanguageFile),
              stageDir() + "/Skins/tools/lang/type_noextension.dat");
}

TEST(TypeLists, EveryShippedLanguageAcceptsWhatTheEncoderWrites)
{
    for (const QString language : {"english.ini", "french.ini", "deutsch.ini", "italian.ini"}) {
        TGlobalVars g;
        g.AppFolder = stageDir();
        g.LanguageFile = language;
        TypeLists lists;
        LoadTypeLists(lists, TypeFileName(g.AppFolder, g.LanguageFolder, g.LanguageFile));
        ASSERT_FALSE(lists.InputFileTypes.isEmpty()) << language.toStdString();
        for (const QString ext : {".mp4", ".avi", ".mkv", ".3gp", ".wmv", ".mp3", ".MOV"})
            EXPECT_TRUE(IsAcceptedType(ext, lists.InputFileTypes))
                << language.toStdString() << " " << ext.toStdString();
        EXPECT_FALSE(IsAcceptedType(".txt", lists.InputFileTypes)) << language.toStdString();
    }
}

TEST(TypeLists, TheOpenFilterListsEveryLineThenAllFiles)
{
    const QStringList types = {"AVI Files (*.avi;*.divx)=*.avi;*.divx", "MPEG=*.mpg",
                               "avi files (*.avi;*.divx)=*.other"};
    // A repeated name (whatever its case) takes the patterns of its first line.
    EXPECT_EQ(BuildOpenFilter(types), "AVI Files (*.avi;*.divx)|*.avi;*.divx|MPEG|*.mpg|"
                                      "avi files (*.avi;*.divx)|*.avi;*.divx|All Files|*.*");
    EXPECT_EQ(BuildOpenFilter({}), "All Files|*.*");

    EXPECT_EQ(QtFileDialogFilter(BuildOpenFilter(types.mid(0, 2))),
              "AVI Files (*.avi *.divx);;MPEG (*.mpg);;All Files (*.*)");
    EXPECT_EQ(QtFileDialogFilter("Text Files (*.txt)|*.txt|All Files (*.*)|*.*"),
              "Text Files (*.txt);;All Files (*.*)");
    // A parenthesis that holds no patterns belongs to the description.
    EXPECT_EQ(QtFileDialogFilter("Films (old)|*.avi"), "Films (old) (*.avi)");
}

TEST(AddRules, SilentSkipsLeaveNoBoxAndNoRow)
{
    QTemporaryDir dir;
    const QString clip = dir.filePath("clip.avi");
    const QString text = dir.filePath("notes.txt");
    writeFile(clip, "x");
    writeFile(text, "x");
    const QStringList types = {"AVI=*.avi"};
    ScriptedScope script;
    SourceListModel list;
    EXPECT_EQ(AddFile(list, dir.filePath("absent.avi"), types, fakeProbe), AddResult::Missing);
    EXPECT_EQ(AddFile(list, text, types, fakeProbe), AddResult::RefusedType);
    EXPECT_EQ(AddFile(list, clip, types, fakeProbe), AddResult::Added);
    EXPECT_EQ(AddFile(list, clip, types, fakeProbe), AddResult::Duplicate);
    EXPECT_EQ(list.count(), 1);
    EXPECT_TRUE(script->asked.isEmpty());

    // Once the row is gone, the same file can come back.
    list.removeRowSet({0});
    EXPECT_EQ(AddFile(list, clip, types, fakeProbe), AddResult::Added);
    list.clear();
    EXPECT_EQ(AddFile(list, clip, types, fakeProbe), AddResult::Added);
}

TEST(AddRules, ALibraryWithoutNameOrSizeGetsOneBoxPerRefusedFile)
{
    QTemporaryDir dir;
    QStringList paths;
    for (const QString name : {"a.avi", "b.avi", "c.avi", "d.avi"}) {
        paths << dir.filePath(name);
        writeFile(paths.last(), "x");
    }
    const auto probe = [&](const QString &path) {
        TFileItem item = record(path);
        if (path == paths.at(0))
            item.CompleteName.clear();
        if (path == paths.at(2))
            item.FileSize.clear();
        return item;
    };
    ScriptedScope script;
    SourceListModel list;
    QList<AddResult> results;
    for (const QString &path : paths)
        results << AddFile(list, path, {"AVI=*.avi"}, probe);
    EXPECT_EQ(results, QList<AddResult>({AddResult::NoCompleteName, AddResult::Added,
                                         AddResult::NoFileSize, AddResult::Added}));
    EXPECT_EQ(captionsOf(list), QStringList({"b.avi", "d.avi"}));
    ASSERT_EQ(script->asked.size(), 2);
    EXPECT_EQ(script->asked.at(0).text,
              "An error occurred while adding file:\r\n\r\nCan not get file \"" + paths.at(0) +
                  "\" complete name.");
    EXPECT_EQ(script->asked.at(1).text,
              "An error occurred while adding file:\r\n\r\nCan not get file \"" + paths.at(2) +
                  "\" file size.");
    for (const Asked &a : script->asked) {
        EXPECT_EQ(a.caption, "Error");
        EXPECT_EQ(a.flags, 64u);
    }
}

TEST(Messages, PlaceholdersAreFilledInOrderAndArgumentsAreNotRescanned)
{
    EXPECT_EQ(orm::FormatMessage("Can not get file \"%s\".", {"/a/%s and %d.avi"}),
              "Can not get file \"/a/%s and %d.avi\".");
    EXPECT_EQ(orm::FormatMessage("%s (*.txt)|%s (*.*)", {"Text", "All"}), "Text (*.txt)|All (*.*)");
    EXPECT_EQ(orm::FormatMessage("%d files, 100%%", {"7"}), "7 files, 100%");
}

TEST(SourceRows, RemovingASetReturnsTheLowestRemovedIndex)
{
    SourceListModel list;
    std::vector<TFileItem> items;
    for (int i = 0; i < 8; ++i)
        items.push_back(record(QString("/v/%1.avi").arg(i)));
    list.append(std::move(items));

    EXPECT_EQ(list.removeRowSet({6, 2, 3, 2, 99, -1}), 2);
    EXPECT_EQ(captionsOf(list), QStringList({"0.avi", "1.avi", "4.avi", "5.avi", "7.avi"}));
    EXPECT_FALSE(list.containsPath("/v/3.avi"));
    EXPECT_TRUE(list.containsPath("/v/4.avi"));
    EXPECT_EQ(list.removeRowSet({}), -1);
    EXPECT_EQ(list.removeRowSet({0, 1, 2, 3, 4}), 0);
    EXPECT_EQ(list.count(), 0);
}

TEST(SourceRows, ManyScatteredRowsGoInOneStepWithTheSameResult)
{
    SourceListModel list;
    std::vector<TFileItem> items;
    for (int i = 0; i < 300; ++i)
        items.push_back(record(QString("/v/%1.avi").arg(i)));
    list.append(std::move(items));
    int resets = 0, removals = 0;
    QObject::connect(&list, &QAbstractItemModel::modelReset, [&] { ++resets; });
    QObject::connect(&list, &QAbstractItemModel::rowsRemoved, [&] { ++removals; });

    QList<int> odd;
    for (int row = 299; row > 0; row -= 2)
        odd << row;
    EXPECT_EQ(list.removeRowSet(odd), 1);
    EXPECT_EQ(resets + removals, 1);
    ASSERT_EQ(list.count(), 150);
    for (int row = 0; row < 150; ++row)
        EXPECT_EQ(list.item(row).CompleteName, QString("/v/%1.avi").arg(2 * row));
    EXPECT_FALSE(list.containsPath("/v/1.avi"));
    EXPECT_TRUE(list.containsPath("/v/298.avi"));
}

TEST(SourceRows, ARowMovesToJustBeforeItsTarget)
{
    SourceListModel list;
    for (const QString name : {"a", "b", "c", "d"})
        list.append(record("/v/" + name + ".avi"));
    const auto order = [&] { return captionsOf(list).join("").remove(".avi"); };

    EXPECT_TRUE(list.moveRowBefore(3, 1));
    EXPECT_EQ(order(), "adbc");
    EXPECT_TRUE(list.moveRowBefore(0, 3));
    EXPECT_EQ(order(), "dbac");
    EXPECT_TRUE(list.moveRowBefore(1, list.count()));
    EXPECT_EQ(order(), "dacb");
    EXPECT_TRUE(list.moveRowBefore(2, 2)); // onto itself: stays
    EXPECT_TRUE(list.moveRowBefore(2, 3)); // before its neighbour: stays
    EXPECT_EQ(order(), "dacb");
    EXPECT_FALSE(list.moveRowBefore(4, 0));
    EXPECT_FALSE(list.moveRowBefore(0, 5));
    EXPECT_TRUE(list.containsPath("/v/b.avi")); // moved records are still known
}

TEST(SourceRows, TheBatchFindsARowByCaptionAndExactCompleteName)
{
    SourceListModel list;
    list.append(record("/one/Clip.avi"));
    list.append(record("/two/clip.avi"));
    list.append(record("/three/clip.avi"));
    TFileItem renamed = record("/four/other.avi");
    renamed.CompleteName = "/four/clip.avi"; // the caption decides first
    list.append(renamed);

    EXPECT_EQ(list.findSource("/two/clip.avi"), 1);
    EXPECT_EQ(list.findSource("/one/Clip.avi"), 0);
    EXPECT_EQ(list.findSource("/one/clip.avi"), -1); // CompleteName matches letter case
    EXPECT_EQ(list.findSource("/four/clip.avi"), -1);
    EXPECT_EQ(list.findSource("/nowhere/clip.avi"), -1);

    EXPECT_TRUE(list.MoveSourceItemToEnd("/two/clip.avi"));
    EXPECT_EQ(list.item(3).CompleteName, "/two/clip.avi");
    EXPECT_TRUE(list.RemoveSourceItem("/one/Clip.avi"));
    EXPECT_FALSE(list.RemoveSourceItem("/one/Clip.avi"));
    EXPECT_FALSE(list.MoveSourceItemToEnd("/nowhere/clip.avi"));
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.item(0).CompleteName, "/three/clip.avi");
    EXPECT_EQ(list.item(2).CompleteName, "/two/clip.avi");
}

TEST(OutputFolder, BlankIsRefusedAndMissingIsOfferedForCreation)
{
    QTemporaryDir dir;
    {
        ScriptedScope script;
        EXPECT_FALSE(EnsureOutputFolder("   "));
        EXPECT_FALSE(EnsureOutputFolder(""));
        ASSERT_EQ(script->asked.size(), 2);
        EXPECT_EQ(script->asked.at(0).text, "You must choose an output folder first!");
        EXPECT_EQ(script->asked.at(0).caption, "Error");
        EXPECT_EQ(script->asked.at(0).flags, 32u);
    }
    {
        ScriptedScope script;
        EXPECT_TRUE(EnsureOutputFolder(dir.path()));
        EXPECT_TRUE(script->asked.isEmpty());
    }
    const QString deep = dir.filePath("out/with spaces/and deeper");
    for (const int answer : {int(orm::IdNo), int(orm::IdCancel)}) {
        ScriptedScope script;
        script->answers = {answer};
        EXPECT_FALSE(EnsureOutputFolder(deep));
        ASSERT_EQ(script->asked.size(), 1);
        EXPECT_EQ(script->asked.at(0).text,
                  "Output directory do not exist, do you want to force create it?");
        EXPECT_EQ(script->asked.at(0).caption, "Question");
        EXPECT_EQ(script->asked.at(0).flags, 35u);
        EXPECT_FALSE(QFileInfo::exists(dir.filePath("out")));
    }
    {
        ScriptedScope script;
        script->answers = {orm::IdYes};
        EXPECT_TRUE(EnsureOutputFolder(deep));
        EXPECT_TRUE(QFileInfo(deep).isDir());
        EXPECT_EQ(script->asked.size(), 1);
    }
}

TEST(OutputFolder, AFolderThatCannotBeMadeIsReported)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("plain-file"), "x");
    ScriptedScope script;
    script->answers = {orm::IdYes};
    EXPECT_FALSE(EnsureOutputFolder(dir.filePath("plain-file/sub")));
    ASSERT_EQ(script->asked.size(), 2);
    EXPECT_EQ(script->asked.at(1).text,
              "Fail to create directory! Please check if output folder have the right format!");
    EXPECT_EQ(script->asked.at(1).caption, "Error");
    EXPECT_EQ(script->asked.at(1).flags, 32u);
}

TEST(SourceStatus, TheAddingCountGroupsDigitsAsTheLanguageDoes)
{
    EXPECT_EQ(AddingStatusText(340, 2000), u"Adding 340 of 2,000\u2026 (Esc stops)");
    // French groups with a space of some width, never a comma.
    const QString french = AddingStatusText(1500, 2000, QLocale(QLocale::French));
    EXPECT_FALSE(french.contains(u','));
    EXPECT_TRUE(french.contains(QRegularExpression(QStringLiteral("1\\p{Zs}500 of 2\\p{Zs}000"))))
        << french.toStdString();
}
