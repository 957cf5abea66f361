#include "shared/batchscript.h"
#include "shared/userfolders.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace orm;
using namespace ormtest;

namespace {

// A program folder, the user's folders, and the variables pointing at them.
struct Folders {
    QTemporaryDir root;
    QString program = root.filePath("program");
    QString config = root.filePath("config");
    QString runtime = root.filePath("runtime");
    EnvScope configScope{"XDG_CONFIG_HOME", config};
    EnvScope runtimeScope{"XDG_RUNTIME_DIR", runtime};
    EnvScope tempScope{"TMPDIR", root.filePath("tmp")};
    Folders()
    {
        for (const QString &f : {program, runtime, root.filePath("tmp")})
            QDir().mkpath(f);
    }
    void markInstalled() { writeFile(program + "/installed.txt", "installed\n"); }
    QStringList programFiles() const
    {
        return QDir(program).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    }
};

} // namespace

TEST(UserFolders, AWritableProgramFolderKeepsSettingsBesideTheProgram)
{
    Folders f;
    const UserFolders here(f.program);
    EXPECT_TRUE(here.isPortable());
    EXPECT_EQ(here.settingsFile(u"vuzu.ini"), f.program + "/vuzu.ini");
    // Scripts never: two programs of one folder would run each other's.
    EXPECT_EQ(here.scriptFile(u"~ConvertCore.bat"),
              UserFolders::jobFilesFolder() + "/~ConvertCore.bat");
    // The hand-off file: beside the program when there (or nowhere), else the user's.
    EXPECT_EQ(here.handOffFile(u"lnh.ini"), f.program + "/lnh.ini");
    EXPECT_FALSE(QFileInfo::exists(f.config)) << "a portable copy made the user's folder";
    writeFile(f.config + "/ormolux/lnh.ini", "[ExternApp]\n");
    EXPECT_EQ(here.handOffFile(u"lnh.ini"), f.config + "/ormolux/lnh.ini");
    writeFile(f.program + "/lnh.ini", "[ExternApp]\n");
    EXPECT_EQ(here.handOffFile(u"lnh.ini"), f.program + "/lnh.ini");
}

TEST(UserFolders, AnInstalledCopyWritesIntoTheUsersFolders)
{
    Folders f;
    f.markInstalled();
    const UserFolders installed(f.program);
    EXPECT_FALSE(installed.isPortable());
    EXPECT_EQ(installed.settingsFile(u"vuzu.ini"), f.config + "/ormolux/vuzu.ini");
    EXPECT_TRUE(QFileInfo(f.config + "/ormolux").isDir()) << "settings folder not made";
    const QString script = installed.scriptFile(u"~ConvertCore.bat");
    const QString own = UserFolders::jobFilesFolder();
    EXPECT_TRUE(own.startsWith(f.runtime + "/ormolux/jobs-" + QString::number(::getpid()) + "-"))
        << own.toStdString();
    EXPECT_EQ(script, own + "/~ConvertCore.bat");
    EXPECT_EQ(QFile::permissions(f.runtime + "/ormolux") & 0x0077, 0)
        << "the script folder is open to others";
    EXPECT_EQ(installed.handOffFile(u"lnh.ini"), f.config + "/ormolux/lnh.ini");
    writeFile(f.program + "/lnh.ini", "[ExternApp]\n");
    EXPECT_EQ(installed.handOffFile(u"lnh.ini"), f.program + "/lnh.ini");

    // A relative XDG_CONFIG_HOME is ignored, as the base directory rules say.
    const EnvScope relative("XDG_CONFIG_HOME", "relative/config");
    const EnvScope home("HOME", f.root.filePath("home"));
    EXPECT_EQ(installed.settingsFile(u"vuzu.ini"),
              f.root.filePath("home/.config/ormolux/vuzu.ini"));

    // The scripts of one job go to the runtime folder and leave with the job.
    writeFile(f.program + "/p.ini",
              "[Item0]\nCommand=<%AppPath%>/cores/avcore.dll -i <%InputFile%>\n");
    writeFile(f.program + "/cores/DirectShow.avs", "DirectShowSource(\"<%InputFile%>\")\n");
    const QStringList before = f.programFiles();
    ScriptJob job;
    job.programFolder = f.program;
    job.profileFile = f.program + "/p.ini";
    job.section = "Item0";
    job.values.AppPath = f.program;
    job.values.InputFile = "/in/clip.avi";
    job.aviSynthRoute = true;
    EXPECT_EQ(WriteJobScripts(job), script);
    EXPECT_EQ(
        readFile(script),
        ("set -e\n" + f.program + "/cores/avcore.dll -i " + own + "/DirectShow.avs\n").toUtf8());
    EXPECT_EQ(f.programFiles(), before) << "a script was written beside an installed program";
    DeleteTempFiles(f.program);
    EXPECT_FALSE(QFileInfo::exists(script));
    EXPECT_FALSE(QFileInfo::exists(own + "/DirectShow.avs"));
}

// A crashed process's job files go at the next start; a running process's
// stay, and a folder whose id now names a later process is the dead one's.
TEST(UserFolders, JobFilesOfProcessesThatAreGoneAreRemoved)
{
    Folders f;
    const QString own = UserFolders::jobFilesFolder();
    writeFile(own + "/~ConvertCore.bat", "mine");
    const QString runtime = UserFolders::runtimeFolder();
    const QString reused = runtime + "/jobs-" + QString::number(::getpid()) + "-1";
    const QString gone = runtime + "/jobs-999999999-5";
    for (const QString &folder : {reused, gone})
        writeFile(folder + "/~ConvertCore.bat", "a crashed run's");
    writeFile(runtime + "/jobs-notes/keep.txt", "not a job folder");
    EXPECT_EQ(UserFolders::removeLeftoverJobFiles(), 2);
    EXPECT_FALSE(QFileInfo::exists(reused));
    EXPECT_FALSE(QFileInfo::exists(gone));
    EXPECT_EQ(readFile(own + "/~ConvertCore.bat"), "mine");
    EXPECT_TRUE(QFileInfo::exists(runtime + "/jobs-notes/keep.txt"));
    QFile::remove(own + "/~ConvertCore.bat");
}

TEST(UserFolders, TheTemporaryFolderStandsInForTheRuntimeFolderButNeverAStrangersFolder)
{
    Folders f;
    const QString own = f.root.filePath("tmp/ormolux-") + QString::number(::geteuid());
    {
        const EnvScope unset("XDG_RUNTIME_DIR", "");
        EXPECT_EQ(UserFolders::runtimeFolder(), own);
        EXPECT_EQ(QFile::permissions(own) & 0x0077, 0);
    }
    {
        const EnvScope relative("XDG_RUNTIME_DIR", "run/user");
        EXPECT_EQ(UserFolders::runtimeFolder(), own);
    }
    // A link or a folder others may write under our name is passed over.
    QDir(own).removeRecursively();
    QDir().mkpath(f.root.filePath("elsewhere"));
    ASSERT_TRUE(QFile::link(f.root.filePath("elsewhere"), own));
    const EnvScope unset("XDG_RUNTIME_DIR", "");
    const QString chosen = UserFolders::runtimeFolder();
    EXPECT_NE(chosen, own);
    EXPECT_TRUE(QFileInfo(chosen).isDir() && !QFileInfo(chosen).isSymLink());
    QFile::remove(own);
    QDir().mkdir(own);
    QFile::setPermissions(own, QFile::permissions(own) | QFile::WriteGroup | QFile::WriteOther);
    EXPECT_NE(UserFolders::runtimeFolder(), own);
}

TEST(UserFolders, AFolderTheUserCannotWriteIsNotPortable)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes every folder; the installed test runs this as another user";
    Folders f;
    QFile::setPermissions(f.program, QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_FALSE(UserFolders(f.program).isPortable());
    EXPECT_EQ(UserFolders(f.program).settingsFile(u"vuzu.ini"), f.config + "/ormolux/vuzu.ini");
    QFile::setPermissions(f.program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
