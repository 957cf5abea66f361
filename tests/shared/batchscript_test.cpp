#include "shared/batchscript.h"
#include "shared/error.h"
#include "shared/userfolders.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace orm;
using namespace ormtest;

namespace {

struct Installation {
    QTemporaryDir dir;
    QString folder() const { return dir.path(); }
    QString profile;
    Installation()
    {
        profile = dir.filePath("default_setting/p.ini");
        writeFile(profile,
                  "[Item0]\nCommand=<%AppPath%>/cores/avcore.dll -i <%InputFile%> "
                  "<%OutputFile%>.mp4\nCommand2=rm <%TemporaryFile%>\n[Item1]\nTitleE=x\n");
        writeFile(dir.filePath("cores/DirectShow.avs"),
                  "# source\r\nDirectShowSource(\"<%inputfile%>\")\r\nx=\"<%InputFile%>\"\n");
    }
    ScriptJob job(const QString &source, bool avs = false, const QString &section = "Item0") const
    {
        ScriptJob j;
        j.programFolder = folder();
        j.profileFile = profile;
        j.section = section;
        j.values.AppPath = folder();
        j.values.OutputPath = "/video/";
        j.values.OutputFile = "/video/" + source.section('/', -1);
        j.values.TemporaryFile = "/video/04817";
        j.values.InputFile = source;
        j.aviSynthRoute = avs;
        return j;
    }
};

} // namespace

TEST(BatchScript, OneLinePerCommandKeyEachEndedByALineBreak)
{
    Installation inst;
    const QString script = WriteJobScripts(inst.job("/in/clip.avi"));
    EXPECT_EQ(script, orm::UserFolders::jobFilesFolder() + "/~ConvertCore.bat");
    EXPECT_EQ(readFile(script), ("set -e\n" + inst.folder() +
                                 "/cores/avcore.dll -i /in/clip.avi /video/clip.mp4\n"
                                 "rm /video/04817\n")
                                    .toUtf8());
    EXPECT_FALSE(QFileInfo::exists(orm::UserFolders::jobFilesFolder() + "/DirectShow.avs"));

    WriteJobScripts(inst.job("/in/clip.avi", false, "Item1"));
    EXPECT_EQ(readFile(script), "");
}

TEST(BatchScript, TheAviSynthRouteReadsTheSourceThroughTheTemplate)
{
    Installation inst;
    const QString script = WriteJobScripts(inst.job("/in/my clip.avi", true));
    EXPECT_TRUE(
        readFile(script).startsWith(("set -e\n" + inst.folder() + "/cores/avcore.dll -i " +
                                     orm::UserFolders::jobFilesFolder() + "/DirectShow.avs ")
                                        .toUtf8()));
    EXPECT_EQ(readFile(orm::UserFolders::jobFilesFolder() + "/DirectShow.avs"),
              "# source\nDirectShowSource(\"/in/my clip.avi\")\nx=\"/in/my clip.avi\"\n");

    EXPECT_TRUE(TakesAviSynthRoute("/in/movie.rmvb", false, {".rm", ".rmvb"}));
    EXPECT_FALSE(TakesAviSynthRoute("/in/movie.RMVB", false, {".rm", ".rmvb"}));
    EXPECT_FALSE(TakesAviSynthRoute("/in/clip", false, {".rmvb"}));
    EXPECT_TRUE(TakesAviSynthRoute("/in/clip", false, {".rmvb", ""}));
    EXPECT_TRUE(TakesAviSynthRoute("/in/clip.mp4", true, {}));
}

TEST(BatchScript, AMissingTemplateStopsTheJobBeforeAnyScript)
{
    Installation inst;
    QFile::remove(inst.folder() + "/cores/DirectShow.avs");
    EXPECT_THROW(WriteJobScripts(inst.job("/in/clip.avi", true)), Error);
    EXPECT_FALSE(QFileInfo::exists(orm::UserFolders::jobFilesFolder() + "/~ConvertCore.bat"));
}

TEST(BatchScript, ARefusedNameOrAMissingFolderIsAnError)
{
    Installation inst;
    try {
        WriteJobScripts(inst.job("/in/two\nlines.avi"));
        FAIL();
    } catch (const Error &e) {
        EXPECT_TRUE(e.text().contains("line break"));
    }
    // A folder in the script's place cannot be replaced by a file.
    ASSERT_TRUE(QDir(orm::UserFolders::jobFilesFolder()).mkdir("~ConvertCore.bat"));
    EXPECT_THROW(WriteJobScripts(inst.job("/in/clip.avi")), Error);
    QDir(orm::UserFolders::jobFilesFolder()).rmdir("~ConvertCore.bat");
}

TEST(BatchScript, DeletingTheGeneratedFiles)
{
    Installation inst;
    WriteJobScripts(inst.job("/in/clip.avi", true));
    DeleteTempFiles(inst.folder());
    EXPECT_FALSE(QFileInfo::exists(orm::UserFolders::jobFilesFolder() + "/~ConvertCore.bat"));
    EXPECT_FALSE(QFileInfo::exists(orm::UserFolders::jobFilesFolder() + "/DirectShow.avs"));
    DeleteTempFiles(inst.folder()); // nothing left: no error

    // A job of a batch that runs several at once has files of its own.
    ScriptJob second = inst.job("/in/other.avi", true);
    second.slot = 1;
    EXPECT_EQ(WriteJobScripts(second), orm::UserFolders::jobFilesFolder() + "/~ConvertCore-2.bat");
    EXPECT_TRUE(readFile(orm::UserFolders::jobFilesFolder() + "/~ConvertCore-2.bat")
                    .contains("DirectShow-2.avs"));
    EXPECT_TRUE(readFile(orm::UserFolders::jobFilesFolder() + "/DirectShow-2.avs")
                    .contains("/in/other.avi"));
    EXPECT_FALSE(QFileInfo::exists(orm::UserFolders::jobFilesFolder() + "/~ConvertCore.bat"));
    DeleteTempFiles(inst.folder(), 1);
    EXPECT_FALSE(QFileInfo::exists(orm::UserFolders::jobFilesFolder() + "/~ConvertCore-2.bat"));
    EXPECT_FALSE(QFileInfo::exists(orm::UserFolders::jobFilesFolder() + "/DirectShow-2.avs"));
}

TEST(BatchScript, TheFirstFailingCommandEndsTheScriptWithItsStatus)
{
    Installation inst;
    writeFile(inst.profile,
              "[Item0]\nCommand=sh -c \"exit 3\"\nCommand2=touch \"<%OutputFile%>.jpg\"\n"
              "[Item1]\nCommand=true\nCommand2=touch \"<%OutputFile%>.jpg\"\n");
    ScriptJob job = inst.job("/in/clip.avi");
    job.values.OutputFile = inst.folder() + "/clip.avi";
    const ProcessResult failed = runProcess("/bin/sh", {WriteJobScripts(job)});
    EXPECT_EQ(failed.exitCode, 3);
    EXPECT_FALSE(QFileInfo::exists(inst.folder() + "/clip.jpg"));

    job.section = "Item1";
    EXPECT_EQ(runProcess("/bin/sh", {WriteJobScripts(job)}).exitCode, 0);
    EXPECT_TRUE(QFileInfo::exists(inst.folder() + "/clip.jpg"));
}
