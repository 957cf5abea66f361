#include "sourceclips.h"

#include "shared/utilfuncs.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace ormtest {

QString sourceClip(const QString &name, const QStringList &encoderArguments)
{
    const QString folder = stageDir() + "/../test-media";
    const QString clip = folder + "/sources-" + name;
    if (QFileInfo::exists(clip))
        return clip;
    QDir().mkpath(folder);
    // Made under a temporary name and renamed, so that tests running in
    // parallel never see half a file.
    const QString partial =
        folder + "/partial-" + orm::RandomDigits(8) + "." + QFileInfo(name).suffix();
    QStringList arguments = {"-y",
                             "-v",
                             "error",
                             "-f",
                             "lavfi",
                             "-i",
                             "testsrc2=size=320x240:rate=25",
                             "-f",
                             "lavfi",
                             "-i",
                             "sine=frequency=440:sample_rate=44100",
                             "-t",
                             "1"};
    arguments << encoderArguments << partial;
    const ProcessResult r = runProcess(stageDir() + "/cores/avcore.dll", arguments);
    EXPECT_EQ(r.exitCode, 0) << name.toStdString() << ": " << r.output.toStdString();
    QFile::rename(partial, clip);
    return clip;
}

QString h264AacMp4()
{
    return sourceClip("h264.mp4", {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p",
                                   "-c:a", "aac", "-ac", "2"});
}

QString mpeg4Mp3Avi()
{
    return sourceClip("mpeg4.avi", {"-c:v", "mpeg4", "-c:a", "libmp3lame", "-ac", "2"});
}

QString h264VorbisMkv()
{
    return sourceClip("h264.mkv", {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p",
                                   "-c:a", "libvorbis", "-ac", "2"});
}

QString h263Aac3gp()
{
    return sourceClip("h263.3gp",
                      {"-s", "176x144", "-c:v", "h263", "-c:a", "aac", "-ar", "8000", "-ac", "1"});
}

QString wmv2Wma()
{
    return sourceClip("wmv2.wmv", {"-c:v", "wmv2", "-c:a", "wmav2", "-ac", "2"});
}

QString mp3Audio()
{
    return sourceClip("tone.mp3", {"-vn", "-c:a", "libmp3lame", "-ac", "2"});
}

QString videoOnlyMp4()
{
    return sourceClip("silent.mp4",
                      {"-an", "-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p"});
}

} // namespace ormtest
