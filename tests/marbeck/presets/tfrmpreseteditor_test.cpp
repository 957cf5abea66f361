// The preset editor on the offscreen platform: a shipped profile is shown
// and duplicated, never changed; the user's copy is edited, saved, its
// preset deleted and, with its last preset, the profile too.
#include "presets/tfrmpreseteditor.h"
#include "support/scriptedinteraction.h"
#include "support/testfiles.h"
#include "support/windowapp.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace marbeck;
using namespace ormtest;

namespace {

struct Editing {
    QTemporaryDir dir;
    QString shipped = stageDir() + "/default_setting/iPod_Classic.ini";
    QByteArray shippedBytes = readFile(shipped);
    QString user = dir.filePath("profiles");

    PresetEditorSetup setup(const QString &profile, const QString &section = "Item0") const
    {
        return {profile, section, user, stageDir(), {}, true, std::nullopt};
    }
};

} // namespace

TEST(PresetEditor, AShippedPresetIsDuplicatedIntoTheUserFolderAndEditedThere)
{
    windowApp();
    Editing e;
    ScriptedScope script;
    TfrmPresetEditor editor(e.setup(e.shipped, "Item1"));
    EXPECT_EQ(editor.ListPresets()->currentRow(), 1);
    EXPECT_TRUE(editor.EditTitle()->isReadOnly());
    EXPECT_TRUE(editor.MemoCommands()->isReadOnly());
    EXPECT_FALSE(editor.ButtonDelete()->isEnabled());
    EXPECT_FALSE(editor.LabelShipped()->isHidden());

    editor.ButtonDuplicatePreset()->click();
    const QString copy = e.user + "/iPod_Classic.ini";
    EXPECT_EQ(editor.profilePath(), copy);
    ASSERT_TRUE(QFileInfo::exists(copy));
    EXPECT_EQ(editor.ListPresets()->count(), 1);
    EXPECT_TRUE(editor.EditProfileTitle()->text().endsWith("(copy)"));
    EXPECT_TRUE(editor.LabelShipped()->isHidden());
    EXPECT_FALSE(editor.EditTitle()->isReadOnly());

    // Edits, a copy of the preset beside it, and Save.
    editor.EditTitle()->selectAll();
    QTest::keyClicks(editor.EditTitle(), "Mine");
    editor.MemoCommands()->setPlainText("first <%InputFile%>\n\nsecond");
    EXPECT_TRUE(editor.ButtonSave()->isEnabled());
    editor.ButtonDuplicatePreset()->click();
    EXPECT_EQ(editor.ListPresets()->count(), 2);
    EXPECT_EQ(editor.ListPresets()->item(1)->text(), "Mine (copy)");
    editor.ButtonSave()->click();
    EXPECT_FALSE(editor.unsaved());
    const ProfileDraft saved = ProfileDraft::read(copy);
    ASSERT_EQ(saved.presets.size(), 2);
    EXPECT_EQ(saved.presets[0].title, "Mine");
    EXPECT_EQ(saved.presets[0].commands, QStringList({"first <%InputFile%>", "second"}));
    EXPECT_FALSE(saved.presets[0].device.isEmpty());
    EXPECT_EQ(saved.presets[1].section, "Item1");

    // An unsaved change asks at Close; Cancel keeps the window and the change.
    const QString extension = editor.EditExtension()->text();
    QTest::keyClicks(editor.EditExtension(), "x");
    script->answers = {orm::IdCancel};
    editor.ButtonClose()->click();
    EXPECT_TRUE(editor.unsaved());
    script->answers = {orm::IdNo};
    editor.ButtonClose()->click();
    EXPECT_FALSE(editor.unsaved());
    EXPECT_EQ(ProfileDraft::read(copy).presets[0].extension, extension);

    // Deleting both presets deletes the profile; the window is back on the shipped one.
    script->answers = {orm::IdYes};
    editor.ButtonDelete()->click();
    editor.ButtonSave()->click();
    EXPECT_EQ(ProfileDraft::read(copy).presets.size(), 1);
    script->answers = {orm::IdYes};
    editor.ButtonDelete()->click();
    EXPECT_FALSE(QFileInfo::exists(copy));
    EXPECT_EQ(editor.profilePath(), e.shipped);
    EXPECT_EQ(readFile(e.shipped), e.shippedBytes);
}

TEST(PresetEditor, TryWithoutASourceSaysHowToGetOne)
{
    windowApp();
    Editing e;
    TfrmPresetEditor editor(e.setup(e.shipped));
    editor.ButtonTry()->click();
    EXPECT_EQ(editor.trial(), nullptr);
    EXPECT_TRUE(editor.MemoResult()->toPlainText().contains("5"))
        << editor.MemoResult()->toPlainText().toStdString();
}
