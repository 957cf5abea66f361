// Every device preset's output of a short natural clip stays within what its
// device plays: codec, declared profile and level, the reference frames the
// level holds, size, frame rate, average bit rate, the bit rate under the
// device's buffer model, and the sound. The device presets also store the
// source's name as the title the device shows.
#include "presetrun.h"
#include "shared/batchscript.h"
#include "shared/devicelimits.h"
#include "shared/error.h"
#include "shared/ini.h"
#include "shared/utilfuncs.h"
#include "support/media.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace ormtest;

namespace {

// The devices' published limits, as the programs ship them.
QList<orm::DeviceLimits> devices()
{
    static const QList<orm::DeviceLimits> read =
        orm::ReadDeviceLimits(dataDir() + "/" + QStringView(orm::kDeviceLimitsFile).toString());
    return read;
}

struct DeviceCase {
    orm::DeviceLimits limits;
    QString file;
    QString section;
};

void PrintTo(const DeviceCase &c, std::ostream *os)
{
    *os << c.file.toStdString() << " [" << c.section.toStdString() << "]";
}

std::vector<DeviceCase> deviceCases()
{
    std::vector<DeviceCase> cases;
    for (const orm::DeviceLimits &d : devices()) {
        for (const orm::DeviceLimits::Preset &p : d.presets)
            cases.push_back({d, p.file, p.section});
    }
    return cases;
}

struct Packet {
    double dts;
    qint64 bytes;
};

std::vector<Packet> videoPackets(const QString &file)
{
    const ProcessResult r =
        runProcess("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                               "packet=dts_time,size", "-of", "json", file});
    std::vector<Packet> packets;
    for (const QJsonValue v : QJsonDocument::fromJson(r.output).object()["packets"].toArray()) {
        const QJsonObject p = v.toObject();
        packets.push_back({p["dts_time"].toString().toDouble(), p["size"].toString().toLongLong()});
    }
    return packets;
}

// The deepest the device's buffer runs below empty, in bits (0: never), when
// it fills at `kbps` up to `bufferKbit` from nine tenths full and each frame
// is taken out at its decoding time.
double bufferShortfall(const std::vector<Packet> &packets, int kbps, int bufferKbit)
{
    const double size = bufferKbit * 1000.0;
    double fullness = size * 0.9;
    double worst = 0;
    for (size_t i = 0; i < packets.size(); ++i) {
        if (i > 0)
            fullness =
                std::min(size, fullness + kbps * 1000.0 * (packets[i].dts - packets[i - 1].dts));
        fullness -= packets[i].bytes * 8.0;
        worst = std::min(worst, fullness);
        fullness = std::max(fullness, 0.0);
    }
    return -worst;
}

double frameRate(const QString &ratio)
{
    const double num = ratio.section('/', 0, 0).toDouble();
    const double den = ratio.section('/', 1, 1).toDouble();
    return den > 0 ? num / den : 0;
}

class DevicePreset : public testing::TestWithParam<DeviceCase> {};

} // namespace

TEST_P(DevicePreset, StaysWithinItsDeviceLimitsAndNamesTheTitle)
{
    const orm::DeviceLimits &d = GetParam().limits;
    const QString section = GetParam().section;
    const QString file = GetParam().file;
    const orm::IniFile profile(dataDir() + "/default_setting/" + file);
    ASSERT_TRUE(profile.sectionNames().contains(section));
    const QString input = sharedNaturalClip("natural 'clip' $x.mp4", 4, {640, 480});
    QTemporaryDir out;

    const ProcessResult run = runPreset(profile, section, input, out);
    ASSERT_EQ(run.exitCode, 0) << run.output.right(3000).toStdString();

    const QString ext = profile.readString(section, u"EXT", {});
    QString main;
    for (const QString &name : QDir(out.path()).entryList(QDir::Files)) {
        if (name.endsWith("." + ext, Qt::CaseInsensitive))
            main = out.filePath(name);
    }
    ASSERT_FALSE(main.isEmpty());
    SCOPED_TRACE(d.device.toStdString());
    const Probe p = probe(main);
    EXPECT_EQ(p.videoCodec(), d.videoCodec);
    EXPECT_TRUE(p.video["profile"].toString().contains(d.videoProfile))
        << p.video["profile"].toString().toStdString();
    const QSize size = p.frameSize();
    if (d.level >= 0) {
        EXPECT_EQ(p.video["level"].toInt(), d.level);
    }
    if (d.videoCodec == "h264" && d.level >= 0) {
        // The stream's references fit the level's picture buffer.
        const ProcessResult refs =
            runProcess("mediainfo", {"--Output=Video;%Format_Settings_RefFrames%", main});
        const int frames = QString::fromUtf8(refs.output).trimmed().toInt();
        EXPECT_GT(frames, 0);
        EXPECT_LE(frames, orm::MaxH264ReferenceFrames(d.level, size));
    }
    EXPECT_LE(size.width(), d.maxSize.width());
    EXPECT_LE(size.height(), d.maxSize.height());
    EXPECT_LE(frameRate(p.video["avg_frame_rate"].toString()), d.maxFrameRate + 0.01);

    const std::vector<Packet> packets = videoPackets(main);
    ASSERT_GT(packets.size(), 10u);
    qint64 bytes = 0;
    for (const Packet &packet : packets)
        bytes += packet.bytes;
    const double seconds = (packets.back().dts - packets.front().dts) * double(packets.size()) /
                           double(packets.size() - 1);
    const double averageKbps = bytes * 8 / seconds / 1000;
    // Over a clip this short the buffer's starting fill counts: the rate is
    // the device's over any longer stretch.
    EXPECT_LE(averageKbps, d.maxAverageKbps + 0.9 * d.bufferKbit / seconds);
    const double shortfall = bufferShortfall(packets, d.peakKbps, d.bufferKbit);
    EXPECT_EQ(shortfall, 0) << "the " << d.peakKbps << " kbit/s, " << d.bufferKbit
                            << " kbit buffer runs " << shortfall / 1000 << " kbit short";

    EXPECT_EQ(p.audioCodec(), d.audioCodec);
    EXPECT_TRUE(d.sampleRates.contains(p.audio["sample_rate"].toString().toInt()))
        << p.audio["sample_rate"].toString().toStdString();
    EXPECT_LE(p.audio["channels"].toInt(), d.maxChannels);

    // The title the device lists. The media library reads the iPod's; the
    // PSP's own title atom (written by the psp muxer, in UTF-16BE) it does
    // not read, so there the bytes are looked for.
    const QString title = QStringLiteral("natural 'clip' $x");
    if (file.contains("iPod")) {
        const ProcessResult info = runProcess("mediainfo", {"--Output=General;%Title%", main});
        EXPECT_EQ(QString::fromUtf8(info.output).trimmed(), title);
    } else if (file.startsWith("PSP")) {
        QByteArray utf16;
        for (const QChar c : title)
            utf16.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xff));
        EXPECT_TRUE(readFile(main).contains(utf16)) << "no title in the PSP's title atom";
    }
}

INSTANTIATE_TEST_SUITE_P(Data, DevicePreset, testing::ValuesIn(deviceCases()),
                         [](const testing::TestParamInfo<DeviceCase> &info) {
                             QString name =
                                 info.param.file.section('.', 0, 0) + "_" + info.param.section;
                             name.replace(QRegularExpression("[^A-Za-z0-9_]"), "_");
                             return name.toStdString();
                         });

// Every device preset of the shipped files has its device's limits; the
// general MP4 and WebM video and the sound profiles have no device.
TEST(DevicePreset, EveryDevicePresetHasLimits)
{
    const QDir folder(dataDir() + "/default_setting");
    for (const QString &file : folder.entryList({"*.ini"}, QDir::Files)) {
        if (file.startsWith("MP4") || file.startsWith("WebM") || file.endsWith("_Audio.ini"))
            continue;
        const orm::IniFile ini(folder.filePath(file));
        for (const QString &section : ini.sectionNames()) {
            if (!section.startsWith("Item"))
                continue;
            bool listed = false;
            for (const DeviceCase &c : deviceCases())
                listed = listed || (file == c.file && section == c.section);
            EXPECT_TRUE(listed) << file.toStdString() << " [" << section.toStdString() << "]";
        }
    }
}

// A source without a picture is refused by every preset that makes video
// before anything runs, with the reason; presets that make sound take it.
TEST(DevicePreset, APictureLessSourceIsRefusedByTheVideoPresetsBeforeEncoding)
{
    QTemporaryDir dir;
    const QString encoder = stageDir() + "/cores/avcore.dll";
    const QString sound = dir.filePath("only sound.m4a");
    const QString withCover = dir.filePath("with cover.mp3");
    const QString silentFilm = dir.filePath("silent film.mp4");
    ASSERT_EQ(
        runProcess(encoder, {"-v", "error", "-f", "lavfi", "-i", "sine=d=1", "-c:a", "aac", sound})
            .exitCode,
        0);
    ASSERT_EQ(runProcess(encoder, {"-v",
                                   "error",
                                   "-f",
                                   "lavfi",
                                   "-i",
                                   "sine=d=1",
                                   "-f",
                                   "lavfi",
                                   "-i",
                                   "color=red:s=64x64:d=1",
                                   "-map",
                                   "0:a",
                                   "-map",
                                   "1:v",
                                   "-frames:v",
                                   "1",
                                   "-c:v",
                                   "mjpeg",
                                   "-disposition:v",
                                   "attached_pic",
                                   withCover})
                  .exitCode,
              0);
    ASSERT_EQ(runProcess(encoder, {"-v", "error", "-f", "lavfi", "-i", "testsrc2=s=320x240:d=1",
                                   "-c:v", "libx264", silentFilm})
                  .exitCode,
              0);
    auto jobFor = [&](const QString &file, const QString &section, const QString &source) {
        orm::ScriptJob job;
        job.programFolder = dir.filePath("program");
        job.profileFile = dataDir() + "/default_setting/" + file;
        job.section = section;
        job.values.AppPath = stageDir();
        job.values.InputFile = source;
        job.values.OutputPath = dir.filePath("out") + "/";
        job.values.OutputFile = job.values.OutputPath + orm::ExtractFileName(source);
        return job;
    };
    QDir(dir.path()).mkpath("program");
    // Every preset that makes video refuses it, whatever the family.
    for (const QString &source : {sound, withCover}) {
        for (const auto &[file, section] :
             {std::pair{"PSP_480x272.ini", "Item0"}, std::pair{"PSP_320x240.ini", "Item0"},
              std::pair{"3GPP_Phone.ini", "Item0"}, std::pair{"3GP2_Phone.ini", "Item0"},
              std::pair{"iPod_Classic.ini", "Item0"}, std::pair{"WebM_VP9.ini", "Item0"},
              std::pair{"MP4_H264.ini", "Item0"}}) {
            const orm::ScriptJob job = jobFor(file, section, source);
            const QString reason = orm::SourceRefusal(job);
            EXPECT_TRUE(reason.contains(orm::ExtractFileName(source)))
                << file << ": " << reason.toStdString();
            EXPECT_THROW(orm::WriteJobScripts(job), orm::Error);
            EXPECT_FALSE(QFileInfo::exists(job.programFolder + "/~ConvertCore.bat"));
        }
        EXPECT_TRUE(orm::SourceRefusal(jobFor("MP3_Audio.ini", "Item0", source)).isEmpty());
    }
    // Pictures without sound get silence, as before.
    EXPECT_TRUE(orm::SourceRefusal(jobFor("PSP_480x272.ini", "Item0", silentFilm)).isEmpty());
    EXPECT_FALSE(QDir(dir.filePath("out")).exists());
}
