// Cordane started by the stand-in parent, converting real files.
#include "cordane/handoff.h"
#include "cordane/parentnotice.h"
#include "platform/jobrecord.h"
#include "shared/ini.h"
#include "shared/userfolders.h"
#include "support/media.h"
#include "support/testfiles.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <memory>

using namespace ormtest;

namespace {

// Cordane, the stand-in parent and their data in a folder of the test's own,
// so that each test has its own hand-off file.
QString cordaneInstallation(const QString &folder)
{
    makeInstallation(folder);
    for (const char *program : {"Cordane", "lanthorn-stub"})
        QFile::copy(stageDir() + "/" + program, folder + "/" + program);
    QDir(folder).mkpath("lang");
    for (const QString &file : QDir(stageDir() + "/lang").entryList(QDir::Files))
        QFile::copy(stageDir() + "/lang/" + file, folder + "/lang/" + file);
    QFile::copy(stageDir() + "/avs.dat", folder + "/avs.dat");
    return folder;
}

// Cordane as a child process: offscreen, every question answered and written out.
QProcessEnvironment childEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("ORM_ANSWER_DIALOGS", "1");
    return env;
}

struct StubRun {
    int exitCode = -1;
    QString ripResult;
    QString ripOutputFile;
    int notices = -1;
    QByteArray output;
    qint64 cordane = 0; // the process id Cordane ran under
};

// The folder of a Cordane process's job files, while it exists.
QString jobFolderOf(qint64 pid)
{
    const QDir runtime(orm::UserFolders::runtimeFolder());
    const QStringList found =
        runtime.entryList({"jobs-" + QString::number(pid) + "-*"}, QDir::Dirs | QDir::Hidden);
    return found.isEmpty() ? QString() : runtime.filePath(found.first());
}

StubRun runStub(const QString &installation, const QStringList &arguments)
{
    QProcess stub;
    stub.setProcessEnvironment(childEnvironment());
    stub.setProcessChannelMode(QProcess::MergedChannels);
    stub.start(installation + "/lanthorn-stub", arguments);
    StubRun run;
    if (!stub.waitForFinished(120000)) {
        stub.kill();
        stub.waitForFinished();
    }
    run.output = stub.readAll();
    run.exitCode = stub.exitStatus() == QProcess::NormalExit ? stub.exitCode() : -1;
    for (const QByteArray &line : run.output.split('\n')) {
        if (line.startsWith("RipResult="))
            run.ripResult = QString::fromUtf8(line.mid(10));
        if (line.startsWith("RipOutputFile="))
            run.ripOutputFile = QString::fromUtf8(line.mid(14));
        if (line.startsWith("notices="))
            run.notices = line.mid(8).toInt();
        if (line.startsWith("cordane="))
            run.cordane = line.mid(8).toLongLong();
    }
    return run;
}

} // namespace

TEST(CordaneRun, TheDefaultProfileMakesAnIpodVideo)
{
    QTemporaryDir dir;
    const QString app = cordaneInstallation(dir.filePath("app"));
    const StubRun run = runStub(app, {sharedClip("cordane clip.mp4", 3), dir.filePath("out.mp4")});
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_EQ(run.ripResult, u"Convert Complete!");
    EXPECT_EQ(run.ripOutputFile, dir.filePath("out.mp4"));
    EXPECT_EQ(run.notices, 1);
    const Probe p = probe(dir.filePath("out.mp4"));
    EXPECT_EQ(p.videoCodec(), u"h264");
    EXPECT_EQ(p.frameSize(), QSize(320, 240));
    EXPECT_EQ(p.audioCodec(), u"aac");
    ASSERT_GT(run.cordane, 0);
    EXPECT_EQ(jobFolderOf(run.cordane), QString()); // its script went, and its folder
}

TEST(CordaneRun, TheResultComesInTheParentsLanguage)
{
    QTemporaryDir dir;
    const QString app = cordaneInstallation(dir.filePath("app"));
    const StubRun run = runStub(app, {"--language", "french.ini", "--preset", "Item0",
                                      sharedClip("cordane clip.mp4", 3), dir.filePath("out.mp4")});
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_EQ(run.ripResult, QString::fromUtf8("Conversion terminée !"));
}

TEST(CordaneRun, BadInputsReportTheErrorResultOnce)
{
    QTemporaryDir dir;
    const QString app = cordaneInstallation(dir.filePath("app"));
    const QString corrupt = dir.filePath("corrupt.mp4");
    QByteArray noise(64 * 1024, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919) ^ (i >> 3));
    writeFile(corrupt, noise);
    const EnvScope runtimeFolder("XDG_RUNTIME_DIR", dir.path()); // the failure log goes below it
    for (const QString &input : {dir.filePath("missing.mp4"), corrupt}) {
        const StubRun run = runStub(app, {input, dir.filePath("out.mp4")});
        EXPECT_EQ(run.exitCode, 1) << run.output.toStdString();
        EXPECT_EQ(run.ripResult, u"Convert Error!") << input.toStdString();
        EXPECT_EQ(run.notices, 1);
        EXPECT_TRUE(run.output.contains("[message]")) << run.output.toStdString();
        // The closing question was answered Yes: the log names the source and is opened.
        EXPECT_TRUE(run.output.contains("[open]")) << run.output.toStdString();
        const QString log = QString::fromUtf8(readFile(dir.filePath("ormolux/Cordane log.txt")));
        EXPECT_TRUE(log.contains(input + "\n    ")) << log.toStdString();
    }
    const StubRun missingPreset = runStub(
        app, {"--preset", "Item9", sharedClip("cordane clip.mp4", 3), dir.filePath("o.mp4")});
    EXPECT_EQ(missingPreset.ripResult, u"Convert Error!");
    EXPECT_TRUE(missingPreset.output.contains("has no command"))
        << missingPreset.output.toStdString();
}

// A PSP preset names its files as the device wants them: the parent learns
// which file that is.
TEST(CordaneRun, APspPresetReportsTheFileItReallyWrote)
{
    QTemporaryDir dir;
    const QString app = cordaneInstallation(dir.filePath("app"));
    const StubRun run = runStub(app, {"--profile", "default_setting\\PSP_320x240.ini",
                                      sharedClip("cordane clip.mp4", 3), dir.filePath("out.mp4")});
    EXPECT_EQ(run.ripResult, u"Convert Complete!") << run.output.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("out.mp4")));
    EXPECT_TRUE(
        QFileInfo(run.ripOutputFile).fileName().contains(QRegularExpression("^M4V\\d{5}\\.MP4$")))
        << run.ripOutputFile.toStdString();
    EXPECT_EQ(probe(run.ripOutputFile).videoCodec(), u"mpeg4");
}

// A source without a picture is refused by a video preset, though the job
// starts before that is known: nothing of it is left, and the parent is told.
TEST(CordaneRun, ASoundOnlySourceIsRefusedByAVideoPresetAndLeavesNothing)
{
    QTemporaryDir dir;
    const QString app = cordaneInstallation(dir.filePath("app"));
    const QString sound = dir.filePath("only sound.m4a");
    ASSERT_EQ(runProcess(stageDir() + "/cores/avcore.dll",
                         {"-v", "error", "-f", "lavfi", "-i", "sine=d=3", "-c:a", "aac", sound})
                  .exitCode,
              0);
    QDir().mkpath(dir.filePath("out"));
    const StubRun run = runStub(app, {sound, dir.filePath("out/o.mp4")});
    EXPECT_EQ(run.ripResult, u"Convert Error!");
    EXPECT_TRUE(run.output.contains("has no picture")) << run.output.toStdString();
    EXPECT_TRUE(QDir(dir.filePath("out")).isEmpty());
}

// Whether the encoder has what the preset needs is known without asking it
// only from an earlier answer: a job that fails asks it, and the next start
// refuses before anything runs.
TEST(CordaneRun, APresetTheEncoderCannotRunIsNamedThenRefusedBeforeItRuns)
{
    QTemporaryDir dir;
    const QString app = cordaneInstallation(dir.filePath("app"));
    const EnvScope cache("XDG_CACHE_HOME", dir.filePath("cache"));
    const QString calls = dir.filePath("calls");
    writeFile(app + "/cores/avcore.dll",
              "#!/bin/sh\necho \"$@\" >> '" + calls.toUtf8() +
                  "'\ncase \" $* \" in *\" libx264 \"*) echo \"Unknown encoder 'libx264'\" >&2; "
                  "exit 1;; esac\n'" +
                  (stageDir() + "/cores/avcore.dll").toUtf8() + "' \"$@\" | grep -v ' libx264 '\n");
    QFile::setPermissions(app + "/cores/avcore.dll", QFile::ReadOwner | QFile::ExeOwner);
    const QString clip = sharedClip("cordane clip.mp4", 3);
    for (const int run : {1, 2}) {
        const StubRun stub = runStub(app, {clip, dir.filePath("out.mp4")});
        EXPECT_EQ(stub.ripResult, u"Convert Error!") << run;
        EXPECT_TRUE(stub.output.contains("lacks the encoder \"libx264\""))
            << stub.output.toStdString();
        // The first run: the job and the three questions (the media library
        // sees the source's picture, so its streams are not asked for); the
        // second: nothing more.
        EXPECT_EQ(readFile(calls).count('\n'), 4) << run;
    }
}

// A FIFO or a device named as the profile is refused as a missing one is,
// at once; a hand-off the stand-in parent cannot write is reported by it.
TEST(CordaneRun, WhatCannotBeReadOrHandedOverIsReportedAtOnce)
{
    QTemporaryDir dir;
    const QString app = cordaneInstallation(dir.filePath("app"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(app + "/default_setting/fifo.ini").constData(), 0600), 0);
    ASSERT_TRUE(QFile::link("/dev/zero", app + "/default_setting/zero.ini"));
    const QString clip = sharedClip("cordane clip.mp4", 3);
    for (const QString profile :
         {"default_setting\\fifo.ini", "default_setting\\zero.ini", "default_setting\\gone.ini"}) {
        QElapsedTimer took;
        took.start();
        const StubRun run = runStub(app, {"--profile", profile, clip, dir.filePath("o.mp4")});
        RecordProperty(("ms_" + profile.section('\\', 1)).toStdString(), int(took.elapsed()));
        EXPECT_EQ(run.ripResult, u"Convert Error!") << run.output.toStdString();
        EXPECT_TRUE(run.output.contains("that ProfilePath names in")) << run.output.toStdString();
        EXPECT_TRUE(run.output.contains(profile.section('\\', 1).toUtf8()))
            << run.output.toStdString();
    }

    // A folder in lnh.ini's place.
    QFile::remove(app + "/lnh.ini");
    QDir(app).mkdir("lnh.ini");
    const StubRun broken = runStub(app, {clip, dir.filePath("o.mp4")});
    EXPECT_EQ(broken.exitCode, 2);
    EXPECT_TRUE(broken.output.contains("Unable to write to")) << broken.output.toStdString();
}

TEST(CordaneRun, ANameThatLooksLikeACommandIsJustAName)
{
    QTemporaryDir dir;
    const QString app = cordaneInstallation(dir.filePath("app"));
    const QString input = dir.filePath("a $(touch PWNED) b.mp4");
    QFile::copy(sharedClip("cordane clip.mp4", 3), input);
    const StubRun run = runStub(app, {input, dir.filePath("out `touch PWNED`.mp4")});
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath("out `touch PWNED`.mp4")));
    QDirIterator it(dir.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        EXPECT_NE(QFileInfo(it.next()).fileName(), u"PWNED");
}

// A hand-off file cannot carry a line break: the name arrives without it, names
// no file, and the job fails without running anything else.
TEST(CordaneRun, ANameWithALineBreakCannotReachTheEncoder)
{
    QTemporaryDir dir;
    const QString app = cordaneInstallation(dir.filePath("app"));
    const QString input = dir.filePath("two\nlines.mp4");
    QFile::copy(sharedClip("cordane clip.mp4", 3), input);
    // Written without its break, the name would be another file's: the
    // stand-in parent refuses to hand it over, and Cordane never starts.
    writeFile(dir.filePath("twolines.mp4"), "another file");
    const StubRun run = runStub(app, {input, dir.filePath("out.mp4")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.output.contains("TempFile holds a line break")) << run.output.toStdString();
    EXPECT_EQ(run.cordane, 0);
    EXPECT_FALSE(QFile::exists(dir.filePath("out.mp4")));
}

TEST(CordaneRun, AMissingHandOffFileEndsWithAMessageAndTheErrorResult)
{
    QTemporaryDir dir;
    const QString app = cordaneInstallation(dir.filePath("app"));
    QProcess cordane;
    cordane.setProcessEnvironment(childEnvironment());
    cordane.setProcessChannelMode(QProcess::MergedChannels);
    cordane.start(app + "/Cordane", {});
    ASSERT_TRUE(cordane.waitForFinished(20000));
    EXPECT_EQ(cordane.exitCode(), 0);
    EXPECT_TRUE(cordane.readAll().contains("Can not read input file name."));
    const orm::IniFile ini(app + "/lnh.ini");
    EXPECT_EQ(ini.readString(u"ExternApp", u"RipResult", {}), u"Convert Error!");
}

TEST(CordaneRun, AParentThatNeverAnswersDoesNotHoldCordane)
{
    QTemporaryDir dir;
    const QString app = cordaneInstallation(dir.filePath("app"));
    const qint64 parent = 700000 + (getpid() % 100000);
    writeFile(app + "/lnh.ini", "[ExternApp]\nParent=" + QByteArray::number(parent) +
                                    "\nTempFile=" + dir.filePath("missing.mp4").toUtf8() +
                                    "\nOutputFile=" + dir.filePath("o.mp4").toUtf8() + "\n");
    // A listener that takes the notice and never answers.
    const QString path = cordane::ParentSocketPath(parent);
    ::unlink(path.toLocal8Bit().constData());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.toLocal8Bit().constData(), sizeof addr.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    ::listen(fd, 1);

    QProcess cordane;
    cordane.setProcessEnvironment(childEnvironment());
    QElapsedTimer timer;
    timer.start();
    cordane.start(app + "/Cordane", {});
    EXPECT_TRUE(cordane.waitForFinished(20000));
    EXPECT_LT(timer.elapsed(), 15000);
    ::close(fd);
    ::unlink(path.toLocal8Bit().constData());
}

TEST(CordaneRun, OutputsAreCheckedAndExistingNamesKept)
{
    QTemporaryDir dir;
    const QString app = cordaneInstallation(dir.filePath("app"));
    const EnvScope tempFolder("TMPDIR", dir.path()); // where the failure log goes
    const QString clip = sharedClip("cordane clip.mp4", 3);
    // The parent names a file that exists: it is kept, the new one goes beside it.
    writeFile(dir.filePath("out.mp4"), "the user's own file");
    const StubRun kept = runStub(app, {clip, dir.filePath("out.mp4")});
    EXPECT_EQ(kept.ripResult, u"Convert Complete!") << kept.output.toStdString();
    EXPECT_EQ(kept.ripOutputFile, dir.filePath("out (2).mp4"));
    EXPECT_EQ(readFile(dir.filePath("out.mp4")), "the user's own file");
    EXPECT_EQ(probe(dir.filePath("out (2).mp4")).videoCodec(), u"h264");

    // A first command that fails quietly, then one that succeeds.
    writeFile(app + "/default_setting/Transcoding_iPod.ini",
              "[Item0]\nEXT=mp4\n"
              "Command=<%AppPath%>cores/avcore.dll -v quiet -y -i \"<%InputFile%>.gone\" "
              "\"<%OutputFile%>.mp4\"\n"
              "Command2=<%AppPath%>cores/avcore.dll -v quiet -y -i \"<%InputFile%>\" "
              "-frames:v 1 -f image2 \"<%OutputFile%>.jpg\"\n"
              "[Item1]\nEXT=mp4\n"
              "Command=<%AppPath%>cores/avcore.dll -v quiet -y -i \"<%InputFile%>\" -t 1 "
              "\"<%OutputFile%>.mp4\"\n");
    QDir(dir.filePath("o")).mkpath(".");
    const StubRun failed = runStub(app, {clip, dir.filePath("o/first.mp4")});
    EXPECT_EQ(failed.ripResult, u"Convert Error!") << failed.output.toStdString();
    // An output a sixth as long as its source.
    const StubRun cut = runStub(
        app, {"--preset", "Item1", sharedClip("cordane long.mp4", 6), dir.filePath("o/cut.mp4")});
    EXPECT_EQ(cut.ripResult, u"Convert Error!") << cut.output.toStdString();
    EXPECT_TRUE(cut.output.contains("The output is 1 s long, the source 6 s."))
        << cut.output.toStdString();
    EXPECT_EQ(QDir(dir.filePath("o")).entryList(QDir::Files | QDir::Hidden), QStringList());
}

namespace {

// A preset that runs the test encoder from the installation's cores folder.
void useTestEncoder(const QString &app, const QByteArray &options)
{
    QFile::remove(app + "/cores/avcore.dll");
    QFile::copy(QStringLiteral(ORM_TEST_ENCODER), app + "/cores/avcore.dll");
    writeFile(app + "/default_setting/test.ini",
              "[Info]\nTitleE=Test\n[Item0]\nCommand=<%AppPath%>cores/avcore.dll -y -i "
              "\"<%InputFile%>\" " +
                  options + " \"<%OutputFile%>\"\n");
}

// The stand-in parent started on its own, for a test that acts while it runs.
std::unique_ptr<QProcess> startStub(const QString &app, const QStringList &arguments)
{
    auto stub = std::make_unique<QProcess>();
    stub->setProcessEnvironment(childEnvironment());
    stub->setProcessChannelMode(QProcess::MergedChannels);
    stub->start(app + "/lanthorn-stub",
                QStringList{"--profile", "default_setting\\test.ini"} + arguments);
    return stub;
}

StubRun finish(QProcess &stub)
{
    StubRun run;
    if (!stub.waitForFinished(60000))
        stub.kill();
    stub.waitForFinished();
    run.output = stub.readAll();
    run.exitCode = stub.exitStatus() == QProcess::NormalExit ? stub.exitCode() : -1;
    for (const QByteArray &line : run.output.split('\n')) {
        if (line.startsWith("RipResult="))
            run.ripResult = QString::fromUtf8(line.mid(10));
        if (line.startsWith("notices="))
            run.notices = line.mid(8).toInt();
    }
    return run;
}

int closedWithoutNotice(const StubRun &run)
{
    for (const QByteArray &line : run.output.split('\n'))
        if (line.startsWith("closed="))
            return line.mid(7).toInt();
    return -1;
}

// The Cordane process of an installation.
qint64 cordaneProcess(const QString &app)
{
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs)) {
        if (QFileInfo("/proc/" + pid + "/exe").symLinkTarget() == app + "/Cordane")
            return pid.toLongLong();
    }
    return 0;
}

// A shell still running a script of that Cordane process.
bool scriptRunning(qint64 cordane)
{
    const QByteArray folder = "/jobs-" + QByteArray::number(cordane) + "-";
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs)) {
        const QByteArray cmdline = readFile("/proc/" + pid + "/cmdline");
        if (cmdline.contains(folder) && cmdline.contains("/~ConvertCore.bat") &&
            readFile("/proc/" + pid + "/stat").split(' ').value(2) != "Z")
            return true;
    }
    return false;
}

// The job records that name a program file of the installation.
int jobRecordsOf(const QString &app)
{
    const QString folder = QString::fromStdString(orm::platform::jobRecordFolder());
    int count = 0;
    for (const QString &name : QDir(folder).entryList(QDir::Files))
        count += readFile(folder + "/" + name).contains(("program=" + app + "/").toUtf8());
    return count;
}

} // namespace

// Two Cordanes convert at once and one is stopped: the other's encoder runs on
// and its job completes.
TEST(CordaneRun, StoppingOneLeavesAnotherProgramsEncoderRunning)
{
    QTemporaryDir dir;
    const QString stopped = cordaneInstallation(dir.filePath("stopped"));
    const QString other = cordaneInstallation(dir.filePath("other"));
    useTestEncoder(stopped, "--duration=60 --steps=600 --interval-ms=100 --hang");
    useTestEncoder(other, "--duration=5 --steps=50 --interval-ms=100 --copy-input");
    const QString clip = sharedClip("cordane clip.mp4", 3);
    auto stubStopped = startStub(stopped, {clip, dir.filePath("stopped.mp4")});
    auto stubOther = startStub(other, {clip, dir.filePath("other.mp4")});
    ASSERT_TRUE(waitFor(
        [&] { return encoderRunning(stopped + "/cores") && encoderRunning(other + "/cores"); }));

    ASSERT_GT(cordaneProcess(stopped), 0);
    ::kill(pid_t(cordaneProcess(stopped)), SIGTERM);
    const StubRun stoppedRun = finish(*stubStopped);
    EXPECT_EQ(stoppedRun.ripResult, u"Convert Error!") << stoppedRun.output.toStdString();
    EXPECT_EQ(stoppedRun.notices, 1);
    EXPECT_FALSE(encoderRunning(stopped + "/cores"));
    EXPECT_TRUE(encoderRunning(other + "/cores")) << "the other program's encoder was stopped";

    const StubRun otherRun = finish(*stubOther);
    EXPECT_EQ(otherRun.exitCode, 0) << otherRun.output.toStdString();
    EXPECT_EQ(otherRun.ripResult, u"Convert Complete!");
    EXPECT_EQ(otherRun.notices, 1);
}

// SIGKILL is the one end Cordane cannot report: the parent sees the connection
// close, the job's processes end with Cordane, the unfinished output has only
// its private name, and the next start of either program removes it and the
// script that run left.
TEST(CordaneRun, KilledOutrightItsJobEndsAndTheNextStartCleansUp)
{
    QTemporaryDir dir;
    const QString app = cordaneInstallation(dir.filePath("app"));
    useTestEncoder(app, "--duration=60 --steps=600 --interval-ms=100 --grandchild-hang");
    auto stub = startStub(app, {sharedClip("cordane clip.mp4", 3), dir.filePath("out.mp4")});
    const auto outputs = [&] {
        return QDir(dir.path()).entryList({"out*", ".orm-*"}, QDir::Files | QDir::Hidden);
    };
    // The job's record is written once it has started, the output once the
    // encoder has opened it: kill only then, or there is nothing to clean up.
    ASSERT_TRUE(waitFor([&] {
        return encoderRunning(app + "/cores") && jobRecordsOf(app) == 1 && !outputs().isEmpty();
    }));

    const qint64 cordane = cordaneProcess(app);
    const QString jobFolder = jobFolderOf(cordane);
    ASSERT_FALSE(jobFolder.isEmpty());
    ::kill(pid_t(cordane), SIGKILL);
    QElapsedTimer killed;
    killed.start();
    waitFor([&] { return !encoderRunning(app + "/cores") && !scriptRunning(cordane); }, 1000);
    EXPECT_FALSE(encoderRunning(app + "/cores")) << "after " << killed.elapsed() << " ms";
    EXPECT_FALSE(scriptRunning(cordane));
    const StubRun run = finish(*stub);
    EXPECT_EQ(run.notices, 0);
    EXPECT_EQ(closedWithoutNotice(run), 1) << run.output.toStdString();
    EXPECT_TRUE(QFile::exists(jobFolder + "/~ConvertCore.bat"));
    EXPECT_EQ(jobRecordsOf(app), 1);
    ASSERT_EQ(outputs().size(), 1);
    EXPECT_TRUE(outputs()[0].startsWith(".orm-" + QString::number(cordane) + "-"))
        << outputs()[0].toStdString();

    // The next start, here with nothing to convert, clears what the killed run left.
    writeFile(app + "/lnh.ini", "[ExternApp]\nParent=0\n");
    QProcess next;
    next.setProcessEnvironment(childEnvironment());
    next.setProcessChannelMode(QProcess::MergedChannels);
    next.start(app + "/Cordane", {});
    ASSERT_TRUE(next.waitForFinished(20000));
    EXPECT_FALSE(QFileInfo::exists(jobFolder)) << next.readAll().toStdString();
    EXPECT_EQ(jobRecordsOf(app), 0);
    EXPECT_EQ(outputs(), QStringList());
}
