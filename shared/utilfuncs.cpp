#include "utilfuncs.h"

#include "platform/platform.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <random>

namespace orm {

namespace {

bool isSeparator(QChar c)
{
    return c.unicode() < 128 && platform::isPathSeparator(static_cast<char>(c.unicode()));
}

// A colon ends a drive name only where paths have drives; elsewhere it is
// an ordinary character of a file name.
bool endsFolderPart(QChar c)
{
#ifdef _WIN32
    if (c == u':' || c == u'/')
        return true;
#endif
    return isSeparator(c);
}

// The index just past the last separator of the path.
qsizetype fileNameStart(const QString &path)
{
    for (qsizetype i = path.size(); i > 0; --i) {
        if (endsFolderPart(path.at(i - 1)))
            return i;
    }
    return 0;
}

} // namespace

QString IncludeBackslash(const QString &path)
{
    if (!path.isEmpty() && isSeparator(path.back()))
        return path;
    return path + QChar(platform::kPathSeparator);
}

QString ExcludeBackslash(const QString &path)
{
    if (!path.isEmpty() && isSeparator(path.back()))
        return path.left(path.size() - 1);
    return path;
}

bool ContainsText(const QString &needle, const QString &haystack)
{
    return !needle.isEmpty() && haystack.contains(needle, Qt::CaseSensitive);
}

QStringList SplitText(const QString &text, const QString &delimiter)
{
    return text.split(delimiter, Qt::KeepEmptyParts, Qt::CaseSensitive);
}

QString ExtractBetween(const QString &line, const QString &start, const QString &end)
{
    const qsizetype at = line.indexOf(start);
    if (at < 0)
        return {};
    const qsizetype from = at + start.size();
    const qsizetype to = line.indexOf(end, from + 1);
    if (to < 0)
        return {};
    return TrimControls(line.mid(from, to - from));
}

std::optional<qint64> ParseClockTime(const QString &text)
{
    const QStringList pieces = SplitText(text, QStringLiteral(":"));
    if (pieces.size() < 3)
        return std::nullopt;
    bool ok = false;
    qint64 hours = TrimControls(pieces[0]).toLongLong(&ok);
    if (!ok)
        hours = 0;
    qint64 minutes = TrimControls(pieces[1]).toLongLong(&ok);
    if (!ok)
        minutes = 0;
    double seconds = TrimControls(pieces[2]).toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || std::abs(seconds) > 1e12)
        seconds = 0;
    // 64-bit throughout: hours of a garbled clock must not overflow.
    if (std::abs(hours) > 1'000'000'000 || std::abs(minutes) > 1'000'000'000)
        return std::nullopt;
    return hours * 3'600'000 + minutes * 60'000 +
           static_cast<qint64>(std::nearbyint(seconds * 1000.0));
}

QString FormatClock(qint64 milliseconds)
{
    const qint64 magnitude = milliseconds < 0 ? -milliseconds : milliseconds;
    const qint64 totalSeconds = magnitude / 1000;
    const qint64 hours = (totalSeconds / 3600) % 24;
    const qint64 minutes = (totalSeconds / 60) % 60;
    const qint64 seconds = totalSeconds % 60;
    return QStringLiteral("%1:%2:%3")
        .arg(hours)
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(seconds, 2, 10, QLatin1Char('0'));
}

QString TrimControls(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

QString ExtractFileName(const QString &path)
{
    return path.mid(fileNameStart(path));
}

QString ExtractFilePath(const QString &path)
{
    return path.left(fileNameStart(path));
}

QString ExtractFileExt(const QString &path)
{
    const qsizetype nameStart = fileNameStart(path);
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot < nameStart)
        return {};
    return path.mid(dot);
}

QString RemoveFileExt(const QString &path)
{
    const qsizetype nameStart = fileNameStart(path);
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot < nameStart)
        return path;
    return path.left(dot);
}

std::optional<qint32> ParseInteger(const QString &text)
{
    QStringView rest(text);
    bool negative = false;
    if (!rest.isEmpty() && (rest.front() == u'-' || rest.front() == u'+')) {
        negative = rest.front() == u'-';
        rest = rest.mid(1);
    }
    int base = 10;
    if (rest.startsWith(u'$')) {
        base = 16;
        rest = rest.mid(1);
    } else if (rest.size() > 2 && (rest.startsWith(u"0x") || rest.startsWith(u"0X"))) {
        base = 16;
        rest = rest.mid(2);
    }
    if (rest.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : rest) {
        const int digit =
            c.isDigit() && c.unicode() < 128                         ? c.unicode() - '0'
            : base == 16 && c.unicode() >= 'a' && c.unicode() <= 'f' ? c.unicode() - 'a' + 10
            : base == 16 && c.unicode() >= 'A' && c.unicode() <= 'F' ? c.unicode() - 'A' + 10
                                                                     : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * base + digit;
        if (value > 0xFFFFFFFFLL)
            return std::nullopt;
    }
    if (base == 10) {
        const qint64 signedValue = negative ? -value : value;
        if (signedValue < INT32_MIN || signedValue > INT32_MAX)
            return std::nullopt;
        return static_cast<qint32>(signedValue);
    }
    // Hexadecimal covers the full 32 bits ($FFFFFFFF is -1), as colour values need.
    const auto bits = static_cast<quint32>(value);
    return static_cast<qint32>(negative ? 0u - bits : bits);
}

QString RandomDigits(int count)
{
    const auto seed = static_cast<std::uint64_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
    std::mt19937_64 generator(seed);
    std::uniform_int_distribution<int> digit(0, 9);
    QString out;
    out.reserve(count);
    for (int i = 0; i < count; ++i)
        out += QChar(u'0' + digit(generator));
    return out;
}

qint64 Saturated(__int128 value)
{
    return qint64(std::clamp<__int128>(value, std::numeric_limits<qint64>::min(),
                                       std::numeric_limits<qint64>::max()));
}

qint64 DivideHalfEven(__int128 numerator, __int128 denominator)
{
    if (denominator == 0)
        return 0;
    if (denominator < 0) {
        numerator = -numerator;
        denominator = -denominator;
    }
    __int128 quotient = numerator / denominator;
    __int128 remainder = numerator % denominator;
    if (remainder < 0) { // floor division, so 0 <= remainder < denominator
        quotient -= 1;
        remainder += denominator;
    }
    const __int128 twice = 2 * remainder;
    if (twice > denominator || (twice == denominator && quotient % 2 != 0))
        quotient += 1;
    return Saturated(quotient);
}

} // namespace orm
