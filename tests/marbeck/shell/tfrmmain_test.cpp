// The main window on the offscreen platform: start-up in its order, the
// chooser at first start, bad settings and data files, the language menu and
// its restart, closing.
#include "lang/languagemenu.h"
#include "lang/marbeckmessages.h"
#include "profiles/tfrmprofile.h"
#include "settings/globalvars.h"
#include "shared/ini.h"
#include "shell/choosersettings.h"
#include "shell/tfrmmain.h"
#include "sources/listviewfiles.h"
#include "sources/sourcelistmodel.h"
#include "support/media.h"
#include "support/scriptedinteraction.h"
#include "support/testfiles.h"
#include "support/windowapp.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace marbeck;
using namespace ormtest;

namespace {

QApplication &app()
{
    return windowApp();
}

// A program folder with the shipped language, type and profile files.
class Installation {
public:
    explicit Installation(DeviceFamily family = DeviceFamily::All)
    {
        app();
        for (const char *folder : {"Skins", "default_setting", "default_setting_fr",
                                   "default_setting_de", "default_setting_it"})
            EXPECT_EQ(QProcess::execute("cp", {"-r", stageDir() + "/" + folder, m_dir.path()}), 0);
        TGlobalVars &g = globals();
        g = TGlobalVars{};
        g.AppFolder = m_dir.path();
        SetDefaultSettings(g, family, m_dir.filePath("Documents"));
        messages().resetToEnglish();
    }
    ~Installation() { messages().resetToEnglish(); }

    QString path(const QString &relative) const { return m_dir.filePath(relative); }
    QString settingsFile() const { return path("vuzu.ini"); }
    QString profile(const QString &name = "Transcoding_iPod.ini") const
    {
        return path("default_setting/" + name);
    }
    // A later start: the chooser is not shown and the iPod profile is chosen.
    void writeSettings(const QByteArray &extra = {}) const
    {
        writeFile(settingsFile(),
                  "[System]\nShowWindow=0\nProfilePath=" + profile().toUtf8() + "\n" + extra);
    }

private:
    QTemporaryDir m_dir;
};

// Runs `drive` on the chooser once it is the modal window.
void whenChooserOpens(const std::function<void(TfrmProfile &)> &drive, QTimer &timer)
{
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&timer, drive] {
        auto *window = qobject_cast<TfrmProfile *>(QApplication::activeModalWidget());
        if (!window) {
            timer.start(10);
            return;
        }
        drive(*window);
    });
    timer.start(0);
}

QStringList menuCaptions(const QMenu *menu)
{
    QStringList captions;
    for (const QAction *action : menu->actions())
        captions << action->text() + (action->isChecked() ? "*" : "");
    return captions;
}

QAction *menuEntry(const QMenu *menu, const QString &caption)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == caption)
            return action;
    }
    return nullptr;
}

} // namespace

TEST(LanguageMenu, ListsEveryLanguageFileAndChecksTheCurrentOneInAnyCase)
{
    QTemporaryDir dir;
    for (const char *name : {"english.ini", "french.ini", "deutsch.ini", "italian.ini",
                             "type_english.dat", "notes.txt", "UPPER.INI"})
        writeFile(dir.filePath(name), "");
    QDir().mkpath(dir.filePath("folder.ini"));

    const auto entries = LanguageMenuEntries(dir.path(), "French.ini");
    QStringList captions;
    for (const LanguageEntry &e : entries)
        captions << e.caption + (e.checked ? "*" : "");
    captions.sort();
    EXPECT_EQ(captions, QStringList({"DEUTSCH", "ENGLISH", "FRENCH*", "ITALIAN", "UPPER"}));

    EXPECT_TRUE(LanguageMenuEntries(dir.filePath("missing"), "english.ini").isEmpty());
    EXPECT_EQ(LanguageFileForCaption("&FRENCH"), "FRENCH.ini");
    EXPECT_EQ(LanguageFileForCaption("DE&UTSCH"), "DEUTSCH.ini");
}

TEST(MainWindowStart, FirstStartWritesTheDefaultsBeforeTheChooserAndShowsTheWindowCentred)
{
    Installation inst(DeviceFamily::IPod);
    TfrmMain window;
    bool settingsBeforeChooser = false;
    QTimer timer;
    whenChooserOpens(
        [&](TfrmProfile &chooser) {
            const orm::IniFile ini(inst.settingsFile());
            settingsBeforeChooser = ini.exists() &&
                                    ini.readInteger(u"System", u"FormatType", -1) == 1 &&
                                    ini.readBool(u"System", u"ShowWindow", false);
            EXPECT_FALSE(window.isVisible());
            QListWidget *list = chooser.listBox(FormatiPod);
            ASSERT_GT(list->count(), 0);
            list->setCurrentRow(0);
            chooser.ButtonApply()->click();
        },
        timer);

    ASSERT_TRUE(window.FormCreate());
    EXPECT_TRUE(settingsBeforeChooser);
    EXPECT_FALSE(window.isVisible()); // shown from the event loop
    QApplication::processEvents();
    EXPECT_TRUE(window.isVisible());

    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    EXPECT_EQ(window.pos(), QPoint((screen.width() - 650) / 2, (screen.height() - 550) / 2));
    EXPECT_EQ(window.size(), QSize(650, 550));
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);

    EXPECT_GT(window.ComboBoxProfile()->count(), 0);
    EXPECT_EQ(window.ComboBoxProfile()->currentIndex(), 0);
    EXPECT_TRUE(window.LabelProfileInfo()->text().startsWith("(iPod"));
    EXPECT_EQ(window.EditOutputDir()->text(), globals().OutputPath);
    EXPECT_EQ(window.windowTitle(), "Ormolux version: 3.0.2");
    EXPECT_EQ(window.ButtonConvert()->text(), "         Convert Now");
    EXPECT_EQ(window.LabelStatusBar()->text(), "No files");
    EXPECT_EQ(menuCaptions(window.LanguagesMI()).size(), 4);
    EXPECT_TRUE(menuCaptions(window.LanguagesMI()).contains("ENGLISH*"));
    window.close();
}

TEST(MainWindowStart, ALaterStartWithoutTheChooserFillsThePresetsAtOnceAndRestoresThePlace)
{
    Installation inst(DeviceFamily::PSP);
    inst.writeSettings("OutputPath=/videos/out\n\n[form]\nx=40\ny=30\nwidth=650\nheight=550\n"
                       "maximized=1\n");
    TfrmMain window;
    QTimer timer;
    bool chooserOpened = false;
    whenChooserOpens(
        [&](TfrmProfile &chooser) {
            chooserOpened = true;
            chooser.done(2);
        },
        timer);
    ASSERT_TRUE(window.FormCreate());
    QApplication::processEvents();
    timer.stop();
    EXPECT_FALSE(chooserOpened);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isMaximized());
    EXPECT_EQ(window.normalGeometry().topLeft(), QPoint(40, 30));
    EXPECT_EQ(window.EditOutputDir()->text(), "/videos/out");
    ASSERT_NE(window.selectedPreset(), nullptr);
    EXPECT_EQ(window.selectedPreset()->FileName, inst.profile());
    EXPECT_EQ(window.selectedPreset()->Section, "Item0");

    // Closing writes the settings and the place, the maximised state included.
    globals().Priority = 3;
    window.close();
    const orm::IniFile ini(inst.settingsFile());
    EXPECT_EQ(ini.readInteger(u"System", u"Priority", -1), 3);
    EXPECT_TRUE(ini.readBool(u"form", u"maximized", false));
    EXPECT_EQ(ini.readInteger(u"form", u"x", -1), 40);
}

TEST(MainWindowStart, AnIPodStartWithoutTheChooserAfterAPspChoiceConvertsForTheIPod)
{
    Installation inst(DeviceFamily::IPod);
    writeFile(inst.settingsFile(), "[System]\nShowWindow=0\nFormatType=0\nProfilePath=" +
                                       inst.profile("PSP_480x272.ini").toUtf8() + "\n");
    TfrmMain window;
    ASSERT_TRUE(window.FormCreate());
    QApplication::processEvents();
    ASSERT_NE(window.selectedPreset(), nullptr);
    const QString title =
        orm::IniFile(window.selectedPreset()->FileName).readString(u"Info", u"TitleE", {});
    EXPECT_EQ(ClassifyProfile(title), FormatiPod) << title.toStdString();
    EXPECT_EQ(globals().FormatType, FormatiPod);
    window.close();
}

TEST(MainWindowStart, GarbageSettingsAndAMissingProfileStartAnEmptyPresetBox)
{
    // Missing, a device, a FIFO: each is named with its setting at once, and
    // the start never waits on it.
    for (const QString name : {"nowhere.ini", "zero.ini", "fifo.ini"}) {
        Installation inst;
        QFile::link("/dev/zero", inst.path("zero.ini"));
        ::mkfifo(QFile::encodeName(inst.path("fifo.ini")).constData(), 0600);
        writeFile(inst.settingsFile(),
                  "[System]\nShowWindow=0\nPriority=lots\nFormatType=999999\nShutdownFlag=-4\n"
                  "ProfilePath=" +
                      inst.path(name).toUtf8() +
                      "\n\x01\x02garbage\n[form]\n"
                      "x=-99999\ny=zz\nwidth=0\n");
        ScriptedScope script;
        TfrmMain window;
        ASSERT_TRUE(window.FormCreate());
        QApplication::processEvents();
        EXPECT_TRUE(window.isVisible());
        ASSERT_EQ(script->asked.size(), 1) << name.toStdString();
        EXPECT_EQ(script->asked[0].text, "ProfilePath in " + inst.settingsFile() + " names \"" +
                                             inst.path(name) +
                                             "\", which is missing or is not a file; please "
                                             "choose a profile.");
        EXPECT_EQ(window.ComboBoxProfile()->count(), 0);
        EXPECT_EQ(window.LabelProfileInfo()->text(), "()");
        EXPECT_EQ(window.selectedPreset(), nullptr);
        // Convert names the profile that gave no preset, not a list index.
        window.listViewFiles()->sources().append(TFileItem{});
        window.ButtonConvert()->click();
        ASSERT_EQ(script->asked.size(), 2);
        EXPECT_EQ(script->asked[1].text,
                  inst.path(name) + " has no preset with commands; choose another profile.");
        // The place is kept on the screen whatever the file says.
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        EXPECT_TRUE(screen.intersects(window.geometry()));
        window.close();
    }
}

TEST(MainWindowStart, AMissingAcceptedTypesFileEndsTheProgramWithAnEnglishMessage)
{
    Installation inst;
    inst.writeSettings("LanguageFile=french.ini\n");
    QFile::remove(inst.path("Skins/tools/lang/type_french.dat"));
    ScriptedScope script;
    TfrmMain window;
    EXPECT_FALSE(window.FormCreate());
    EXPECT_EQ(window.exitCode(), 1);
    ASSERT_EQ(script->asked.size(), 1);
    EXPECT_EQ(script->asked[0].caption, "Error");
    EXPECT_TRUE(
        script->asked[0].text.startsWith("Cannot find \"" + inst.path("Skins/tools/lang/")));
    EXPECT_TRUE(script->asked[0].text.contains("Please re-install"));
    EXPECT_EQ(script->asked[0].flags, orm::mb::kIconExclamation);
}

TEST(MainWindowStart, AnUnreadableLanguageFileIsNamedWithItsSettingAndEnglishIsUsed)
{
    // Missing (with or without its type file), or a device.
    for (const QString name : {"klingon.ini", "vulcan.ini", "zero.ini"}) {
        Installation inst;
        inst.writeSettings(("LanguageFile=" + name + "\n").toUtf8());
        writeFile(inst.path("Skins/tools/lang/type_klingon.dat"),
                  readFile(inst.path("Skins/tools/lang/type_english.dat")));
        QFile::link("/dev/zero", inst.path("Skins/tools/lang/zero.ini"));
        ScriptedScope script;
        TfrmMain window;
        ASSERT_TRUE(window.FormCreate()) << name.toStdString();
        ASSERT_GE(script->asked.size(), 1);
        EXPECT_EQ(script->asked[0].text, "LanguageFile in " + inst.path("vuzu.ini") + " names \"" +
                                             inst.path("Skins/tools/lang/" + name) +
                                             "\", which cannot be read; English is used.");
        EXPECT_EQ(window.LabelProfile()->text(), "Profile:");
        EXPECT_EQ(globals().LanguageFile, "english.ini");
        window.close();
    }
}

TEST(MainWindowStart, AGarbageLanguageOrTypeFileIsNamedAndTheProgramGoesOn)
{
    Installation inst;
    inst.writeSettings("LanguageFile=klingon.ini\n");
    writeFile(inst.path("Skins/tools/lang/klingon.ini"), "\x01\x02 qapla'\n[Other]\nkey=1\n");
    writeFile(inst.path("Skins/tools/lang/type_klingon.dat"), "garbage without any pattern\n");
    ScriptedScope script;
    TfrmMain window;
    ASSERT_TRUE(window.FormCreate());
    ASSERT_EQ(script->asked.size(), 2);
    EXPECT_EQ(script->asked[0].text, inst.path("Skins/tools/lang/klingon.ini") +
                                         " holds none of the program's texts; English is used.");
    EXPECT_EQ(script->asked[1].text, inst.path("Skins/tools/lang/type_klingon.dat") +
                                         " lists no accepted file types, so no file can be added.");
    EXPECT_EQ(window.LabelProfile()->text(), "Profile:");
    window.close();
}

TEST(MainWindowStart, LeavingTheStartUpChooserEndsTheProgramBeforeTheWindowShows)
{
    Installation inst;
    ScriptedScope script;
    script->answers = {orm::IdYes}; // "Are you sure you want to quit?"
    TfrmMain window;
    QTimer timer;
    whenChooserOpens([](TfrmProfile &chooser) { chooser.ButtonCancel()->click(); }, timer);
    EXPECT_FALSE(window.FormCreate());
    EXPECT_EQ(window.exitCode(), 0);
    QApplication::processEvents();
    EXPECT_FALSE(window.isVisible());
}

TEST(MainWindowStart, AMissingProfileFolderEndsTheProgramInsideTheChooser)
{
    Installation inst;
    QDir(inst.path("default_setting")).removeRecursively();
    ScriptedScope script;
    TfrmMain window;
    EXPECT_FALSE(window.FormCreate());
    ASSERT_EQ(script->asked.size(), 1);
    EXPECT_EQ(script->asked[0].text, "Profile folder do not exists!");
}

TEST(MainWindowStart, SettingsThatCannotBeWrittenAreReportedAndTheProgramRunsOn)
{
    Installation inst;
    QDir().mkpath(inst.settingsFile()); // a folder where the file should be
    globals().ShowWindow = false;       // what the file would have said
    ScriptedScope script;
    TfrmMain window;
    // The defaults show the chooser: apply its first iPod row.
    QTimer timer;
    whenChooserOpens(
        [](TfrmProfile &chooser) {
            chooser.ShowFamily(FormatiPod);
            chooser.listBox(FormatiPod)->setCurrentRow(0);
            chooser.ButtonApply()->click();
        },
        timer);
    globals().ShowWindow = true;
    ASSERT_TRUE(window.FormCreate());
    ASSERT_EQ(script->asked.size(), 1);
    EXPECT_TRUE(script->asked[0].text.contains("Unable to write to"));
    window.close();
    ASSERT_EQ(script->asked.size(), 2);
    EXPECT_TRUE(script->asked[1].text.contains("Unable to write to"));
}

TEST(MainWindowLanguage, SwitchingWithNoKeepsTheProgramRunningInTheNewLanguage)
{
    Installation inst;
    inst.writeSettings();
    TfrmMain window;
    int restarts = 0;
    window.RestartProgram = [&] { ++restarts; };
    ASSERT_TRUE(window.FormCreate());
    QApplication::processEvents();

    ASSERT_GE(window.ComboBoxProfile()->count(), 2);
    window.ComboBoxProfile()->setCurrentIndex(1);
    const QString englishPreset = window.ComboBoxProfile()->currentText();

    ScriptedScope script;
    script->answers = {orm::IdNo};
    QAction *french = menuEntry(window.LanguagesMI(), "FRENCH");
    ASSERT_NE(french, nullptr);
    french->trigger();

    // The preset list follows: the same profile's French file, the same preset.
    ASSERT_NE(window.selectedPreset(), nullptr);
    EXPECT_EQ(window.selectedPreset()->FileName,
              inst.path("default_setting_fr/Transcoding_iPod.ini"));
    EXPECT_EQ(window.selectedPreset()->Section, "Item1");
    EXPECT_NE(window.ComboBoxProfile()->currentText(), englishPreset);
    EXPECT_EQ(globals().LanguageFile, "FRENCH.ini");
    EXPECT_TRUE(french->isChecked());
    EXPECT_FALSE(menuEntry(window.LanguagesMI(), "ENGLISH")->isChecked());
    EXPECT_EQ(window.LabelProfile()->text(), "Profil :");
    EXPECT_EQ(window.ButtonConvert()->text(), "         Convertir");
    EXPECT_EQ(window.listViewFiles()->sources().headerData(0, Qt::Horizontal).toString(),
              "Nom du fichier");
    ASSERT_EQ(script->asked.size(), 1);
    EXPECT_EQ(script->asked[0].kind, Asked::Choice);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(restarts, 0);
    // Not written until the window closes.
    EXPECT_EQ(orm::IniFile(inst.settingsFile()).readString(u"System", u"LanguageFile", "-"), "-");
    window.close();
    EXPECT_EQ(orm::IniFile(inst.settingsFile()).readString(u"System", u"LanguageFile", "-"),
              "FRENCH.ini");
    EXPECT_EQ(restarts, 0);
}

TEST(MainWindowLanguage, SwitchingWithYesClosesSavesAndStartsTheProgramAgain)
{
    Installation inst;
    inst.writeSettings("LanguageFile=French.ini\n");
    TfrmMain window;
    QString languageAtRestart;
    window.RestartProgram = [&] {
        languageAtRestart =
            orm::IniFile(inst.settingsFile()).readString(u"System", u"LanguageFile", "");
    };
    ASSERT_TRUE(window.FormCreate());
    QApplication::processEvents();
    EXPECT_TRUE(menuEntry(window.LanguagesMI(), "FRENCH")->isChecked());

    ScriptedScope script;
    script->answers = {orm::IdYes};
    menuEntry(window.LanguagesMI(), "DEUTSCH")->trigger();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(languageAtRestart, "DEUTSCH.ini");
}

TEST(MainWindowLanguage, ALanguageWithoutItsTypeFileEndsTheProgramWithoutSaving)
{
    Installation inst;
    inst.writeSettings();
    QFile::remove(inst.path("Skins/tools/lang/type_italian.dat"));
    TfrmMain window;
    ASSERT_TRUE(window.FormCreate());
    QApplication::processEvents();
    const QByteArray before = readFile(inst.settingsFile());

    ScriptedScope script;
    int loopResult = -1;
    QTimer::singleShot(0, [&] { menuEntry(window.LanguagesMI(), "ITALIAN")->trigger(); });
    loopResult = QApplication::exec();
    EXPECT_EQ(loopResult, 1);
    EXPECT_EQ(window.exitCode(), 1);
    ASSERT_EQ(script->asked.size(), 1);
    // Asked in the language just loaded.
    EXPECT_EQ(script->asked[0].caption, "File non trovato");
    EXPECT_EQ(script->asked[0].flags, orm::mb::kIconInformation);
    EXPECT_EQ(readFile(inst.settingsFile()), before);
}

TEST(MainWindowFrame, ButtonsFollowTheirActionsAndTheWindowTakesDroppedFiles)
{
    Installation inst;
    inst.writeSettings();
    TfrmMain window;
    ASSERT_TRUE(window.FormCreate());
    QApplication::processEvents();

    // An empty list: nothing to delete or clear; Convert Now tells the user.
    EXPECT_FALSE(window.ButtonDelete()->isEnabled());
    ScriptedScope script;
    window.ActionConvert()->setEnabled(true);
    window.ButtonConvert()->click();
    ASSERT_EQ(script->asked.size(), 1);
    EXPECT_EQ(script->asked[0].text, "There are no files to encode!");
    EXPECT_EQ(script->asked[0].caption, "Hint");

    // The help button opens the menu with its one entry.
    ASSERT_EQ(window.PopupMenuHelp()->actions().size(), 1);
    EXPECT_EQ(window.PopupMenuHelp()->actions()[0]->text(), "Languages");

    // Files dropped anywhere on the window join the list; a folder gives its
    // accepted files (the skin's folder has none).
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(sharedClip("shell_drop.mp4", 1)),
                  QUrl::fromLocalFile(inst.path("Skins"))});
    const QPoint at(300, 520);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    window.listViewFiles()->WaitForAdding();
    EXPECT_EQ(window.listViewFiles()->sources().count(), 1);
    EXPECT_EQ(window.LabelStatusBar()->text(), "One file");
    window.listViewFiles()->UpdateActions();
    EXPECT_TRUE(window.ButtonClearList()->isEnabled());

    // Add Folder and Stop Adding are in the Add Files button's own menu.
    const QList<QAction *> addMenu = window.ButtonAddFiles()->actions();
    ASSERT_EQ(addMenu.size(), 3);
    EXPECT_EQ(addMenu.at(1)->text(), "Add Folder...");
    EXPECT_EQ(addMenu.at(2), window.listViewFiles()->ActionStopAdding());
    EXPECT_EQ(window.ButtonAddFiles()->contextMenuPolicy(), Qt::ActionsContextMenu);

    window.ButtonClose()->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(QFileInfo(inst.settingsFile()).isFile());
}

TEST(MainWindowPresets, PresetsTheEncoderCannotRunAreGreyedWithTheReasonAndRefused)
{
    Installation inst;
    inst.writeSettings();
    // An encoder without libx264: every preset of the iPod profile needs it.
    QTemporaryDir cache;
    EnvScope cacheHome("XDG_CACHE_HOME", cache.path());
    QDir(inst.path({})).mkpath("cores");
    const QString encoder = inst.path("cores/avcore.dll");
    writeFile(encoder, "#!/bin/sh\n'" + (stageDir() + "/cores/avcore.dll").toUtf8() +
                           "' \"$@\" | grep -v ' libx264 '\n");
    QFile::setPermissions(encoder, QFile::permissions(encoder) | QFile::ExeOwner);

    TfrmMain window;
    ASSERT_TRUE(window.FormCreate());
    QApplication::processEvents();
    QComboBox *box = window.ComboBoxProfile();
    ASSERT_EQ(box->count(), 2);
    const auto *model = qobject_cast<const QStandardItemModel *>(box->model());
    ASSERT_NE(model, nullptr);
    for (int i = 0; i < box->count(); ++i) {
        EXPECT_FALSE(model->item(i)->isEnabled()) << i;
        EXPECT_TRUE(box->itemData(i, Qt::ToolTipRole).toString().contains("\"libx264\"")) << i;
    }

    // Convert names the reason and starts nothing, even with sources listed.
    window.listViewFiles()->AddFile(sharedClip("shell_unavailable.mp4", 1));
    ScriptedScope script;
    window.ActionConvert()->setEnabled(true);
    window.ButtonConvert()->click();
    ASSERT_EQ(script->asked.size(), 1);
    EXPECT_TRUE(script->asked[0].text.contains("\"libx264\""))
        << script->asked[0].text.toStdString();
    int shown = 0;
    for (const QWidget *w : QApplication::topLevelWidgets())
        shown += w->isVisible() ? 1 : 0;
    EXPECT_EQ(shown, 1); // no progress window: no batch started

    // The chooser keeps such profiles listed, greyed with the reason; one
    // with a preset the encoder can run stays available.
    TfrmProfile chooser(ChooserSettingsOf(globals()));
    ASSERT_TRUE(chooser.PrepareChooser());
    int greyed = 0;
    for (FormatType family : {Format3GP, FormatiPod, FormatPSP, FormatOther}) {
        const QList<TProfileItem> &rows = chooser.state().list(family);
        for (int row = 0; row < rows.size(); ++row) {
            const QListWidgetItem *item = chooser.listBox(family)->item(row);
            const QString name = QFileInfo(rows[row].FileName).fileName();
            const bool allH264 = name.startsWith("iPod") || name.startsWith("Transcoding_iPod") ||
                                 name == "PSP_480x272.ini" || name == "MP4_H264.ini" ||
                                 name == "3GPP_Smartphone.ini" || name == "Phone_Tablet_H264.ini";
            EXPECT_EQ(bool(item->flags() & Qt::ItemIsEnabled), !allH264) << name.toStdString();
            EXPECT_EQ(item->toolTip().contains("\"libx264\""), allH264) << name.toStdString();
            greyed += allH264 ? 1 : 0;
        }
    }
    EXPECT_EQ(greyed, 7);
}

TEST(MainWindowKeptList, TheListOutlivesTheProgramOnceAndGoesWhenSwitchedOffExceptForARestart)
{
    Installation inst;
    inst.writeSettings();
    const QString listFile = inst.path("vuzu.list");
    QStringList sources;
    for (const char *name : {"a.mp4", "b.mp4"}) {
        sources << inst.path(name);
        ASSERT_TRUE(QFile::copy(sharedClip("shell_kept.mp4", 1), sources.last()));
    }
    ScriptedScope script;
    const auto rowsOf = [](const TfrmMain &window) {
        QStringList rows;
        for (int row = 0; row < window.listViewFiles()->sources().count(); ++row)
            rows << window.listViewFiles()->sources().item(row).FileName;
        return rows;
    };
    {
        TfrmMain window;
        ASSERT_TRUE(window.FormCreate());
        window.listViewFiles()->AddFiles(sources);
        {
            // A second program meanwhile keeps off the list and says why.
            TfrmMain second;
            ASSERT_TRUE(second.FormCreate());
            EXPECT_EQ(second.listViewFiles()->sources().count(), 0);
            EXPECT_EQ(second.LabelStatusBar()->text(),
                      QString("No files: another Ormolux (process %1) has the saved list")
                          .arg(QCoreApplication::applicationPid()));
            second.close();
        }
        window.close();
    }
    {
        TfrmMain window;
        ASSERT_TRUE(window.FormCreate());
        EXPECT_EQ(rowsOf(window), (QStringList{"a.mp4", "b.mp4"}));
        EXPECT_EQ(window.LabelStatusBar()->text(), "2 files");
        // Switched off: a clean end removes the list.
        globals().KeepList = false;
        window.close();
    }
    EXPECT_FALSE(QFileInfo::exists(listFile));
    EXPECT_FALSE(QFileInfo::exists(listFile + ".lock"));
    {
        TfrmMain window;
        ASSERT_TRUE(window.FormCreate());
        EXPECT_EQ(rowsOf(window), QStringList{});
        window.listViewFiles()->AddFiles({sources.at(1)});
        // The language restart keeps it all the same, written and free for
        // the new program before it starts.
        bool keptAtRestart = false;
        window.RestartProgram = [&] {
            keptAtRestart = QFileInfo::exists(listFile) && !QFileInfo::exists(listFile + ".lock");
        };
        script->answers = {orm::IdYes};
        menuEntry(window.LanguagesMI(), "DEUTSCH")->trigger();
        EXPECT_TRUE(keptAtRestart);
    }
    TfrmMain window;
    ASSERT_TRUE(window.FormCreate());
    EXPECT_EQ(rowsOf(window), QStringList{"b.mp4"});
}
