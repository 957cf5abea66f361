// The toolkit's own texts follow the language file the user chose.
#include "shared/toolkittranslation.h"
#include "support/apps.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace orm;

TEST(ToolkitLanguage, LanguageFilesOfBothProgramsNameTheirLanguage)
{
    EXPECT_EQ(LanguageCodeOfFile("french.ini"), "fr");
    EXPECT_EQ(LanguageCodeOfFile("French.INI"), "fr");
    EXPECT_EQ(LanguageCodeOfFile("deutsch_Cordane.ini"), "de");
    EXPECT_EQ(LanguageCodeOfFile("/opt/o/lang/italian_Cordane.ini"), "it");
    EXPECT_EQ(LanguageCodeOfFile("english.ini"), "en");
    EXPECT_EQ(LanguageCodeOfFile("klingon.ini"), "en");
    EXPECT_EQ(LanguageCodeOfFile(""), "en");
}

TEST(ToolkitLanguage, StandardButtonsSpeakTheChosenLanguageAndEnglishAgainAfterwards)
{
    ormtest::testApp<QCoreApplication>();
    const auto yes = [] { return QCoreApplication::translate("QPlatformTheme", "&Yes"); };
    ASSERT_TRUE(UseToolkitLanguage("french.ini"));
    EXPECT_EQ(yes(), "&Oui");
    ASSERT_TRUE(UseToolkitLanguage("deutsch.ini"));
    EXPECT_EQ(yes(), "&Ja");
    ASSERT_TRUE(UseToolkitLanguage("english.ini"));
    EXPECT_EQ(yes(), "&Yes");
}

TEST(ToolkitLanguage, TheFileDialogNamesFoldersInEveryLanguage)
{
    ormtest::testApp<QCoreApplication>();
    const auto folder = [] {
        return QCoreApplication::translate("QAbstractFileIconProvider", "Folder",
                                           "All other platforms");
    };
    for (const auto &[file, text] :
         {std::pair{"french.ini", "Dossier"}, std::pair{"italian.ini", "Cartella"},
          std::pair{"deutsch.ini", "Verzeichnis"}}) {
        ASSERT_TRUE(UseToolkitLanguage(file));
        EXPECT_EQ(folder(), text) << file;
    }
    ASSERT_TRUE(UseToolkitLanguage("english.ini"));
    EXPECT_EQ(folder(), "Folder");
}
