#include "lang/marbeckmessages.h"
#include "shared/resstr.h"
#include "support/testfiles.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace orm;
using namespace ormtest;

namespace {
constexpr MessageKey kKeys[] = {{"MSG_YES", "Yes"}, {"MSG_NO", "No"}, {"MSG_TWO", "A\r\n\r\nB"}};
}

TEST(MessageTable, LanguageFilesReplaceOnlyTheKeysTheyHold)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("french.ini"), "[LANGRES]\nMSG_YES=Oui\nMSG_NO=Non\nMSG_OTHER=x\n");
    writeFile(dir.filePath("only-yes.ini"), "[langres]\nmsg_yes=Ja\n");
    writeFile(dir.filePath("empty-no.ini"), "[LANGRES]\nMSG_NO=\n");

    MessageTable table(kKeys);
    EXPECT_EQ(table.text(0), u"Yes");
    EXPECT_EQ(table.text(2), u"A\r\n\r\nB");

    EXPECT_EQ(table.LoadLanguage(dir.filePath("missing.ini")), -1);
    EXPECT_EQ(table.text(0), u"Yes");

    // How many of the table's keys a file holds tells a broken file from a language.
    EXPECT_EQ(table.LoadLanguage(dir.filePath("french.ini")), 2);
    EXPECT_EQ(table.LoadLanguage(dir.filePath("only-yes.ini")), 1);
    writeFile(dir.filePath("garbage.ini"), "\x01\x02 not a language\n[Other]\nMSG_YES=no\n");
    EXPECT_EQ(table.LoadLanguage(dir.filePath("garbage.ini")), 0);
    EXPECT_EQ(table.text(0), u"Ja");
    EXPECT_EQ(table.text(1), u"Non"); // kept from the language loaded before

    table.LoadLanguage(dir.filePath("empty-no.ini"));
    EXPECT_EQ(table.text(1), u"");
}

TEST(MessageTable, CleanLanguageText)
{
    EXPECT_EQ(CleanLanguageText("  Hello   world  "), u"Hello world");
    EXPECT_EQ(CleanLanguageText("Line one#13#13Line  two"), u"Line one\r\n\r\nLine two");
    EXPECT_EQ(CleanLanguageText("A#10B"), u"A#10B");
    EXPECT_EQ(CleanLanguageText("\t\x01 x\ty \x02"), u"x\ty");
    EXPECT_EQ(CleanLanguageText("##133"), u"#\r\n3");
}

TEST(MessageTable, MarbeckTableHoldsEveryKeyOnceWithItsEnglishDefault)
{
    const auto keys = marbeck::messages().keys();
    // The texts the program has always read, two notes of our own about AviSynth,
    // the seven reasons of the output check, eight diagnoses of failures and
    // thirty-five texts of our own.
    EXPECT_EQ(keys.size(), 196u);
    QSet<QString> names;
    for (const MessageKey &k : keys)
        names.insert(QString::fromLatin1(k.key));
    EXPECT_EQ(names.size(), qsizetype(keys.size()));
    using marbeck::Msg;
    EXPECT_EQ(marbeck::msg(Msg::MSG_APPLICATION_TITLE), u"Ormolux");
    EXPECT_EQ(marbeck::msg(Msg::MSG_NO_DAT_FILE),
              u"Cannot find \"%s\".\r\n\r\nPlease re-install this program and try again.");
    EXPECT_EQ(marbeck::msg(Msg::MSG_SHUTDOWN_REAL_DOES), u"\"Shutdown Windows\" really does:");
    EXPECT_EQ(marbeck::msg(Msg::MSG_NEEDRESTART),
              u"You may need to restart this program to activate the new language, do you want "
              u"to close it now?");
}
