#include "devicelimits.h"

#include "ini.h"
#include "mediainfo.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace orm {

namespace {

// The media library's format names in the encoder's words.
QString codecName(const QString &format)
{
    static const QList<std::pair<QString, QString>> names = {
        {"AVC", "h264"},   {"HEVC", "hevc"},     {"MPEG-4 Visual", "mpeg4"},
        {"H.263", "h263"}, {"VP8", "vp8"},       {"VP9", "vp9"},
        {"AV1", "av1"},    {"AAC", "aac"},       {"MPEG Audio", "mp3"},
        {"Opus", "opus"},  {"Vorbis", "vorbis"}, {"FLAC", "flac"},
        {"AMR", "amr_nb"}, {"AC-3", "ac3"}};
    for (const auto &[library, encoder] : names) {
        if (format.compare(library, Qt::CaseInsensitive) == 0)
            return encoder;
    }
    return format.toLower();
}

// "Constrained Baseline@L1.3" gives the profile name and, for H.264, the
// level times ten; "Simple@L3" level 3.
std::pair<QString, int> profileAndLevel(const QString &formatProfile, const QString &codec)
{
    const qsizetype at = formatProfile.indexOf('@');
    const QString profile = at < 0 ? formatProfile : formatProfile.left(at);
    if (at < 0)
        return {profile, -1};
    const auto m = QRegularExpression(QStringLiteral("^L?(\\d+)(?:\\.(\\d))?"))
                       .match(formatProfile.mid(at + 1));
    if (!m.hasMatch())
        return {profile, -1};
    const int major = m.captured(1).toInt();
    const int minor = m.captured(2).toInt();
    return {profile, codec == "h264" || codec == "hevc" ? major * 10 + minor : major};
}

// The decoded picture buffer of each H.264 level, in macroblocks.
int maxDpbMbs(int level)
{
    static const std::pair<int, int> table[] = {
        {10, 396},    {11, 900},    {12, 2376},   {13, 2376},   {20, 2376},
        {21, 4752},   {22, 8100},   {30, 8100},   {31, 18000},  {32, 20480},
        {40, 32768},  {41, 32768},  {42, 34816},  {50, 110400}, {51, 184320},
        {52, 184320}, {60, 696320}, {61, 696320}, {62, 696320}};
    for (const auto &[l, mbs] : table) {
        if (l == level)
            return mbs;
    }
    return 0;
}

QString kbpsText(double kbps)
{
    return QStringLiteral("%1 kbit/s").arg(qRound(kbps));
}

} // namespace

QList<DeviceLimits> ReadDeviceLimits(const QString &path)
{
    const IniFile ini(path);
    QList<DeviceLimits> devices;
    for (const QString &name : ini.sectionNames()) {
        DeviceLimits d;
        d.device = name;
        for (const QString &entry :
             ini.readString(name, u"Presets", {}).split(' ', Qt::SkipEmptyParts)) {
            const qsizetype colon = entry.lastIndexOf(':');
            if (colon > 0)
                d.presets.append({entry.left(colon), entry.mid(colon + 1)});
        }
        d.videoCodec = ini.readString(name, u"VideoCodec", {});
        d.videoProfile = ini.readString(name, u"VideoProfile", {});
        d.level = ini.readInteger(name, u"Level", -1);
        const QStringList size = ini.readString(name, u"MaxSize", {}).split('x');
        if (size.size() == 2)
            d.maxSize = {size[0].toInt(), size[1].toInt()};
        d.maxFrameRate = ini.readString(name, u"MaxFrameRate", {}).toDouble();
        d.maxAverageKbps = ini.readInteger(name, u"MaxAverageKbps", 0);
        d.peakKbps = ini.readInteger(name, u"PeakKbps", 0);
        d.bufferKbit = ini.readInteger(name, u"BufferKbit", 0);
        d.audioCodec = ini.readString(name, u"AudioCodec", {});
        for (const QString &rate :
             ini.readString(name, u"SampleRates", {}).split(' ', Qt::SkipEmptyParts))
            d.sampleRates.append(rate.toInt());
        d.maxChannels = ini.readInteger(name, u"MaxChannels", 2);
        const bool whole = !d.videoCodec.isEmpty() && d.maxSize.isValid() && !d.maxSize.isEmpty() &&
                           d.maxFrameRate > 0 && d.maxAverageKbps > 0 && d.peakKbps > 0 &&
                           d.bufferKbit > 0;
        if (whole)
            devices.append(d);
    }
    return devices;
}

std::optional<DeviceLimits> LimitsOfPreset(const QList<DeviceLimits> &devices,
                                           const QString &profileFile, const QString &section,
                                           const QString &deviceKey)
{
    const QString fileName = QFileInfo(profileFile).fileName();
    for (const DeviceLimits &d : devices) {
        if (!deviceKey.isEmpty()) {
            if (d.device == deviceKey)
                return d;
            continue;
        }
        for (const DeviceLimits::Preset &p : d.presets) {
            if (p.file.compare(fileName, Qt::CaseInsensitive) == 0 && p.section == section)
                return d;
        }
    }
    return std::nullopt;
}

OutputFacts MeasureOutput(const QString &path, const MediaInfoLibrary &library)
{
    OutputFacts facts;
    facts.bytes = QFileInfo(path).size();
    if (!library.isLoaded())
        return facts;
    const MediaInfoFile file(path, library);
    facts.readable = file.openResult() == 1;
    if (!facts.readable)
        return facts;
    facts.seconds = file.get(StreamKind::General, 0, "Duration").toDouble() / 1000;
    const QString video = file.get(StreamKind::Video, 0, "Format");
    if (!video.isEmpty()) {
        facts.videoCodec = codecName(video);
        std::tie(facts.videoProfile, facts.level) =
            profileAndLevel(file.get(StreamKind::Video, 0, "Format_Profile"), facts.videoCodec);
        const QString level = file.get(StreamKind::Video, 0, "Format_Level");
        if (facts.level < 0 && !level.isEmpty())
            facts.level = profileAndLevel("@" + level, facts.videoCodec).second;
        facts.referenceFrames = file.get(StreamKind::Video, 0, "Format_Settings_RefFrames").toInt();
        facts.size = {file.get(StreamKind::Video, 0, "Width").toInt(),
                      file.get(StreamKind::Video, 0, "Height").toInt()};
        facts.frameRate = file.get(StreamKind::Video, 0, "FrameRate").toDouble();
        const double bytes = file.get(StreamKind::Video, 0, "StreamSize").toDouble();
        const double ms = file.get(StreamKind::Video, 0, "Duration").toDouble();
        facts.videoKbps = ms > 0 ? bytes * 8 / ms : 0;
    }
    const QString audio = file.get(StreamKind::Audio, 0, "Format");
    if (!audio.isEmpty()) {
        facts.audioCodec = codecName(audio);
        facts.sampleRate = file.get(StreamKind::Audio, 0, "SamplingRate").toInt();
        facts.channels = file.get(StreamKind::Audio, 0, "Channel(s)").toInt();
    }
    return facts;
}

int MaxH264ReferenceFrames(int level, QSize size)
{
    const int frameMbs = ((size.width() + 15) / 16) * ((size.height() + 15) / 16);
    if (frameMbs <= 0)
        return 0;
    return std::min(maxDpbMbs(level) / frameMbs, 16);
}

QList<LimitCheck> CheckLimits(const DeviceLimits &d, const OutputFacts &f)
{
    QList<LimitCheck> checks;
    checks.append(
        {LimitKind::VideoCodec, d.videoCodec, f.videoCodec, f.videoCodec == d.videoCodec});
    if (!d.videoProfile.isEmpty())
        checks.append({LimitKind::VideoProfile, d.videoProfile, f.videoProfile,
                       f.videoProfile.contains(d.videoProfile, Qt::CaseInsensitive)});
    if (d.level >= 0)
        checks.append({LimitKind::Level, QString::number(d.level), QString::number(f.level),
                       f.level == d.level});
    // The level's picture buffer bounds the reference frames; a decoder
    // built to the level has no room for more.
    if (d.videoCodec == "h264" && d.level >= 0 && f.videoCodec == "h264" && f.referenceFrames > 0) {
        const int most = MaxH264ReferenceFrames(d.level, f.size);
        checks.append({LimitKind::ReferenceFrames, QString::number(most),
                       QString::number(f.referenceFrames), f.referenceFrames <= most});
    }
    const auto sizeText = [](QSize s) {
        return QStringLiteral("%1x%2").arg(s.width()).arg(s.height());
    };
    checks.append({LimitKind::Size, sizeText(d.maxSize), sizeText(f.size),
                   f.size.width() <= d.maxSize.width() && f.size.height() <= d.maxSize.height()});
    checks.append({LimitKind::FrameRate, QString::number(d.maxFrameRate),
                   QString::number(f.frameRate, 'g', 4), f.frameRate <= d.maxFrameRate + 0.01});
    const double allowance = f.seconds > 0 ? 0.9 * d.bufferKbit / f.seconds : 0;
    checks.append({LimitKind::AverageRate, kbpsText(d.maxAverageKbps), kbpsText(f.videoKbps),
                   f.videoKbps <= d.maxAverageKbps + allowance});
    if (!d.audioCodec.isEmpty() && !f.audioCodec.isEmpty()) {
        checks.append(
            {LimitKind::AudioCodec, d.audioCodec, f.audioCodec, f.audioCodec == d.audioCodec});
        QStringList rates;
        for (int rate : d.sampleRates)
            rates << QString::number(rate);
        checks.append({LimitKind::SampleRate, rates.join(' '), QString::number(f.sampleRate),
                       d.sampleRates.contains(f.sampleRate)});
        checks.append({LimitKind::Channels, QString::number(d.maxChannels),
                       QString::number(f.channels), f.channels <= d.maxChannels});
    }
    return checks;
}

} // namespace orm
