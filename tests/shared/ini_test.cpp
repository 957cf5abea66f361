#include "shared/error.h"
#include "shared/ini.h"
#include "support/testfiles.h"

#include <QDir>
#include <QRandomGenerator>

#include <gtest/gtest.h>

using orm::IniFile;
using namespace ormtest;

namespace {
IniFile parse(const QByteArray &text)
{
    return IniFile::fromBytes(text);
}
// Literal bytes, zero bytes included.
template <size_t N> QByteArray bytes(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}
} // namespace

TEST(IniConventions, NamesMatchWithoutRegardToCaseAndValuesLoseBlanksAndOneQuotePair)
{
    const IniFile ini = parse("[System]\n"
                              "  OutputPath  =   /home/u/Videos   \n"
                              "A=\"quoted\"\n"
                              "B='single'\n"
                              "C=\"mixed'\n"
                              "D=\"/opt/x\" -i \"in\" out\n"
                              "E=\"\n"
                              "F=a=b=c\n");
    EXPECT_EQ(ini.readString(u"SYSTEM", u"outputpath", {}), u"/home/u/Videos");
    EXPECT_EQ(ini.readString(u"system", u"a", {}), u"quoted");
    EXPECT_EQ(ini.readString(u"System", u"B", {}), u"single");
    EXPECT_EQ(ini.readString(u"System", u"C", {}), u"\"mixed'");
    EXPECT_EQ(ini.readString(u"System", u"D", {}), u"\"/opt/x\" -i \"in\" out");
    EXPECT_EQ(ini.readString(u"System", u"E", {}), u"\"");
    EXPECT_EQ(ini.readString(u"System", u"F", {}), u"a=b=c");
}

TEST(IniConventions, MissingFileSectionOrKeyGivesTheDefault)
{
    const IniFile missing(QDir::tempPath() + "/no-such-dir-orm/none.ini");
    EXPECT_FALSE(missing.exists());
    EXPECT_EQ(missing.readString(u"S", u"K", "def"), u"def");
    EXPECT_EQ(missing.readInteger(u"S", u"K", 42), 42);
    EXPECT_TRUE(missing.sectionNames().isEmpty());

    const IniFile ini = parse("[S]\nK=\n");
    EXPECT_EQ(ini.readString(u"Other", u"K", "def"), u"def");
    EXPECT_EQ(ini.readString(u"S", u"Other", "def"), u"def");
    // An empty value is a value.
    EXPECT_EQ(ini.readString(u"S", u"K", "def"), u"");
}

TEST(IniConventions, ValuesAreCutAt2047Characters)
{
    const QByteArray longValue(5000, 'v');
    const IniFile ini = parse("[S]\nK=" + longValue + "\nNext=1\n");
    EXPECT_EQ(ini.readString(u"S", u"K", {}).size(), 2047);
    EXPECT_EQ(ini.readInteger(u"S", u"Next", 0), 1);
}

TEST(IniConventions, IntegersAndBooleans)
{
    const IniFile ini = parse("[S]\nDec=-12\nHex1=$20\nHex2=0x20\nBad=20px\nWord=no\nZero=0\n"
                              "Two=2\nBig=99999999999\n");
    EXPECT_EQ(ini.readInteger(u"S", u"Dec", 0), -12);
    EXPECT_EQ(ini.readInteger(u"S", u"Hex1", 0), 32);
    EXPECT_EQ(ini.readInteger(u"S", u"Hex2", 0), 32);
    EXPECT_EQ(ini.readInteger(u"S", u"Bad", 7), 7);
    EXPECT_EQ(ini.readInteger(u"S", u"Big", 7), 7);
    EXPECT_TRUE(ini.readBool(u"S", u"Word", true));
    EXPECT_FALSE(ini.readBool(u"S", u"Word", false));
    EXPECT_FALSE(ini.readBool(u"S", u"Zero", true));
    EXPECT_TRUE(ini.readBool(u"S", u"Two", false));
}

TEST(IniConventions, NameListsKeepFileOrderAndDuplicateKeysReadTheFirst)
{
    const IniFile ini =
        parse("[Info]\n[Item0]\n[Extra]\n[Item1]\n[item2]\n"
              "[Types]\nAVI=*.avi\nMPEG=*.mpg\nAVI=*.divx\n; comment=1\nplain line\n");
    EXPECT_EQ(ini.sectionNames(),
              QStringList({"Info", "Item0", "Extra", "Item1", "item2", "Types"}));
    EXPECT_EQ(ini.keyNames(u"types"), QStringList({"AVI", "MPEG", "AVI"}));
    EXPECT_EQ(ini.sectionValues(u"Types"), QStringList({"AVI=*.avi", "MPEG=*.mpg", "AVI=*.avi"}));
}

TEST(IniConventions, NameListsFitIn16KiB)
{
    QByteArray text;
    for (int i = 0; i < 3000; ++i)
        text += "[Section" + QByteArray::number(i) + "]\n";
    const QStringList names = parse(text).sectionNames();
    qsizetype bytes = 1;
    for (const QString &n : names)
        bytes += n.toUtf8().size() + 1;
    EXPECT_LE(bytes, IniFile::kNameListBytes);
    EXPECT_GT(names.size(), 1000);
    EXPECT_LT(names.size(), 3000);
    EXPECT_EQ(names.first(), u"Section0");
}

TEST(IniMalformed, LineEndsByteOrderMarkAndZeroBytes)
{
    const IniFile ini =
        parse(bytes("\xEF\xBB\xBF[A]\r\nOne=1\rTwo=2\nThree=3\r\n\n[B]\rK=v\0tail\nL=after\n"));
    EXPECT_EQ(ini.readInteger(u"A", u"One", 0), 1);
    EXPECT_EQ(ini.readInteger(u"A", u"Two", 0), 2);
    EXPECT_EQ(ini.readInteger(u"A", u"Three", 0), 3);
    EXPECT_EQ(ini.readString(u"B", u"K", {}), u"v");
    EXPECT_EQ(ini.readString(u"B", u"L", {}), u"after");
}

TEST(IniMalformed, GarbageAroundWellFormedKeysKeepsTheKeys)
{
    QByteArray garbage(64 * 1024, '\0');
    auto *rng = QRandomGenerator::global();
    for (char &c : garbage)
        c = char(rng->bounded(256));
    garbage.replace('[', 'x'); // no section of its own in the noise
    const QByteArray hugeLine(1024 * 1024, 'z');
    const QByteArray text = "key before any section=1\n[Good]\nA=1\n" + garbage + "\n" + hugeLine +
                            "\nno equals sign\n=no name\n[Good2]\nB=2\n[unclosed\nC=3\n";
    const IniFile ini = parse(text);
    EXPECT_EQ(ini.readInteger(u"Good", u"A", 0), 1);
    EXPECT_EQ(ini.readInteger(u"Good2", u"B", 0), 2);
    EXPECT_EQ(ini.readInteger(u"unclosed", u"C", 0), 3);
    EXPECT_EQ(ini.readString(u"", u"key before any section", "none"), u"none");
}

TEST(IniMalformed, WindowsTextIsReadAsWindows1252)
{
    const IniFile ini = parse("[LANGRES]\nA=Caf\xe9 \x80 5\nB=Caf\xc3\xa9\n");
    EXPECT_EQ(ini.readString(u"LANGRES", u"A", {}), QString::fromUtf8("Café € 5"));
    EXPECT_EQ(ini.readString(u"LANGRES", u"B", {}), QString::fromUtf8("Café"));
}

TEST(IniWriting, WritingCreatesFileAndSectionAndKeepsEverythingElse)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("new.ini");
    {
        IniFile ini(path);
        ini.writeString(u"System", u"OutputPath", "/tmp/out");
        ini.writeBool(u"System", u"ShowWindow", true);
        ini.writeInteger(u"form", u"x", -5);
        ini.save();
    }
    EXPECT_EQ(readFile(path), "[System]\nOutputPath=/tmp/out\nShowWindow=1\n\n[form]\nx=-5\n");

    writeFile(
        path,
        "; settings\r\n[System]\r\nOutputPath=/old\r\nOther=keep me\r\n\r\n[form]\r\nx=1\r\n");
    IniFile ini(path);
    ini.writeString(u"SYSTEM", u"outputpath", "/new");
    ini.writeString(u"System", u"Added", "yes");
    ini.save();
    EXPECT_EQ(readFile(path), "; settings\r\n[System]\r\nOutputPath=/new\r\nOther=keep me\r\n"
                              "Added=yes\r\n\r\n[form]\r\nx=1\r\n");
}

TEST(IniWriting, AValueWithALineBreakIsRefusedNotChanged)
{
    // Changed, "/in/a\nb.avi" would become another, existing file's name.
    IniFile ini = IniFile::fromBytes("[S]\nK=old\n");
    for (const QString &value :
         {QString("first\nInjected=1"), QString("a\rb"), QString("a") + QChar(0)})
        EXPECT_FALSE(ini.writeString(u"S", u"K", value));
    EXPECT_FALSE(ini.writeString(u"S", u"New", "x\ny"));
    EXPECT_EQ(ini.readString(u"S", u"K", {}), u"old");
    EXPECT_EQ(ini.keyNames(u"S"), QStringList{"K"});
    EXPECT_TRUE(ini.writeString(u"S", u"K", "new"));
    EXPECT_EQ(ini.readString(u"S", u"K", {}), u"new");
}

TEST(IniWriting, AFailedWriteReportsTheFileAndLeavesNoPartialFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("missing-folder/vuzu.ini");
    IniFile ini(path);
    ini.writeString(u"S", u"K", "v");
    try {
        ini.save();
        FAIL() << "save into a missing folder succeeded";
    } catch (const orm::Error &e) {
        EXPECT_EQ(e.text(), "Unable to write to " + path);
    }

    const QString good = dir.filePath("good.ini");
    writeFile(good, "[S]\nK=old\n");
    IniFile update(good);
    update.writeString(u"S", u"K", "new");
    update.save();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"good.ini"});
}

TEST(IniFiles, ADataFileIsFoundWithoutRegardToLetterCase)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("Lang/ENGLISH.ini"), "[LANGRES]\nMSG_YES=Yes!\n");
    const IniFile ini(dir.filePath("lang/english.ini"));
    EXPECT_TRUE(ini.exists());
    EXPECT_EQ(ini.readString(u"LANGRES", u"MSG_YES", {}), u"Yes!");
}
