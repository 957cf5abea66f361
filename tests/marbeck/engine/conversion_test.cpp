// Jobs end to end: a preset's templates, the job scripts, the redirector and
// the console parser, with the real encoder and with the test encoder.
#include "engine/jobvalues.h"
#include "shared/batchscript.h"
#include "shared/conversionjob.h"
#include "shared/userfolders.h"
#include "shared/utilfuncs.h"
#include "support/apps.h"
#include "support/media.h"
#include "support/testfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace orm;
using namespace ormtest;

namespace {

QCoreApplication &app()
{
    return ormtest::testApp<QCoreApplication>();
}

struct JobRun {
    QList<int> percents;
    QStringList errorLines;
    std::optional<JobEnd> end;
};

// Writes the job's scripts in the installation and runs them to their end.
JobRun convert(const QString &installation, const QString &profile, const QString &section,
               const QString &source, const QString &outputFolder, int stopAfterMs = -1)
{
    app();
    ScriptJob job;
    job.programFolder = installation;
    job.profileFile = installation + "/default_setting/" + profile;
    job.section = section;
    job.values = marbeck::JobPlaceholders(installation, outputFolder, source);
    const QString script = WriteJobScripts(job);

    ProgressModel model("Status=");
    JobRun run;
    model.setErrorHandler([&](const QString &line) { run.errorLines << line; });
    ConversionJob conversion(model);
    conversion.OnProgress = [&] {
        if (run.percents.isEmpty() || run.percents.last() != model.percent())
            run.percents << model.percent();
    };
    conversion.OnEnded = [&](const JobEnd &end) { run.end = end; };
    // The script runs in the program folder, as the batch driver runs it.
    QDir::setCurrent(installation);
    conversion.Start(script, 2, QFileInfo(source).size());
    QElapsedTimer timer;
    timer.start();
    while (!run.end && timer.elapsed() < 120000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (stopAfterMs >= 0 && timer.elapsed() > stopAfterMs && conversion.Active())
            conversion.Stop();
    }
    DeleteTempFiles(installation);
    return run;
}

QString testEncoderInstallation(QTemporaryDir &dir, const QByteArray &options)
{
    const QString folder = dir.filePath("app");
    QDir().mkpath(folder + "/cores");
    QFile::copy(QStringLiteral(ORM_TEST_ENCODER), folder + "/cores/avcore.dll");
    writeFile(folder + "/default_setting/test.ini",
              "[Info]\nTitleE=Test\n[Item0]\nTitleE=t\nEXT=mp4\nCommand=<%AppPath%>/cores/"
              "avcore.dll -y -i \"<%InputFile%>\" " +
                  options + " \"<%OutputFile%>.mp4\"\n");
    return folder;
}

} // namespace

TEST(Conversion, ARealClipBecomesAPhoneVideoWithProgressUpTo100)
{
    QTemporaryDir dir;
    const QString app = makeInstallation(dir.filePath("Ormolux Test"));
    const QString out = dir.filePath("out put");
    QDir().mkpath(out);
    const QString source = sharedClip("engine clip 'x'.mp4", 4);
    const JobRun run = convert(app, "3GPP_Phone.ini", "Item0", source, out);
    ASSERT_TRUE(run.end.has_value());
    EXPECT_EQ(run.end->outcome, JobOutcome::Converted) << run.end->message.toStdString();
    EXPECT_TRUE(run.errorLines.isEmpty()) << run.errorLines.join('\n').toStdString();
    ASSERT_FALSE(run.percents.isEmpty());
    EXPECT_EQ(run.percents.last(), 100);
    EXPECT_TRUE(std::is_sorted(run.percents.begin(), run.percents.end()));
    EXPECT_FALSE(QFileInfo::exists(orm::UserFolders::jobFilesFolder() + "/~ConvertCore.bat"));
    const Probe p = probe(out + "/engine clip 'x'.3gp");
    EXPECT_EQ(p.videoCodec(), u"h263");
    EXPECT_EQ(p.frameSize(), QSize(176, 144));
    EXPECT_EQ(p.audioCodec(), u"aac");
}

TEST(Conversion, AMissingInputFailsWithTheEncodersOwnWords)
{
    QTemporaryDir dir;
    const QString app = makeInstallation(dir.filePath("app"));
    const JobRun run =
        convert(app, "3GPP_Phone.ini", "Item0", dir.filePath("gone.avi"), dir.path());
    ASSERT_TRUE(run.end.has_value());
    EXPECT_EQ(run.end->outcome, JobOutcome::Failed);
    EXPECT_NE(run.end->exitStatus, 0);
    EXPECT_TRUE(run.end->message.contains("No such file or directory"))
        << run.end->message.toStdString();
}

TEST(Conversion, AnUnknownEncoderOptionFailsWithItsErrorLine)
{
    QTemporaryDir dir;
    const QString app = makeInstallation(dir.filePath("app"));
    writeFile(app + "/default_setting/bad.ini",
              "[Item0]\nCommand=<%AppPath%>/cores/avcore.dll -y -i \"<%InputFile%>\" "
              "-no-such-option 1 \"<%OutputFile%>.mp4\"\n");
    const JobRun run =
        convert(app, "bad.ini", "Item0", sharedClip("engine clip 'x'.mp4", 4), dir.path());
    ASSERT_TRUE(run.end.has_value());
    EXPECT_EQ(run.end->outcome, JobOutcome::Failed);
    ASSERT_FALSE(run.errorLines.isEmpty());
    EXPECT_TRUE(run.errorLines.first().startsWith("Error")) << run.errorLines.first().toStdString();
}

TEST(Conversion, ANameThatLooksLikeCommandsIsJustAName)
{
    QTemporaryDir dir;
    const QString app = makeInstallation(dir.filePath("app"));
    const QString source = dir.filePath("clip $(touch PWNED) `touch PWNED` 'x' \"y\".mp4");
    QFile::copy(sharedClip("engine clip 'x'.mp4", 4), source);
    const JobRun run = convert(app, "MP3_Audio.ini", "Item0", source, dir.path());
    ASSERT_TRUE(run.end.has_value());
    EXPECT_EQ(run.end->outcome, JobOutcome::Converted) << run.end->message.toStdString();
    EXPECT_TRUE(QFileInfo::exists(orm::RemoveFileExt(source) + ".mp3"));
    QDirIterator it(dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        EXPECT_NE(QFileInfo(it.next()).fileName(), u"PWNED");
    EXPECT_FALSE(QFileInfo::exists(app + "/PWNED"));
}

TEST(Conversion, ANonZeroExitIsAFailureEvenWithoutAnErrorLine)
{
    QTemporaryDir dir;
    const QString app = testEncoderInstallation(
        dir, "--duration=4 --steps=4 --time-form=seconds --error=\"muxing went wrong\" --exit=3");
    const JobRun run = convert(app, "test.ini", "Item0", "/in/clip.avi", dir.path());
    ASSERT_TRUE(run.end.has_value());
    EXPECT_EQ(run.end->outcome, JobOutcome::Failed);
    EXPECT_EQ(run.end->exitStatus, 3);
    EXPECT_TRUE(run.errorLines.isEmpty());
    EXPECT_EQ(run.end->message, u"muxing went wrong");
    EXPECT_EQ(run.percents.last(), 100);
}

TEST(Conversion, ErrorLinesFailTheJobEvenWhenTheEncoderExitsCleanly)
{
    QTemporaryDir dir;
    const QString app = testEncoderInstallation(
        dir, "--duration=2 --steps=2 --error=\"Error while decoding stream #0:0\" "
             "--error=\"Could not open codec\" --split-bytes=7");
    const JobRun run = convert(app, "test.ini", "Item0", "/in/clip.avi", dir.path());
    ASSERT_TRUE(run.end.has_value());
    EXPECT_EQ(run.end->outcome, JobOutcome::Failed);
    EXPECT_EQ(run.errorLines, QStringList{"Could not open codec"});
}

TEST(Conversion, StoppingEndsTheEncoderAndItsGrandchild)
{
    QTemporaryDir dir;
    const QString app = testEncoderInstallation(
        dir, "--duration=60 --steps=600 --interval-ms=100 --grandchild-hang");
    const JobRun run = convert(app, "test.ini", "Item0", "/in/clip.avi", dir.path(), 500);
    ASSERT_TRUE(run.end.has_value());
    EXPECT_EQ(run.end->outcome, JobOutcome::Stopped);
    QElapsedTimer t;
    t.start();
    bool left = true;
    while (left && t.elapsed() < 2000) {
        left = false;
        for (const QString &pid : QDir("/proc").entryList(QDir::Dirs)) {
            const QString exe = QFileInfo("/proc/" + pid + "/exe").symLinkTarget();
            if (exe.startsWith(app) &&
                readFile("/proc/" + pid + "/stat").split(' ').value(2) != "Z")
                left = true;
        }
    }
    EXPECT_FALSE(left);
}
