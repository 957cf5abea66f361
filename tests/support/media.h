#pragma once
// Real media for tests, made with the staged encoder and probed with ffprobe.
#include <QJsonObject>
#include <QSize>
#include <QString>

namespace ormtest {

// A clip of test pictures and a tone, made once per build and shared by the
// test programs (made under a temporary name and renamed, so parallel tests
// never see half a file).
QString sharedClip(const QString &name, int seconds, QSize size = {640, 360});
// The same with a natural-looking picture (grain, motion, flat areas), whose
// bit rate behaves like filmed video's.
QString sharedNaturalClip(const QString &name, int seconds, QSize size);

struct Probe {
    QJsonObject video, audio, format;
    QString videoCodec() const { return video["codec_name"].toString(); }
    QString audioCodec() const { return audio["codec_name"].toString(); }
    QSize frameSize() const { return {video["width"].toInt(), video["height"].toInt()}; }
    QString brand() const { return format["tags"].toObject()["major_brand"].toString(); }
};
Probe probe(const QString &file);

// A folder laid out like the installation, for tests that write the job
// scripts: cores/avcore.dll (a copy of the staged encoder), the AviSynth
// template and the shipped profiles.
QString makeInstallation(const QString &folder);

} // namespace ormtest
