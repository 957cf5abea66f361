// The skin put onto windows found by their controls' names: places, pictures,
// fonts, the chooser's language and first-place pictures, and what a value
// that cannot be applied does. Then the real windows with the shipped skin.
#include "profiles/tfrmprofile.h"
#include "settings/globalvars.h"
#include "shared/error.h"
#include "shell/choosersettings.h"
#include "shell/tfrmmain.h"
#include "skins/skinnedwindows.h"
#include "skins/suibutton.h"
#include "sources/listviewfiles.h"
#include "support/apps.h"
#include "support/errors.h"
#include "support/scriptedinteraction.h"
#include "support/testfiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace marbeck;
using namespace ormtest;

namespace {

// A distinct colour per picture name, so a test can tell which file a button shows.
QColor colourOf(const QString &name)
{
    const size_t h = qHash(name);
    return QColor(int(h & 0xFF), int((h >> 8) & 0xFF), int((h >> 16) & 0xFF));
}

void writePicture(const QString &folder, const QString &name, QSize size = {20, 10})
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colourOf(name));
    ASSERT_TRUE(image.save(folder + "/" + name, name.endsWith(".png") ? "PNG" : "BMP"))
        << name.toStdString();
}

// A skin folder holding every picture the table names (state names with the
// language and first-place variants of the chooser's family buttons).
class SkinFolder {
public:
    explicit SkinFolder(const SkinTable &table)
    {
        for (const SkinSection *section : {&table.Main, &table.Profile}) {
            for (const SkinElement &e : section->Elements) {
                for (const QString &name : e.Pictures) {
                    if (name.isEmpty() || name == u"NONE")
                        continue;
                    const QSize size =
                        e.Kind == SkinKind::Background ? QSize(600, 500) : QSize(20, 10);
                    writePicture(path(), name, size);
                    for (const char *suffix : {"_fr", "_de", "_it"})
                        writePicture(path(), ReplaceExtension(name, QString(suffix) + ".bmp"));
                    for (const char *suffix : {"", "_fr", "_de", "_it"}) {
                        writePicture(path(),
                                     ReplaceExtension(name, ".1st" + QString(suffix) + ".bmp"));
                    }
                }
            }
        }
        for (const char *suffix : {"", "_fr", "_de", "_it"})
            writePicture(path(), "NONE.1st" + QString(suffix) + ".bmp");
    }
    QString path() const { return m_dir.path() + "/"; }

private:
    QTemporaryDir m_dir;
};

template <class W> W *add(QWidget &parent, const char *name, QRect place = {1, 2, 3, 4})
{
    auto *w = new W(&parent);
    w->setObjectName(name);
    w->setGeometry(place);
    return w;
}

struct AppFirst {
    AppFirst() { testApp<QApplication>(); }
};

// A window that carries the main window's control names.
struct MainLike : AppFirst {
    MainLike()
    {
        testApp<QApplication>();
        window.setFixedSize(650, 550);
        add<QLabel>(window, "ImageMain");
        for (const char *b : {"ButtonMin", "ButtonHelp", "ButtonClose", "ButtonAddFiles",
                              "ButtonDelete", "ButtonClearList", "ButtonChooseProfile",
                              "ButtonSettings", "ButtonBrowse", "ButtonConvert"})
            add<TsuiImageButton>(window, b);
        add<QListWidget>(window, "ListViewFiles");
        add<QComboBox>(window, "ComboBoxProfile");
        add<QLineEdit>(window, "EditOutputDir");
        for (const char *l : {"LabelProfile", "LabelProfileInfo", "LabelOutputDirectory",
                              "LabelStatusBar", "LabelAppTitle"})
            add<QLabel>(window, l)->setText("Text");
    }
    QWidget window;
    TsuiImageButton *button(const char *name) { return window.findChild<TsuiImageButton *>(name); }
    QWidget *control(const char *name) { return window.findChild<QWidget *>(name); }
};

struct ProfileLike : AppFirst {
    ProfileLike()
    {
        testApp<QApplication>();
        add<QLabel>(window, "ImageProfile");
        for (const char *b :
             {"ButtonPSP", "ButtoniPod", "Button3GP", "ButtonOther", "ButtonApply", "ButtonCancel"})
            add<TsuiImageButton>(window, b);
        for (const char *i : {"ImageOther", "Image3GP", "ImagePSP", "ImageiPod"})
            add<QLabel>(window, i);
        add<QListWidget>(window, "ListBoxOther");
        add<QPlainTextEdit>(window, "MemoDiscription");
        add<QComboBox>(window, "ComboBoxLanguage");
        add<QCheckBox>(window, "CheckBoxDoNotDisplay");
        for (const char *l : {"LabelDiscription", "LabelLanguage", "LabelDoNotDisplay"})
            add<QLabel>(window, l)->setText("Text");
    }
    QWidget window;
    TsuiImageButton *button(const char *name) { return window.findChild<TsuiImageButton *>(name); }
};

QRgb shown(const TsuiImageButton *b, TsuiImageButton::Picture which = TsuiImageButton::PicNormal)
{
    return b->picture(which).isNull() ? 0 : b->picture(which).pixel(0, 0);
}

} // namespace

TEST(SkinnedWindows, MainSkinPlacesPicturesAndFontsByControlName)
{
    const SkinTable table;
    const SkinFolder folder(table);
    MainLike w;
    ApplyMainSkin(w.window, table, folder.path());

    // The window takes the size of its background picture.
    EXPECT_EQ(w.window.size(), QSize(600, 500));
    EXPECT_EQ(w.control("ImageMain")->geometry(), QRect(0, 0, 600, 500));
    EXPECT_EQ(w.button("ButtonClose")->geometry(), QRect(632, 3, 11, 11));
    EXPECT_EQ(w.control("ListViewFiles")->geometry(), QRect(16, 88, 617, 209));
    EXPECT_EQ(w.control("LabelStatusBar")->pos(), QPoint(18, 295));
    // Loading pictures does not resize the buttons; "NONE" leaves a state empty.
    TsuiImageButton *add = w.button("ButtonAddFiles");
    EXPECT_EQ(add->geometry(), QRect(16, 315, 111, 27));
    EXPECT_EQ(shown(add), colourOf("imgMainform_Addfiles_Normal.bmp").rgb());
    EXPECT_TRUE(add->picture(TsuiImageButton::PicMouseOn).isNull());
    EXPECT_TRUE(add->picture(TsuiImageButton::PicDisabled).isNull());

    const QWidget *info = w.control("LabelProfileInfo");
    EXPECT_TRUE(info->font().bold());
    EXPECT_FALSE(w.control("LabelProfile")->font().bold());
    EXPECT_EQ(info->palette().color(QPalette::WindowText), QColor(Qt::white));
    EXPECT_EQ(info->font().family(), "Tahoma");
    // The size (8 points) decides the height, not the height value.
    EXPECT_EQ(info->font().pixelSize(), qRound(8 * info->logicalDpiY() / 72.0));
    EXPECT_EQ(add->palette().color(QPalette::ButtonText), QColor(Qt::white));
    // clWindowText is the toolkit's text colour.
    EXPECT_EQ(w.control("EditOutputDir")->palette().color(QPalette::Text),
              QApplication::palette().color(QPalette::Text));
}

TEST(SkinnedWindows, AValueThatCannotBeAppliedStopsThereAndNamesItself)
{
    SkinTable table;
    const SkinFolder folder(table);
    table.element("ButtonConvert").Font.Color = "";
    MainLike w;
    // The message names the skin file, the key, and what is wrong with it.
    EXPECT_EQ(errorOf([&] { ApplyMainSkin(w.window, table, folder.path()); }),
              folder.path() + "skin.ini, [" + table.Main.Name +
                  "] FORMMAIN_BUTTON_CONVERT: '' is not a valid integer value");
    EXPECT_EQ(w.button("ButtonBrowse")->geometry(), QRect(512, 429, 111, 27)); // before it
    EXPECT_EQ(w.button("ButtonConvert")->geometry(),
              QRect(512, 488, 111, 27));                                  // its place came first
    EXPECT_EQ(w.control("ListViewFiles")->geometry(), QRect(1, 2, 3, 4)); // after it: as designed
    EXPECT_EQ(w.control("LabelProfile")->pos(), QPoint(1, 2));

    // A missing picture names its file; "none" in lower case is a file name,
    // one without an extension.
    table = SkinTable();
    table.element("ButtonHelp").Pictures[StateOn] = "gone.bmp";
    EXPECT_TRUE(errorOf([&] {
                    ApplyMainSkin(w.window, table, folder.path());
                }).contains("Cannot open file \"" + folder.path() + "gone.bmp\""));
    table.element("ButtonHelp").Pictures[StateOn] = "none";
    EXPECT_TRUE(errorOf([&] {
                    ApplyMainSkin(w.window, table, folder.path());
                }).endsWith("Unknown picture file extension (.)"));
    table.element("ButtonHelp").Pictures[StateOn] = "NONE";
    table.element("ImageMain").Pictures[StateNormal] = "";
    EXPECT_TRUE(errorOf([&] {
                    ApplyMainSkin(w.window, table, folder.path());
                }).endsWith("Unknown picture file extension (.)"));
    table.element("ImageMain").Pictures[StateNormal] = "back.jpg";
    EXPECT_TRUE(errorOf([&] { ApplyMainSkin(w.window, table, folder.path()); }).contains("(.jpg)"));

    // Found without regard to case where the exact name is missing.
    table = SkinTable();
    ASSERT_TRUE(QFile::rename(folder.path() + "imgMainform_Close_Normal.bmp",
                              folder.path() + "IMGMAINFORM_CLOSE_NORMAL.BMP"));
    EXPECT_EQ(errorOf([&] { ApplyMainSkin(w.window, table, folder.path()); }), "");
    EXPECT_EQ(shown(w.button("ButtonClose")), colourOf("imgMainform_Close_Normal.bmp").rgb());
}

TEST(SkinnedWindows, GarbageValuesAreKeptWithinReach)
{
    SkinTable table;
    const SkinFolder folder(table);
    SkinElement &list = table.element("ListViewFiles");
    list.Left = INT32_MIN;
    list.Width = INT32_MAX;
    list.Height = -5;
    list.Font.Size = INT32_MAX;
    list.Font.Height = INT32_MIN;
    list.Font.Name = "\x01\x02";
    list.Font.Charset = "999999";
    list.Font.Pitch = "-3";
    table.element("LabelProfile").Font.Size = -8;
    MainLike w;
    EXPECT_EQ(errorOf([&] { ApplyMainSkin(w.window, table, folder.path()); }), "");
    const QRect r = w.control("ListViewFiles")->geometry();
    EXPECT_GE(r.left(), -32767);
    EXPECT_LE(r.width(), 32767);
    EXPECT_EQ(r.height(), 0);
    EXPECT_LE(w.control("ListViewFiles")->font().pixelSize(), 512);
    EXPECT_GT(w.control("LabelProfile")->font().pixelSize(), 0);
    w.window.grab(); // draws without trouble
}

TEST(SkinnedWindows, ChooserTakesLanguagePicturesAndArrangesTheFamilies)
{
    const SkinTable table;
    const SkinFolder folder(table);
    {
        ProfileLike w;
        ApplyProfileSkin(w.window, table, folder.path(), "French.ini");
        ArrangeFamilyButtons(w.window, table, folder.path(), DeviceFamily::All, "French.ini");
        EXPECT_EQ(shown(w.button("ButtonOther")),
                  colourOf("imgProfileform_Other_Normal_fr.bmp").rgb());
        EXPECT_EQ(shown(w.button("ButtonPSP")), colourOf("imgProfileform_Psp_Normal.bmp").rgb());
        for (const char *b : {"ButtonPSP", "ButtoniPod", "Button3GP", "ButtonOther"})
            EXPECT_FALSE(w.button(b)->isHidden()) << b;
        EXPECT_EQ(w.button("ButtonOther")->pos(), QPoint(223, 0));
        EXPECT_EQ(w.button("ButtonCancel")->geometry(), QRect(424, 480, 111, 27));
    }
    {
        ProfileLike w;
        ApplyProfileSkin(w.window, table, folder.path(), "english.ini");
        ArrangeFamilyButtons(w.window, table, folder.path(), DeviceFamily::PSP, "english.ini");
        EXPECT_TRUE(w.button("ButtoniPod")->isHidden());
        EXPECT_TRUE(w.button("Button3GP")->isHidden());
        EXPECT_FALSE(w.button("ButtonPSP")->isHidden());
        EXPECT_EQ(w.button("ButtonPSP")->pos(), QPoint(0, 0));
        EXPECT_EQ(w.button("ButtonOther")->pos(), QPoint(75, 0));
        TsuiImageButton *other = w.button("ButtonOther");
        EXPECT_EQ(shown(other), colourOf("imgProfileform_Other_Normal.1st.bmp").rgb());
        // "NONE" becomes NONE.1st.bmp, except for the pressed picture, which stays.
        EXPECT_EQ(shown(other, TsuiImageButton::PicMouseOn), colourOf("NONE.1st.bmp").rgb());
        EXPECT_EQ(shown(other, TsuiImageButton::PicDisabled), colourOf("NONE.1st.bmp").rgb());
        EXPECT_TRUE(other->picture(TsuiImageButton::PicMouseDown).isNull());
        EXPECT_EQ(shown(w.button("ButtonPSP")), colourOf("imgProfileform_Psp_Normal.bmp").rgb());
    }
    for (auto [family, first, hidden] :
         {std::tuple{DeviceFamily::Phones, "Button3GP", "ButtoniPod"},
          std::tuple{DeviceFamily::IPod, "ButtoniPod", "Button3GP"}}) {
        ProfileLike w;
        ApplyProfileSkin(w.window, table, folder.path(), "deutsch.ini");
        ArrangeFamilyButtons(w.window, table, folder.path(), family, "deutsch.ini");
        EXPECT_TRUE(w.button("ButtonPSP")->isHidden());
        EXPECT_TRUE(w.button(hidden)->isHidden());
        EXPECT_EQ(w.button(first)->pos(), QPoint(0, 0));
        EXPECT_EQ(w.button("ButtonOther")->pos(), QPoint(75, 0));
        EXPECT_EQ(shown(w.button("ButtonOther")),
                  colourOf("imgProfileform_Other_Normal.1st_de.bmp").rgb());
        const QString picture = table.element(first).Pictures[StateNormal];
        EXPECT_EQ(shown(w.button(first)), colourOf(ReplaceExtension(picture, ".1st.bmp")).rgb());
    }
}

namespace {

// The staged installation's skin, as the program loads it.
struct ShippedSkin {
    ShippedSkin()
    {
        testApp<QApplication>();
        TGlobalVars &g = globals();
        g = TGlobalVars{};
        g.AppFolder = stageDir();
        skin() = SkinTable();
        LoadSkin(AppRelativePath(g, g.SkinFolder) + g.SkinFileName);
    }
    ~ShippedSkin() { skin() = SkinTable(); }
};

} // namespace

TEST(SkinnedWindows, ShippedSkinDressesBothWindowsWithoutAnError)
{
    const ShippedSkin shipped;
    ScriptedScope script;
    {
        TfrmMain window;
        window.show();
        QApplication::processEvents();
        EXPECT_TRUE(script->asked.isEmpty()) << script->asked.value(0).text.toStdString();
        EXPECT_EQ(window.size(), QSize(650, 550));
        for (QAbstractButton *b : window.findChildren<QAbstractButton *>()) {
            auto *image = qobject_cast<TsuiImageButton *>(b);
            ASSERT_TRUE(image) << b->objectName().toStdString();
            for (int s = 0; s < 4; ++s)
                EXPECT_EQ(image->picture(TsuiImageButton::Picture(s)).size(), image->size())
                    << b->objectName().toStdString() << " state " << s;
        }
        EXPECT_FALSE(window.ImageMain()->pixmap().isNull());
    }
    for (const char *language : {"english.ini", "french.ini", "deutsch.ini", "italian.ini"}) {
        for (DeviceFamily family :
             {DeviceFamily::All, DeviceFamily::Phones, DeviceFamily::IPod, DeviceFamily::PSP}) {
            globals().LanguageFile = language;
            globals().Family = family;
            TfrmProfile chooser(ChooserSettingsOf(globals()));
            chooser.show();
            QApplication::processEvents();
            EXPECT_TRUE(script->asked.isEmpty())
                << language << " " << script->asked.value(0).text.toStdString();
            EXPECT_EQ(chooser.familyButton(FormatOther)->pos().x(),
                      family == DeviceFamily::All ? 223 : 75);
            EXPECT_EQ(chooser.size(), QSize(556, 544));
        }
    }
}

TEST(SkinnedWindows, ABrokenSkinIsReportedOnceAndTheWindowStillShows)
{
    const ShippedSkin shipped;
    skin().element("ButtonConvert").Font.Color = "";
    ScriptedScope script;
    TfrmMain window;
    const QRect designList = window.listViewFiles()->geometry();
    window.show();
    QApplication::processEvents();
    EXPECT_TRUE(window.isVisible());
    ASSERT_EQ(script->asked.size(), 1);
    EXPECT_TRUE(script->asked[0].text.endsWith(
        "skin.ini, [" + skin().Main.Name +
        "] FORMMAIN_BUTTON_CONVERT: '' is not a valid integer value"))
        << script->asked[0].text.toStdString();
    EXPECT_EQ(window.listViewFiles()->geometry(), designList);

    // No skin folder at all: the chooser says so, and its buttons keep their design places.
    script->asked.clear();
    QTemporaryDir empty;
    globals().AppFolder = empty.path();
    globals().Family = DeviceFamily::PSP;
    skin() = SkinTable();
    TfrmProfile chooser(ChooserSettingsOf(globals()));
    chooser.show();
    QApplication::processEvents();
    ASSERT_EQ(script->asked.size(), 1);
    EXPECT_TRUE(script->asked[0].text.contains("pngProfileform_Background.png"));
    EXPECT_FALSE(chooser.familyButton(FormatiPod)->isHidden());
}
