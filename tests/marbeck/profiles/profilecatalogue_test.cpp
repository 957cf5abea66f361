#include "profiles/profilecatalogue.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

using namespace marbeck;
using namespace ormtest;

namespace {
QByteArray profile(const QByteArray &title, const QByteArray &description = {})
{
    return "[Info]\nTitleE=" + title + "\nDescriptionE=" + description +
           "\n[Item0]\nTitleE=p\nCommand=x\n";
}

// The names of a folder's entries in the order the folder lists them.
QStringList listingOrder(const QString &folder)
{
    QStringList names;
    DIR *dir = opendir(folder.toLocal8Bit().constData());
    while (const dirent *e = readdir(dir)) {
        const QString name = QString::fromLocal8Bit(e->d_name);
        if (name.endsWith(".ini", Qt::CaseInsensitive))
            names << name;
    }
    closedir(dir);
    return names;
}
} // namespace

TEST(ProfileCatalogue, TitlesDecideTheFamilyInAFixedOrder)
{
    EXPECT_EQ(ClassifyProfile("3GP2 and iPod"), Format3GP);
    EXPECT_EQ(ClassifyProfile("3GPP phone"), Format3GP);
    EXPECT_EQ(ClassifyProfile("PSP and iPod"), FormatiPod);
    EXPECT_EQ(ClassifyProfile("Sony PSP"), FormatPSP);
    EXPECT_EQ(ClassifyProfile("psp only in lower case"), FormatOther);
    EXPECT_EQ(ClassifyProfile("3GP phone"), FormatOther);
    EXPECT_EQ(ClassifyProfile(""), FormatOther);
}

TEST(ProfileCatalogue, ListsEveryProfileOfTheFolderInListingOrder)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("default_setting");
    writeFile(folder + "/b_ipod.ini", profile("iPod classic", "Plays on the iPod"));
    writeFile(folder + "/a_psp.INI", profile("PSP 480x272"));
    writeFile(folder + "/c_phone.ini", profile("3GPP phone"));
    writeFile(folder + "/d_other.ini", profile("WebM"));
    writeFile(folder + "/e_second_psp.ini", profile("PSP 320x240"));
    writeFile(folder + "/f_no_info.ini", "[Item0]\nCommand=x\n");
    writeFile(folder + "/g_garbage.ini", QByteArray("\x00\xff\xfe[[[=", 8));
    writeFile(folder + "/notes.txt", profile("iPod notes"));
    QDir(folder).mkdir("sub.ini");

    const auto catalogue = ProfileCatalogue::ListProfiles(folder);
    ASSERT_TRUE(catalogue.has_value());
    ASSERT_EQ(catalogue->family(FormatiPod).size(), 1);
    EXPECT_EQ(catalogue->family(FormatiPod)[0].Title, u"iPod classic");
    EXPECT_EQ(catalogue->family(FormatiPod)[0].Description, u"Plays on the iPod");
    EXPECT_EQ(catalogue->family(FormatiPod)[0].FileName, folder + "/b_ipod.ini");
    EXPECT_EQ(catalogue->family(Format3GP).size(), 1);
    ASSERT_EQ(catalogue->family(FormatOther).size(), 3);

    QStringList pspOrder;
    for (const QString &name : listingOrder(folder)) {
        if (name.contains("psp"))
            pspOrder << folder + "/" + name;
    }
    QStringList listed;
    for (const TProfileItem &item : catalogue->family(FormatPSP))
        listed << item.FileName;
    EXPECT_EQ(listed, pspOrder);
}

TEST(ProfileCatalogue, MissingAndEmptyFolders)
{
    QTemporaryDir dir;
    EXPECT_FALSE(ProfileCatalogue::ListProfiles(dir.filePath("default_setting_fr")).has_value());
    QDir(dir.path()).mkdir("empty");
    const auto empty = ProfileCatalogue::ListProfiles(dir.filePath("empty"));
    ASSERT_TRUE(empty.has_value());
    for (int f = 0; f < kFamilyCount; ++f)
        EXPECT_TRUE(empty->family(FormatType(f)).isEmpty());
}

TEST(ProfileCatalogue, TheUsersOwnProfilesFollowTheShippedOnesOfTheirFamily)
{
    QTemporaryDir dir;
    const QString shipped = dir.filePath("default_setting");
    const QString own = dir.filePath("config/profiles");
    writeFile(shipped + "/ipod.ini", profile("iPod classic"));
    writeFile(own + "/my_ipod.ini", profile("iPod, my way"));
    writeFile(own + "/mine.ini", profile("Mine"));
    // What else may lie in the user's folder is not a profile: a damaged
    // file, a settings file without presets, a pipe (which must not hang).
    writeFile(own + "/broken.ini", QByteArray("\x00\xff\xfe garbage\n", 15));
    writeFile(own + "/notes.ini", "[Info]\nTitleE=iPod notes\n");
    ASSERT_EQ(mkfifo(QFile::encodeName(own + "/pipe.ini").constData(), 0600), 0);

    const auto both = ProfileCatalogue::ListProfiles(shipped, own);
    ASSERT_TRUE(both.has_value());
    ASSERT_EQ(both->family(FormatiPod).size(), 2);
    EXPECT_EQ(both->family(FormatiPod)[0].FileName, shipped + "/ipod.ini");
    EXPECT_EQ(both->family(FormatiPod)[1].FileName, own + "/my_ipod.ini");
    ASSERT_EQ(both->family(FormatOther).size(), 1);
    EXPECT_EQ(both->family(FormatOther)[0].Title, u"Mine");

    // No folder of the user's own: the shipped profiles alone; no shipped
    // folder: the chooser's missing-folder message, whatever the user has.
    EXPECT_EQ(
        ProfileCatalogue::ListProfiles(shipped, dir.filePath("none"))->family(FormatiPod).size(),
        1);
    EXPECT_FALSE(ProfileCatalogue::ListProfiles(dir.filePath("gone"), own).has_value());
}

TEST(ProfileCatalogue, ProfileFolderFollowsTheLanguage)
{
    EXPECT_EQ(ProfileFolderForLanguage("english.ini", "x"), u"default_setting");
    EXPECT_EQ(ProfileFolderForLanguage("FRENCH.ini", "x"), u"default_setting_fr");
    EXPECT_EQ(ProfileFolderForLanguage("Deutsch.INI", "x"), u"default_setting_de");
    EXPECT_EQ(ProfileFolderForLanguage("italian.ini", "x"), u"default_setting_it");
    EXPECT_EQ(ProfileFolderForLanguage("klingon.ini", "default_setting_fr"), u"default_setting_fr");
}

TEST(ProfileCatalogue, TheChosenProfileFollowsTheLanguageWhereItHasAFileThere)
{
    QTemporaryDir dir;
    for (const char *file :
         {"default_setting/a.ini", "default_setting_de/a.ini", "default_setting/only.ini",
          "profiles/a.ini", "profiles/default_setting_de/x"})
        writeFile(dir.filePath(file), profile("t"));
    const QString german = dir.filePath("default_setting_de");
    EXPECT_EQ(ProfileInFolder(dir.filePath("default_setting/a.ini"), german),
              dir.filePath("default_setting_de/a.ini"));
    // No German file of that name, or a profile of the user's own: unchanged.
    EXPECT_EQ(ProfileInFolder(dir.filePath("default_setting/only.ini"), german),
              dir.filePath("default_setting/only.ini"));
    EXPECT_EQ(ProfileInFolder(dir.filePath("profiles/a.ini"), german),
              dir.filePath("profiles/a.ini"));
    EXPECT_EQ(ProfileInFolder(dir.filePath("default_setting/a.ini"),
                              dir.filePath("profiles/default_setting_de")),
              dir.filePath("default_setting/a.ini"));
    EXPECT_EQ(ProfileInFolder("", german), "");
}

TEST(PresetList, PresetsAreTheItemSectionsInFileOrder)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("p.ini");
    writeFile(path, "[Info]\nTitleE=iPod video\n[Item0]\nTitleE=Normal\n[Extra]\nTitleE=no\n"
                    "[Item1]\nTitleE=High\n[item2]\nTitleE=no\n[Item]\n");
    const ProfilePresets presets = LoadProfileItems(path);
    EXPECT_EQ(presets.profileInfo, u"(iPod video)");
    ASSERT_EQ(presets.presets.size(), 3);
    EXPECT_EQ(presets.presets[0].Section, u"Item0");
    EXPECT_EQ(presets.presets[0].Title, u"Normal");
    EXPECT_EQ(presets.presets[0].FileName, path);
    EXPECT_EQ(presets.presets[1].Section, u"Item1");
    EXPECT_EQ(presets.presets[2].Section, u"Item");
    EXPECT_EQ(presets.presets[2].Title, u"");

    const ProfilePresets missing = LoadProfileItems(dir.filePath("gone.ini"));
    EXPECT_EQ(missing.profileInfo, u"()");
    EXPECT_TRUE(missing.presets.isEmpty());
}
