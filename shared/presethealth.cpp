#include "presethealth.h"

#include "platform/childprocess.h"
#include "platform/files.h"

#include "commandtemplate.h"
#include "encoderquery.h"
#include "ini.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

#include <map>
#include <memory>

namespace orm {

namespace {

QStringList nonEmptyLines(const QString &text)
{
    return text.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts);
}

QStringList wordsOf(const QString &line)
{
    return line.split(u' ', Qt::SkipEmptyParts);
}

// The words of a preset's command line, as the script's shell reads them.
QStringList shellWords(const QString &line)
{
    QStringList words;
    for (const std::string &word : platform::SplitCommandLine(line.toStdString()))
        words << QString::fromStdString(word);
    return words;
}

// The filter names of a filter graph: its chains are cut at ',' and ';'
// outside quotes and brackets, a filter's name ends at '=' or '@'.
QStringList filterNames(const QString &graph)
{
    QStringList names;
    QString part;
    bool quoted = false;
    auto take = [&] {
        QString name = part.trimmed();
        name.remove(QRegularExpression(QStringLiteral("^(\\[[^\\]]*\\]\\s*)+")));
        name = name.section(u'=', 0, 0).section(u'@', 0, 0).trimmed();
        name.remove(QRegularExpression(QStringLiteral("(\\s*\\[[^\\]]*\\])+$")));
        if (!name.isEmpty())
            names << name;
        part.clear();
    };
    for (qsizetype i = 0; i < graph.size(); ++i) {
        const QChar c = graph.at(i);
        if (c == u'\\' && i + 1 < graph.size()) {
            part += c;
            part += graph.at(++i);
            continue;
        }
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && (c == u',' || c == u';'))
            take();
        else
            part += c;
    }
    take();
    return names;
}

bool isEncoderProgram(const QString &word)
{
    return QFileInfo(word).fileName().compare(u"avcore.dll", Qt::CaseInsensitive) == 0;
}

QString fileStamp(const QFileInfo &file)
{
    return QStringLiteral("%1:%2").arg(file.size()).arg(file.lastModified().toMSecsSinceEpoch());
}

QString ask(const QString &encoder, const QString &list, bool *ok)
{
    const auto answer =
        AskEncoder(encoder, {QStringLiteral("-hide_banner"), list}, EncoderChannels::OutputOnly);
    *ok = *ok && answer && answer->exitedOk;
    return answer ? answer->text : QString();
}

QJsonArray toJson(const QSet<QString> &names)
{
    QStringList sorted(names.begin(), names.end());
    sorted.sort();
    return QJsonArray::fromStringList(sorted);
}

QSet<QString> fromJson(const QJsonValue &value)
{
    QSet<QString> names;
    for (const QJsonValue v : value.toArray())
        names.insert(v.toString());
    return names;
}

// The abilities `cacheFile` holds for the encoder with this stamp.
std::optional<EncoderAbilities> cachedAbilities(const QFileInfo &encoder, const QString &stamp,
                                                const QString &cacheFile)
{
    if (cacheFile.isEmpty())
        return std::nullopt;
    // Only a regular file, and bounded: never a FIFO or a device.
    const auto bytes = platform::readRegularFile(QFile::encodeName(cacheFile).toStdString());
    if (!bytes)
        return std::nullopt;
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(*bytes)).object();
    if (root["encoder"].toString() != encoder.absoluteFilePath() ||
        root["stamp"].toString() != stamp)
        return std::nullopt;
    EncoderAbilities abilities;
    abilities.encoders = fromJson(root["encoders"]);
    abilities.muxers = fromJson(root["muxers"]);
    abilities.filters = fromJson(root["filters"]);
    abilities.known = true;
    return abilities;
}

} // namespace

namespace {

// The words of each row of an encoder's list: the lines after its legend,
// which ends with a line of dashes.
QList<QStringList> listedRows(const QString &text)
{
    QList<QStringList> rows;
    bool listing = false;
    for (const QString &line : nonEmptyLines(text)) {
        const QStringList words = wordsOf(line);
        if (words.isEmpty())
            continue;
        if (listing)
            rows << words;
        else
            listing = words.first().startsWith(u"--");
    }
    return rows;
}

} // namespace

QSet<QString> ParseEncoderList(const QString &text)
{
    // " V....D libx264   libx264 H.264 ..." after a " ------" line.
    QSet<QString> names;
    for (const QStringList &words : listedRows(text)) {
        if (words.size() >= 2)
            names.insert(words.at(1));
    }
    return names;
}

QSet<QString> ParseMuxerList(const QString &text)
{
    // "  E 3g2   3GP2 (3GPP2 file format)" after a " --" line; one line may
    // name several formats, separated by commas.
    QSet<QString> names;
    for (const QStringList &words : listedRows(text)) {
        if (words.size() >= 2 && words.first().contains(u'E')) {
            for (const QString &name : words.at(1).split(u',', Qt::SkipEmptyParts))
                names.insert(name);
        }
    }
    return names;
}

QSet<QString> ParseFilterList(const QString &text)
{
    // " TSC scale   V->V   Scale the input video size ...": the third word
    // shows the inputs and outputs, which the legend lines lack.
    QSet<QString> names;
    for (const QString &line : nonEmptyLines(text)) {
        const QStringList words = wordsOf(line);
        if (words.size() >= 3 && words.at(2).contains(u"->"))
            names.insert(words.at(1));
    }
    return names;
}

CommandNeeds NeedsOfCommand(const QString &commandLine)
{
    CommandNeeds needs;
    const QStringList words = shellWords(commandLine);
    if (words.isEmpty() || !isEncoderProgram(words.first()))
        return needs;
    qsizetype lastInput = -1;
    for (qsizetype i = 1; i < words.size(); ++i) {
        if (words.at(i) == u"-i")
            lastInput = i;
    }
    static const QRegularExpression codecOption(
        QStringLiteral("^-(c|codec|vcodec|acodec|scodec)(:[^ ]*)?$"));
    static const QRegularExpression filterOption(
        QStringLiteral("^-(vf|af|filter_complex|lavfi|filter(:[^ ]*)?)$"));
    static const QRegularExpression videoCodecOption(
        QStringLiteral("^-(vcodec|(c|codec):v(:[^ ]*)?)$"));
    static const QRegularExpression videoFilterOption(QStringLiteral("^-(vf|filter:v)$"));
    bool videoOff = false;
    for (qsizetype i = 1; i < words.size(); ++i) {
        if (i > lastInput && words.at(i) == u"-vn")
            videoOff = true;
    }
    for (qsizetype i = 1; i + 1 < words.size(); ++i) {
        const QString &option = words.at(i);
        const QString &value = words.at(i + 1);
        if (i > lastInput && !videoOff &&
            ((videoCodecOption.match(option).hasMatch() && value != u"copy") ||
             videoFilterOption.match(option).hasMatch()))
            needs.makesVideo = true;
        if (codecOption.match(option).hasMatch() && i > lastInput) {
            if (value != u"copy")
                needs.encoders << value;
        } else if (option == u"-f") {
            if (i > lastInput)
                needs.muxers << value;
            else if (value == u"lavfi" && i + 3 < words.size() && words.at(i + 2) == u"-i")
                needs.filters << filterNames(words.at(i + 3));
        } else if (filterOption.match(option).hasMatch()) {
            needs.filters << filterNames(value);
        }
    }
    needs.encoders.removeDuplicates();
    needs.muxers.removeDuplicates();
    needs.filters.removeDuplicates();
    return needs;
}

PresetHealth::PresetHealth(const QString &encoderPath, const QString &cacheFile)
{
    const QFileInfo encoder(encoderPath);
    if (!encoder.isFile())
        return;
    const QString stamp = fileStamp(encoder);
    if (auto cached = cachedAbilities(encoder, stamp, cacheFile)) {
        m_abilities = std::move(*cached);
        return;
    }
    bool ok = true;
    m_abilities.encoders = ParseEncoderList(ask(encoderPath, QStringLiteral("-encoders"), &ok));
    m_abilities.muxers = ParseMuxerList(ask(encoderPath, QStringLiteral("-muxers"), &ok));
    m_abilities.filters = ParseFilterList(ask(encoderPath, QStringLiteral("-filters"), &ok));
    m_abilities.known = ok && !m_abilities.encoders.isEmpty() && !m_abilities.muxers.isEmpty();
    if (!m_abilities.known) {
        m_abilities = {};
        return;
    }
    if (cacheFile.isEmpty())
        return;
    QDir().mkpath(QFileInfo(cacheFile).absolutePath());
    QSaveFile file(cacheFile);
    if (file.open(QIODevice::WriteOnly)) {
        const QJsonObject root{{"encoder", encoder.absoluteFilePath()},
                               {"stamp", stamp},
                               {"encoders", toJson(m_abilities.encoders)},
                               {"muxers", toJson(m_abilities.muxers)},
                               {"filters", toJson(m_abilities.filters)}};
        file.write(QJsonDocument(root).toJson(QJsonDocument::Compact));
        file.commit();
    }
}

std::optional<PresetHealth> PresetHealth::Cached(const QString &encoderPath,
                                                 const QString &cacheFile)
{
    const QFileInfo encoder(encoderPath);
    if (!encoder.isFile())
        return std::nullopt;
    auto cached = cachedAbilities(encoder, fileStamp(encoder), cacheFile);
    if (!cached)
        return std::nullopt;
    PresetHealth health;
    health.m_abilities = std::move(*cached);
    return health;
}

QString PresetHealth::DefaultCacheFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/ormolux/encoder-abilities.json");
}

QString PresetHealth::missingFor(const QStringList &commandLines) const
{
    if (!m_abilities.known)
        return {};
    QStringList missing;
    for (const QString &line : commandLines) {
        const CommandNeeds needs = NeedsOfCommand(line);
        for (const QString &name : needs.encoders) {
            if (!m_abilities.encoders.contains(name))
                missing << QStringLiteral("encoder \"%1\"").arg(name);
        }
        for (const QString &name : needs.muxers) {
            if (!m_abilities.muxers.contains(name))
                missing << QStringLiteral("format \"%1\"").arg(name);
        }
        for (const QString &name : needs.filters) {
            if (!m_abilities.filters.contains(name))
                missing << QStringLiteral("filter \"%1\"").arg(name);
        }
    }
    missing.removeDuplicates();
    if (missing.isEmpty())
        return {};
    return QStringLiteral("The installed encoder lacks the %1 this preset needs.")
        .arg(missing.join(QStringLiteral(", ")));
}

namespace {

// "300k", "1.5M" or "64000" in bits per second; nothing for anything else.
std::optional<qint64> rateValue(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]+(?:\\.[0-9]+)?)([kKmM]?)$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const double unit = m.captured(2).isEmpty() ? 1 : m.captured(2).toLower() == u"k" ? 1e3 : 1e6;
    return qint64(m.captured(1).toDouble() * unit);
}

// What a command says of one kind of stream it writes.
struct StreamRate {
    bool off = false;     // "-vn" / "-an"
    bool quality = false; // aimed at a quality, copied or lossless
    std::optional<qint64> rate;
};

bool writesOnePicture(const QStringList &words)
{
    for (qsizetype i = 1; i + 1 < words.size(); ++i) {
        if ((words.at(i) == u"-frames:v" || words.at(i) == u"-vframes") && words.at(i + 1) == u"1")
            return true;
    }
    return false;
}

} // namespace

std::optional<qint64> FixedBitRateOfCommand(const QString &commandLine)
{
    const QStringList words = shellWords(commandLine);
    if (words.isEmpty() || !isEncoderProgram(words.first()))
        return std::nullopt;
    qsizetype lastInput = -1;
    for (qsizetype i = 1; i < words.size(); ++i) {
        if (words.at(i) == u"-i")
            lastInput = i;
    }
    static const QRegularExpression videoRate(QStringLiteral("^-(b:v|vb)$"));
    static const QRegularExpression audioRate(QStringLiteral("^-(b:a|ab)$"));
    static const QRegularExpression videoQuality(
        QStringLiteral("^-(crf|cq|qp|global_quality|q:v|qscale:v|qscale)$"));
    static const QRegularExpression audioQuality(QStringLiteral("^-(q:a|qscale:a|aq)$"));
    static const QRegularExpression videoCodec(QStringLiteral("^-(vcodec|(c|codec):v)$"));
    static const QRegularExpression audioCodec(QStringLiteral("^-(acodec|(c|codec):a)$"));
    static const QStringList lossless = {QStringLiteral("flac"), QStringLiteral("alac"),
                                         QStringLiteral("pcm_s16le"), QStringLiteral("copy")};
    StreamRate video, audio;
    for (qsizetype i = lastInput + 1; i < words.size(); ++i) {
        const QString &option = words.at(i);
        const QString value = i + 1 < words.size() ? words.at(i + 1) : QString();
        if (option == u"-vn")
            video.off = true;
        else if (option == u"-an")
            audio.off = true;
        else if (videoRate.match(option).hasMatch())
            video.rate = rateValue(value);
        else if (audioRate.match(option).hasMatch())
            audio.rate = rateValue(value);
        else if (videoQuality.match(option).hasMatch() ||
                 (videoCodec.match(option).hasMatch() && lossless.contains(value)))
            video.quality = true;
        else if (audioQuality.match(option).hasMatch() ||
                 (audioCodec.match(option).hasMatch() && lossless.contains(value)))
            audio.quality = true;
    }
    qint64 total = 0;
    for (const StreamRate &stream : {video, audio}) {
        if (stream.off)
            continue;
        if (stream.quality || !stream.rate)
            return std::nullopt;
        total += *stream.rate;
    }
    return total > 0 ? std::optional<qint64>(total) : std::nullopt;
}

std::optional<qint64> FixedBitRate(const IniFile &profile, const QString &section)
{
    qint64 total = 0;
    bool any = false;
    for (const QString &key : profile.keyNames(section)) {
        if (!IsCommandKey(key))
            continue;
        const QString line = profile.readString(section, key, {});
        if (writesOnePicture(shellWords(line)))
            continue;
        const auto rate = FixedBitRateOfCommand(line);
        if (!rate)
            return std::nullopt;
        total += *rate;
        any = true;
    }
    return any ? std::optional<qint64>(total) : std::nullopt;
}

QString PresetHealth::missingFor(const IniFile &profile, const QString &section) const
{
    QStringList lines;
    for (const QString &key : profile.keyNames(section)) {
        if (IsCommandKey(key))
            lines << profile.readString(section, key, {});
    }
    return missingFor(lines);
}

QString PresetHealth::missingForProfile(const QString &profileFile) const
{
    const IniFile profile(profileFile);
    QString first;
    for (const QString &section : profile.sectionNames()) {
        if (!section.startsWith(u"Item"))
            continue;
        const QString reason = missingFor(profile, section);
        if (reason.isEmpty())
            return {};
        if (first.isEmpty())
            first = reason;
    }
    return first;
}

const PresetHealth &InstalledPresetHealth(const QString &encoderPath)
{
    // Only the window thread asks, so a plain map suffices.
    static std::map<QString, std::unique_ptr<PresetHealth>> asked;
    auto &health = asked[QFileInfo(encoderPath).absoluteFilePath()];
    if (!health)
        health = std::make_unique<PresetHealth>(encoderPath, PresetHealth::DefaultCacheFile());
    return *health;
}

} // namespace orm
