// The settings window driven on the offscreen platform, with "vuzu.ini" in a
// temporary program folder.
#include "lang/marbeckmessages.h"
#include "settings/globalvars.h"
#include "shared/ini.h"
#include "shell/postbatch.h"
#include "shell/tfrmsettings.h"
#include "support/scriptedinteraction.h"
#include "support/testfiles.h"
#include "support/windowapp.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

using namespace marbeck;
using namespace ormtest;

namespace {

QApplication &app()
{
    return windowApp();
}

TGlobalVars &freshGlobals(const QString &folder)
{
    TGlobalVars &g = globals();
    g = TGlobalVars{};
    g.AppFolder = folder;
    SetDefaultSettings(g, DeviceFamily::All, folder);
    return g;
}

bool sameSettings(const TGlobalVars &a, const TGlobalVars &b)
{
    return a.Priority == b.Priority && a.ShutdownFlag == b.ShutdownFlag &&
           a.UseDirectShow == b.UseDirectShow && a.ShowWindow == b.ShowWindow &&
           a.ShutdownWindowsWhenDone == b.ShutdownWindowsWhenDone && a.OutputPath == b.OutputPath;
}

// The French message table for a scope; English again after it, also when a check fails.
struct FrenchTexts {
    FrenchTexts() { messages().LoadLanguage(dataDir() + "/Skins/tools/lang/french.ini"); }
    ~FrenchTexts() { messages().resetToEnglish(); }
};

// Runs RunSettingsDialog; `drive` works the modal window and must close it.
bool runSettings(const std::function<void(TfrmSettings &)> &drive)
{
    bool shown = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto *window = qobject_cast<TfrmSettings *>(QApplication::activeModalWidget());
        if (!window)
            return;
        shown = true;
        drive(*window);
        if (window->isVisible()) {
            ADD_FAILURE() << "the settings window stayed open";
            window->done(2);
        }
    });
    timer.start(0);
    RunSettingsDialog(nullptr);
    return shown;
}

} // namespace

TEST(SettingsWindow, CancelChangesNothingInMemoryOrOnDisk)
{
    app();
    QTemporaryDir dir;
    TGlobalVars &g = freshGlobals(dir.path());
    SaveSettings(g);
    const QByteArray before = readFile(SettingsFileName(g));
    const TGlobalVars kept = g;
    EXPECT_TRUE(runSettings([](TfrmSettings &w) {
        w.ComboBoxPriority()->setCurrentIndex(3);
        w.ComboBoxShutdownFlag()->setCurrentIndex(4);
        w.CheckBoxDirectShow()->setChecked(true);
        w.ButtonCancel()->click();
    }));
    EXPECT_TRUE(sameSettings(g, kept));
    EXPECT_EQ(readFile(SettingsFileName(g)), before);

    // Esc is a cancel too.
    EXPECT_TRUE(runSettings([](TfrmSettings &w) {
        w.ComboBoxPriority()->setCurrentIndex(0);
        w.reject();
    }));
    EXPECT_TRUE(sameSettings(g, kept));
}

TEST(SettingsWindow, OkStoresTheControlsAndRewritesTheWholeFile)
{
    app();
    QTemporaryDir dir;
    TGlobalVars &g = freshGlobals(dir.path());
    writeFile(SettingsFileName(g), "[System]\nPriority=1\n");
    EXPECT_TRUE(runSettings([](TfrmSettings &w) {
        w.ComboBoxPriority()->setCurrentIndex(2);
        w.ComboBoxShutdownFlag()->setCurrentIndex(2);
        w.CheckBoxDirectShow()->setChecked(true);
        EXPECT_TRUE(w.CheckBoxKeepList()->isChecked());
        w.CheckBoxKeepList()->setChecked(false);
        w.ButtonOK()->click();
    }));
    EXPECT_FALSE(g.KeepList);
    EXPECT_EQ(g.Priority, 2);
    EXPECT_EQ(g.ShutdownFlag, 2);
    EXPECT_TRUE(g.UseDirectShow);
    const orm::IniFile ini(SettingsFileName(g));
    EXPECT_EQ(ini.keyNames(u"System").size(), std::size(kSystemSettings));
    EXPECT_EQ(ini.readString(u"System", u"Priority", {}), "2");
    EXPECT_EQ(ini.readString(u"System", u"ShutdownFlag", {}), "2");

    // OK without changes still writes every key.
    writeFile(SettingsFileName(g), "[System]\n");
    EXPECT_TRUE(runSettings([](TfrmSettings &w) { w.ButtonOK()->click(); }));
    EXPECT_EQ(orm::IniFile(SettingsFileName(g)).keyNames(u"System").size(),
              std::size(kSystemSettings));
}

TEST(SettingsWindow, StoredValueOutsideItsListBecomes255OnOk)
{
    app();
    QTemporaryDir dir;
    TGlobalVars &g = freshGlobals(dir.path());
    g.Priority = 9;
    g.ShutdownFlag = 6;
    int priorityRow = 0, flagRow = 0;
    EXPECT_TRUE(runSettings([&](TfrmSettings &w) {
        priorityRow = w.ComboBoxPriority()->currentIndex();
        flagRow = w.ComboBoxShutdownFlag()->currentIndex();
        w.ButtonOK()->click();
    }));
    EXPECT_EQ(priorityRow, -1);
    EXPECT_EQ(flagRow, -1);
    EXPECT_EQ(g.Priority, 255);
    EXPECT_EQ(g.ShutdownFlag, 255);
    EXPECT_EQ(orm::IniFile(SettingsFileName(g)).readString(u"System", u"Priority", {}), "255");

    // In range, the stored value is the list position: the order is fixed.
    g.ShutdownFlag = 2;
    TfrmSettings window;
    window.LoadControls(g);
    EXPECT_EQ(window.ComboBoxShutdownFlag()->currentText(), "Log off");
    QStringList flags;
    for (int i = 0; i < window.ComboBoxShutdownFlag()->count(); ++i)
        flags << window.ComboBoxShutdownFlag()->itemText(i);
    EXPECT_EQ(flags, QStringList({"Close Ormolux", "Shutdown", "Log off", "Restart", "Hibernate",
                                  "Suspend"}));
}

TEST(SettingsWindow, SimultaneousConversionsAutomaticByDefaultThenOneToFour)
{
    app();
    QTemporaryDir dir;
    TGlobalVars &g = freshGlobals(dir.path());
    EXPECT_EQ(g.SimultaneousJobs, 0);
    TfrmSettings window;
    window.setAutomaticJobs(6);
    QStringList choices;
    for (int i = 0; i < window.ComboBoxSimultaneous()->count(); ++i)
        choices << window.ComboBoxSimultaneous()->itemText(i);
    EXPECT_EQ(choices, QStringList({"Automatic (6)", "1", "2", "3", "4"}));

    // Automatic (0) is the first row, 1..4 follow; a hand-edited 7 selects
    // nothing and is kept.
    for (const auto &[stored, row] : {std::pair{0, 0}, {1, 1}, {4, 4}, {7, -1}}) {
        g.SimultaneousJobs = quint8(stored);
        window.LoadControls(g);
        EXPECT_EQ(window.ComboBoxSimultaneous()->currentIndex(), row) << stored;
        window.StoreControls(g);
        EXPECT_EQ(g.SimultaneousJobs, stored);
    }
    // What a batch takes from the stored value: Automatic follows the preset.
    EXPECT_EQ(SimultaneousJobsFor(2, 5), 2);
    EXPECT_EQ(SimultaneousJobsFor(0, 5), 5);
    EXPECT_EQ(SimultaneousJobsFor(200, 5), 16);
    const int cores = std::max(1, QThread::idealThreadCount());
    const QString profiles = ormtest::stageDir() + "/default_setting/";
    const TProfileDetailItem phone{profiles + "3GPP_Phone.ini", "Item0", {}};
    const TProfileDetailItem h264{profiles + "MP4_H264.ini", "Item0", {}};
    EXPECT_EQ(AutomaticJobsFor(&phone), std::min(cores, 16));
    EXPECT_EQ(AutomaticJobsFor(&h264), 1);
    EXPECT_EQ(AutomaticJobsFor(nullptr), std::min(cores, 16));
    g.SimultaneousJobs = 0;
    EXPECT_EQ(BatchOptionsFor(g, {}, &h264).simultaneousJobs, 1);
}

TEST(SettingsWindow, FileThatCannotBeWrittenIsReported)
{
    app();
    QTemporaryDir dir;
    // The program folder is missing, and the user's folder cannot be made under a file.
    writeFile(dir.filePath("file"), "");
    const EnvScope config("XDG_CONFIG_HOME", dir.filePath("file"));
    TGlobalVars &g = freshGlobals(dir.filePath("missing/folder"));
    ScriptedScope script;
    EXPECT_TRUE(runSettings([](TfrmSettings &w) {
        w.ComboBoxPriority()->setCurrentIndex(0);
        w.ButtonOK()->click();
    }));
    EXPECT_EQ(g.Priority, 0); // memory took the change all the same
    ASSERT_EQ(script->asked.size(), 1);
    EXPECT_EQ(script->asked[0].flags, orm::mb::kIconError);
}

TEST(SettingsWindow, FrenchTextsAfterLoadingTheLanguage)
{
    app();
    QTemporaryDir dir;
    freshGlobals(dir.path());
    {
        const FrenchTexts french;
        TfrmSettings window;
        window.show();
        EXPECT_EQ(window.windowTitle(), msg(Msg::MSG_SETTINGS_TITLE));
        EXPECT_NE(window.windowTitle(), "Settings");
        EXPECT_EQ(window.PageControlOptions()->tabText(0), msg(Msg::MSG_GENERAL_PAGE));
        EXPECT_EQ(window.GroupBoxPriority()->title(), msg(Msg::MSG_THREADPRIORITY));
        EXPECT_EQ(window.CheckBoxDirectShow()->text(), msg(Msg::MSG_USE_DIRECTSHOW));
        EXPECT_EQ(window.LabelShutDown()->text(), msg(Msg::MSG_SHUTDOWN_REAL_DOES));
        EXPECT_EQ(window.ComboBoxShutdownFlag()->itemText(0),
                  msg(Msg::MSG_CLOSE_APP).replace("%s", msg(Msg::MSG_APPLICATION_TITLE)));
        EXPECT_TRUE(QFontInfo(window.GroupBoxPriority()->font()).bold());
        EXPECT_FALSE(QFontInfo(window.ComboBoxPriority()->font()).bold());
        if (QFontDatabase::families().contains("Tahoma")) {
            EXPECT_EQ(QFontInfo(window.font()).family(), "Tahoma");
        }
        // Texts stay inside the page and the buttons.
        const QWidget *page = window.TabSheetGeneral();
        EXPECT_LE(window.LabelShutDown()->geometry().right(), page->width());
        EXPECT_EQ(window.CheckBoxKeepList()->text(), msg(Msg::MSG_KEEP_LIST));
        EXPECT_LE(window.CheckBoxKeepList()->x() + window.CheckBoxKeepList()->sizeHint().width(),
                  page->width());
        EXPECT_LE(window.CheckBoxKeepList()->geometry().bottom(), page->height());
        for (QWidget *w : window.findChildren<QWidget *>()) {
            if (auto *label = qobject_cast<QLabel *>(w)) {
                EXPECT_LE(label->mapTo(&window, QPoint(label->width(), 0)).x(), window.width())
                    << label->objectName().toStdString();
            }
        }
        for (QPushButton *b : {window.ButtonOK(), window.ButtonCancel()})
            EXPECT_LE(b->fontMetrics().horizontalAdvance(b->text()) + 8, b->width());
        if (const QString shots = qEnvironmentVariable("ORM_SCREENSHOT_DIR"); !shots.isEmpty())
            window.grab().save(shots + "/settings-fr.png");
    }
    TfrmSettings english;
    EXPECT_EQ(english.windowTitle(), "Settings");
    if (const QString shots = qEnvironmentVariable("ORM_SCREENSHOT_DIR"); !shots.isEmpty()) {
        english.LoadControls(globals());
        english.show();
        english.grab().save(shots + "/settings-en.png");
    }
}
