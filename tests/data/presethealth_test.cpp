// The preset health check against the staged encoder and against a stand-in
// that lacks one encoder.
#include "shared/ini.h"
#include "shared/presethealth.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ormtest;

namespace {

// Every preset file of the shipped data in one language folder.
std::vector<std::pair<QString, QString>> presetsOf(const QString &folderName)
{
    std::vector<std::pair<QString, QString>> presets;
    const QDir folder(dataDir() + "/" + folderName);
    for (const QString &file : folder.entryList({"*.ini"}, QDir::Files, QDir::Name)) {
        const orm::IniFile ini(folder.filePath(file));
        for (const QString &section : ini.sectionNames()) {
            if (section.startsWith(u"Item"))
                presets.emplace_back(folder.filePath(file), section);
        }
    }
    return presets;
}

int linesIn(const QString &path)
{
    return readFile(path).count('\n');
}

} // namespace

TEST(PresetHealth, ReadsWhatACommandNames)
{
    const orm::CommandNeeds needs = orm::NeedsOfCommand(
        "<%AppPath%>/cores/avcore.dll -y -f lavfi -i \"anullsrc=r=8000,aformat=s16\" -i "
        "\"<%InputFile%>\" -vf \"yadif=deint=interlaced,scale='min(320,iw)':'min(240,ih)',"
        "pad=320:240:(ow-iw)/2:(oh-ih)/2;[a]split[b][c]\" -filter_complex "
        "\"[0:a][1:a]amix=inputs=2[m]\" -c:v libx264 -c:a copy -codec:s mov_text -f ipod "
        "\"<%OutputFile%>.m4v\"");
    EXPECT_EQ(needs.encoders, QStringList({"libx264", "mov_text"}));
    EXPECT_EQ(needs.muxers, QStringList({"ipod"}));
    EXPECT_EQ(needs.filters,
              QStringList({"anullsrc", "aformat", "yadif", "scale", "pad", "split", "amix"}));
    EXPECT_TRUE(needs.makesVideo);
    // A line that is not the encoder's names nothing.
    const orm::CommandNeeds other = orm::NeedsOfCommand("copy -f psp -c:v x");
    EXPECT_TRUE(other.encoders.isEmpty() && other.muxers.isEmpty() && other.filters.isEmpty());
    EXPECT_FALSE(other.makesVideo);
}

TEST(PresetHealth, ACommandMakesVideoWhenItEncodesOrFiltersAPicture)
{
    const QString encoder = "<%AppPath%>/cores/avcore.dll -y -i \"<%InputFile%>\" ";
    for (const auto &[options, video] :
         {std::pair{"-c:v h263 -c:a aac -f 3gp o.3gp", true},
          std::pair{"-vcodec libvpx-vp9 -f webm o.webm", true},
          std::pair{"-codec:v:0 mpeg4 o.3g2", true},
          std::pair{"-an -vf thumbnail -frames:v 1 -f image2 o.thm", true},
          std::pair{"-vn -c:a libmp3lame -f mp3 o.mp3", false},
          std::pair{"-c:a aac -c:v libx264 -vn o.m4a", false},
          std::pair{"-c:v copy -c:a aac o.mp4", false},
          std::pair{"-c:a aac -f ipod o.m4a", false}}) {
        EXPECT_EQ(orm::NeedsOfCommand(encoder + options).makesVideo, video) << options;
    }
    // Options that belong to an input do not make the output's picture.
    EXPECT_FALSE(orm::NeedsOfCommand("<%AppPath%>/cores/avcore.dll -c:v h264 -i in.mkv -vn o.mp3")
                     .makesVideo);
}

TEST(PresetHealth, ARateIsFixedOnlyWhenEveryStreamWrittenNamesOne)
{
    const QString encoder = "<%AppPath%>/cores/avcore.dll -y -i \"<%InputFile%>\" ";
    for (const auto &[options, rate] :
         {std::pair{"-c:v h263 -b:v 44k -maxrate 64k -c:a aac -b:a 32k o.3gp", qint64(76000)},
          std::pair{"-vn -c:a libmp3lame -b:a 128k o.mp3", qint64(128000)},
          std::pair{"-c:v mpeg4 -b:v 1.5M -an o.mp4", qint64(1500000)},
          std::pair{"-c:v libx264 -crf 22 -maxrate 5000k -c:a aac -b:a 160k o.mp4", qint64(0)},
          std::pair{"-c:v libvpx-vp9 -b:v 1M -crf 31 -c:a libopus -b:a 96k o.webm", qint64(0)},
          std::pair{"-vn -c:a libmp3lame -q:a 2 o.mp3", qint64(0)},
          std::pair{"-vn -c:a flac o.flac", qint64(0)},
          std::pair{"-c:v h263 -b:v 44k -c:a aac o.3gp", qint64(0)}, // the encoder's own
          std::pair{"-c:v copy -b:v 44k -an o.mp4", qint64(0)}}) {
        EXPECT_EQ(orm::FixedBitRateOfCommand(encoder + options).value_or(0), rate) << options;
    }
    // A preset's thumbnail is left out; any other command without a rate
    // leaves the preset without one.
    QTemporaryDir dir;
    writeFile(dir.filePath("p.ini"),
              "[Item0]\nCommand=" + (encoder + "-b:v 300k -b:a 64k o.mp4").toUtf8() +
                  "\nCommand2=" + (encoder + "-an -frames:v 1 -q:v 3 o.thm").toUtf8() +
                  "\n[Item1]\nCommand=" + (encoder + "-b:v 300k -b:a 64k o.mp4").toUtf8() +
                  "\nCommand2=" + (encoder + "-c:v libx264 -crf 20 -an o2.mp4").toUtf8() +
                  "\n[Item2]\nTitleE=none\n");
    const orm::IniFile profile(dir.filePath("p.ini"));
    EXPECT_EQ(orm::FixedBitRate(profile, "Item0"), 364000);
    EXPECT_FALSE(orm::FixedBitRate(profile, "Item1"));
    EXPECT_FALSE(orm::FixedBitRate(profile, "Item2"));
}

TEST(PresetHealth, TheStagedEncoderRunsEveryShippedPreset)
{
    QTemporaryDir dir;
    const orm::PresetHealth health(stageDir() + "/cores/avcore.dll", dir.filePath("cache.json"));
    ASSERT_TRUE(health.abilities().known);
    EXPECT_TRUE(health.abilities().encoders.contains("libx264"));
    EXPECT_TRUE(health.abilities().muxers.contains("psp"));
    EXPECT_TRUE(health.abilities().filters.contains("yadif"));
    EXPECT_FALSE(health.abilities().muxers.contains("D."));
    for (const char *language :
         {"default_setting", "default_setting_de", "default_setting_fr", "default_setting_it"}) {
        for (const auto &[file, section] : presetsOf(language)) {
            const QString reason = health.missingFor(orm::IniFile(file), section);
            EXPECT_TRUE(reason.isEmpty()) << file.toStdString() << " [" << section.toStdString()
                                          << "]: " << reason.toStdString();
        }
    }
}

TEST(PresetHealth, AnEncoderWithoutLibx264MarksTheH264PresetsAndIsAskedOnce)
{
    QTemporaryDir dir;
    const QString encoder = dir.filePath("cores/avcore.dll");
    QDir(dir.path()).mkpath("cores");
    const QString calls = dir.filePath("calls");
    const QByteArray script = "#!/bin/sh\necho \"$@\" >> '" + calls.toUtf8() + "'\n'" +
                              (stageDir() + "/cores/avcore.dll").toUtf8() +
                              "' \"$@\" | grep -v ' libx264 '\n";
    writeFile(encoder, script);
    QFile::setPermissions(encoder, QFile::permissions(encoder) | QFile::ExeOwner);
    const QString cache = dir.filePath("cache/abilities.json");

    const orm::PresetHealth health(encoder, cache);
    ASSERT_TRUE(health.abilities().known);
    EXPECT_EQ(linesIn(calls), 3);
    const QString folder = dataDir() + "/default_setting/";
    const QString ipod = health.missingFor(orm::IniFile(folder + "iPod_Classic.ini"), "Item0");
    EXPECT_TRUE(ipod.contains("\"libx264\"")) << ipod.toStdString();
    EXPECT_TRUE(health.missingFor(orm::IniFile(folder + "3GP2_Phone.ini"), "Item0").isEmpty());
    EXPECT_TRUE(health.missingFor(orm::IniFile(folder + "MP3_Audio.ini"), "Item0").isEmpty());
    // The PSP file mixes an MPEG-4 preset with H.264 ones.
    const orm::IniFile psp(folder + "PSP_320x240.ini");
    EXPECT_TRUE(health.missingFor(psp, "Item0").isEmpty());
    EXPECT_FALSE(health.missingFor(psp, "Item1").isEmpty());

    // The same encoder again: the answer comes from the cache.
    const orm::PresetHealth again(encoder, cache);
    EXPECT_EQ(linesIn(calls), 3);
    EXPECT_EQ(again.missingFor(orm::IniFile(folder + "iPod_Classic.ini"), "Item0"), ipod);

    // A changed encoder (another size) is asked again, and now has libx264.
    writeFile(encoder,
              "#!/bin/sh\nexec '" + (stageDir() + "/cores/avcore.dll").toUtf8() + "' \"$@\"\n");
    const orm::PresetHealth changed(encoder, cache);
    EXPECT_TRUE(changed.abilities().encoders.contains("libx264"));
    EXPECT_TRUE(changed.missingFor(orm::IniFile(folder + "iPod_Classic.ini"), "Item0").isEmpty());

    // An encoder that cannot be run marks nothing.
    const orm::PresetHealth missing(dir.filePath("none.dll"), cache);
    EXPECT_FALSE(missing.abilities().known);
    EXPECT_TRUE(missing.missingFor(orm::IniFile(folder + "iPod_Classic.ini"), "Item0").isEmpty());
}
