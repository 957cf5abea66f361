// The profile chooser: its rules without a window, then the window driven on
// the offscreen platform.
#include "lang/marbeckmessages.h"
#include "profiles/chooserstate.h"
#include "profiles/tfrmprofile.h"
#include "shared/ui/qtinteraction.h"
#include "shell/choosersettings.h"
#include "skins/skinnedwindows.h"
#include "support/apps.h"
#include "support/scriptedinteraction.h"
#include "support/testfiles.h"
#include "support/windowapp.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace marbeck;
using namespace ormtest;

namespace {

QApplication &app()
{
    return windowApp();
}

void writeProfile(const QString &folder, const QString &file, const QString &title,
                  const QString &description)
{
    writeFile(folder + "/" + file, ("[Info]\nTitleE=" + title + "\nDescriptionE=" + description +
                                    "\n[Item0]\nTitleE=Preset\nEXT=mp4\nCommand=x\n")
                                       .toUtf8());
}

// An installation with one profile in PSP, iPod and Other, and two in 3GP.
class Installation {
public:
    explicit Installation(DeviceFamily family = DeviceFamily::All, bool withProfiles = true)
    {
        const QString profiles = m_dir.filePath("default_setting");
        if (withProfiles) {
            QDir().mkpath(profiles);
            writeProfile(profiles, "psp.ini", "PSP video", "For the PSP.");
            writeProfile(profiles, "ipod.ini", "iPod video", "For the iPod.");
            writeProfile(profiles, "phone_a.ini", "3GPP phone A", "Phone A.");
            writeProfile(profiles, "phone_b.ini", "3GPP phone B", "Phone B.");
            writeProfile(profiles, "avi.ini", "AVI file", "Any player.");
        }
        copyStagedSkin(m_dir.path());
        TGlobalVars &g = globals();
        g = TGlobalVars{};
        g.AppFolder = m_dir.path();
        g.Family = family;
        SetDefaultSettings(g, family, m_dir.path());
        // The window is skinned with the shipped skin, as the program is.
        skin() = SkinTable();
        LoadSkin(AppRelativePath(g, g.SkinFolder) + g.SkinFileName);
    }

private:
    QTemporaryDir m_dir;
};

// The family whose list stands in front of the other three.
std::optional<FormatType> frontFamily(const TfrmProfile &window)
{
    const QObjectList children = window.children();
    std::optional<FormatType> front;
    qsizetype best = -1;
    for (FormatType f : {FormatPSP, FormatiPod, Format3GP, FormatOther}) {
        const qsizetype at = children.indexOf(window.listBox(f));
        if (at > best) {
            best = at;
            front = f;
        }
    }
    return front;
}

void click(QWidget *widget, QPoint at, bool twice = false)
{
    const QPointF local(at), global(widget->mapToGlobal(at));
    auto send = [&](QEvent::Type type) {
        QMouseEvent e(type, local, global, Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
        QApplication::sendEvent(widget, &e);
    };
    send(QEvent::MouseButtonPress);
    send(QEvent::MouseButtonRelease);
    if (twice) {
        send(QEvent::MouseButtonDblClick);
        send(QEvent::MouseButtonRelease);
    }
}

void clickRow(QListWidget *list, int row, bool twice = false)
{
    click(list->viewport(), list->visualItemRect(list->item(row)).center(), twice);
}

// The French message table for a scope; English again after it, also when a check fails.
struct FrenchTexts {
    FrenchTexts() { messages().LoadLanguage(dataDir() + "/Skins/tools/lang/french.ini"); }
    ~FrenchTexts() { messages().resetToEnglish(); }
};

struct Opened {
    bool shown = false;
    bool result = false;
};

// Runs ShowProfileChooser; `drive` works the modal window and must close it.
Opened runChooser(bool allowCancel, const std::function<void(TfrmProfile &)> &drive)
{
    Opened opened;
    // Owned here, so it cannot fire into a later test when no window opens.
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto *window = qobject_cast<TfrmProfile *>(QApplication::activeModalWidget());
        if (!window)
            return;
        opened.shown = true;
        drive(*window);
        if (window->isVisible()) { // a fault left it open: do not hang the test
            ADD_FAILURE() << "the chooser stayed open";
            window->done(2);
        }
    });
    timer.start(0);
    opened.result = ShowProfileChooser(globals(), nullptr, allowCancel);
    return opened;
}

} // namespace

TEST(ChooserState, StoredRowsAndFamilyOutsideTheirRangeSelectNothing)
{
    Installation install;
    TGlobalVars &g = globals();
    g.FormatPSPIndex = 1; // the PSP list has one entry
    g.FormatiPodIndex = -1;
    g.Format3GPIndex = 1;
    g.FormatType = 7;
    ChooserState state(ChooserSettingsOf(g));
    ASSERT_TRUE(state.prepare());
    EXPECT_EQ(state.selectedRow(FormatPSP), -1);
    EXPECT_EQ(state.selectedRow(FormatiPod), -1);
    EXPECT_EQ(state.selectedRow(Format3GP), 1);
    EXPECT_EQ(state.selectedRow(FormatOther), 0);
    EXPECT_EQ(state.description(FormatPSP), QString());
    EXPECT_FALSE(state.activeFamily().has_value());
    EXPECT_FALSE(state.canApply());
    EXPECT_FALSE(state.apply());
    EXPECT_EQ(g.FormatType, 7);

    // A family with no selected row still refuses; one with a row applies it.
    state.showFamily(FormatPSP);
    EXPECT_FALSE(state.apply());
    state.showFamily(Format3GP);
    state.setDoNotDisplay(true);
    ASSERT_TRUE(state.apply());
    KeepChooserSettings(g, state.settings());
    EXPECT_EQ(g.FormatType, Format3GP);
    EXPECT_EQ(g.ProfilePath, state.list(Format3GP).at(1).FileName);
    EXPECT_FALSE(g.ShowWindow);
    EXPECT_EQ(g.FormatPSPIndex, -1); // no selection is stored as -1
    EXPECT_EQ(g.FormatiPodIndex, -1);
    EXPECT_EQ(g.Format3GPIndex, 1);
    EXPECT_EQ(g.FormatOtherIndex, 0);

    // The profile in use is selected over a stored row that names another.
    g.ProfilePath = state.list(Format3GP).at(0).FileName;
    ChooserState inUse(ChooserSettingsOf(g));
    ASSERT_TRUE(inUse.prepare());
    EXPECT_EQ(inUse.selectedRow(Format3GP), 0);

    // A French record reads the French folder, missing here.
    g.LanguageFile = "French.ini";
    ChooserState french(ChooserSettingsOf(g));
    EXPECT_EQ(french.settings().ProfileFolderName, "default_setting_fr");
    ScriptedScope script;
    EXPECT_FALSE(french.prepare());
}

TEST(ChooserWindow, IPodFirstRunOffersIPodThenOther)
{
    app();
    Installation install(DeviceFamily::IPod);
    TfrmProfile window(ChooserSettingsOf(globals()));
    ASSERT_TRUE(window.PrepareChooser());
    window.show();
    EXPECT_FALSE(window.familyButton(FormatPSP)->isVisible());
    EXPECT_FALSE(window.familyButton(Format3GP)->isVisible());
    ASSERT_TRUE(window.familyButton(FormatiPod)->isVisible());
    ASSERT_TRUE(window.familyButton(FormatOther)->isVisible());
    EXPECT_EQ(window.familyButton(FormatiPod)->pos(), QPoint(0, 0));
    EXPECT_EQ(window.familyButton(FormatOther)->pos(), QPoint(75, 0));
    EXPECT_EQ(frontFamily(window), FormatiPod);
    EXPECT_FALSE(window.familyButton(FormatiPod)->isEnabled());
    EXPECT_TRUE(window.familyButton(FormatOther)->isEnabled());
    EXPECT_EQ(window.MemoDiscription()->toPlainText(), "For the iPod.");
    // First run: ShowWindow is on, so the box is not ticked.
    EXPECT_FALSE(window.CheckBoxDoNotDisplay()->isChecked());

    // Pressing Other brings its list forward and moves the pressed-in look.
    window.familyButton(FormatOther)->click();
    EXPECT_EQ(frontFamily(window), FormatOther);
    EXPECT_TRUE(window.familyButton(FormatiPod)->isEnabled());
    EXPECT_FALSE(window.familyButton(FormatOther)->isEnabled());
    EXPECT_EQ(window.MemoDiscription()->toPlainText(), "Any player.");
}

// A start for one family after a choice in another ("-ipod" after a PSP
// profile): the window opens on the started family, and without the window
// that family's remembered profile is the one converted with.
TEST(ChooserWindow, AStartForOneFamilyOpensOnItAfterAnotherFamilysChoice)
{
    app();
    Installation install(DeviceFamily::IPod);
    TGlobalVars &g = globals();
    g.FormatType = FormatPSP;
    g.ProfilePath = g.AppFolder + "/default_setting/psp.ini";
    {
        TfrmProfile window(ChooserSettingsOf(g));
        ASSERT_TRUE(window.PrepareChooser());
        window.show();
        EXPECT_EQ(frontFamily(window), FormatiPod);
        EXPECT_FALSE(window.familyButton(FormatiPod)->isEnabled()); // pressed in
        EXPECT_TRUE(window.familyButton(FormatiPod)->isVisible());
        EXPECT_EQ(window.MemoDiscription()->toPlainText(), "For the iPod.");
    }
    g.ShowWindow = false;
    ASSERT_TRUE(TakeStartedFamilyProfile(g));
    EXPECT_EQ(g.FormatType, FormatiPod);
    EXPECT_EQ(QFileInfo(g.ProfilePath).fileName(), "ipod.ini");

    // Other is offered to every start, so a choice there stays.
    g.FormatType = FormatOther;
    g.ProfilePath = g.AppFolder + "/default_setting/avi.ini";
    ASSERT_TRUE(TakeStartedFamilyProfile(g));
    EXPECT_EQ(g.FormatType, FormatOther);
    EXPECT_EQ(QFileInfo(g.ProfilePath).fileName(), "avi.ini");
    // A phone start whose remembered row is gone takes the family's first profile.
    g.Family = DeviceFamily::Phones;
    g.FormatType = FormatiPod;
    g.Format3GPIndex = 5;
    ASSERT_TRUE(TakeStartedFamilyProfile(g));
    EXPECT_EQ(g.FormatType, Format3GP);
    EXPECT_EQ(g.Format3GPIndex, 0);
    EXPECT_TRUE(g.ProfilePath.endsWith("/phone_a.ini") || g.ProfilePath.endsWith("/phone_b.ini"));
    // "-all" keeps whatever was stored.
    g.Family = DeviceFamily::All;
    g.FormatType = FormatPSP;
    g.ProfilePath = "kept.ini";
    ASSERT_TRUE(TakeStartedFamilyProfile(g));
    EXPECT_EQ(g.ProfilePath, "kept.ini");
}

TEST(ChooserWindow, AStartWhoseFamilyHasNoProfileLeavesTheChoiceToTheChooser)
{
    Installation install(DeviceFamily::PSP, false);
    TGlobalVars &g = globals();
    g.FormatType = FormatiPod;
    EXPECT_FALSE(TakeStartedFamilyProfile(g));
}

TEST(ChooserWindow, StoredFamilyAndRowComeBackWithTheirDescription)
{
    app();
    Installation install;
    globals().FormatType = Format3GP;
    globals().Format3GPIndex = 1;
    globals().ShowWindow = false;
    TfrmProfile window(ChooserSettingsOf(globals()));
    ASSERT_TRUE(window.PrepareChooser());
    window.show();
    EXPECT_EQ(frontFamily(window), Format3GP);
    QListWidget *list = window.listBox(Format3GP);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->currentRow(), 1);
    EXPECT_EQ(window.MemoDiscription()->toPlainText(),
              window.state().list(Format3GP).at(1).Description);
    EXPECT_TRUE(window.CheckBoxDoNotDisplay()->isChecked());

    // A click on the other row shows its description.
    clickRow(list, 0);
    EXPECT_EQ(window.MemoDiscription()->toPlainText(),
              window.state().list(Format3GP).at(0).Description);
    // A click on the label toggles the box.
    click(window.LabelDoNotDisplay(), {5, 5});
    EXPECT_FALSE(window.CheckBoxDoNotDisplay()->isChecked());
}

TEST(ChooserWindow, DoNotDisplayAndApplyStoreTheChoice)
{
    app();
    Installation install;
    globals().FormatOtherIndex = 3; // outside the list
    ScriptedScope script;
    const Opened opened = runChooser(false, [](TfrmProfile &w) {
        w.familyButton(FormatiPod)->click();
        click(w.LabelDoNotDisplay(), {5, 5});
        w.ButtonApply()->click();
    });
    ASSERT_TRUE(opened.shown);
    EXPECT_TRUE(opened.result);
    const TGlobalVars &g = globals();
    EXPECT_FALSE(g.ShowWindow);
    EXPECT_EQ(g.FormatType, FormatiPod);
    EXPECT_EQ(QFileInfo(g.ProfilePath).fileName(), "ipod.ini");
    EXPECT_EQ(g.FormatPSPIndex, 0);
    EXPECT_EQ(g.FormatiPodIndex, 0);
    EXPECT_EQ(g.FormatOtherIndex, -1);
    EXPECT_TRUE(script->asked.isEmpty());
}

TEST(ChooserWindow, DoubleClickAppliesThatRow)
{
    app();
    Installation install;
    QString doubleClicked;
    const Opened opened = runChooser(true, [&](TfrmProfile &w) {
        w.familyButton(Format3GP)->click();
        doubleClicked = w.state().list(Format3GP).at(1).FileName;
        clickRow(w.listBox(Format3GP), 1, true);
    });
    ASSERT_TRUE(opened.shown);
    EXPECT_TRUE(opened.result);
    EXPECT_EQ(globals().FormatType, Format3GP);
    EXPECT_EQ(globals().Format3GPIndex, 1);
    EXPECT_EQ(globals().ProfilePath, doubleClicked);
}

TEST(ChooserWindow, ApplyWaitsForASelectedRow)
{
    app();
    Installation install;
    globals().FormatPSPIndex = 4; // nothing selected in the active PSP list
    globals().ProfilePath = "kept.ini";
    bool stayedOpen = false;
    QString description = "unset";
    const Opened opened = runChooser(true, [&](TfrmProfile &w) {
        w.ButtonApply()->click();
        stayedOpen = w.isVisible();
        description = w.MemoDiscription()->toPlainText();
        w.ButtonCancel()->click();
    });
    ASSERT_TRUE(opened.shown);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(description, QString());
    EXPECT_TRUE(opened.result);
    EXPECT_EQ(globals().ProfilePath, "kept.ini");
    EXPECT_EQ(globals().FormatPSPIndex, 4);
}

TEST(ChooserWindow, ExitAtStartUpAsksAndYesEndsTheProgram)
{
    app();
    Installation install;
    ScriptedScope script;
    script->answers = {orm::IdNo, orm::IdNo, orm::IdYes};
    bool openAfterNo = false, openAfterEsc = false;
    const Opened opened = runChooser(false, [&](TfrmProfile &w) {
        w.ButtonCancel()->click();
        openAfterNo = w.isVisible();
        w.reject(); // Esc asks the same question
        openAfterEsc = w.isVisible();
        w.ButtonCancel()->click();
    });
    ASSERT_TRUE(opened.shown);
    EXPECT_TRUE(openAfterNo);
    EXPECT_TRUE(openAfterEsc);
    EXPECT_FALSE(opened.result);
    ASSERT_EQ(script->asked.size(), 3);
    EXPECT_EQ(script->asked[0].text, msg(Msg::MSG_SURE_TO_EXIT));
    EXPECT_EQ(script->asked[0].caption, msg(Msg::MSG_EXIT));
    EXPECT_EQ(script->asked[0].flags, 36u);
    EXPECT_EQ(globals().ProfilePath, QString());
}

TEST(ChooserWindow, ExitFromChooseProfileClosesWithoutAskingAndKeepsTheProfile)
{
    app();
    Installation install;
    globals().ProfilePath = "previous.ini";
    globals().FormatType = FormatOther;
    ScriptedScope script;
    const Opened opened = runChooser(true, [](TfrmProfile &w) {
        w.familyButton(FormatPSP)->click();
        w.ButtonCancel()->click();
    });
    ASSERT_TRUE(opened.shown);
    EXPECT_TRUE(opened.result);
    EXPECT_TRUE(script->asked.isEmpty());
    EXPECT_EQ(globals().ProfilePath, "previous.ini");
    EXPECT_EQ(globals().FormatType, FormatOther);
}

TEST(ChooserWindow, MissingProfileFolderTellsAndEndsTheProgram)
{
    app();
    Installation install(DeviceFamily::All, false);
    ScriptedScope script;
    const Opened opened = runChooser(false, [](TfrmProfile &w) { w.done(1); });
    EXPECT_FALSE(opened.shown);
    EXPECT_FALSE(opened.result);
    ASSERT_EQ(script->asked.size(), 1);
    EXPECT_EQ(script->asked[0].text, msg(Msg::MSG_PROFILE_FOLDER_ERROR));
    EXPECT_EQ(script->asked[0].caption, msg(Msg::MSG_INFORMATION));
    EXPECT_EQ(script->asked[0].flags, 32u);
}

TEST(ChooserWindow, FrenchTextsFitTheirPlaces)
{
    app();
    Installation install;
    {
        const FrenchTexts french;
        TfrmProfile window(ChooserSettingsOf(globals()));
        ASSERT_TRUE(window.PrepareChooser());
        window.show();
        EXPECT_EQ(window.windowTitle(), msg(Msg::MSG_CONFIGURATION_MANAGER));
        EXPECT_NE(window.windowTitle(), "Configuration Manager");
        if (QFontDatabase::families().contains("Tahoma")) {
            EXPECT_EQ(QFontInfo(window.font()).family(), "Tahoma");
        }
        for (QLabel *label : window.findChildren<QLabel *>()) {
            if (label->text().isEmpty())
                continue;
            EXPECT_TRUE(QFontInfo(label->font()).bold()) << label->objectName().toStdString();
            EXPECT_EQ(QFontInfo(label->font()).pixelSize(), 11);
            EXPECT_GE(label->width(), label->sizeHint().width())
                << label->objectName().toStdString();
            EXPECT_LE(label->geometry().right(), window.width())
                << label->objectName().toStdString();
        }
        // Its buttons speak French too, and no box offers a language it cannot switch to.
        EXPECT_EQ(window.ButtonApply()->Caption(), "Appliquer");
        EXPECT_EQ(window.ButtonCancel()->Caption(), "Quitter");
        EXPECT_EQ(window.findChild<QComboBox *>(), nullptr);

        if (const QString shots = qEnvironmentVariable("ORM_SCREENSHOT_DIR"); !shots.isEmpty())
            window.grab().save(shots + "/chooser-fr.png");
    }
    if (const QString shots = qEnvironmentVariable("ORM_SCREENSHOT_DIR"); !shots.isEmpty()) {
        TfrmProfile window(ChooserSettingsOf(globals()));
        ASSERT_TRUE(window.PrepareChooser());
        window.show();
        window.grab().save(shots + "/chooser-en.png");
    }
}
