// The output check with real media: what each broken output is told apart
// by, the private names a job writes and the free names it publishes, what a
// failed job leaves, and the source's way to the trash.
#include "lang/marbeckmessages.h"
#include "shared/conversionjob.h"
#include "shared/outputcheck.h"
#include "support/media.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

#include <memory>

using namespace orm;
using namespace ormtest;

namespace {

QString english(OutputMessage key)
{
    return marbeck::outputText(key);
}

QString encode(const QString &source, const QStringList &options, const QString &output)
{
    QStringList args{"-v", "error", "-y", "-i", source};
    args << options << output;
    // The encoder under its own name: tests that stop a batch end every
    // "avcore.dll" of the user, and this one is not theirs.
    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
    const ProcessResult r =
        runProcess(ffmpeg.isEmpty() ? stageDir() + "/cores/avcore.dll" : ffmpeg, args);
    EXPECT_EQ(r.exitCode, 0) << r.output.toStdString();
    return output;
}

std::string text(const std::optional<QString> &problem)
{
    return problem ? problem->toStdString() : std::string("(whole)");
}

} // namespace

TEST(OutputCheck, EachBrokenOutputIsToldApartAndAWholeOnePasses)
{
    QTemporaryDir dir;
    const QString clip = sharedClip("verify clip.mp4", 6, {320, 240});
    const MediaFacts source = ProbeMedia(clip);
    ASSERT_TRUE(source.readable && source.video && source.audio);
    ASSERT_NEAR(double(source.durationMs.value_or(0)), 6000.0, 200.0);
    const auto check = [&](const QString &path, bool video = true, bool audio = true) {
        return CheckOutput({path, video, audio, {}}, source, english);
    };

    const QString whole = dir.filePath("whole.mp4");
    QFile::copy(clip, whole);
    EXPECT_EQ(check(whole), std::nullopt) << text(check(whole));
    const QString thumbnail =
        encode(clip, {"-frames:v", "1", "-f", "image2"}, dir.filePath("thumb.THM"));
    EXPECT_EQ(check(thumbnail, true, false), std::nullopt) << text(check(thumbnail, true, false));

    EXPECT_EQ(check(dir.filePath("gone.mp4")),
              "The output file \"" + dir.filePath("gone.mp4") + "\" is missing.");
    writeFile(dir.filePath("empty.mp4"), {});
    EXPECT_EQ(check(dir.filePath("empty.mp4")),
              "The output file \"" + dir.filePath("empty.mp4") + "\" is empty.");
    // What "Stop now" or a full disk leaves: the first half of a file.
    const QByteArray bytes = readFile(clip);
    writeFile(dir.filePath("half.mp4"), bytes.left(bytes.size() / 2));
    EXPECT_NE(check(dir.filePath("half.mp4")), std::nullopt);
    writeFile(dir.filePath("noise.mp4"), QByteArray(4096, 'x'));
    EXPECT_NE(check(dir.filePath("noise.mp4")), std::nullopt);
    const QString sound = encode(clip, {"-vn", "-c:a", "aac"}, dir.filePath("sound.m4a"));
    EXPECT_EQ(check(sound), "The output file \"" + sound + "\" has no video.");
    EXPECT_EQ(check(sound, false, true), std::nullopt) << text(check(sound, false, true));
    const QString cut = encode(clip, {"-t", "2"}, dir.filePath("cut.mp4"));
    EXPECT_EQ(check(cut), u"The output is 2 s long, the source 6 s.");
    // Without a known source duration the length is not judged.
    EXPECT_EQ(CheckOutput({cut, true, true, {}}, MediaFacts{true, true, true, false, {}}, english),
              std::nullopt);

    // The reason is read in the user's language.
    marbeck::messages().LoadLanguage(dataDir() + "/Skins/tools/lang/deutsch.ini");
    EXPECT_EQ(check(cut), u"Die Ausgabe ist 2 s lang, die Quelle 6 s.");
    marbeck::messages().resetToEnglish();
}

TEST(OutputGuard, OutputsArePrivateUntilPublishedUnderTheNextFreeNames)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("out") + "/";
    QDir().mkpath(out);
    const QString clip = sharedClip("verify clip.mp4", 6, {320, 240});
    const QMap<QString, QByteArray> users{{"clip.mp4", "the user's own clip"},
                                          {"clip (2).mp4", "another one"},
                                          {"MAQ00041.MP4", "an older PSP video"},
                                          {"MAQ00042.THM", "an older thumbnail"}};
    for (auto it = users.begin(); it != users.end(); ++it)
        writeFile(out + it.key(), it.value());
    const auto converted = [](OutputGuard &guard) {
        JobEnd end;
        end.outcome = JobOutcome::Converted;
        return VerifiedJobEnd(guard, end, english);
    };

    PlaceholderValues v;
    v.OutputPath = out;
    v.InputFile = clip;
    v.OutputFile = out + "clip.mp4";
    OutputGuard plain;
    plain.beginCommands({"enc -y -i \"<%InputFile%>\" \"<%OutputFile%>.mp4\""}, "mp4", v);
    // The command writes a hidden name of this process and job, extension last.
    const QString own = v.OutputFile;
    EXPECT_TRUE(QFileInfo(own).fileName().startsWith(".orm-" + QString::number(getpid()) + "-"))
        << own.toStdString();
    EXPECT_TRUE(own.endsWith("-clip (3).mp4")) << own.toStdString();
    ASSERT_EQ(plain.privateFiles(), QStringList{own});
    EXPECT_EQ(plain.shownText("cannot write '" + own + "'"),
              "cannot write '" + out + "clip (3).mp4'");
    // Another program takes the planned name meanwhile: the output takes the
    // next free one, and that file stays as it was.
    QFile::copy(clip, own);
    writeFile(out + "clip (3).mp4", "saved during the job");
    const JobEnd end = converted(plain);
    EXPECT_EQ(end.outcome, JobOutcome::Converted) << end.message.toStdString();
    EXPECT_EQ(end.outputs, QStringList{out + "clip (4).mp4"});
    EXPECT_EQ(readFile(out + "clip (4).mp4"), readFile(clip));
    EXPECT_EQ(readFile(out + "clip (3).mp4"), "saved during the job");
    EXPECT_FALSE(QFileInfo::exists(own));

    // The PSP's pair gets one number at publication, free for both names.
    PlaceholderValues psp;
    psp.OutputPath = out;
    psp.InputFile = clip;
    psp.OutputFile = out + "clip.mp4";
    psp.RandomNumber5 = "00041";
    OutputGuard numbered;
    numbered.beginCommands(
        {"enc -y -i \"<%InputFile%>\" -f psp \"<%OutputPath%>MAQ<%RandomNumber5%>.MP4\"",
         "enc -y -i \"<%InputFile%>\" -an -f image2 <%OutputPath%>MAQ<%RandomNumber5%>.THM"},
        "MP4", psp);
    const QList<ExpectedOutput> outputs = numbered.expectedOutputs();
    ASSERT_EQ(outputs.size(), 2);
    EXPECT_EQ(outputs[0].shownPath, out + "MAQ00043.MP4"); // 41 holds a video, 42 a thumbnail
    EXPECT_FALSE(outputs[1].audio);                        // "-an"
    EXPECT_TRUE(outputs[1].path.startsWith(out + ".orm-")) << outputs[1].path.toStdString();
    QFile::copy(clip, outputs[0].path);
    encode(clip, {"-frames:v", "1", "-f", "image2"}, outputs[1].path);
    writeFile(out + "MAQ00043.MP4", "another PSP video, saved during the job");
    const JobEnd pair = converted(numbered);
    EXPECT_EQ(pair.outputs, (QStringList{out + "MAQ00044.MP4", out + "MAQ00044.THM"}))
        << pair.message.toStdString();
    for (auto it = users.begin(); it != users.end(); ++it)
        EXPECT_EQ(readFile(out + it.key()), it.value()) << it.key().toStdString();
    // A job that wrote nothing at all has failed.
    EXPECT_EQ(OutputGuard().verify(english), english(OutputMessage::MSG_OUTPUT_NONE));
}

TEST(OutputGuard, AFailedOrStoppedJobRemovesItsOwnNamesOnly)
{
    for (const JobOutcome outcome : {JobOutcome::Failed, JobOutcome::Stopped}) {
        QTemporaryDir dir;
        const QString out = dir.path() + "/";
        PlaceholderValues v;
        v.OutputPath = out;
        v.InputFile = "/in/clip.avi";
        v.OutputFile = out + "clip.avi";
        OutputGuard guard;
        guard.beginCommands({"enc -i \"<%InputFile%>\" \"<%OutputFile%>.mp4\""}, "mp4", v);
        // Half an output of the job; files of other programs bearing its name.
        writeFile(guard.privateFiles().value(0), "half a video");
        writeFile(out + "clip.mp4", "another program's clip");
        writeFile(out + "clip.txt", "notes");
        writeFile(out + "clip.mp4.part", "a download");
        JobEnd end;
        end.outcome = outcome;
        VerifiedJobEnd(guard, end, english);
        QStringList left = QDir(out).entryList(QDir::Files | QDir::Hidden);
        left.sort();
        EXPECT_EQ(left, (QStringList{"clip.mp4", "clip.mp4.part", "clip.txt"}));
    }
}

TEST(OutputGuard, StemsAreTheOutputsNamesInTheOutputFolder)
{
    QTemporaryDir dir;
    const QString out = dir.path() + "/";
    const auto guard = [&](const QString &source, const QString &command) {
        PlaceholderValues v;
        v.OutputPath = out;
        v.InputFile = "/in/" + source;
        v.OutputFile = out + source;
        auto g = std::make_unique<OutputGuard>();
        g->beginCommands({command}, "3gp", v);
        return g;
    };
    const QString plain = "enc -i \"<%InputFile%>\" \"<%OutputFile%>.3gp\"";
    EXPECT_EQ(guard("clip.x.avi", plain)->stems(), QStringList{"clip.x"});
    EXPECT_EQ(QDir(guard("clip.x.avi", plain)->folder()), QDir(out));
    // A command that writes outside the output folder names no output there.
    EXPECT_TRUE(guard("other.mp4", "enc -i \"<%InputFile%>\" x.3gp")->stems().isEmpty());
}

TEST(SourceRemoval, ASourceGoesToTheTrashOfTheDesktopWithItsInformation)
{
    QTemporaryDir home;
    const EnvScope homeScope("HOME", home.path());
    const EnvScope dataScope("XDG_DATA_HOME", home.filePath("data"));
    QDir().mkpath(home.filePath("videos"));
    const QString source = home.filePath("videos/holiday 'one'.mp4");
    writeFile(source, "a source");

    EXPECT_EQ(RemoveSource(source), SourceRemoval::Trashed);
    EXPECT_FALSE(QFileInfo::exists(source));
    const QString trash = home.filePath("data/Trash");
    EXPECT_EQ(readFile(trash + "/files/holiday 'one'.mp4"), "a source");
    const QByteArray info = readFile(trash + "/info/holiday 'one'.mp4.trashinfo");
    EXPECT_TRUE(info.startsWith("[Trash Info]")) << info.toStdString();
    EXPECT_TRUE(info.contains("\nDeletionDate=")) << info.toStdString();
    EXPECT_EQ(RemoveSource(source), SourceRemoval::Failed); // nothing left to remove

    // "Path=" is percent-encoded, so that a restore decodes it to the name
    // the source had, "%" sequences and all.
    for (const QString &name : QStringList{"%PATH% 100%.avi", "%41 été.mkv", "it's [1]#2.avi"}) {
        const QString path = home.filePath("videos/" + name);
        writeFile(path, "a source");
        ASSERT_EQ(RemoveSource(path), SourceRemoval::Trashed) << name.toStdString();
        const QByteArray lines = readFile(trash + "/info/" + name + ".trashinfo");
        const qsizetype start = lines.indexOf("\nPath=") + 6;
        const QByteArray value = lines.mid(start, lines.indexOf('\n', start) - start);
        EXPECT_EQ(QString::fromUtf8(QByteArray::fromPercentEncoding(value)), path)
            << value.toStdString();
        EXPECT_FALSE(value.contains(' ')) << value.toStdString();
    }
}

TEST(SourceRemoval, ASourceChangedOrReplacedDuringItsJobStays)
{
    QTemporaryDir home;
    const EnvScope homeScope("HOME", home.path());
    const EnvScope dataScope("XDG_DATA_HOME", home.filePath("data"));
    const QString source = home.filePath("take.mp4");
    const auto begun = [&] {
        writeFile(source, "the first take");
        PlaceholderValues v;
        v.OutputPath = home.path() + "/";
        v.InputFile = source;
        v.OutputFile = home.filePath("take.mp4");
        auto guard = std::make_unique<OutputGuard>();
        guard->beginCommands({"enc -i \"<%InputFile%>\" \"<%OutputFile%>.3gp\""}, "3gp", v);
        return guard;
    };
    // A newer take saved under the same name (a new file renamed over it).
    auto guard = begun();
    writeFile(source + ".new", "a newer take");
    QFile::remove(source);
    QFile::rename(source + ".new", source);
    EXPECT_EQ(guard->removeSource(), SourceRemoval::Changed);
    EXPECT_EQ(readFile(source), "a newer take");
    // The same file written to meanwhile.
    guard = begun();
    QFile file(source);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write(" and more");
    file.close();
    EXPECT_EQ(guard->removeSource(), SourceRemoval::Changed);
    EXPECT_TRUE(QFileInfo::exists(source));
    // The file that was converted goes.
    EXPECT_EQ(begun()->removeSource(), SourceRemoval::Trashed);
    EXPECT_FALSE(QFileInfo::exists(source));
    EXPECT_NE(SourceChangedText(source, english).indexOf("take.mp4"), -1);
}
