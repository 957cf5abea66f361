#include "sourceclips.h"

#include "support/testfiles.h"
#include "testclips.h"

#include <gtest/gtest.h>

namespace ormtest {

QString sourceClip(const QString &name, const QStringList &encoderArguments)
{
    const QString clip = stageDir() + "/../test-media/sources-" + name;
    const auto made = orm::testclips::MakeClipOnce(stageDir() + "/cores/avcore.dll", clip,
                                                   {.codec = encoderArguments});
    EXPECT_TRUE(made.ok) << name.toStdString() << ": " << made.messages.toStdString();
    return clip;
}

QString h264AacMp4()
{
    return sourceClip("h264.mp4", orm::testclips::h264Aac());
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
