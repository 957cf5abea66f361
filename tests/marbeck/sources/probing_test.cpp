// The MediaInfo binding and probing: real clips from the staged encoder,
// files no encoder made, and odd names.
#include "shared/error.h"
#include "shared/utilfuncs.h"
#include "sourceclips.h"
#include "sources/mediainfodll.h"
#include "sources/sourcelist.h"
#include "sources/sourcelistmodel.h"
#include "sources/tfileitem.h"
#include "support/media.h"
#include "support/scriptedinteraction.h"
#include "support/testfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/stat.h>

using namespace marbeck;
using namespace ormtest;

namespace {

const QStringList kAllTypes = {"Video=*.mp4;*.avi;*.mkv;*.3gp;*.wmv;*.mp3"};

} // namespace

TEST(MediaInfoBinding, AMissingLibraryNamesThePackageInsteadOfFailingLater)
{
    const MediaInfoLibrary missing("libmediainfo-not-installed.so.0");
    ASSERT_FALSE(missing.isLoaded());
    ASSERT_TRUE(missing.loadError().has_value());
    EXPECT_TRUE(missing.loadError()->contains("libmediainfo0v5"))
        << missing.loadError()->toStdString();
    EXPECT_TRUE(missing.loadError()->contains("libmediainfo-not-installed.so.0"));
    EXPECT_TRUE(missing.option("Complete", "").isEmpty());

    const QString clip = h264AacMp4();
    try {
        ProbeFile(clip, missing);
        ADD_FAILURE() << "probing without the library must not return a record";
    } catch (const orm::Error &e) {
        EXPECT_EQ(e.text(), *missing.loadError());
    }
}

TEST(MediaInfoBinding, AModuleWithoutAnEntryPointIsRefusedByName)
{
    const MediaInfoLibrary partial(ORM_FAKE_MEDIAINFO_NODELETE);
    ASSERT_FALSE(partial.isLoaded());
    EXPECT_TRUE(partial.loadError()->contains("MediaInfoA_Delete"));
    EXPECT_TRUE(partial.loadError()->contains("libmediainfo0v5"));
    EXPECT_EQ(loadError(), std::nullopt); // the installed library is complete
}

TEST(MediaInfoBinding, EveryHandleIsClosedThenDeleted)
{
    struct Counts {
        int created, opened, closed, deleted, closedBeforeDelete;
    };
    const MediaInfoLibrary fake(ORM_FAKE_MEDIAINFO);
    ASSERT_TRUE(fake.isLoaded()) << fake.loadError()->toStdString();
    void *module = dlopen(ORM_FAKE_MEDIAINFO, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(module, nullptr);
    const auto counts = reinterpret_cast<const Counts *(*)()>(dlsym(module, "FakeCounts"))();
    const auto lastOption = reinterpret_cast<const char *(*)()>(dlsym(module, "FakeLastOption"));

    for (const QString path : {"/v/a.avi", "/v/b c.avi", "/v/ü.avi"}) {
        const TFileItem item = ProbeFile(path, fake);
        EXPECT_EQ(item.CompleteName, path);
        EXPECT_EQ(item.FileName, orm::ExtractFileName(path));
        EXPECT_EQ(item.FileSize, "");
    }
    {
        const MediaInfoFile file("/v/report.avi", fake);
        EXPECT_EQ(file.inform(), "General\nFormat : fake\n");
        fake.option("Complete", "");
        EXPECT_STREQ(lastOption(), "Complete=");
    }
    EXPECT_EQ(counts->created, 4);
    EXPECT_EQ(counts->opened, 4);
    EXPECT_EQ(counts->closed, 4);
    EXPECT_EQ(counts->deleted, 4);
    EXPECT_EQ(counts->closedBeforeDelete, 4);
    dlclose(module);
}

TEST(Probing, RealClipsShowWhatTheyHold)
{
    struct Case {
        QString file;
        QString format, videoCodec, audioCodec, audioCount, videoCount;
    };
    const Case cases[] = {
        {h264AacMp4(), "MPEG-4", "AVC", "AAC LC", "1", "1"},
        {mpeg4Mp3Avi(), "AVI", "MPEG-4 Visual", "MPEG Audio", "1", "1"},
        {h264VorbisMkv(), "Matroska", "AVC", "Vorbis", "1", "1"},
        {h263Aac3gp(), "MPEG-4", "H.263", "AAC LC", "1", "1"},
        {wmv2Wma(), "Windows Media", "WMV2", "WMA", "1", "1"},
        {mp3Audio(), "MPEG Audio", "", "MPEG Audio", "1", ""},
        {videoOnlyMp4(), "MPEG-4", "AVC", "", "", "1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        const TFileItem item = ProbeFile(c.file);
        const Probe p = probe(c.file); // an independent reader of the same file

        EXPECT_EQ(item.FileName, QFileInfo(c.file).fileName());
        EXPECT_EQ(item.Directory, QFileInfo(c.file).path() + "/");
        EXPECT_EQ(item.CompleteName, c.file);
        EXPECT_EQ(item.FileSize, QString::number(QFileInfo(c.file).size()));
        EXPECT_FALSE(item.FileSizeText.isEmpty());
        EXPECT_TRUE(item.FileSizeText.contains("KiB") || item.FileSizeText.contains("Bytes"))
            << item.FileSizeText.toStdString();
        EXPECT_EQ(item.Format, c.format);
        EXPECT_TRUE(item.PlayTime.startsWith("1 s")) << item.PlayTime.toStdString();
        EXPECT_EQ(item.AudioCount, c.audioCount);
        EXPECT_EQ(item.VideoCount, c.videoCount);
        EXPECT_EQ(item.VideoCodec, c.videoCodec);
        EXPECT_EQ(item.AudioCodec, c.audioCodec);
        if (c.videoCodec.isEmpty()) {
            for (const QString *field : {&item.Width, &item.Height, &item.VideoBitRate,
                                         &item.AspectRatio, &item.FrameRate})
                EXPECT_TRUE(field->isEmpty()) << field->toStdString();
        } else {
            EXPECT_EQ(item.Width, QString::number(p.frameSize().width()));
            EXPECT_EQ(item.Height, QString::number(p.frameSize().height()));
            EXPECT_TRUE(item.VideoBitRate.endsWith("b/s")) << item.VideoBitRate.toStdString();
            EXPECT_EQ(item.AspectRatio, "4:3");
            EXPECT_TRUE(item.FrameRate.startsWith("25")) << item.FrameRate.toStdString();
        }
        if (c.audioCodec.isEmpty()) {
            for (const QString *field : {&item.AudioBitRate, &item.Channels, &item.SamplingRate})
                EXPECT_TRUE(field->isEmpty()) << field->toStdString();
        } else {
            EXPECT_TRUE(item.AudioBitRate.endsWith("b/s")) << item.AudioBitRate.toStdString();
            const int channels = p.audio["channels"].toInt();
            EXPECT_TRUE(item.Channels.startsWith(QString::number(channels)))
                << item.Channels.toStdString();
            EXPECT_TRUE(item.SamplingRate.endsWith("Hz")) << item.SamplingRate.toStdString();
        }
    }
}

TEST(Probing, FilesNoEncoderMadeAreListedWithWhatTheLibrarySays)
{
    QTemporaryDir dir;
    const QString zero = dir.filePath("empty.avi");
    const QString text = dir.filePath("notes.mp4");
    const QString truncated = dir.filePath("truncated.mp4");
    writeFile(zero, {});
    const QByteArray words = "This is not a film, only a few words.\n";
    writeFile(text, words);
    writeFile(truncated, readFile(h264AacMp4()).left(2048));

    ScriptedScope script;
    SourceListModel list;
    QElapsedTimer clock;
    clock.start();
    for (const QString &file : {zero, text, truncated})
        EXPECT_EQ(AddFile(list, file, kAllTypes), AddResult::Added) << file.toStdString();
    EXPECT_LT(clock.elapsed(), 20000);
    EXPECT_TRUE(script->asked.isEmpty());
    ASSERT_EQ(list.count(), 3);

    EXPECT_EQ(list.item(0).FileSize, "0");
    EXPECT_EQ(list.item(0).Format, "");
    EXPECT_EQ(list.item(0).VideoCodec, "");
    EXPECT_EQ(list.item(1).FileSize, QString::number(words.size()));
    EXPECT_EQ(list.item(1).Format, "");
    EXPECT_EQ(list.item(2).FileSize, "2048");
    EXPECT_EQ(list.item(2).Format, "MPEG-4"); // the header is there, the rest is not
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(list.item(row).CompleteName, QStringList({zero, text, truncated}).at(row));
        EXPECT_EQ(list.item(row).AudioCodec, "");
    }
}

TEST(Probing, OddNamesReachTheLibraryUnchanged)
{
    QTemporaryDir dir;
    const QByteArray clip = readFile(h264AacMp4());
    const QStringList names = {"with  two spaces.mp4",    "it's \"quoted\".mp4",
                               "$HOME and $(id).mp4",     "Ünïcödé clip – 日本.mp4",
                               "-starts with a dash.mp4", "semi;colon & amp.mp4"};
    ScriptedScope script;
    SourceListModel list;
    for (const QString &name : names) {
        const QString path = dir.filePath(name);
        writeFile(path, clip);
        EXPECT_EQ(AddFile(list, path, kAllTypes), AddResult::Added) << name.toStdString();
    }
    EXPECT_TRUE(script->asked.isEmpty());
    ASSERT_EQ(list.count(), names.size());
    for (int row = 0; row < list.count(); ++row) {
        SCOPED_TRACE(names.at(row).toStdString());
        EXPECT_EQ(list.item(row).FileName, names.at(row));
        EXPECT_EQ(list.item(row).CompleteName, dir.filePath(names.at(row)));
        EXPECT_EQ(list.item(row).VideoCodec, "AVC");
        EXPECT_EQ(list.item(row).FileSize, QString::number(clip.size()));
    }
}

TEST(Probing, ThingsThatAreNotFilesAreSkippedWithoutOpeningThem)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe.mp4"); // opening it would wait for a writer
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const QString folder = dir.filePath("folder.mp4");
    QDir().mkpath(folder);
    const QString dangling = dir.filePath("gone.mp4");
    QFile::link(dir.filePath("nothing-here.mp4"), dangling);

    ScriptedScope script;
    SourceListModel list;
    for (const QString &path : {fifo, folder, dangling, dir.filePath("never-made.mp4")})
        EXPECT_EQ(AddFile(list, path, kAllTypes), AddResult::Missing) << path.toStdString();
    EXPECT_EQ(list.count(), 0);
    EXPECT_TRUE(script->asked.isEmpty());
}
