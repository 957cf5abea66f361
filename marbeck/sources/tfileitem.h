#pragma once
// The record kept with each row of the source list: what the MediaInfo
// library says about the file, as the texts it returns.
#include "shared/outputcheck.h"

#include <QString>

#include <array>
#include <optional>

class QLocale;

namespace marbeck {

using orm::MediaInfoLibrary;

struct TFileItem {
    QString FileName;  // without folder
    QString Directory; // with its trailing separator
    QString CompleteName;
    QString FileSize; // bytes, decimal digits
    QString FileSizeText;
    QString Format;
    QString PlayTime;
    QString AudioCount;
    QString VideoCount;
    QString VideoCodec;
    QString Width;
    QString Height;
    QString VideoBitRate;
    QString AspectRatio;
    QString FrameRate;
    QString AudioCodec;
    QString AudioBitRate;
    QString Channels;
    QString SamplingRate;
    QString Duration; // milliseconds, as the library gives them; no column shows it

    // Directory + FileName: the file that Play Source and More Information open.
    QString path() const;
};

// The columns of the list, left to right: the field each shows and its width.
struct SourceColumn {
    QString TFileItem::*field;
    int width;
};
inline constexpr int kSourceColumnCount = 17;
extern const std::array<SourceColumn, kSourceColumnCount> kSourceColumns;

// A size in bytes as the size column shows it in a language: three
// significant digits and binary units ("12.3 MiB"; "512 octets" in French).
QString SizeText(qint64 bytes, const QLocale &language);

// Fills a record from the library: the eighteen fields in a fixed order from
// one opening of the file. Where the library leaves a stream's "Codec/String"
// empty (as current versions do), its "Format/String" stands in.
TFileItem ProbeFile(const QString &path);
TFileItem ProbeFile(const QString &path, const MediaInfoLibrary &library);

// What the output check needs of a source, from its record; none for a file
// the library could not read (its media columns are blank) and for a record
// without its duration (a list kept by an earlier version), which the check
// must probe to compare the output's length against.
std::optional<orm::MediaFacts> MediaFactsOf(const TFileItem &item);

} // namespace marbeck
