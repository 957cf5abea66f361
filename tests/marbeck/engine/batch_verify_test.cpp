// Whole batches whose jobs go wrong in ways the encoder does not report: the
// source is kept, no broken or foreign file is left, and a converted source
// goes to the trash.
#include "batchsetup.h"
#include "settings/globalvars.h"
#include "sources/sourcelistmodel.h"
#include "support/media.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>

#include <gtest/gtest.h>

using namespace marbeck;
using namespace ormtest;

namespace {

QString clip()
{
    return sharedClip("batch clip.mp4", 3, {320, 240});
}

QStringList filesIn(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    names.sort();
    return names;
}

bool askedAbout(BatchSetup &s, const QString &words)
{
    return std::any_of(s.script->asked.begin(), s.script->asked.end(),
                       [&](const Asked &a) { return a.text.contains(words); });
}

} // namespace

TEST(BatchVerify, AFailedJobKeepsItsSourceAndLeavesNothingNew)
{
    {
        // The output folder goes while the encoder writes into it; the encoder
        // still ends with status 0.
        BatchSetup s;
        const QString source = s.addCopy(sharedClip("batch long.mp4", 10, {320, 240}), "long.mp4");
        globals().DeleteFileAfterProcessing = true;
        s.whileRunning([&](TfrmProgress &w) {
            if (w.ProgressBarStatus()->value() < 10)
                return false;
            QDir(s.outFolder).removeRecursively();
            return true;
        });
        s.run(s.slowPreset());
        EXPECT_TRUE(QFileInfo::exists(source));
        EXPECT_EQ(s.driver->queue().counts().failed, 1);
        EXPECT_TRUE(askedAbout(s, "is missing."))
            << (s.script->asked.isEmpty() ? "" : s.script->asked[0].text.toStdString());
        EXPECT_FALSE(QFileInfo::exists(s.dir.filePath("share/Trash/files/long.mp4")));
    }
    {
        // Two commands, the first fails without an error line: the second
        // (a thumbnail) must not make the job look converted.
        BatchSetup s;
        const QString source = s.addCopy(clip(), "two.mp4");
        writeFile(s.appFolder + "/default_setting/two.ini",
                  "[Item0]\nEXT=3gp\n"
                  "Command=<%AppPath%>/cores/avcore.dll -v quiet -y -i \"<%InputFile%>.gone\" "
                  "\"<%OutputFile%>.3gp\"\n"
                  "Command2=<%AppPath%>/cores/avcore.dll -v quiet -y -i \"<%InputFile%>\" "
                  "-frames:v 1 -f image2 \"<%OutputFile%>.jpg\"\n");
        globals().DeleteFileAfterProcessing = true;
        s.run(s.preset("two.ini"));
        EXPECT_TRUE(QFileInfo::exists(source));
        EXPECT_EQ(s.driver->queue().counts().failed, 1);
        EXPECT_EQ(s.driver->queue().counts().done, 0);
        EXPECT_EQ(filesIn(s.outFolder), QStringList());
    }
    {
        // An encoder that writes half a file and exits with status 1, while
        // another program saves files of the source's name beside it.
        BatchSetup s(BatchSetup::Encoder::Test,
                     "--bytes=50000 --exit=1 --steps=20 --interval-ms=100");
        const QString source = s.addCopy(clip(), "half.mp4");
        writeFile(s.outFolder + "/keep.txt", "the user's");
        s.whileRunning([&](TfrmProgress &) {
            writeFile(s.outFolder + "/half.txt", "notes");
            writeFile(s.outFolder + "/half.mkv", "another program's video");
            return true;
        });
        globals().DeleteFileAfterProcessing = true;
        s.run(s.preset("test.ini"));
        EXPECT_TRUE(QFileInfo::exists(source));
        EXPECT_EQ(s.driver->queue().counts().failed, 1);
        EXPECT_EQ(filesIn(s.outFolder), (QStringList{"half.mkv", "half.txt", "keep.txt"}));
    }
    {
        // An encoder that ends well but writes something that is no video.
        BatchSetup s(BatchSetup::Encoder::Test, "--bytes=50000");
        const QString source = s.addCopy(clip(), "noise.mp4");
        globals().DeleteFileAfterProcessing = true;
        s.run(s.preset("test.ini"));
        EXPECT_TRUE(QFileInfo::exists(source));
        EXPECT_EQ(s.driver->queue().counts().failed, 1);
        EXPECT_TRUE(askedAbout(s, "cannot be read as a media file."));
        EXPECT_EQ(filesIn(s.outFolder), QStringList());
    }
}

TEST(BatchVerify, AFullDiskLeavesNoPartialOutput)
{
    BatchSetup s;
    const QString source = s.addCopy(sharedClip("batch long.mp4", 10, {320, 240}), "full.mp4");
    const ProcessResult mounted =
        runProcess("mount", {"-t", "tmpfs", "-o", "size=48k", "tmpfs", s.outFolder});
    if (mounted.exitCode != 0)
        GTEST_SKIP() << "no small file system can be mounted here: "
                     << mounted.output.toStdString();
    globals().DeleteFileAfterProcessing = true;
    s.run(s.preset("3GPP_Phone.ini"));
    const QStringList left = filesIn(s.outFolder);
    runProcess("umount", {s.outFolder});
    EXPECT_TRUE(QFileInfo::exists(source));
    EXPECT_EQ(s.driver->queue().counts().failed, 1);
    EXPECT_EQ(left, QStringList());
}

TEST(BatchVerify, ANameWithALineBreakConvertsNoOtherFile)
{
    BatchSetup s;
    const QString chosen = s.inFolder + "/two\nlines.mp4";
    QFile::copy(clip(), chosen);
    ASSERT_EQ(s.list->AddFile(chosen), AddResult::Added);
    // The media library shows the name with the break replaced ("two / lines.mp4"):
    // a real file under that name must not be the one converted and deleted.
    const QString shown = s.list->sources().item(0).CompleteName;
    if (shown != chosen) {
        QDir().mkpath(QFileInfo(shown).absolutePath());
        QFile::copy(clip(), shown);
    }
    globals().DeleteFileAfterProcessing = true;
    s.run(s.preset("3GPP_Phone.ini"));
    EXPECT_EQ(readFile(shown), readFile(clip()));
    EXPECT_EQ(readFile(chosen), readFile(clip()));
    EXPECT_EQ(s.driver->queue().counts().failed, 1);
    EXPECT_TRUE(askedAbout(s, "line break"));
    EXPECT_EQ(filesIn(s.outFolder), QStringList());
}

TEST(BatchVerify, AnExistingNameIsKeptAndTheConvertedSourceIsInTheTrash)
{
    BatchSetup s;
    const QString source = s.addCopy(clip(), "one.mp4");
    writeFile(s.outFolder + "/one.3gp", "the user's own file");
    writeFile(s.outFolder + "/one (2).3gp", "and another");
    globals().DeleteFileAfterProcessing = true;
    s.run(s.preset("3GPP_Phone.ini"));

    EXPECT_EQ(s.driver->queue().counts().done, 1);
    EXPECT_TRUE(s.rows().isEmpty());
    EXPECT_EQ(readFile(s.outFolder + "/one.3gp"), "the user's own file");
    EXPECT_EQ(readFile(s.outFolder + "/one (2).3gp"), "and another");
    EXPECT_EQ(probe(s.outFolder + "/one (3).3gp").videoCodec(), u"h263");
    EXPECT_FALSE(QFileInfo::exists(source));
    const QString trash = s.dir.filePath("share/Trash");
    EXPECT_EQ(readFile(trash + "/files/one.mp4"), readFile(clip()));
    EXPECT_TRUE(readFile(trash + "/info/one.mp4.trashinfo").contains("Path="));
}

TEST(BatchVerify, ASourceReplacedDuringItsJobIsKept)
{
    BatchSetup s;
    const QString source = s.addCopy(clip(), "take.mp4");
    const QByteArray newer = readFile(sharedClip("batch long.mp4", 10, {320, 240}));
    s.whileRunning([&](TfrmProgress &w) {
        if (w.ProgressBarStatus()->value() < 10)
            return false;
        // A newer take saved under the same name, as an editor saves it.
        writeFile(source + ".new", newer);
        QFile::remove(source);
        QFile::rename(source + ".new", source);
        return true;
    });
    globals().DeleteFileAfterProcessing = true;
    s.run(s.slowPreset());
    EXPECT_EQ(s.driver->queue().counts().done, 1);
    EXPECT_EQ(readFile(source), newer);
    EXPECT_FALSE(QFileInfo::exists(s.dir.filePath("share/Trash/files/take.mp4")));
    EXPECT_TRUE(s.driver->failures().text().contains("was changed or replaced"))
        << s.driver->failures().text().toStdString();
}

TEST(BatchVerify, TheListsProbeStandsForTheSourceOnlyWhileItKeepsItsSize)
{
    // A row that says the clip lasts 100 s: its output of 3 s fails the
    // check, so the job took the row's facts instead of probing again.
    const auto runWithClaimedDuration = [](bool changeSizeAfterAdding) {
        BatchSetup s;
        const QString source = s.addCopy(clip(), "claimed.mp4");
        TFileItem row = s.list->sources().item(0);
        row.Duration = QStringLiteral("100000");
        s.list->sources().clear();
        s.list->sources().append(row);
        if (changeSizeAfterAdding) {
            QFile file(source);
            EXPECT_TRUE(file.open(QIODevice::Append));
            file.write(QByteArray(16, '\0'));
        }
        s.run(s.preset("3GPP_Phone.ini"));
        return s.driver->queue().counts();
    };
    EXPECT_EQ(runWithClaimedDuration(false).failed, 1);
    // The file changed since it was listed: the job probes it and converts.
    EXPECT_EQ(runWithClaimedDuration(true).done, 1);
}
