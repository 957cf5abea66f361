#include "settings/globalvars.h"
#include "shared/error.h"
#include "shared/ini.h"
#include "support/testfiles.h"

#include <gtest/gtest.h>

using namespace marbeck;
using namespace ormtest;

namespace {
TGlobalVars freshRecord(const QString &folder, DeviceFamily family = DeviceFamily::All)
{
    TGlobalVars g;
    g.AppFolder = folder;
    SetDefaultSettings(g, family, "/home/u/Documents");
    return g;
}
} // namespace

TEST(DeviceFamilyArgument, AnyLetterCase)
{
    EXPECT_EQ(ParseDeviceFamily("-all"), DeviceFamily::All);
    EXPECT_EQ(ParseDeviceFamily("-3GP"), DeviceFamily::Phones);
    EXPECT_EQ(ParseDeviceFamily("-iPod"), DeviceFamily::IPod);
    EXPECT_EQ(ParseDeviceFamily("-PSP"), DeviceFamily::PSP);
    EXPECT_FALSE(ParseDeviceFamily("").has_value());
    EXPECT_FALSE(ParseDeviceFamily("psp").has_value());
    EXPECT_FALSE(ParseDeviceFamily("-zune").has_value());
}

TEST(Settings, FirstStartWritesACompleteSystemSectionAndNoPlacement)
{
    QTemporaryDir dir;
    TGlobalVars g = freshRecord(dir.path(), DeviceFamily::IPod);
    EXPECT_FALSE(LoadSettings(g));
    const orm::IniFile ini(dir.filePath("vuzu.ini"));
    ASSERT_TRUE(ini.exists());
    EXPECT_EQ(ini.sectionNames(), QStringList{"System"});
    QStringList expectedKeys;
    for (const SettingKey &k : kSystemSettings)
        expectedKeys << k.key;
    EXPECT_EQ(ini.keyNames(u"System"), expectedKeys);
    EXPECT_EQ(
        ini.sectionValues(u"System"),
        QStringList({"LanguageFile=english.ini", "ShowWindow=1", "InputPath=/home/u/Documents",
                     "OutputPath=/home/u/Documents", "DeleteFileAfterProcessing=0", "FormatType=1",
                     "FormatPSPIndex=0", "FormatiPodIndex=0", "Format3GPIndex=0",
                     "FormatOtherIndex=0", "ProfilePath=", "UseDirectShow=0", "ShutdownFlag=1",
                     "ShutdownWindowsWhenDone=0", "Priority=1", "ShowErrorsAtOnce=1",
                     "SimultaneousJobs=0", "KeepListBetweenRuns=1"}));
    EXPECT_TRUE(LoadSettings(g));
}

TEST(Settings, FamilyDecidesTheDefaultFormatType)
{
    EXPECT_EQ(freshRecord("/x", DeviceFamily::All).FormatType, 0);
    EXPECT_EQ(freshRecord("/x", DeviceFamily::Phones).FormatType, 2);
    EXPECT_EQ(freshRecord("/x", DeviceFamily::IPod).FormatType, 1);
    EXPECT_EQ(freshRecord("/x", DeviceFamily::PSP).FormatType, 0);
}

TEST(Settings, StoredValuesWinAndBadValuesFallBackKeyByKey)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("vuzu.ini"),
              "[system]\nlanguagefile=French.ini\nShowWindow=0\nFormatType=258\n"
              "Priority=garbage\nShutdownFlag=-1\nFormatPSPIndex=$10\nFormat3GPIndex=1.5\n"
              "OutputPath=\"/media/My Videos\"\nUseDirectShow=yes\n");
    TGlobalVars g = freshRecord(dir.path(), DeviceFamily::PSP);
    EXPECT_TRUE(LoadSettings(g));
    EXPECT_EQ(g.LanguageFile, u"French.ini");
    EXPECT_FALSE(g.ShowWindow);
    EXPECT_EQ(g.FormatType, 2); // the low eight bits
    EXPECT_EQ(g.Priority, 1);   // default kept
    EXPECT_EQ(g.ShutdownFlag, 255);
    EXPECT_EQ(g.FormatPSPIndex, 16);
    EXPECT_EQ(g.Format3GPIndex, 0);
    EXPECT_EQ(g.OutputPath, u"/media/My Videos");
    EXPECT_FALSE(g.UseDirectShow); // a word is no number: the default stays
    EXPECT_EQ(g.InputPath, u"/home/u/Documents");
}

TEST(Settings, SavingKeepsThePlacementAndOtherSections)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("vuzu.ini"), "[form]\nx=10\n[System]\nPriority=3\n");
    TGlobalVars g = freshRecord(dir.path());
    LoadSettings(g);
    g.OutputPath = "/out/";
    SaveSettings(g);
    const orm::IniFile ini(dir.filePath("vuzu.ini"));
    EXPECT_EQ(ini.readInteger(u"form", u"x", 0), 10);
    EXPECT_EQ(ini.readInteger(u"System", u"Priority", 0), 3);
    EXPECT_EQ(ini.readString(u"System", u"OutputPath", {}), u"/out/");
}

TEST(Settings, AFolderThatCannotBeWrittenSendsTheSettingsToTheUsersFolder)
{
    QTemporaryDir home;
    const EnvScope config("XDG_CONFIG_HOME", home.filePath("config"));
    TGlobalVars g = freshRecord("/nonexistent-orm-folder");
    EXPECT_FALSE(LoadSettings(g));
    EXPECT_TRUE(orm::IniFile(home.filePath("config/ormolux/vuzu.ini")).exists());

    // A user's folder that cannot be made either is reported.
    writeFile(home.filePath("file"), "");
    const EnvScope blocked("XDG_CONFIG_HOME", home.filePath("file"));
    try {
        LoadSettings(g);
        FAIL() << "no error for a settings folder that cannot be made";
    } catch (const orm::Error &e) {
        EXPECT_EQ(e.text(), "Unable to write to " + home.filePath("file/ormolux/vuzu.ini"));
    }
}

TEST(Settings, DataPathsUseThePlatformSeparator)
{
    QTemporaryDir dir;
    EXPECT_EQ(SettingsFileName(freshRecord(dir.path())), dir.filePath("vuzu.ini"));
    TGlobalVars g = freshRecord("/opt/ormolux");
    EXPECT_EQ(AppRelativePath(g, g.LanguageFolder), u"/opt/ormolux/Skins/tools/lang/");
    EXPECT_EQ(AppRelativePath(g, "default_setting\\Transcoding_iPod.ini"),
              u"/opt/ormolux/default_setting/Transcoding_iPod.ini");
}
