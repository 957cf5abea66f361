// Every shipped preset converts a real clip with the staged encoder into a
// file its device plays.
#include "presetrun.h"
#include "profiles/profilecatalogue.h"
#include "shared/commandtemplate.h"
#include "shared/ini.h"
#include "shared/utilfuncs.h"
#include "support/media.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace ormtest;

namespace {

struct PresetCase {
    QString file;
    QString section;
};

void PrintTo(const PresetCase &c, std::ostream *os)
{
    *os << c.file.toStdString() << " [" << c.section.toStdString() << "]";
}

std::vector<PresetCase> shippedPresets()
{
    std::vector<PresetCase> cases;
    const QDir folder(QStringLiteral(ORM_DATA_DIR) + "/default_setting");
    for (const QString &file : folder.entryList({"*.ini"}, QDir::Files, QDir::Name)) {
        for (const auto &preset : marbeck::LoadProfileItems(folder.filePath(file)).presets)
            cases.push_back({file, preset.Section});
    }
    return cases;
}

class ShippedPreset : public testing::TestWithParam<PresetCase> {};

} // namespace

TEST_P(ShippedPreset, ConvertsAClipIntoAPlayableFile)
{
    const PresetCase &preset = GetParam();
    const orm::IniFile profile(dataDir() + "/default_setting/" + preset.file);
    const QString title = profile.readString(u"Info", u"TitleE", {});
    const QString ext = profile.readString(preset.section, u"EXT", {});
    // The name checks that every preset quotes its paths.
    const QString input = sharedClip("clip 'one' $x.mp4", 2);
    QTemporaryDir out;

    const ProcessResult run = runPreset(profile, preset.section, input, out);
    ASSERT_EQ(run.exitCode, 0) << run.output.right(3000).toStdString();
    EXPECT_TRUE(run.output.contains("  Duration: "));
    EXPECT_TRUE(run.output.contains(" time="));

    QStringList outputs = QDir(out.path()).entryList(QDir::Files);
    QString main;
    for (const QString &name : outputs) {
        if (name.endsWith("." + ext, Qt::CaseInsensitive))
            main = out.filePath(name);
    }
    ASSERT_FALSE(main.isEmpty()) << "no ." << ext.toStdString() << " among "
                                 << outputs.join(", ").toStdString();
    const Probe p = probe(main);
    const QString videoCodec = p.videoCodec();
    const QString audioCodec = p.audioCodec();
    const QSize size = p.frameSize();
    SCOPED_TRACE((title + " / " + profile.readString(preset.section, u"TitleE", {}) + ": " +
                  videoCodec + " " + QString::number(size.width()) + "x" +
                  QString::number(size.height()) + " " + audioCodec)
                     .toStdString());

    switch (marbeck::ClassifyProfile(title)) {
    case marbeck::Format3GP: {
        EXPECT_TRUE(p.brand().startsWith("3g")) << p.brand().toStdString();
        EXPECT_EQ(audioCodec, u"aac");
        EXPECT_TRUE(videoCodec == u"h263" || videoCodec == u"mpeg4" || videoCodec == u"h264");
        if (videoCodec == u"h263") {
            const QList<QSize> h263Sizes = {{128, 96}, {176, 144}, {352, 288}};
            EXPECT_TRUE(h263Sizes.contains(size));
        }
        EXPECT_LE(size.width(), 640);
        break;
    }
    case marbeck::FormatiPod:
        EXPECT_EQ(videoCodec, u"h264");
        EXPECT_TRUE(p.video["profile"].toString().contains("Baseline"));
        EXPECT_LE(p.video["level"].toInt(), 30);
        EXPECT_LE(size.width(), 640);
        EXPECT_LE(size.height(), 480);
        EXPECT_EQ(audioCodec, u"aac");
        break;
    case marbeck::FormatPSP: {
        const QString name = QFileInfo(main).fileName();
        EXPECT_TRUE(name.startsWith("MAQ") || name.startsWith("M4V")) << name.toStdString();
        EXPECT_TRUE(videoCodec == u"h264" || videoCodec == u"mpeg4");
        if (videoCodec == u"h264") {
            EXPECT_EQ(p.video["profile"].toString(), u"Main");
            EXPECT_LE(p.video["level"].toInt(), 30);
        }
        EXPECT_TRUE(size == QSize(320, 240) || size == QSize(480, 272));
        EXPECT_EQ(audioCodec, u"aac");
        EXPECT_EQ(p.audio["sample_rate"].toString(), u"48000");
        const QString thumbnail = orm::RemoveFileExt(main) + ".THM";
        ASSERT_TRUE(QFileInfo::exists(thumbnail)) << "no thumbnail";
        const Probe t = probe(thumbnail);
        EXPECT_EQ(t.video["codec_name"].toString(), u"mjpeg");
        EXPECT_EQ(t.frameSize(), QSize(160, 120));
        break;
    }
    case marbeck::FormatOther: {
        // Each profile's codecs, picture (none: sound only) and sound.
        static const std::map<QString, std::pair<QString, QString>> kCodecs = {
            {"AAC_Audio.ini", {"", "aac"}},    {"FLAC_Audio.ini", {"", "flac"}},
            {"MP3_Audio.ini", {"", "mp3"}},    {"Opus_Audio.ini", {"", "opus"}},
            {"MP4_H264.ini", {"h264", "aac"}}, {"Phone_Tablet_H264.ini", {"h264", "aac"}},
            {"MP4_HEVC.ini", {"hevc", "aac"}}, {"WebM_VP9.ini", {"vp9", "opus"}},
            {"WebM_AV1.ini", {"av1", "opus"}}};
        const auto codecs = kCodecs.find(preset.file);
        ASSERT_NE(codecs, kCodecs.end()) << "no codecs listed for the profile";
        EXPECT_EQ(videoCodec, codecs->second.first);
        EXPECT_EQ(audioCodec, codecs->second.second);
        // Apple's players take HEVC only under this tag.
        if (videoCodec == u"hevc") {
            EXPECT_EQ(p.video["codec_tag_string"].toString(), u"hvc1");
        }
        // The 640x360 source is never made larger.
        if (!p.video.isEmpty()) {
            EXPECT_LE(size.width(), 640);
        }
        break;
    }
    }
    if (!p.video.isEmpty()) {
        EXPECT_EQ(size.width() % 2, 0);
        EXPECT_EQ(size.height() % 2, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Data, ShippedPreset, testing::ValuesIn(shippedPresets()),
                         [](const testing::TestParamInfo<PresetCase> &info) {
                             QString name =
                                 info.param.file.section('.', 0, 0) + "_" + info.param.section;
                             name.replace(QRegularExpression("[^A-Za-z0-9_]"), "_");
                             return name.toStdString();
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ShippedPreset);

namespace {

// The file a shipped profile's first preset makes of `input` in `out`;
// empty, with the failure reported, when it made none.
QString convertedByItem0(const char *file, const QString &input, const QTemporaryDir &out)
{
    const orm::IniFile profile(dataDir() + "/default_setting/" + file);
    const ProcessResult run = runPreset(profile, "Item0", input, out);
    if (run.exitCode != 0) {
        ADD_FAILURE() << run.output.right(3000).toStdString();
        return {};
    }
    const QString ext = profile.readString(u"Item0", u"EXT", {});
    const QStringList made = QDir(out.path()).entryList({"*." + ext}, QDir::Files);
    if (made.size() != 1) {
        ADD_FAILURE() << made.size() << " outputs";
        return {};
    }
    return out.filePath(made.first());
}

enum class Late { Sound, Picture };

// A 3 s clip in `dir` whose sound or picture starts half a second after the
// other; empty, with the failure reported, when it could not be made.
QString clipWithLateStart(const QTemporaryDir &dir, Late late)
{
    const auto input = [late](Late stream, const QString &graph) {
        QStringList arguments;
        if (stream == late)
            arguments << "-itsoffset"
                      << "0.5";
        return arguments << "-f"
                         << "lavfi"
                         << "-i" << graph + (stream == late ? "2.5" : "3");
    };
    const QString path = dir.filePath(late == Late::Sound ? "late sound.mp4" : "late picture.mkv");
    const ProcessResult made = runProcess(
        stageDir() + "/cores/avcore.dll",
        QStringList{"-v", "error"} + input(Late::Picture, "testsrc2=s=320x240:d=") +
            input(Late::Sound, "sine=d=") + QStringList{"-c:v", "libx264", "-c:a", "aac", path});
    if (made.exitCode != 0) {
        ADD_FAILURE() << made.output.right(3000).toStdString();
        return {};
    }
    return path;
}

// Two device MP4s, and WebM, which has no edit lists.
const char *const kStartOffsetProfiles[] = {"3GPP_Phone.ini", "PSP_320x240.ini", "WebM_VP9.ini"};

} // namespace

// A source whose sound starts half a second after its picture keeps the gap as
// silence at the start of the sound, not in an edit list that phones, iPods
// and the PSP skip: both streams start at 0, and the sound decoded from its
// first sample, edit lists ignored, is silent for its first half second.
TEST(ShippedPreset, SoundThatStartsLateIsPaddedWithSilence)
{
    QTemporaryDir dir;
    const QString encoder = stageDir() + "/cores/avcore.dll";
    const QString input = clipWithLateStart(dir, Late::Sound);
    ASSERT_FALSE(input.isEmpty());
    for (const char *file : kStartOffsetProfiles) {
        SCOPED_TRACE(file);
        QTemporaryDir out;
        const QString output = convertedByItem0(file, input, out);
        ASSERT_FALSE(output.isEmpty());
        const bool webm = output.endsWith(u".webm");
        const Probe p = probe(output);
        EXPECT_NEAR(p.video["start_time"].toString().toDouble(), 0, 0.03);
        EXPECT_NEAR(p.audio["start_time"].toString().toDouble(), 0, 0.03);
        QStringList decode = {"-nostdin"};
        if (!webm)
            decode << "-ignore_editlist"
                   << "1";
        decode << "-i" << output << "-map"
               << "0:a"
               << "-af"
               << "silencedetect=n=-40dB:d=0.1"
               << "-f"
               << "null"
               << "-";
        const QString log = QString::fromUtf8(runProcess(encoder, decode).output);
        const auto start = QRegularExpression("silence_start: (\\S+)").match(log);
        const auto end = QRegularExpression("silence_end: (\\S+)").match(log);
        ASSERT_TRUE(start.hasMatch() && end.hasMatch()) << log.right(3000).toStdString();
        EXPECT_NEAR(start.captured(1).toDouble(), 0, 0.03);
        EXPECT_NEAR(end.captured(1).toDouble(), 0.5, 0.1);
    }
}

// A source whose picture starts half a second after its sound: a device's
// MP4 holds the first picture from 0 (read without edit lists, the picture
// starts at 0 and still lasts to the end); WebM, which has no edit lists,
// shows its first picture when the source does.
TEST(ShippedPreset, PictureThatStartsLateIsHeldNotShifted)
{
    QTemporaryDir dir;
    const QString input = clipWithLateStart(dir, Late::Picture);
    ASSERT_FALSE(input.isEmpty());
    for (const char *file : kStartOffsetProfiles) {
        SCOPED_TRACE(file);
        QTemporaryDir out;
        const QString output = convertedByItem0(file, input, out);
        ASSERT_FALSE(output.isEmpty());
        const bool webm = output.endsWith(u".webm");
        const auto times = [&](const char *stream) {
            QList<double> t;
            for (const QByteArray &line :
                 runProcess("ffprobe",
                            {"-v", "error", "-ignore_editlist", "1", "-select_streams", stream,
                             "-show_entries", "packet=pts_time", "-of", "csv=p=0", output})
                     .output.split('\n'))
                if (!line.trimmed().isEmpty())
                    t << line.toDouble();
            std::sort(t.begin(), t.end());
            return t;
        };
        const QList<double> picture = times("v:0");
        const QList<double> sound = times("a:0");
        ASSERT_FALSE(picture.isEmpty() || sound.isEmpty());
        EXPECT_NEAR(sound.first(), 0, 0.03);
        EXPECT_NEAR(picture.first(), webm ? 0.5 : 0, 0.1);
        EXPECT_GT(picture.last(), 2.8);
    }
}

namespace ormtest {

ProcessResult runPreset(const orm::IniFile &profile, const QString &section, const QString &input,
                        const QTemporaryDir &out)
{
    orm::PlaceholderValues v;
    v.AppPath = orm::ExcludeBackslash(stageDir());
    v.OutputPath = orm::IncludeBackslash(out.path());
    v.OutputFile = v.OutputPath + orm::ExtractFileName(input);
    v.TemporaryFile = v.OutputPath + orm::RandomDigits(5);
    v.RandomNumber3 = orm::RandomDigits(3);
    v.RandomNumber5 = orm::RandomDigits(5);
    v.InputFile = input;
    const auto lines = orm::ExpandPreset(profile, section, v);
    if (!lines)
        return {-1, lines.error().toUtf8()};
    const QString script = out.filePath("~ConvertCore.bat");
    writeFile(script, lines->join('\n').toUtf8() + '\n');
    const ProcessResult run = runProcess("/bin/sh", {script}, stageDir(), 300000);
    QFile::remove(script);
    return run;
}

} // namespace ormtest
