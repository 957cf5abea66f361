// Stopping a batch in the middle of a job. Stopping ends only the job's own
// processes, so these tests run beside the others.
#include "batchsetup.h"
#include "lang/marbeckmessages.h"
#include "settings/globalvars.h"
#include "shared/userfolders.h"
#include "sources/sourcelistmodel.h"
#include "support/media.h"
#include "support/testfiles.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProgressBar>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace marbeck;
using namespace ormtest;

TEST(BatchStop, StopNowEndsTheEncoderAndLeavesTheSourceFirst)
{
    BatchSetup s;
    const QString longClip = s.addCopy(sharedClip("batch long.mp4", 10, {320, 240}), "long.mp4");
    const QString next = s.addCopy(sharedClip("batch clip.mp4", 3, {320, 240}), "next.mp4");
    globals().ShutdownWindowsWhenDone = true;
    globals().DeleteFileAfterProcessing = true;
    bool encoderSeen = false;
    s.whileRunning([&](TfrmProgress &w) {
        if (w.ProgressBarStatus()->value() < 10)
            return false;
        encoderSeen = encoderRunning(s.appFolder);
        // Another program saves files of the source's name meanwhile.
        writeFile(s.outFolder + "/long.txt", "notes");
        writeFile(s.outFolder + "/long.mkv", "another program's video");
        s.script->answers = {orm::IdYes}; // "Stop now"
        w.ButtonCancel()->click();
        return true;
    });
    s.run(s.slowPreset());

    EXPECT_TRUE(encoderSeen);
    // A generous deadline for the killed processes to vanish from /proc; how
    // long it took is only reported.
    QElapsedTimer gone;
    gone.start();
    EXPECT_TRUE(waitFor([&] { return !encoderRunning(s.appFolder); }, 5000));
    RecordProperty("encoders_gone_ms", int(gone.elapsed()));
    EXPECT_FALSE(QFileInfo::exists(orm::UserFolders::jobFilesFolder() + "/~ConvertCore.bat"));
    EXPECT_FALSE(QFileInfo::exists(orm::UserFolders::jobFilesFolder() + "/DirectShow.avs"));
    EXPECT_EQ(s.rows(), QStringList({longClip, next}));
    EXPECT_TRUE(QFileInfo::exists(longClip));
    // The half-written output does not stay, and nothing else is touched.
    EXPECT_EQ(QDir(s.outFolder).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"long.mkv", "long.txt"}));
    EXPECT_EQ(s.driver->lastModalResult(), 2);
    EXPECT_EQ(s.driver->queue().counts().done + s.driver->queue().counts().failed, 0);
    // Only the question was asked: no notice, no countdown.
    ASSERT_EQ(s.script->asked.size(), 1);
    EXPECT_EQ(s.script->asked[0].text, msg(Msg::MSG_ABORTENCODING));
    EXPECT_TRUE(s.power.requests.isEmpty());
    EXPECT_FALSE(s.driver->Active());
}

TEST(BatchStop, TheMainWindowClosingMidJobEndsEverythingAndLateNoticesChangeNothing)
{
    BatchSetup s(BatchSetup::Encoder::Test,
                 "--duration=60 --steps=600 --interval-ms=100 --grandchild-hang");
    s.list->sources().append([&] {
        TFileItem item;
        item.FileName = "a.avi";
        item.Directory = s.inFolder + "/";
        item.CompleteName = s.inFolder + "/a.avi";
        item.FileSize = "1000";
        return item;
    }());
    globals().ShutdownWindowsWhenDone = true;
    s.whileRunning([&](TfrmProgress &w) {
        if (w.ProgressBarStatus()->value() < 1)
            return false;
        s.driver->Terminate();
        return true;
    });
    s.run(s.preset("test.ini"));
    EXPECT_TRUE(waitFor([&] { return !encoderRunning(s.appFolder); }, 5000));
    EXPECT_FALSE(s.driver->Active());
    EXPECT_FALSE(QFileInfo::exists(orm::UserFolders::jobFilesFolder() + "/~ConvertCore.bat"));
    QApplication::processEvents();
    EXPECT_EQ(s.rows().size(), 1);
    EXPECT_TRUE(s.script->asked.isEmpty());
    EXPECT_TRUE(s.power.requests.isEmpty());
}
