#include "tfileitem.h"

#include "mediainfodll.h"
#include "shared/utilfuncs.h"

#include <QLocale>

#include <cmath>

namespace marbeck {

const std::array<SourceColumn, kSourceColumnCount> kSourceColumns = {{
    {&TFileItem::FileName, 150},
    {&TFileItem::Format, 210},
    {&TFileItem::PlayTime, 150},
    {&TFileItem::FileSizeText, 100},
    {&TFileItem::VideoCodec, 100},
    {&TFileItem::Width, 100},
    {&TFileItem::Height, 100},
    {&TFileItem::VideoBitRate, 100},
    {&TFileItem::AspectRatio, 100},
    {&TFileItem::FrameRate, 100},
    {&TFileItem::AudioCodec, 100},
    {&TFileItem::AudioBitRate, 100},
    {&TFileItem::Channels, 100},
    {&TFileItem::SamplingRate, 100},
    {&TFileItem::AudioCount, 100},
    {&TFileItem::VideoCount, 100},
    {&TFileItem::CompleteName, 100},
}};

QString TFileItem::path() const
{
    return orm::IncludeBackslash(Directory) + FileName;
}

QString SizeText(qint64 bytes, const QLocale &language)
{
    // The unit the toolkit picks: the largest power of 1024 not above the size.
    int power = 0;
    double value = double(bytes);
    while (value >= 1024 && power < 6) {
        value /= 1024;
        ++power;
    }
    const int decimals = power == 0 ? 0 : value < 9.995 ? 2 : value < 99.95 ? 1 : 0;
    return language.formattedDataSize(bytes, decimals);
}

TFileItem ProbeFile(const QString &path)
{
    return ProbeFile(path, MediaInfoLibrary::shared());
}

TFileItem ProbeFile(const QString &path, const MediaInfoLibrary &library)
{
    TFileItem item;
    item.FileName = orm::ExtractFileName(path);
    item.Directory = orm::ExtractFilePath(path);

    const MediaInfoFile file(path, library);
    const auto general = [&](const char *field) {
        return file.get(StreamKind::General, 0, QString::fromLatin1(field));
    };
    const auto stream = [&](StreamKind kind, const char *field) {
        return file.get(kind, 0, QString::fromLatin1(field));
    };
    const auto codec = [&](StreamKind kind) {
        const QString text = stream(kind, "Codec/String");
        return text.isEmpty() ? stream(kind, "Format/String") : text;
    };

    item.CompleteName = general("CompleteName");
    item.FileSize = general("FileSize");
    item.FileSizeText = general("FileSize/String2");
    item.Format = general("Format/String");
    item.PlayTime = general("PlayTime/String2");
    item.AudioCount = general("AudioCount");
    item.VideoCount = general("VideoCount");
    item.Duration = general("Duration");

    item.VideoCodec = codec(StreamKind::Video);
    item.Width = stream(StreamKind::Video, "Width");
    item.Height = stream(StreamKind::Video, "Height");
    item.VideoBitRate = stream(StreamKind::Video, "BitRate/String");
    item.AspectRatio = stream(StreamKind::Video, "AspectRatio/String");
    item.FrameRate = stream(StreamKind::Video, "FrameRate/String");

    item.AudioCodec = codec(StreamKind::Audio);
    item.AudioBitRate = stream(StreamKind::Audio, "BitRate/String");
    item.Channels = stream(StreamKind::Audio, "Channel(s)/String");
    item.SamplingRate = stream(StreamKind::Audio, "SamplingRate/String");
    return item;
}

std::optional<orm::MediaFacts> MediaFactsOf(const TFileItem &item)
{
    bool known = false;
    const double duration = item.Duration.toDouble(&known);
    if (item.Format.isEmpty() || !known)
        return std::nullopt;
    orm::MediaFacts facts;
    facts.readable = true;
    facts.video = item.VideoCount.toInt() > 0;
    facts.audio = item.AudioCount.toInt() > 0;
    if (duration > 0)
        facts.durationMs = qint64(std::llround(duration));
    return facts;
}

} // namespace marbeck
