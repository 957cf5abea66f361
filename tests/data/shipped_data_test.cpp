// The data the installation ships: language, type and profile files.
#include "cordane/cordanemessages.h"
#include "lang/marbeckmessages.h"
#include "profiles/profilecatalogue.h"
#include "shared/commandtemplate.h"
#include "shared/ini.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace ormtest;

namespace {

const QStringList kLanguages = {"english", "french", "deutsch", "italian"};
const QStringList kProfileFolders = {"default_setting", "default_setting_fr", "default_setting_de",
                                     "default_setting_it"};

QStringList formatMarkers(const QString &text)
{
    QStringList markers;
    static const QRegularExpression percent("%.");
    for (auto it = percent.globalMatch(text); it.hasNext();)
        markers << it.next().captured();
    return markers;
}

// Every key of the table is in the file, with the same format markers in the same order.
void expectCompleteLanguageFile(const QString &path, std::span<const orm::MessageKey> keys)
{
    SCOPED_TRACE(path.toStdString());
    const orm::IniFile ini(path);
    ASSERT_TRUE(ini.exists());
    const QStringList present = ini.keyNames(u"LANGRES");
    for (const orm::MessageKey &k : keys) {
        const QString key = QString::fromLatin1(k.key);
        EXPECT_EQ(present.count(key), 1) << k.key;
        const QString text = ini.readString(u"LANGRES", key, {});
        EXPECT_FALSE(text.isEmpty()) << k.key;
        EXPECT_EQ(formatMarkers(text), formatMarkers(QString::fromUtf8(k.englishDefault))) << k.key;
        EXPECT_EQ(text.count("#13"), QString::fromUtf8(k.englishDefault).count("\r\n")) << k.key;
    }
    EXPECT_EQ(present.size(), qsizetype(keys.size()));
}

QStringList profileFiles(const QString &folder)
{
    return QDir(dataDir() + "/" + folder).entryList({"*.ini"}, QDir::Files, QDir::Name);
}

} // namespace

TEST(ShippedLanguages, MarbeckFilesHoldEveryKey)
{
    for (const QString &language : kLanguages)
        expectCompleteLanguageFile(stageDir() + "/Skins/tools/lang/" + language + ".ini",
                                   marbeck::messages().keys());
}

TEST(ShippedLanguages, CordaneFilesHoldEveryKey)
{
    for (const QString &language : kLanguages)
        expectCompleteLanguageFile(stageDir() + "/lang/" + language + "_Cordane.ini",
                                   cordane::messages().keys());
}

TEST(ShippedLanguages, EnglishFilesAreTheBuiltInTextsButForTheComputerThatIsNotWindows)
{
    // The built-in texts name Windows; the shipped file speaks of the computer.
    const QStringList rewordedForThisSystem = {"MSG_SHUTDOWN_AFTER", "MSG_SHUTDOWN_REAL_DOES",
                                               "MSG_WARNING_DETAIL"};
    orm::MessageTable table(marbeck::messages().keys());
    table.LoadLanguage(stageDir() + "/Skins/tools/lang/english.ini");
    for (size_t i = 0; i < table.keys().size(); ++i) {
        const QString key = table.keys()[i].key;
        if (rewordedForThisSystem.contains(key))
            EXPECT_FALSE(table.text(int(i)).contains("Windows")) << key.toStdString();
        else
            EXPECT_EQ(table.text(int(i)), marbeck::messages().text(int(i))) << key.toStdString();
    }
}

TEST(ShippedLanguages, TranslationsAreNotEnglishCopies)
{
    for (const QString &language : kLanguages.mid(1)) {
        orm::MessageTable table(marbeck::messages().keys());
        table.LoadLanguage(stageDir() + "/Skins/tools/lang/" + language + ".ini");
        int same = 0;
        for (size_t i = 0; i < table.keys().size(); ++i)
            same += table.text(int(i)) == marbeck::messages().text(int(i));
        // Names and words like "Format", "Status=" or "OK" may stay as they are.
        EXPECT_LT(same, 20) << language.toStdString();
    }
}

TEST(ShippedLanguages, TheLanguageFolderHoldsOnlyMarbecksLanguageFiles)
{
    QStringList found = QDir(stageDir() + "/Skins/tools/lang").entryList({"*.ini"}, QDir::Files);
    found.sort();
    EXPECT_EQ(found, QStringList({"deutsch.ini", "english.ini", "french.ini", "italian.ini"}));
}

TEST(ShippedTypes, EveryLanguageHasItsAcceptedTypes)
{
    static const QRegularExpression patternList(R"(^\*\.[a-z0-9]+(;\*\.[a-z0-9]+)*$)");
    QStringList englishPatterns;
    for (const QString &language : kLanguages) {
        const orm::IniFile ini(stageDir() + "/Skins/tools/lang/type_" + language + ".dat");
        ASSERT_TRUE(ini.exists()) << language.toStdString();
        EXPECT_TRUE(ini.hasSection(u"AVSExt"));
        EXPECT_TRUE(ini.keyNames(u"AVSExt").isEmpty()); // the encoder reads every type itself
        QStringList patterns;
        for (const QString &line : ini.sectionValues(u"InputFileTypes")) {
            const QString value = line.section('=', 1);
            EXPECT_TRUE(patternList.match(value).hasMatch()) << line.toStdString();
            patterns << value;
        }
        EXPECT_GE(patterns.size(), 10);
        if (englishPatterns.isEmpty())
            englishPatterns = patterns;
        EXPECT_EQ(patterns, englishPatterns) << language.toStdString();
    }
    const orm::IniFile avs(stageDir() + "/avs.dat");
    EXPECT_TRUE(avs.exists());
    EXPECT_TRUE(avs.keyNames(u"AVSExt").isEmpty());
    EXPECT_TRUE(QFileInfo(stageDir() + "/cores/DirectShow.avs").isFile());
    EXPECT_TRUE(orm::IniFile(stageDir() + "/cores/DirectShow.avs").exists());
    EXPECT_TRUE(readFile(stageDir() + "/cores/DirectShow.avs").contains("<%InputFile%>"));
}

TEST(ShippedProfiles, EveryLanguageHasTheSameProfilesAndCommands)
{
    const QStringList english = profileFiles(kProfileFolders[0]);
    EXPECT_TRUE(english.contains("Transcoding_iPod.ini"));
    for (const QString &folder : kProfileFolders.mid(1)) {
        EXPECT_EQ(profileFiles(folder), english) << folder.toStdString();
        for (const QString &file : english) {
            const orm::IniFile en(dataDir() + "/default_setting/" + file);
            const orm::IniFile other(dataDir() + "/" + folder + "/" + file);
            EXPECT_EQ(other.sectionNames(), en.sectionNames()) << file.toStdString();
            for (const QString &section : en.sectionNames()) {
                for (const QString &key : en.keyNames(section)) {
                    if (key == u"TitleE" || key == u"DescriptionE")
                        continue;
                    EXPECT_EQ(other.readString(section, key, "<missing>"),
                              en.readString(section, key, {}))
                        << (folder + "/" + file + " " + section + "/" + key).toStdString();
                }
            }
            EXPECT_EQ(marbeck::ClassifyProfile(other.readString(u"Info", u"TitleE", {})),
                      marbeck::ClassifyProfile(en.readString(u"Info", u"TitleE", {})))
                << (folder + "/" + file).toStdString();
        }
    }
}

TEST(ShippedProfiles, EveryFamilyHasProfilesWithRunnablePresets)
{
    const auto catalogue = marbeck::ProfileCatalogue::ListProfiles(stageDir() + "/default_setting");
    ASSERT_TRUE(catalogue.has_value());
    for (int f = 0; f < marbeck::kFamilyCount; ++f) {
        const auto &profiles = catalogue->family(marbeck::FormatType(f));
        EXPECT_GE(profiles.size(), 2) << "family " << f;
        for (const marbeck::TProfileItem &item : profiles) {
            SCOPED_TRACE(item.FileName.toStdString());
            EXPECT_FALSE(item.Description.isEmpty());
            const orm::IniFile ini(item.FileName);
            const auto presets = marbeck::LoadProfileItems(item.FileName).presets;
            EXPECT_GE(presets.size(), 1);
            EXPECT_LE(presets.size(), 4);
            for (const auto &preset : presets) {
                EXPECT_FALSE(preset.Title.isEmpty());
                EXPECT_FALSE(ini.readString(preset.Section, u"EXT", {}).isEmpty());
                int commands = 0;
                for (const QString &key : ini.keyNames(preset.Section)) {
                    if (!orm::IsCommandKey(key))
                        continue;
                    ++commands;
                    const QString command = ini.readString(preset.Section, key, {});
                    EXPECT_TRUE(command.startsWith("<%AppPath%>/cores/avcore.dll -y "))
                        << command.toStdString();
                    for (const char *forbidden : {"-progress", "-nostats", "-loglevel", "-v "})
                        EXPECT_FALSE(command.contains(forbidden)) << command.toStdString();
                }
                EXPECT_GE(commands, 1) << preset.Section.toStdString();
            }
        }
    }
}

TEST(ShippedProfiles, CordanesDefaultProfileIsAnIpodPreset)
{
    const orm::IniFile ini(stageDir() + "/default_setting/Transcoding_iPod.ini");
    ASSERT_TRUE(ini.exists());
    EXPECT_EQ(marbeck::ClassifyProfile(ini.readString(u"Info", u"TitleE", {})),
              marbeck::FormatiPod);
    EXPECT_TRUE(ini.readString(u"Item0", u"Command", {}).contains("-f ipod"));
}

TEST(StagedInstallation, EncoderRuns)
{
    const ProcessResult r = runProcess(stageDir() + "/cores/avcore.dll", {"-version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.output.startsWith("ffmpeg version")) << r.output.left(100).toStdString();
    EXPECT_TRUE(QFileInfo(stageDir() + "/Marbeck").isExecutable());
    EXPECT_TRUE(QFileInfo(stageDir() + "/Cordane").isExecutable());
    EXPECT_TRUE(QFileInfo(stageDir() + "/Skins/tools/skin").isDir());
}
