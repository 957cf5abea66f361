#include "outputcheck.h"

#include "conversionjob.h"
#include "ini.h"
#include "mediainfo.h"
#include "utilfuncs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <array>
#include <cmath>

namespace orm {

namespace {

// The least difference between an output's and its source's duration that
// counts as a cut output: 2 s, or 5 % of a long source.
constexpr qint64 kDurationSlackMs = 2000;
constexpr double kDurationSlackShare = 0.05;
// How many names are tried before a job writes over an existing file after all.
constexpr int kNameTries = 100000;

// "%s" and "%d" of a message text filled in order.
QString filled(const QString &pattern, const QStringList &arguments)
{
    QString out;
    qsizetype next = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern.at(i) == u'%' && i + 1 < pattern.size() &&
            (pattern.at(i + 1) == u's' || pattern.at(i + 1) == u'd')) {
            out += arguments.value(next++);
            ++i;
            continue;
        }
        out += pattern.at(i);
    }
    return out;
}

// A placeholder replaced by its plain value: the name a command writes, as
// the file system sees it. The source is left out, so that it never counts
// as an output.
QString plainExpanded(QStringView text, const PlaceholderValues &v)
{
    std::array<Placeholder, 10> placeholders = PlaceholdersOf(v);
    for (auto &[name, value] : placeholders) {
        if (name == u"<%InputFile%>")
            value.clear();
    }
    QString out;
    for (qsizetype i = 0; i < text.size();) {
        bool replaced = false;
        for (const auto &[name, value] : placeholders) {
            if (text.sliced(i).startsWith(name, Qt::CaseInsensitive)) {
                out += value;
                i += name.size();
                replaced = true;
                break;
            }
        }
        if (!replaced)
            out += text.at(i++);
    }
    return out;
}

// An output name as a command template writes it, e.g.
// "<%OutputPath%>MAQ<%RandomNumber5%>.THM", and what its command keeps.
struct NameTemplate {
    QString text;
    bool numbered = false;
    bool fromOutputFile = false;
    bool keepsVideo = true;
    bool keepsAudio = true;
};

bool hasWord(const QString &line, QStringView word)
{
    const QRegularExpression re(
        QStringLiteral("(^|\\s)%1(\\s|$)").arg(QRegularExpression::escape(word.toString())));
    return re.match(line).hasMatch();
}

// Every word of the commands that starts with <%OutputFile%> or
// <%OutputPath%>: a quoted stretch runs to its closing quote, a bare word to
// the next blank.
QList<NameTemplate> outputNameTemplates(const QStringList &lines)
{
    QList<NameTemplate> names;
    for (const QString &line : lines) {
        const bool keepsVideo = !hasWord(line, u"-vn");
        const bool keepsAudio = !hasWord(line, u"-an");
        QChar quote;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const QStringView rest = QStringView(line).sliced(i);
            if (rest.startsWith(u"<%OutputFile%>", Qt::CaseInsensitive) ||
                rest.startsWith(u"<%OutputPath%>", Qt::CaseInsensitive)) {
                qsizetype end = i;
                while (end < line.size() &&
                       (quote.isNull() ? !line.at(end).isSpace() && line.at(end) != u'"' &&
                                             line.at(end) != u'\''
                                       : line.at(end) != quote))
                    ++end;
                NameTemplate name;
                name.text = line.mid(i, end - i);
                name.numbered = name.text.contains(u"<%RandomNumber", Qt::CaseInsensitive);
                name.fromOutputFile = name.text.contains(u"<%OutputFile%>", Qt::CaseInsensitive);
                name.keepsVideo = keepsVideo;
                name.keepsAudio = keepsAudio;
                names << name;
                i = end - 1;
                continue;
            }
            const QChar c = line.at(i);
            if (c == u'\\' && quote != u'\'') {
                ++i;
            } else if ((c == u'"' || c == u'\'') && (quote.isNull() || quote == c)) {
                quote = quote.isNull() ? c : QChar();
            }
        }
    }
    return names;
}

bool taken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString nextNumber(const QString &digits)
{
    const int width = int(digits.size());
    qint64 modulus = 1;
    for (int i = 0; i < width; ++i)
        modulus *= 10;
    return QStringLiteral("%1").arg((digits.toLongLong() + 1) % modulus, width, 10, QChar(u'0'));
}

qint64 fieldNumber(const MediaInfoFile &file, const char *field)
{
    bool ok = false;
    const double value = file.get(StreamKind::General, 0, QString::fromLatin1(field)).toDouble(&ok);
    return ok ? qint64(std::llround(value)) : 0;
}

QString secondsText(qint64 ms)
{
    return QString::number(qRound64(double(ms) / 1000.0));
}

} // namespace

MediaFacts ProbeMedia(const QString &path)
{
    return ProbeMedia(path, MediaInfoLibrary::shared());
}

MediaFacts ProbeMedia(const QString &path, const MediaInfoLibrary &library)
{
    MediaFacts facts;
    if (!library.isLoaded())
        return facts;
    const MediaInfoFile file(path, library);
    if (file.openResult() == 0)
        return facts;
    facts.readable = !file.get(StreamKind::General, 0, QStringLiteral("Format")).isEmpty();
    facts.video = fieldNumber(file, "VideoCount") > 0;
    facts.audio = fieldNumber(file, "AudioCount") > 0;
    facts.picture = fieldNumber(file, "ImageCount") > 0;
    if (const qint64 duration = fieldNumber(file, "Duration"); duration > 0)
        facts.durationMs = duration;
    return facts;
}

std::optional<QString> CheckOutput(const ExpectedOutput &output, const MediaFacts &source,
                                   const OutputTexts &texts)
{
    const QFileInfo info(output.path);
    const QStringList name{QDir::toNativeSeparators(output.path)};
    if (!info.exists())
        return filled(texts(OutputMessage::MSG_OUTPUT_MISSING), name);
    if (!info.isFile())
        return filled(texts(OutputMessage::MSG_OUTPUT_UNREADABLE), name);
    if (info.size() == 0)
        return filled(texts(OutputMessage::MSG_OUTPUT_EMPTY), name);
    const MediaInfoLibrary &library = MediaInfoLibrary::shared();
    if (!library.isLoaded())
        return *library.loadError();
    const MediaFacts facts = ProbeMedia(output.path, library);
    if (!facts.readable)
        return filled(texts(OutputMessage::MSG_OUTPUT_UNREADABLE), name);
    // A thumbnail is a picture: readable is all it needs to be.
    if (facts.picture && !facts.video && !facts.audio)
        return std::nullopt;
    if (output.video && !facts.video)
        return filled(texts(OutputMessage::MSG_OUTPUT_NO_VIDEO), name);
    if (output.audio && !facts.audio)
        return filled(texts(OutputMessage::MSG_OUTPUT_NO_AUDIO), name);
    if (!facts.video && !facts.audio)
        return filled(texts(OutputMessage::MSG_OUTPUT_UNREADABLE), name);
    if (source.durationMs) {
        const qint64 expected = *source.durationMs;
        const qint64 actual = facts.durationMs.value_or(0);
        const qint64 slack = std::max(kDurationSlackMs,
                                      qint64(std::llround(double(expected) * kDurationSlackShare)));
        if (std::abs(actual - expected) > slack)
            return filled(texts(OutputMessage::MSG_OUTPUT_DURATION),
                          {secondsText(actual), secondsText(expected)});
    }
    return std::nullopt;
}

void OutputGuard::begin(const QString &profileFile, const QString &section,
                        PlaceholderValues &values)
{
    const IniFile profile(profileFile);
    QStringList lines;
    for (const QString &key : profile.keyNames(section)) {
        if (IsCommandKey(key))
            lines << profile.readString(section, key, {});
    }
    beginCommands(lines, profile.readString(section, QStringLiteral("EXT"), {}), values);
}

void OutputGuard::beginCommands(const QStringList &commandTemplates, const QString &extension,
                                PlaceholderValues &values)
{
    m_begun = true;
    m_named.clear();
    m_folder =
        values.OutputPath.isEmpty() ? QDir::currentPath() : QDir(values.OutputPath).absolutePath();
    const QStringList entries = QDir(m_folder).entryList(QDir::AllEntries | QDir::Hidden |
                                                         QDir::System | QDir::NoDotAndDotDot);
    m_before = QSet<QString>(entries.begin(), entries.end());
    m_sourcePath = values.InputFile;
    m_source.reset();
    if (!m_probeLater)
        probeSource();

    const QList<NameTemplate> names = outputNameTemplates(commandTemplates);
    const auto anyTaken = [&](auto &&which) {
        return std::any_of(names.begin(), names.end(), [&](const NameTemplate &n) {
            return which(n) && taken(plainExpanded(n.text, values));
        });
    };
    // A numbered name takes the next free number; the temporary file keeps
    // sharing its digits where it did.
    for (int i = 0; i < kNameTries && anyTaken([](const NameTemplate &n) { return n.numbered; });
         ++i) {
        const QString old5 = values.RandomNumber5;
        values.RandomNumber5 = nextNumber(values.RandomNumber5);
        values.RandomNumber3 = nextNumber(values.RandomNumber3);
        if (!old5.isEmpty() && values.TemporaryFile.endsWith(old5)) {
            values.TemporaryFile.chop(old5.size());
            values.TemporaryFile += values.RandomNumber5;
        }
    }
    // A name from the source's takes the first free "name (n)".
    const QString base = values.OutputFile;
    for (int n = 2;
         n < kNameTries && anyTaken([](const NameTemplate &t) { return t.fromOutputFile; }); ++n)
        values.OutputFile =
            QStringLiteral("%1 (%2)%3").arg(RemoveFileExt(base)).arg(n).arg(ExtractFileExt(base));

    for (const NameTemplate &n : names) {
        const QString path = QFileInfo(plainExpanded(n.text, values)).absoluteFilePath();
        const auto same = [&](const ExpectedOutput &o) { return o.path == path; };
        if (std::none_of(m_named.begin(), m_named.end(), same))
            m_named << ExpectedOutput{path, n.keepsVideo, n.keepsAudio};
    }
    const bool usesOutputFile =
        std::any_of(commandTemplates.begin(), commandTemplates.end(), [](const QString &l) {
            return l.contains(u"<%OutputFile%>", Qt::CaseInsensitive);
        });
    if (m_named.isEmpty() && usesOutputFile && !extension.isEmpty())
        m_named << ExpectedOutput{
            QFileInfo(RemoveFileExt(values.OutputFile) + u'.' + extension).absoluteFilePath(), true,
            true};
}

void OutputGuard::probeSource()
{
    if (!m_source)
        m_source = ProbeMedia(m_sourcePath);
}

QStringList OutputGuard::createdFiles() const
{
    if (!m_begun)
        return {};
    // A new file is the job's when it bears the name of one of its outputs
    // ("clip (2).3gp", "clip (2).3gp.part", "MAQ00042.THM" beside
    // "MAQ00042.MP4"): a file someone else saves in the folder meanwhile is
    // neither judged nor removed.
    const QStringList stems = this->stems();
    const auto isTheJobs = [&](const QString &name) {
        return m_named.isEmpty() || std::any_of(stems.begin(), stems.end(), [&](const QString &s) {
                   return name == s || name.startsWith(s + u'.');
               });
    };
    QStringList created;
    const QDir folder(m_folder);
    for (const QString &name :
         folder.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (!m_before.contains(name) && isTheJobs(name))
            created << folder.absoluteFilePath(name);
    }
    return created;
}

QStringList OutputGuard::stems() const
{
    QStringList stems;
    for (const ExpectedOutput &output : m_named) {
        const QFileInfo info(output.path);
        if (QDir(info.absolutePath()) == QDir(m_folder))
            stems << info.completeBaseName();
    }
    return stems;
}

QList<ExpectedOutput> OutputGuard::expectedOutputs() const
{
    QList<ExpectedOutput> outputs = m_named;
    for (const QString &path : createdFiles()) {
        const auto same = [&](const ExpectedOutput &o) { return o.path == path; };
        if (std::none_of(outputs.begin(), outputs.end(), same))
            outputs << ExpectedOutput{path, false, false};
    }
    return outputs;
}

std::optional<QString> OutputGuard::verify(const OutputTexts &texts) const
{
    const QList<ExpectedOutput> outputs = expectedOutputs();
    if (outputs.isEmpty())
        return texts(OutputMessage::MSG_OUTPUT_NONE);
    const MediaFacts source = m_source ? *m_source : ProbeMedia(m_sourcePath);
    for (ExpectedOutput output : outputs) {
        // An output keeps only the streams the source has.
        output.video = output.video && source.video;
        output.audio = output.audio && source.audio;
        if (auto problem = CheckOutput(output, source, texts))
            return problem;
    }
    return std::nullopt;
}

QStringList OutputGuard::removeCreated()
{
    QStringList removed;
    for (const QString &path : createdFiles()) {
        if (QFile::remove(path))
            removed << path;
    }
    return removed;
}

JobEnd VerifiedJobEnd(OutputGuard &guard, const JobEnd &end, const OutputTexts &texts)
{
    JobEnd verified = end;
    if (verified.outcome == JobOutcome::Converted) {
        if (auto problem = guard.verify(texts)) {
            verified.outcome = JobOutcome::Failed;
            verified.message = *problem;
        }
    }
    if (verified.outcome != JobOutcome::Converted)
        guard.removeCreated();
    return verified;
}

namespace {

// The toolkit writes the info file's "Path=" as the bare name; the trash
// specification wants it percent-encoded, and a desktop restoring
// "100%.avi" or "%41.avi" from a bare line decodes it into another name. The
// line is encoded unless it is already (it is then not the bare original
// name, absolute or relative to the trash's top folder).
void escapeTrashInfoPath(const QString &trashedFile, const QString &originalPath)
{
    const QFileInfo trashed(trashedFile);
    const QString infoPath = trashed.absoluteDir().absoluteFilePath(
        QStringLiteral("../info/") + trashed.fileName() + QStringLiteral(".trashinfo"));
    QFile info(infoPath);
    if (!info.open(QIODevice::ReadOnly))
        return;
    QList<QByteArray> lines = info.readAll().split('\n');
    info.close();
    const QByteArray original = QFile::encodeName(QFileInfo(originalPath).absoluteFilePath());
    bool changed = false;
    for (QByteArray &line : lines) {
        if (!line.startsWith("Path="))
            continue;
        const QByteArray value = line.mid(5);
        const bool bare = value == original || (!value.startsWith('/') && !value.isEmpty() &&
                                                original.endsWith('/' + value));
        const QByteArray escaped = QUrl::toPercentEncoding(value, "/");
        if (bare && escaped != value) {
            line = "Path=" + escaped;
            changed = true;
        }
        break;
    }
    if (!changed)
        return;
    QSaveFile out(infoPath);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(lines.join('\n'));
        out.commit();
    }
}

} // namespace

SourceRemoval RemoveSource(const QString &path)
{
    // A new account may not have its data folder yet; the trash lives in it.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    QFile file(path);
    if (file.moveToTrash()) {
        escapeTrashInfoPath(file.fileName(), path);
        return SourceRemoval::Trashed;
    }
    if (!taken(path))
        return SourceRemoval::Failed;
    return QFile::remove(path) ? SourceRemoval::Deleted : SourceRemoval::Failed;
}

} // namespace orm
