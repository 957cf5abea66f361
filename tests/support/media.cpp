#include "media.h"

#include "testclips.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

namespace ormtest {

QString sharedClip(const QString &name, int seconds, QSize size)
{
    const QString clip = stageDir() + "/../test-media/" + name;
    const auto made = orm::testclips::MakeClipOnce(
        stageDir() + "/cores/avcore.dll", clip,
        {.size = size, .seconds = seconds, .codec = orm::testclips::h264Aac()});
    EXPECT_TRUE(made.ok) << made.messages.toStdString();
    return clip;
}

QString sharedNaturalClip(const QString &name, int seconds, QSize size)
{
    const QString clip = stageDir() + "/../test-media/" + name;
    const auto made = orm::testclips::MakeClipOnce(
        stageDir() + "/cores/avcore.dll", clip,
        {.size = size,
         .picture = orm::testclips::Picture::Natural,
         .seconds = seconds,
         .codec = {"-c:v", "libx264", "-preset", "veryfast", "-crf", "12", "-pix_fmt", "yuv420p",
                   "-c:a", "aac", "-ac", "2"}});
    EXPECT_TRUE(made.ok) << made.messages.toStdString();
    return clip;
}

Probe probe(const QString &file)
{
    const ProcessResult r = runProcess(
        "ffprobe", {"-v", "error", "-show_streams", "-show_format", "-of", "json", file});
    EXPECT_EQ(r.exitCode, 0) << r.output.toStdString();
    const QJsonObject root = QJsonDocument::fromJson(r.output).object();
    Probe p;
    for (const QJsonValue s : root["streams"].toArray()) {
        const QJsonObject stream = s.toObject();
        if (stream["codec_type"] == "video" && p.video.isEmpty())
            p.video = stream;
        if (stream["codec_type"] == "audio" && p.audio.isEmpty())
            p.audio = stream;
    }
    p.format = root["format"].toObject();
    return p;
}

QString makeInstallation(const QString &folder)
{
    QDir(folder).mkpath("cores");
    QFile::copy(stageDir() + "/cores/avcore.dll", folder + "/cores/avcore.dll");
    QFile::copy(stageDir() + "/cores/DirectShow.avs", folder + "/cores/DirectShow.avs");
    QDir(folder).mkpath("default_setting");
    for (const QString &file : QDir(stageDir() + "/default_setting").entryList(QDir::Files))
        QFile::copy(stageDir() + "/default_setting/" + file, folder + "/default_setting/" + file);
    return folder;
}

} // namespace ormtest
