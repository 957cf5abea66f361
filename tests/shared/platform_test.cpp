#include "platform/childprocess.h"
#include "platform/files.h"
#include "platform/jobrecord.h"
#include "platform/module.h"
#include "platform/pipewait.h"
#include "platform/platform.h"
#include "support/testfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

using namespace orm::platform;
using namespace ormtest;

TEST(Platform, ProgramFolderIsTheFolderOfTheRunningProgram)
{
    const std::string folder = programFolder();
    EXPECT_TRUE(directoryExists(folder));
    EXPECT_TRUE(fileExists(
        folder + "/" + QFileInfo(QString::fromStdString(programPath())).fileName().toStdString()));
    EXPECT_NE(folder.back(), '/');
}

TEST(Platform, DataPathsAreResolvedWithoutRegardToCase)
{
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    writeFile(dir.filePath("Skins/Tools/LANG/English.ini"), "x");
    writeFile(dir.filePath("Skins/Tools/LANG/type_ENGLISH.dat"), "x");

    EXPECT_EQ(resolveCaseInsensitive(root + "/skins/tools/lang/english.ini"),
              root + "/Skins/Tools/LANG/English.ini");
    EXPECT_EQ(resolveCaseInsensitive(root + "/" +
                                     toPlatformSeparators("Skins\\tools\\lang\\type_english.dat")),
              root + "/Skins/Tools/LANG/type_ENGLISH.dat");
    EXPECT_EQ(resolveCaseInsensitive(root + "/Skins/none.ini"), root + "/Skins/none.ini");

    // The exact name wins where both spellings exist.
    writeFile(dir.filePath("Skins/Tools/LANG/english.ini"), "y");
    EXPECT_EQ(resolveCaseInsensitive(root + "/Skins/Tools/LANG/english.ini"),
              root + "/Skins/Tools/LANG/english.ini");
}

TEST(Platform, TextIsUtf8OrWindows1252)
{
    EXPECT_EQ(decodeText("plain"), "plain");
    EXPECT_EQ(decodeText("Caf\xc3\xa9"), "Caf\xc3\xa9");
    EXPECT_EQ(decodeText("Caf\xe9"), "Caf\xc3\xa9");
    EXPECT_EQ(decodeText("\x80"), "\xe2\x82\xac");
    EXPECT_EQ(decodeText("\x81"), "\xc2\x81");
    EXPECT_FALSE(isValidUtf8("\xc0\xaf"));     // overlong
    EXPECT_FALSE(isValidUtf8("\xed\xa0\x80")); // surrogate
    EXPECT_FALSE(isValidUtf8("\xe2\x82"));     // cut short
    EXPECT_TRUE(isValidUtf8("\xf0\x9f\x8e\xac"));
}

TEST(Platform, DocumentsFolderFollowsTheUserDirectories)
{
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    const QByteArray oldDocs = qgetenv("XDG_DOCUMENTS_DIR");
    qunsetenv("XDG_DOCUMENTS_DIR");
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath("cfg").toUtf8());

    EXPECT_EQ(documentsFolder(), home.path().toStdString()); // nothing else exists

    QDir(home.path()).mkpath("Documents");
    EXPECT_EQ(documentsFolder(), home.filePath("Documents").toStdString());

    QDir(home.path()).mkpath("Dokumente");
    writeFile(home.filePath("cfg/user-dirs.dirs"),
              "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
              "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    EXPECT_EQ(documentsFolder(), home.filePath("Dokumente").toStdString());

    qputenv("HOME", oldHome);
    oldConfig.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", oldConfig);
    if (!oldDocs.isNull())
        qputenv("XDG_DOCUMENTS_DIR", oldDocs);
}

TEST(Platform, AModuleOwnsItsLibraryAndNamesWhyItCannotLoad)
{
    std::string error;
    Module math = Module::load("libm.so.6", error);
    ASSERT_TRUE(math.loaded()) << error;
    auto *cosine = reinterpret_cast<double (*)(double)>(math.symbol("cos"));
    ASSERT_NE(cosine, nullptr);
    EXPECT_EQ(cosine(0.0), 1.0);
    EXPECT_EQ(math.symbol("no_such_entry_point"), nullptr);

    Module moved = std::move(math);
    EXPECT_FALSE(math.loaded());
    EXPECT_TRUE(moved.loaded());
    moved.close();
    EXPECT_FALSE(moved.loaded());
    EXPECT_EQ(moved.symbol("cos"), nullptr);

    error.clear();
    const Module missing = Module::load("libno-such-library-here.so.0", error);
    EXPECT_FALSE(missing.loaded());
    EXPECT_NE(error.find("libno-such-library-here.so.0"), std::string::npos) << error;
}

TEST(Platform, AReaderWaitsOnPipesAndIsWokenFromAnotherThread)
{
    int error = 0;
    auto pipe = Pipe::create(error);
    ASSERT_TRUE(pipe);
    prepareReadEnd(pipe->readEnd.get(), 1024 * 1024);
    const WakeEvent wake = WakeEvent::create();
    ASSERT_TRUE(wake.valid());

    WaitItem items[3] = {{pipe->readEnd.get()}, {-1}, {wake.fd()}};
    ASSERT_TRUE(waitReadable(items, 0, error));
    EXPECT_FALSE(items[0].ready || items[1].ready || items[2].ready);
    char buffer[64];
    EXPECT_EQ(readAvailable(pipe->readEnd.get(), buffer, sizeof buffer).status, ReadStatus::Empty);

    ASSERT_EQ(::write(pipe->writeEnd.get(), "hello", 5), 5);
    ASSERT_TRUE(waitReadable(items, -1, error));
    EXPECT_TRUE(items[0].ready);
    EXPECT_FALSE(items[2].ready);
    const ReadResult r = readAvailable(pipe->readEnd.get(), buffer, sizeof buffer);
    EXPECT_EQ(r.status, ReadStatus::Data);
    EXPECT_EQ(std::string(buffer, r.count), "hello");

    std::thread other([&] { wake.signal(); });
    ASSERT_TRUE(waitReadable(items, -1, error));
    other.join();
    EXPECT_TRUE(items[2].ready);
    EXPECT_FALSE(items[0].ready);

    pipe->writeEnd.reset();
    EXPECT_EQ(readAvailable(pipe->readEnd.get(), buffer, sizeof buffer).status, ReadStatus::End);
}

TEST(Platform, CommandLinesAreSplitAsTheShellSplitsThem)
{
    using Words = std::vector<std::string>;
    const struct {
        const char *line;
        Words words;
    } cases[] = {
        {"  ffmpeg  -i\tin.mp4 ", {"ffmpeg", "-i", "in.mp4"}},
        {R"(a "b c" 'd "e"' f"g"h "")", {"a", "b c", "d \"e\"", "fgh", ""}},
        // Inside double quotes only $ ` " \ are escaped; a filter's \, stays.
        {R"("x\"y" "s\,t" 'u\v' w\ z)", {"x\"y", "s\\,t", "u\\v", "w z"}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(orm::platform::SplitCommandLine(c.line), c.words) << c.line;
}

TEST(Platform, JobRecordsLiveInTheRuntimeFolderUntilTheirJobEnds)
{
    QTemporaryDir dir;
    {
        const EnvScope runtime("XDG_RUNTIME_DIR", dir.path());
        EXPECT_EQ(runtimeFolder(), dir.path().toStdString());
        JobRecord record = JobRecord::create(::getpid(), "/some/script.bat");
        ASSERT_FALSE(record.path().empty());
        EXPECT_EQ(record.path().rfind(dir.path().toStdString(), 0), 0u);
        const QByteArray text = readFile(QString::fromStdString(record.path()));
        EXPECT_TRUE(text.contains("script=/some/script.bat\n")) << text.toStdString();
        EXPECT_TRUE(text.contains("program=" + QByteArray::fromStdString(programPath())));
        // This run is still going: its records are not leftovers.
        EXPECT_EQ(endLeftoverJobs(), 0);
        EXPECT_TRUE(fileExists(record.path()));
        JobRecord moved = std::move(record);
        EXPECT_TRUE(record.path().empty());
        const std::string path = moved.path();
        moved.remove();
        EXPECT_FALSE(fileExists(path));
    }
    const EnvScope unset("XDG_RUNTIME_DIR", {});
    EXPECT_FALSE(runtimeFolder().empty());
}

// A crashed run's record ends its job where the leader is still the holder
// it started (the holder program, or a fork of this program file), and never
// a process of another program that leads the recorded group.
TEST(Platform, LeftoverJobsAreEndedOnlyThroughTheirOwnHolder)
{
    QTemporaryDir dir;
    const EnvScope runtime("XDG_RUNTIME_DIR", dir.path());
    writeFile(dir.filePath("job.sh"), "sleep 300\n");
    // Not the test's own streams: a process left behind must fail the test,
    // not hold the test runner's pipe open.
    const Fd null(::open("/dev/null", O_RDWR | O_CLOEXEC));
    const auto start = [&](bool endWithParent) {
        StartRequest request;
        request.commandLine = endWithParent ? dir.filePath("job.sh").toStdString() : "sleep 300";
        request.endWithParent = endWithParent;
        int error = 0;
        ChildProcess child =
            ChildProcess::start(request, null.get(), null.get(), null.get(), error);
        EXPECT_TRUE(child.running()) << error;
        return child;
    };
    // The record as a run that has died left it.
    const auto leftBehind = [](const JobRecord &record) {
        const QString path = QString::fromStdString(record.path());
        QByteArray text = readFile(path);
        const qsizetype at = text.indexOf("owner_start=");
        text.replace(at, text.indexOf('\n', at) - at, "owner_start=0");
        writeFile(path, text);
    };
    const std::string holder = jobHolderPath();
    ASSERT_FALSE(holder.empty());
    for (const std::string &leaderFile : {holder, programPath()}) {
        SCOPED_TRACE(leaderFile);
        setJobHolderPath(leaderFile == holder ? holder : dir.filePath("none").toStdString());
        writeFile(dir.filePath("script.bat"), "x");
        // An unfinished output of the job, and a file it did not make.
        const std::string own = dir.filePath(".orm-1-1-out.mp4").toStdString();
        writeFile(QString::fromStdString(own), "half");
        writeFile(dir.filePath("out.mp4"), "someone else's");
        ChildProcess job = start(true);
        const JobRecord record =
            JobRecord::create(job.pid(), dir.filePath("script.bat").toStdString(), {own});
        ASSERT_FALSE(record.path().empty());
        EXPECT_TRUE(
            readFile(QString::fromStdString(record.path()))
                .contains("leader_program=" + QByteArray::fromStdString(leaderFile) + "\n"));
        leftBehind(record);
        EXPECT_EQ(endLeftoverJobs(), 1);
        for (int i = 0; i < 500 && !job.poll(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(job.poll(), 128 + SIGKILL);
        // The script's shell and its sleep went with the holder.
        for (int i = 0; i < 100 && !processesInGroup(job.pid()).isEmpty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(processesInGroup(job.pid()), QList<int>());
        EXPECT_FALSE(fileExists(dir.filePath("script.bat").toStdString()));
        EXPECT_FALSE(fileExists(own));
        EXPECT_TRUE(fileExists(dir.filePath("out.mp4").toStdString()));
        EXPECT_FALSE(fileExists(record.path()));
    }
    setJobHolderPath({});

    // A record of the other program of this folder is cleaned as well; one
    // of a program elsewhere is not this start's business.
    for (const auto &[program, cleaned] : {std::pair{programFolder() + "/other-program", 1},
                                           std::pair{std::string("/elsewhere/program"), 0}}) {
        const JobRecord record = JobRecord::create(::getpid(), {});
        leftBehind(record);
        const QString path = QString::fromStdString(record.path());
        writeFile(path, readFile(path).replace(
                            "program=" + QByteArray::fromStdString(programPath()) + "\n",
                            "program=" + QByteArray::fromStdString(program) + "\n"));
        EXPECT_EQ(endLeftoverJobs(), cleaned) << program;
        ::unlink(record.path().c_str());
    }

    // Another program's process: its record goes, the process runs on.
    ChildProcess other = start(false);
    const JobRecord record = JobRecord::create(other.pid(), {});
    ASSERT_FALSE(record.path().empty());
    leftBehind(record);
    EXPECT_EQ(endLeftoverJobs(), 1);
    EXPECT_FALSE(fileExists(record.path()));
    // Had it been killed, it would not end by a later SIGTERM.
    ::kill(other.pid(), SIGTERM);
    EXPECT_EQ(other.wait(), 128 + SIGTERM);
}

// Data files are read only when they are regular files under the limit; a
// FIFO, a device or a folder is refused at once, without a read.
TEST(Platform, DataFilesAreReadBounded)
{
    QTemporaryDir dir;
    const std::string fifo = dir.filePath("fifo").toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    writeFile(dir.filePath("big"), QByteArray(2048, 'x'));
    writeFile(dir.filePath("small"), "[S]\nK=v\n");
    const struct {
        std::string path;
        std::optional<ReadRefusal> refusal;
    } cases[] = {
        {dir.filePath("small").toStdString(), std::nullopt},
        {dir.filePath("gone").toStdString(), ReadRefusal::Missing},
        {fifo, ReadRefusal::NotRegular},
        {"/dev/zero", ReadRefusal::NotRegular},
        {dir.path().toStdString(), ReadRefusal::NotRegular},
        {dir.filePath("big").toStdString(), ReadRefusal::TooLarge},
    };
    for (const auto &c : cases) {
        ReadRefusal why{};
        const auto bytes = readRegularFile(c.path, 1024, &why);
        EXPECT_EQ(bytes.has_value(), !c.refusal) << c.path;
        if (c.refusal) {
            EXPECT_EQ(why, *c.refusal) << c.path;
        }
    }
    EXPECT_EQ(readRegularFile(dir.filePath("small").toStdString()), "[S]\nK=v\n");

    // Publishing never replaces a file.
    writeFile(dir.filePath("a"), "mine");
    writeFile(dir.filePath("b"), "theirs");
    EXPECT_EQ(renameNoReplace(dir.filePath("a").toStdString(), dir.filePath("b").toStdString()),
              EEXIST);
    EXPECT_EQ(readFile(dir.filePath("b")), "theirs");
    EXPECT_EQ(renameNoReplace(dir.filePath("a").toStdString(), dir.filePath("c").toStdString()), 0);
    EXPECT_EQ(readFile(dir.filePath("c")), "mine");
}
