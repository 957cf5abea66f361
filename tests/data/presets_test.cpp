// Every shipped preset converts a real clip with the staged encoder into a
// file its device plays.
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

    orm::PlaceholderValues v;
    v.AppPath = orm::ExcludeBackslash(stageDir());
    v.OutputPath = orm::IncludeBackslash(out.path());
    v.OutputFile = v.OutputPath + orm::ExtractFileName(input);
    v.TemporaryFile = v.OutputPath + orm::RandomDigits(5);
    v.RandomNumber3 = orm::RandomDigits(3);
    v.RandomNumber5 = orm::RandomDigits(5);
    v.InputFile = input;
    const auto lines = orm::ExpandPreset(profile, preset.section, v);
    ASSERT_TRUE(lines.has_value());
    const QString script = out.filePath("~ConvertCore.bat");
    writeFile(script, lines->join('\n').toUtf8() + '\n');
    const ProcessResult run = runProcess("/bin/sh", {script}, stageDir(), 300000);
    ASSERT_EQ(run.exitCode, 0) << run.output.right(3000).toStdString();
    EXPECT_TRUE(run.output.contains("  Duration: "));
    EXPECT_TRUE(run.output.contains(" time="));
    QFile::remove(script);

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
    case marbeck::FormatOther:
        if (ext == u"mp3") {
            EXPECT_EQ(audioCodec, u"mp3");
            EXPECT_TRUE(p.video.isEmpty());
        } else if (ext == u"webm") {
            EXPECT_EQ(videoCodec, u"vp9");
            EXPECT_EQ(audioCodec, u"opus");
        } else {
            EXPECT_EQ(videoCodec, u"h264");
            EXPECT_EQ(audioCodec, u"aac");
        }
        // The 640x360 source is never made larger.
        if (!p.video.isEmpty()) {
            EXPECT_LE(size.width(), 640);
        }
        break;
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
