#pragma once
// Small real clips of several containers and codecs, made once per build
// with the staged encoder and shared by the source-list tests.
#include <QString>
#include <QStringList>

#include <ostream>

namespace ormtest {

// One second of test pictures (320x240, 25 frames a second) and a tone,
// encoded with the given arguments into a file of the given name.
QString sourceClip(const QString &name, const QStringList &encoderArguments);

QString h264AacMp4();    // MPEG-4: H.264 video, AAC audio
QString mpeg4Mp3Avi();   // AVI: MPEG-4 Part 2 video, MP3 audio
QString h264VorbisMkv(); // Matroska: H.264 video, Vorbis audio
QString h263Aac3gp();    // 3GP: H.263 video (176x144), AAC audio
QString wmv2Wma();       // Windows Media: WMV2 video, WMA audio
QString mp3Audio();      // MP3 audio only
QString videoOnlyMp4();  // H.264 video, no sound

} // namespace ormtest

// Readable failure messages for texts.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
