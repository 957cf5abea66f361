#include "shared/error.h"
#include "shared/interaction.h"
#include "shared/ui/busycursor.h"
#include "shared/ui/qtinteraction.h"
#include "support/apps.h"
#include "support/scriptedinteraction.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace orm;

namespace {
QApplication &app()
{
    return ormtest::testApp<QApplication>();
}

// Presses the button with the given text in the next modal box, and notes the box.
struct BoxPress {
    QStringList buttonTexts;
    QString title;
    int minimumWidth = 0;
};
void pressWhenShown(const QString &text, BoxPress &seen)
{
    QTimer::singleShot(0, [text, &seen] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen.title = box->windowTitle();
        for (QAbstractButton *b : box->buttons()) {
            seen.buttonTexts << b->text();
            seen.minimumWidth = b->minimumWidth();
        }
        for (QAbstractButton *b : box->buttons()) {
            if (b->text() == text)
                b->click();
        }
    });
}
} // namespace

TEST(BusyCursor, NestsAndRestores)
{
    app();
    EXPECT_EQ(BusyDepth(), 0);
    BeginBusy();
    BeginBusy();
    EndBusy();
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EndBusy();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EndBusy();
    EXPECT_EQ(BusyDepth(), 0);
    {
        BusyScope busy;
        EXPECT_EQ(BusyDepth(), 1);
    }
    EXPECT_EQ(BusyDepth(), 0);
}

TEST(InteractionSeam, QuestionsWithoutAUserInterfaceAreAFault)
{
    auto previous = setInteraction(nullptr);
    EXPECT_THROW(ShowMessageBox("text", "caption", mb::kIconInformation), Error);
    setInteraction(std::move(previous));
}

TEST(InteractionSeam, TestsAnswerEveryQuestion)
{
    ormtest::ScriptedScope script;
    script->answers = {IdNo};
    EXPECT_EQ(ShowMessageBox("Create it?", "Question", mb::kIconQuestion | mb::kYesNoCancel), IdNo);
    EXPECT_EQ(ShowMessageBox("Done", "Information", mb::kIconInformation), IdOk);
    script->folders = {QString("/chosen")};
    QString path = "/start";
    EXPECT_TRUE(BrowseForFolder(nullptr, path, "Please select a folder!", 65));
    EXPECT_EQ(path, u"/chosen");
    EXPECT_FALSE(BrowseForFolder(nullptr, path, "again", 65));
    EXPECT_EQ(path, u"/chosen");
    ShellOpen("   ");
    ShellOpen("/video/clip.avi");
    ASSERT_EQ(script->asked.size(), 5);
    EXPECT_EQ(script->asked[0].flags, 0x23u);
    EXPECT_EQ(script->asked[2].text, u"/start");
    EXPECT_EQ(script->asked[4].text, u"/video/clip.avi");

    // A desktop without a program for the path: the user is told where it is.
    script->desktopOpens = false;
    ShellOpen("/tmp/Ormolux log.txt");
    ASSERT_EQ(script->asked.size(), 7);
    EXPECT_EQ(script->asked[6].kind, ormtest::Asked::MessageBox);
    EXPECT_TRUE(script->asked[6].text.contains("\"/tmp/Ormolux log.txt\""));
    // In the program's language once it names its texts.
    SetShellOpenTexts([] { return QStringLiteral("Impossible d'ouvrir « %s »."); },
                      [] { return QStringLiteral("Erreur"); });
    ShellOpen("/tmp/a.avi");
    SetShellOpenTexts(nullptr, nullptr);
    ASSERT_EQ(script->asked.size(), 9);
    EXPECT_EQ(script->asked[8].text, u"Impossible d'ouvrir « /tmp/a.avi ».");
    EXPECT_EQ(script->asked[8].caption, u"Erreur");
}

TEST(ToolkitDialogs, MessageBoxReturnsWindowsIdentifiers)
{
    app();
    QtInteraction dialogs;
    BoxPress seen;
    pressWhenShown("&No", seen);
    EXPECT_EQ(dialogs.messageBox("Create it?", "Question", 35), IdNo);
    EXPECT_EQ(seen.title, u"Question");
    EXPECT_EQ(seen.buttonTexts.size(), 3);
}

TEST(ToolkitDialogs, ChoiceDialogTakesCustomCaptionsInButtonOrder)
{
    app();
    QtInteraction dialogs;
    const unsigned buttons = choice::kYes | choice::kNo | choice::kCancel;
    BoxPress seen;
    pressWhenShown("When done", seen);
    EXPECT_EQ(dialogs.choiceDialog({"Stop?",
                                    "Question",
                                    DialogKind::Confirmation,
                                    {"Stop now", "When done", "Cancel"},
                                    buttons,
                                    70}),
              IdNo);
    EXPECT_EQ(seen.buttonTexts.size(), 3);
    EXPECT_TRUE(seen.buttonTexts.contains("Stop now"));

    BoxPress wide;
    pressWhenShown("Oui", wide);
    EXPECT_EQ(dialogs.choiceDialog({"Fermer ?",
                                    "Information",
                                    DialogKind::Information,
                                    {"Oui", ""},
                                    choice::kYes | choice::kNo,
                                    110}),
              IdYes);
    EXPECT_TRUE(wide.buttonTexts.contains("&No")); // an empty caption keeps the button's own
    EXPECT_GT(wide.minimumWidth, seen.minimumWidth);
}
