// The skin file: the two kinds of default, how values are read and normalised,
// colour texts, and the names derived from picture values.
#include "skins/skinres.h"
#include "support/testfiles.h"

#include <QRect>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace marbeck;
using namespace ormtest;

namespace {

SkinTable loaded(const QByteArray &ini, const QString &fileName = "skin.ini")
{
    QTemporaryDir dir;
    writeFile(dir.filePath(fileName), ini);
    SkinTable table;
    LoadSkin(dir.filePath("skin.ini"), table);
    return table;
}

} // namespace

TEST(SkinFile, EveryKeyOfBothSectionsInReadingOrder)
{
    SkinTable table;
    const QList<SkinField> fields = SkinFields(table);
    int main = 0, profile = 0;
    QStringList keys;
    for (const SkinField &f : fields) {
        (*f.section == u"MAINFORM" ? main : profile)++;
        keys << f.key;
    }
    EXPECT_EQ(main, 290);
    EXPECT_EQ(profile, 234);
    EXPECT_EQ(keys.removeDuplicates(), 0);
    EXPECT_EQ(keys.first(), "FORMMAIN_BACKGROUND_IMAGE");
    for (const char *key :
         {"FORMMAIN_BUTTON_CLOSE_LEFT", "FORMMAIN_BUTTON_ADDFILES_FONT_STYLE_FSBOLD",
          "FORMPROFILE_LABEL_LABELLANGUAGE_FONT_COLOR", "FORMPROFILE_IPOD_IMAGE"})
        EXPECT_TRUE(keys.contains(key)) << key;
    // Within a captioned button: pictures, geometry, font, then visibility.
    const qsizetype at = keys.indexOf("FORMMAIN_BUTTON_CONVERT_NORMAL");
    EXPECT_EQ(keys.mid(at, 9),
              QStringList({"FORMMAIN_BUTTON_CONVERT_NORMAL", "FORMMAIN_BUTTON_CONVERT_ON",
                           "FORMMAIN_BUTTON_CONVERT_DOWN", "FORMMAIN_BUTTON_CONVERT_DISABLED",
                           "FORMMAIN_BUTTON_CONVERT_LEFT", "FORMMAIN_BUTTON_CONVERT_TOP",
                           "FORMMAIN_BUTTON_CONVERT_WIDTH", "FORMMAIN_BUTTON_CONVERT_HEIGHT",
                           "FORMMAIN_BUTTON_CONVERT_FONT_CHARSET"}));
    EXPECT_EQ(keys.at(at + 18), "FORMMAIN_BUTTON_CONVERT_VISIBLE");
    // The chooser's dialog buttons are read right after the family buttons.
    EXPECT_LT(keys.indexOf("FORMPROFILE_BUTTON_BUTTONCANCEL_VISIBLE"),
              keys.indexOf("FORMPROFILE_OTHER_IMAGE"));
}

// A skin from before the Edit Presets button lays it out from its Settings button.
TEST(SkinFile, ASkinWithoutTheEditPresetsButtonGivesItTheSettingsLook)
{
    const SkinTable table =
        loaded("[MAINFORM]\nFORMMAIN_BUTTON_SETTINGS_NORMAL=gear.bmp\n"
               "FORMMAIN_BUTTON_SETTINGS_LEFT=140\nFORMMAIN_BUTTON_SETTINGS_WIDTH=120\n"
               "FORMMAIN_BUTTON_CHOOSEPROFILE_LEFT=10\n"
               "FORMMAIN_BUTTON_SETTINGS_FONT_COLOR=clWhite\n");
    const SkinElement &edit = table.element(u"ButtonEditPresets");
    EXPECT_EQ(edit.Pictures[StateNormal], "gear.bmp");
    EXPECT_EQ(edit.Left, 270);
    EXPECT_EQ(edit.Width, 120);
    EXPECT_EQ(edit.Font.Color, "clWhite");
    EXPECT_EQ(edit.Control, "ButtonEditPresets");
}

TEST(SkinFile, WithoutAFileTheBuiltInSkinStays)
{
    QTemporaryDir dir;
    SkinTable table;
    LoadSkin(dir.filePath("skin.ini"), table);
    const SkinElement &close = table.element("ButtonClose");
    EXPECT_EQ(QRect(close.Left, close.Top, close.Width, close.Height), QRect(632, 3, 11, 11));
    EXPECT_EQ(table.element("ImageMain").Pictures[StateNormal], "imgMainform_background.bmp");
    EXPECT_EQ(close.Pictures[StateOn], "NONE");
    const SkinElement &info = table.element("LabelProfileInfo");
    EXPECT_TRUE(info.Font.Bold);
    EXPECT_EQ(info.Font.Color, "clWhite");
    EXPECT_EQ(info.Font.Height, -11);
    EXPECT_EQ(info.Font.Name, "Tahoma");
    EXPECT_FALSE(table.element("LabelProfile").Font.Bold);
    EXPECT_EQ(table.element("ImageiPod").Pictures[StateNormal], "pngProfileform_iPod.png");
}

TEST(SkinFile, AnExistingFileGivesKeyDefaultsNotBuiltInValues)
{
    // The section header in lower case is the same section.
    const SkinTable table = loaded("[mainform]\nFORMMAIN_BUTTON_MIN_LEFT=5\n");
    const SkinElement &close = table.element("ButtonClose");
    EXPECT_EQ(QRect(close.Left, close.Top, close.Width, close.Height), QRect(685, 15, 15, 15));
    EXPECT_EQ(table.element("ButtonMin").Left, 5);
    const SkinElement &add = table.element("ButtonAddFiles");
    EXPECT_EQ(add.Left, 0);
    EXPECT_EQ(add.Width, 0);
    EXPECT_EQ(add.Pictures[StateNormal], "");
    EXPECT_EQ(add.Pictures[StateOn], ""); // not "NONE"
    EXPECT_EQ(add.Font.Color, "");
    EXPECT_EQ(add.Font.Name, "");
    EXPECT_EQ(add.Font.Size, 0);
    EXPECT_TRUE(add.Visible);
    EXPECT_TRUE(add.Font.Italic); // flags default to true
    EXPECT_EQ(table.element("ImageProfile").Pictures[StateNormal], "");
}

TEST(SkinFile, ValuesAreReadAsTheDataFilesWriteThem)
{
    const SkinTable table = loaded("[MAINFORM]\n"
                                   "FORMMAIN_BUTTON_MIN_VISIBLE=no\n"
                                   "FORMMAIN_BUTTON_HELP_VISIBLE=0\n"
                                   "FORMMAIN_BUTTON_ADDFILES_LEFT=0x20\n"
                                   "FORMMAIN_BUTTON_ADDFILES_TOP=$20\n"
                                   "FORMMAIN_BUTTON_DELETE_LEFT=20px\n"
                                   "FORMMAIN_BUTTON_DELETE_TOP=-7\n"
                                   "FORMMAIN_BACKGROUND_IMAGE=  two    words  \n"
                                   "FORMMAIN_LABEL_LABELPROFILE_FONT_NAME=Deja#13Vu\n"
                                   "FORMMAIN_BUTTON_CLOSE_NORMAL=none\n");
    EXPECT_TRUE(table.element("ButtonMin").Visible);
    EXPECT_FALSE(table.element("ButtonHelp").Visible);
    EXPECT_EQ(table.element("ButtonAddFiles").Left, 32);
    EXPECT_EQ(table.element("ButtonAddFiles").Top, 32);
    EXPECT_EQ(table.element("ButtonDelete").Left, 0);
    EXPECT_EQ(table.element("ButtonDelete").Top, -7);
    EXPECT_EQ(table.element("ImageMain").Pictures[StateNormal], "two words");
    EXPECT_EQ(table.element("LabelProfile").Font.Name, "Deja\r\nVu");
    EXPECT_EQ(table.element("ButtonClose").Pictures[StateNormal], "none");
}

TEST(SkinFile, TheSkinFileIsFoundWithoutRegardToCase)
{
    const SkinTable table = loaded("[MAINFORM]\nFORMMAIN_BUTTON_MIN_LEFT=9\n", "SKIN.INI");
    EXPECT_EQ(table.element("ButtonMin").Left, 9);
}

TEST(SkinFile, NormalizeFoldsSpacesTrimsControlsAndBreaksLines)
{
    const std::pair<QString, QString> cases[] = {
        {"  two    words  ", "two words"},
        {"\t\x01name\r\n", "name"},
        {"a\t\tb", "a\t\tb"}, // only spaces fold
        {"a \t  b", "a \t b"},
        {"one#13two", "one\r\ntwo"},
        {"#1#133", "#1\r\n3"},
        {"x##13", "x#\r\n"},
        {"", ""},
        {"   ", ""},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(NormalizeSkinValue(in), out) << in.toStdString();
    EXPECT_EQ(NormalizeSkinValue("#13#13"), "\r\n\r\n");
}

TEST(SkinFile, ColourTextsAreIdentifiersOrIntegers)
{
    EXPECT_EQ(ParseSkinColor("clRed"), 255);
    EXPECT_EQ(ParseSkinColor("CLWHITE"), 16777215);
    EXPECT_EQ(ParseSkinColor("clWindowText"), qint32(0xFF000008));
    EXPECT_EQ(ParseSkinColor("clBtnFace"), qint32(0xFF00000F));
    EXPECT_EQ(ParseSkinColor("clNone"), kColorNone);
    EXPECT_EQ(ParseSkinColor("clSkyBlue"), 0xF0CAA6);
    EXPECT_EQ(ParseSkinColor("$0000FF"), 255);
    EXPECT_EQ(ParseSkinColor("65280"), 65280);
    EXPECT_EQ(ParseSkinColor("0xFF000005"), qint32(0xFF000005));
    for (const char *bad : {"", "white", "clWhit", "12px", "#FFFFFF"})
        EXPECT_FALSE(ParseSkinColor(bad).has_value()) << bad;
    EXPECT_FALSE(ParseSkinInteger("ANSI_CHARSET").has_value());
    EXPECT_EQ(ParseSkinInteger("2"), 2);
}

TEST(SkinFile, LanguageSuffixAndReplacedExtensions)
{
    EXPECT_EQ(LanguageSuffix("French.ini"), "_fr");
    EXPECT_EQ(LanguageSuffix("deutsch.ini"), "_de");
    EXPECT_EQ(LanguageSuffix("ITALIAN.INI"), "_it");
    EXPECT_EQ(LanguageSuffix("english.ini"), "");
    EXPECT_EQ(LanguageSuffix("spanish.ini"), "");
    EXPECT_EQ(ReplaceExtension("imgProfileform_Other_Normal.bmp", "_fr.bmp"),
              "imgProfileform_Other_Normal_fr.bmp");
    EXPECT_EQ(ReplaceExtension("imgProfileform_Other_Normal.bmp", ".1st_it.bmp"),
              "imgProfileform_Other_Normal.1st_it.bmp");
    EXPECT_EQ(ReplaceExtension("NONE", ".1st.bmp"), "NONE.1st.bmp");
    EXPECT_EQ(ReplaceExtension("a.b.png", ".bmp"), "a.b.bmp");
    EXPECT_EQ(ReplaceExtension("dir.v2\\button", ".1st.bmp"), "dir.v2\\button.1st.bmp");
}
