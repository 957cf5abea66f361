// Whole batches through the driver with the real encoder and the test
// encoder, on the offscreen platform.
#include "batchsetup.h"
#include "lang/marbeckmessages.h"
#include "settings/globalvars.h"
#include "shared/userfolders.h"
#include "shared/utilfuncs.h"
#include "shell/tfrmfailurelog.h"
#include "sources/sourcelistmodel.h"
#include "support/media.h"
#include "support/testfiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace marbeck;
using namespace ormtest;

namespace {

QString clip()
{
    return sharedClip("batch clip.mp4", 3, {320, 240});
}

TFileItem record(const QString &path)
{
    TFileItem item;
    item.FileName = orm::ExtractFileName(path);
    item.Directory = orm::ExtractFilePath(path);
    item.CompleteName = path;
    item.FileSize = "1000";
    return item;
}

} // namespace

TEST(BatchRun, ThreeGoodClipsBecomePhoneVideosAndTheWindowClosesByItself)
{
    BatchSetup s;
    const QStringList names = {"one.mp4", "two.avi", "three.mp4"};
    for (const QString &name : names)
        s.addCopy(clip(), name);
    globals().ShutdownWindowsWhenDone = true;
    globals().ShutdownFlag = 0; // close the program
    QString batchText, caption;
    int fileBar = -1;
    QObject::connect(s.driver.get(), &BatchDriver::batchStarted, [&](TfrmProgress *w) {
        QObject::connect(w, &QDialog::finished, [&, w] {
            batchText = w->LabelBatch()->text();
            caption = w->windowTitle();
            fileBar = w->ProgressBarStatus()->value();
        });
    });
    s.run(s.preset("3GPP_Phone.ini"));

    EXPECT_TRUE(s.rows().isEmpty());
    EXPECT_EQ(s.driver->lastModalResult(), 1);
    EXPECT_EQ(s.driver->queue().counts().done, 3);
    EXPECT_EQ(batchText, u"Batch=100%");
    EXPECT_EQ(caption, msg(Msg::MSG_ENCODING_FINISHED));
    EXPECT_EQ(fileBar, 100);
    EXPECT_TRUE(s.script->asked.isEmpty()) << s.script->asked.value(0).text.toStdString();
    for (const QString &name : names) {
        const Probe p = probe(s.outFolder + "/" + orm::RemoveFileExt(name) + ".3gp");
        EXPECT_EQ(p.videoCodec(), u"h263") << name.toStdString();
        EXPECT_EQ(p.frameSize(), QSize(176, 144));
        EXPECT_EQ(p.audioCodec(), u"aac");
        EXPECT_TRUE(QFileInfo::exists(s.inFolder + "/" + name)); // not asked to delete
    }
    EXPECT_FALSE(QFileInfo::exists(orm::UserFolders::jobFilesFolder() + "/~ConvertCore.bat"));
    // The countdown ran out: index 0 closes the program and asks nothing of the system.
    waitFor([&] { return s.programCloses > 0; }, 2000);
    EXPECT_EQ(s.programCloses, 1);
    EXPECT_TRUE(s.power.requests.isEmpty());
}

TEST(BatchRun, ACorruptSourceEndsLastIsNeverDeletedAndWithTheUserAwayOnlyTheLogTellsOfIt)
{
    BatchSetup s;
    const QString first = s.addCopy(clip(), "first.mp4");
    const QString corrupt = s.inFolder + "/broken.avi";
    QByteArray noise;
    for (int i = 0; i < 65536; ++i)
        noise.append(char((i * 7919 + 13) % 251));
    writeFile(corrupt, noise);
    ASSERT_EQ(s.list->AddFile(corrupt), AddResult::Added);
    const QString last = s.addCopy(clip(), "last.mp4");
    globals().DeleteFileAfterProcessing = true;
    globals().ShutdownWindowsWhenDone = true;
    s.run(s.preset("3GPP_Phone.ini"));

    EXPECT_EQ(s.rows(), QStringList{corrupt});
    EXPECT_EQ(s.driver->queue().counts().done, 2);
    EXPECT_EQ(s.driver->queue().counts().failed, 1);
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_FALSE(QFileInfo::exists(last));
    EXPECT_EQ(readFile(corrupt), noise);
    EXPECT_TRUE(QFileInfo::exists(s.outFolder + "/first.3gp"));
    EXPECT_TRUE(QFileInfo::exists(s.outFolder + "/last.3gp"));
    // "Shutdown when done" was armed, so the failure opened no box that would
    // have held the batch; the closing question is answered Yes: the log
    // window names the broken source with the encoder's words about it, and
    // "Open in editor" hands the same text as a file to the desktop.
    ASSERT_EQ(s.script->asked.size(), 1);
    const Asked notice = s.script->asked[0];
    EXPECT_EQ(notice.text, msg(Msg::MSG_ANERROROCCURRED));
    EXPECT_EQ(notice.caption, msg(Msg::MSG_OOPS));
    EXPECT_EQ(notice.flags, orm::mb::kIconExclamation | orm::mb::kYesNo);
    auto *window = s.mainWindow.findChild<TfrmFailureLog *>();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    const QString shown = window->MemoLog()->toPlainText();
    EXPECT_TRUE(shown.contains(corrupt + "\n    ")) << shown.toStdString();
    EXPECT_FALSE(shown.contains("first.mp4")) << shown.toStdString();
    window->ButtonOpenInEditor()->click();
    ASSERT_EQ(s.script->asked.size(), 2);
    const Asked open = s.script->asked.last();
    EXPECT_EQ(open.kind, Asked::ShellOpen);
    const QString log = QString::fromUtf8(readFile(open.text));
    EXPECT_TRUE(log.endsWith(shown)) << log.toStdString();
    window->ButtonClose()->click();
    EXPECT_TRUE(s.power.requests.isEmpty());
    EXPECT_EQ(s.programCloses, 0);
}

TEST(BatchRun, EachErrorOpensABoxOnlyWhenAskedForAndNobodyIsAway)
{
    for (const bool atOnce : {true, false}) {
        BatchSetup s(BatchSetup::Encoder::Test,
                     "--duration=1 --steps=2 --error=\"Error: muxing went wrong\"");
        s.addCopy(clip(), "a.mp4");
        s.addCopy(clip(), "b.mp4");
        globals().ShowErrorsAtOnce = atOnce;
        s.run(s.preset("test.ini"));
        EXPECT_EQ(s.driver->queue().counts().failed, 2) << atOnce;
        int errorBoxes = 0;
        for (const Asked &asked : s.script->asked)
            errorBoxes += asked.caption == msg(Msg::MSG_ERROR);
        EXPECT_EQ(errorBoxes, atOnce ? 2 : 0) << atOnce;
        EXPECT_EQ(s.driver->failures().text().count(s.inFolder), 2) << atOnce;
    }
    globals().ShowErrorsAtOnce = true;
}

TEST(BatchRun, ANameFullOfShellCharactersIsConvertedAndRunsNothing)
{
    BatchSetup s;
    const QString name = "clip $(touch PWNED) 'x' \"y\".avi";
    s.addCopy(clip(), name);
    s.run(s.preset("3GPP_Phone.ini"));
    EXPECT_TRUE(s.rows().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(s.outFolder + "/clip $(touch PWNED) 'x' \"y\".3gp"));
    QDirIterator it(s.dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        EXPECT_NE(it.next().section('/', -1), u"PWNED");
    EXPECT_FALSE(QFileInfo::exists(QDir::currentPath() + "/PWNED"));
}

TEST(BatchRun, WhenDoneDuringTheFirstOfThreeConvertsOneAndOffersTheCountdown)
{
    BatchSetup s;
    QStringList sources;
    for (const char *name : {"a.mp4", "b.mp4", "c.mp4"})
        sources << s.addCopy(clip(), name);
    globals().ShutdownWindowsWhenDone = true;
    globals().ShutdownFlag = 2;
    bool labelShown = false;
    s.whileRunning([&](TfrmProgress &w) {
        if (w.ProgressBarStatus()->value() < 5)
            return false;
        s.script->answers = {orm::IdNo}; // "When done"
        w.ButtonCancel()->click();
        labelShown = w.LabelStopWhenDone()->isVisibleTo(&w);
        return true;
    });
    s.run(s.slowPreset());

    EXPECT_TRUE(labelShown);
    EXPECT_EQ(s.driver->lastModalResult(), 1);
    EXPECT_EQ(s.rows(), sources.mid(1));
    EXPECT_EQ(s.driver->queue().counts().done, 1);
    EXPECT_TRUE(QFileInfo::exists(s.outFolder + "/a.3gp"));
    EXPECT_FALSE(QFileInfo::exists(s.outFolder + "/b.3gp"));
    EXPECT_EQ(s.power.requests, QList<PowerAction>{PowerAction::LogOff});
}

TEST(BatchRun, AJobThatOnlyExitsNonZeroFailsAndItsSourceStays)
{
    BatchSetup s(BatchSetup::Encoder::Test,
                 "--duration=2 --steps=2 --error=\"muxing went wrong\" --exit=3");
    const QString a = s.addCopy(clip(), "a.mp4");
    const QString b = s.addCopy(clip(), "b.mp4");
    globals().DeleteFileAfterProcessing = true;
    s.run(s.preset("test.ini"));
    EXPECT_EQ(s.rows(), QStringList({a, b}));
    EXPECT_TRUE(QFileInfo::exists(a));
    EXPECT_TRUE(QFileInfo::exists(b));
    EXPECT_EQ(s.driver->queue().counts().failed, 2);
    // Each failure is told in the encoder's words, then the notice; its log
    // holds both sources, each with those words once.
    ASSERT_EQ(s.script->asked.size(), 3);
    EXPECT_EQ(s.script->asked[0].text, u"muxing went wrong");
    EXPECT_EQ(s.script->asked[0].caption, msg(Msg::MSG_ERROR));
    EXPECT_EQ(s.script->asked[2].text, msg(Msg::MSG_ANERROROCCURRED));
    EXPECT_EQ(s.driver->failures().text(), QString("%1\n    muxing went wrong\n\n"
                                                   "%2\n    muxing went wrong\n")
                                               .arg(a, b));
}

TEST(BatchRun, TickingDeleteDuringTheFirstJobDeletesEveryConvertedSource)
{
    BatchSetup s(BatchSetup::Encoder::Test,
                 "--duration=2 --steps=20 --interval-ms=20 --copy-input");
    const QString a = s.addCopy(clip(), "a.mp4");
    const QString b = s.addCopy(clip(), "b.mp4");
    s.whileRunning([&](TfrmProgress &w) {
        if (w.ProgressBarStatus()->value() < 5)
            return false;
        w.CheckBoxDelSource()->click();
        return true;
    });
    s.run(s.preset("test.ini"));
    EXPECT_TRUE(s.rows().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(a));
    EXPECT_FALSE(QFileInfo::exists(b));
    EXPECT_TRUE(globals().DeleteFileAfterProcessing);
    // Painting of the list, held back between quick jobs, is on again.
    EXPECT_TRUE(s.list->updatesEnabled());
}

namespace {

// Keeps the stop question open until the batch has ended by itself.
class WaitingInteraction final : public orm::Interaction {
public:
    explicit WaitingInteraction(BatchDriver &driver) : m_driver(driver) {}
    int questions = 0;
    int messageBox(const QString &, const QString &, unsigned) override { return orm::IdOk; }
    int choiceDialog(const orm::ChoiceRequest &) override
    {
        ++questions;
        waitFor(
            [&] {
                const TfrmProgress *w = m_driver.progressWindow();
                return !w || w->Finished();
            },
            20000);
        return orm::IdCancel;
    }
    std::optional<QString> browseForFolder(const orm::FolderRequest &) override { return {}; }
    bool shellOpen(const QString &) override { return true; }

private:
    BatchDriver &m_driver;
};

} // namespace

TEST(BatchRun, ABatchThatEndsWhileTheQuestionIsOpenOffersNoCountdown)
{
    BatchSetup s(BatchSetup::Encoder::Test,
                 "--duration=2 --steps=10 --interval-ms=30 --copy-input");
    s.addCopy(clip(), "a.mp4");
    globals().ShutdownWindowsWhenDone = true;
    auto waiting = std::make_unique<WaitingInteraction>(*s.driver);
    WaitingInteraction *question = waiting.get();
    auto previous = orm::setInteraction(std::move(waiting));
    s.whileRunning([&](TfrmProgress &w) {
        if (w.ProgressBarStatus()->value() < 5)
            return false;
        w.ButtonCancel()->click();
        return true;
    });
    s.run(s.preset("test.ini"));
    EXPECT_EQ(question->questions, 1);
    orm::setInteraction(std::move(previous));
    EXPECT_TRUE(s.rows().isEmpty());
    EXPECT_EQ(s.driver->lastModalResult(), 2);
    EXPECT_TRUE(s.power.requests.isEmpty());
}

TEST(BatchRun, ANameWithALineBreakFailsItsOwnJobAndTheBatchGoesOn)
{
    BatchSetup s(BatchSetup::Encoder::Test, "--duration=1 --steps=1 --copy-input");
    const QString bad = s.inFolder + "/two\nlines.avi";
    const QString good = s.inFolder + "/good.avi";
    QFile::copy(clip(), good);
    s.list->sources().append(record(bad));
    s.list->sources().append(record(good));
    s.run(s.preset("test.ini"));
    EXPECT_EQ(s.rows(), QStringList{bad});
    EXPECT_EQ(s.driver->queue().counts().done, 1);
    EXPECT_TRUE(QFileInfo::exists(s.outFolder + "/good.mp4"));
    ASSERT_EQ(s.script->asked.size(), 2);
    EXPECT_EQ(s.script->asked[0].caption, msg(Msg::MSG_ERROR));
    EXPECT_EQ(s.script->asked[1].text, msg(Msg::MSG_ANERROROCCURRED));
    EXPECT_TRUE(s.driver->failures().text().startsWith(bad + "\n    "));
}

TEST(BatchRun, ConvertNowChecksTheListThePresetAndTheFolderFirst)
{
    BatchSetup s(BatchSetup::Encoder::Test, "--duration=1 --steps=1 --copy-input");
    const TProfileDetailItem p = s.preset("test.ini");
    s.convert(&p, s.outFolder);
    ASSERT_EQ(s.script->asked.size(), 1);
    EXPECT_EQ(s.script->asked[0].text, msg(Msg::MSG_NOFILES));
    EXPECT_EQ(s.script->asked[0].caption, msg(Msg::MSG_HINT));
    EXPECT_EQ(s.script->asked[0].flags, 48u);

    QFile::copy(clip(), s.inFolder + "/a.avi");
    s.list->sources().append(record(s.inFolder + "/a.avi"));
    s.convert(nullptr, s.outFolder);
    ASSERT_EQ(s.script->asked.size(), 2);
    EXPECT_EQ(s.script->asked[1].text, u"List index out of bounds (-1)");

    s.convert(&p, "   ");
    ASSERT_EQ(s.script->asked.size(), 3);
    EXPECT_EQ(s.script->asked[2].text, msg(Msg::MSG_EMPTY_DIR));

    // A missing folder: "No" leaves everything as it was.
    s.script->answers = {orm::IdNo};
    const QString missing = s.dir.filePath("new/deeper");
    s.convert(&p, missing);
    EXPECT_FALSE(QFileInfo::exists(missing));
    EXPECT_EQ(s.driver->lastModalResult(), 0);
    EXPECT_EQ(s.rows().size(), 1);

    // "Yes" creates the whole path and the batch runs.
    s.script->answers = {orm::IdYes};
    s.convert(&p, missing);
    EXPECT_TRUE(QFileInfo::exists(missing + "/a.mp4"));
    EXPECT_TRUE(s.rows().isEmpty());
    EXPECT_EQ(globals().OutputPath, orm::IncludeBackslash(missing));
}

TEST(BatchRun, AFailureIsToldByTheEncodersTellingLineAndItsCauseInTheUsersLanguage)
{
    BatchSetup s;
    writeFile(s.appFolder + "/default_setting/broken.ini",
              "[Info]\nTitleE=Broken\n[Item0]\nTitleE=b\nCommand=<%AppPath%>/cores/avcore.dll -y "
              "-i \"<%InputFile%>\" -c:v nonexistent_codec \"<%OutputFile%>.mp4\"\n");
    const QString source = s.addCopy(clip(), "a.mp4");
    messages().LoadLanguage(stageDir() + "/Skins/tools/lang/deutsch.ini");
    s.run(s.preset("broken.ini"));
    const QString box = s.script->asked.value(0).text;
    messages().resetToEnglish();

    EXPECT_TRUE(box.startsWith("Unknown encoder 'nonexistent_codec'")) << box.toStdString();
    EXPECT_TRUE(box.endsWith("\nDie Voreinstellung braucht einen Encoder oder eine Option, die "
                             "dieser Encoder nicht hat."))
        << box.toStdString();
    EXPECT_TRUE(s.driver->failures().text().contains("Unknown encoder"));
    EXPECT_EQ(s.rows(), QStringList{source});
}
