#pragma once
// Path and text operations shared by both programs.
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

namespace orm {

// Folders are text with an explicit trailing-separator rule.
QString IncludeBackslash(const QString &path);
QString ExcludeBackslash(const QString &path);

// Case-sensitive substring test; looking for the empty text gives false.
bool ContainsText(const QString &needle, const QString &haystack);

// The pieces between delimiters; the rest after the last one is always added.
QStringList SplitText(const QString &text, const QString &delimiter);

// The trimmed text after the first `start` up to the next `end`, searched from
// the second character after `start` on; empty when `end` does not follow.
QString ExtractBetween(const QString &line, const QString &start, const QString &end);

// "h:m:s.frac" as milliseconds. A piece that is not a number counts as 0; a
// text with fewer than three pieces is not a clock time.
std::optional<qint64> ParseClockTime(const QString &text);

// A duration as "h:nn:ss": the time of day (hours wrap at 24), whole seconds,
// a negative value by its magnitude.
QString FormatClock(qint64 milliseconds);

// Removes characters with codes up to 32 from both ends.
QString TrimControls(const QString &text);

// File-name part: everything after the last path separator (or drive colon).
QString ExtractFileName(const QString &path);
// Folder part with its trailing separator; empty for a bare name.
QString ExtractFilePath(const QString &path);
// The file name's extension from its last dot on, dot included; empty without one.
QString ExtractFileExt(const QString &path);
// The path without the extension of its file-name part.
QString RemoveFileExt(const QString &path);

// Integer text as the settings and skin files write it: decimal with an
// optional sign, or hexadecimal after "$" or "0x"; nullopt for anything else.
std::optional<qint32> ParseInteger(const QString &text);

// `count` random decimal digits, from a generator seeded afresh for the call.
QString RandomDigits(int count);

// A 128-bit value clamped to the 64-bit range.
qint64 Saturated(__int128 value);
// numerator / denominator rounded to the nearest integer, halves to even;
// 0 for a zero denominator. Progress figures are rounded this way.
qint64 DivideHalfEven(__int128 numerator, __int128 denominator);

} // namespace orm
