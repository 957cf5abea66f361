#include "consoleparser.h"

#include "platform/platform.h"
#include "utilfuncs.h"

#include <cstring>
#include <limits>
#include <string_view>

namespace orm {

namespace {

// The markers are ASCII, and neither UTF-8 nor Windows-1252 turns a byte of
// another character into ASCII, so they are found in the raw bytes and only
// a line that is shown to the user is decoded.
constexpr std::string_view kDurationPrefix = "  Duration: ";
constexpr std::string_view kTimeMarker = " time=";
constexpr std::string_view kNotAvailable = "N/A";
constexpr std::string_view kNoPositionYet = "10000000000.0";
constexpr std::string_view kErrorPrefix = "Error";
constexpr std::string_view kDecodeWarning = "Error while decoding stream";
constexpr std::string_view kErrorTexts[] = {
    "No audio or video streams available",
    "I/O error occured",
    "Could not open",
};

// How many of the last message lines are kept for a failure's reason.
constexpr size_t kRecentMessages = 24;

constexpr qint64 kMaxMilliseconds = std::numeric_limits<qint32>::max();
// Longer digit runs cannot give a value within 32-bit milliseconds anyway.
constexpr qsizetype kMaxDigits = 9;

std::string_view toView(QByteArrayView bytes)
{
    return {bytes.data(), size_t(bytes.size())};
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Characters up to 32 are blanks and controls, as TrimControls has it.
bool isBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool isBlankLine(std::string_view line)
{
    for (const char c : line) {
        if (!isBlank(c))
            return false;
    }
    return true;
}

// A run of 1..kMaxDigits digits from `at`; the index after it, or -1.
qsizetype skipDigits(std::string_view text, qsizetype at)
{
    const qsizetype begin = at;
    while (at < qsizetype(text.size()) && isDigit(text[at]))
        ++at;
    const qsizetype count = at - begin;
    return count >= 1 && count <= kMaxDigits ? at : -1;
}

// digits ':' digits ':' digits, optionally '.' and fraction digits. No sign:
// ffmpeg's negative times before the first timestamp are not positions.
std::optional<qint32> readClockValue(std::string_view value)
{
    qsizetype at = 0;
    for (int piece = 0; piece < 3; ++piece) {
        if (piece > 0) {
            if (at >= qsizetype(value.size()) || value[at] != ':')
                return std::nullopt;
            ++at;
        }
        at = skipDigits(value, at);
        if (at < 0)
            return std::nullopt;
    }
    if (at < qsizetype(value.size())) {
        if (value[at] != '.')
            return std::nullopt;
        for (++at; at < qsizetype(value.size()); ++at) {
            if (!isDigit(value[at]))
                return std::nullopt;
        }
    }
    const auto milliseconds =
        ParseClockTime(QString::fromLatin1(value.data(), qsizetype(value.size())));
    if (!milliseconds || *milliseconds < 0 || *milliseconds > kMaxMilliseconds)
        return std::nullopt;
    return static_cast<qint32>(*milliseconds);
}

// Decimal seconds as exact milliseconds: the digits after the third decimal
// decide the rounding, halves to even, without binary floating point.
std::optional<qint32> readDecimalSeconds(std::string_view value)
{
    qsizetype at = 0;
    const auto size = qsizetype(value.size());
    qint64 seconds = 0;
    bool anyDigit = false;
    for (; at < size && isDigit(value[at]); ++at) {
        seconds = seconds * 10 + (value[at] - '0');
        if (seconds > kMaxMilliseconds / 1000)
            return std::nullopt;
        anyDigit = true;
    }
    qint64 fraction = 0;
    bool roundUp = false;
    if (at < size && value[at] == '.') {
        ++at;
        int place = 0;
        bool half = false;
        bool beyondHalf = false;
        for (; at < size && isDigit(value[at]); ++at, ++place) {
            const int digit = value[at] - '0';
            anyDigit = true;
            if (place < 3)
                fraction = fraction * 10 + digit;
            else if (place == 3)
                half = digit == 5, beyondHalf = digit > 5;
            else if (digit != 0 && half)
                beyondHalf = true;
        }
        for (; place < 3; ++place)
            fraction *= 10;
        const qint64 truncated = seconds * 1000 + fraction;
        roundUp = beyondHalf || (half && truncated % 2 == 1);
    }
    if (at != size || !anyDigit)
        return std::nullopt;
    const qint64 milliseconds = seconds * 1000 + fraction + (roundUp ? 1 : 0);
    if (milliseconds > kMaxMilliseconds)
        return std::nullopt;
    return static_cast<qint32>(milliseconds);
}

std::optional<qint32> readPositionValue(std::string_view value)
{
    if (value == kNoPositionYet)
        return 0;
    if (value.find(':') != std::string_view::npos)
        return readClockValue(value);
    return readDecimalSeconds(value);
}

bool isErrorLine(std::string_view line)
{
    for (const std::string_view text : kErrorTexts) {
        if (line.find(text) != std::string_view::npos)
            return true;
    }
    return line.starts_with(kErrorPrefix) && !line.starts_with(kDecodeWarning);
}

// The first CR or LF from `from` on, or -1.
qsizetype findLineBreak(QByteArrayView text, qsizetype from)
{
    const char *data = text.data();
    for (qsizetype i = from; i < text.size(); ++i) {
        const char c = data[i];
        if (c == '\n' || c == '\r')
            return i;
    }
    return -1;
}

// Marks the parser busy while listener calls run, so that a chunk fed from
// inside one (a modal box runs an event loop) waits its turn.
class DepthGuard {
public:
    explicit DepthGuard(int &depth) : m_depth(depth) { ++m_depth; }
    ~DepthGuard() { --m_depth; }
    DepthGuard(const DepthGuard &) = delete;
    DepthGuard &operator=(const DepthGuard &) = delete;

private:
    int &m_depth;
};

} // namespace

void ConsoleParser::feed(QByteArrayView chunk, bool exited)
{
    // An empty view may have no data pointer at all, which memchr must not see.
    if (!chunk.isEmpty()) {
        if (const void *zero = std::memchr(chunk.data(), 0, size_t(chunk.size())))
            chunk.truncate(static_cast<const char *>(zero) - chunk.data());
    }
    if (m_depth > 0) {
        m_backlog.push_back({chunk.toByteArray(), exited, false});
        return;
    }
    const DepthGuard guard(m_depth);
    readChunk(chunk, exited);
    drainBacklog();
}

void ConsoleParser::finish()
{
    if (m_depth > 0) {
        m_backlog.push_back({{}, false, true});
        return;
    }
    if (!m_pending.isEmpty()) {
        const DepthGuard guard(m_depth);
        readLine(std::exchange(m_pending, {}));
        drainBacklog();
    }
}

QStringList ConsoleParser::recentMessages() const
{
    QStringList lines;
    for (const QByteArray &line : m_recentMessages)
        lines << QString::fromStdString(
                     platform::decodeText(std::string_view(line.constData(), size_t(line.size()))))
                     .trimmed();
    return lines;
}

QString ConsoleParser::lastMessage() const
{
    const std::string decoded = platform::decodeText(
        std::string_view(m_lastMessage.constData(), size_t(m_lastMessage.size())));
    return QString::fromStdString(decoded).trimmed();
}

void ConsoleParser::reset()
{
    m_pending.clear();
    m_lastMessage.clear();
    m_recentMessages.clear();
    m_backlog.clear();
    ++m_generation;
}

void ConsoleParser::drainBacklog()
{
    while (!m_backlog.empty()) {
        const QueuedChunk queued = std::move(m_backlog.front());
        m_backlog.erase(m_backlog.begin());
        if (queued.finish) {
            if (!m_pending.isEmpty())
                readLine(std::exchange(m_pending, {}));
        } else {
            readChunk(queued.bytes, queued.exited);
        }
    }
}

void ConsoleParser::readChunk(QByteArrayView text, bool exited)
{
    const qsizetype size = text.size();
    qsizetype at = 0;
    // The index after the line break at `lineBreak`. CR LF is one break; when
    // a chunk ends between the two, the LF only adds an empty line, which is
    // skipped like any blank line.
    const auto skipBreak = [&](qsizetype lineBreak) {
        if (text[lineBreak] == '\r' && lineBreak + 1 < size && text[lineBreak + 1] == '\n')
            return lineBreak + 2;
        return lineBreak + 1;
    };

    if (!m_pending.isEmpty()) {
        const qsizetype lineBreak = findLineBreak(text, at);
        if (lineBreak < 0) {
            m_pending.append(text.sliced(at));
            if (exited)
                readLine(std::exchange(m_pending, {}));
            return;
        }
        m_pending.append(text.sliced(at, lineBreak - at));
        const QByteArray joined = std::exchange(m_pending, {});
        at = skipBreak(lineBreak);
        if (!readLine(joined))
            return;
    }
    while (at < size) {
        const qsizetype lineBreak = findLineBreak(text, at);
        if (lineBreak < 0)
            break;
        const QByteArrayView line = text.sliced(at, lineBreak - at);
        at = skipBreak(lineBreak);
        if (!readLine(line))
            return;
    }
    if (at < size) {
        if (exited)
            readLine(text.sliced(at));
        else
            m_pending = text.sliced(at).toByteArray();
    }
}

bool ConsoleParser::readLine(QByteArrayView bytes)
{
    const std::string_view line = toView(bytes);
    if (isBlankLine(line))
        return true;
    const quint64 generation = m_generation;

    if (line.starts_with(kDurationPrefix)) {
        const size_t comma = line.find(',', kDurationPrefix.size());
        if (comma != std::string_view::npos) {
            const std::string_view value =
                trimmed(line.substr(kDurationPrefix.size(), comma - kDurationPrefix.size()));
            if (value != kNotAvailable) {
                if (const auto duration = readClockValue(value))
                    m_listener.durationSeen(*duration);
            }
        }
    }

    // As ExtractBetween(line, " time=", " "): the closing blank is looked for
    // from the second character of the value on.
    if (const size_t marker = line.find(kTimeMarker); marker != std::string_view::npos) {
        const size_t from = marker + kTimeMarker.size();
        const size_t to =
            from + 1 < line.size() ? line.find(' ', from + 1) : std::string_view::npos;
        if (to != std::string_view::npos) {
            const std::string_view value = trimmed(line.substr(from, to - from));
            if (value != kNotAvailable) {
                if (const auto position = readPositionValue(value))
                    m_listener.positionSeen(*position);
            }
        }
    }

    // The encoder's last words: what a failed job tells the user when it
    // printed no error line of the known forms.
    if (line.find(kTimeMarker) == std::string_view::npos && !line.starts_with(kDurationPrefix)) {
        m_lastMessage = QByteArray(line.data(), qsizetype(line.size()));
        m_recentMessages.push_back(m_lastMessage);
        if (m_recentMessages.size() > kRecentMessages)
            m_recentMessages.pop_front();
    }

    m_listener.lineRead();

    if (isErrorLine(line))
        m_listener.errorLine(QString::fromStdString(platform::decodeText(line)));
    return generation == m_generation;
}

} // namespace orm
