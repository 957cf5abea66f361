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

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cmath>

namespace orm {

namespace {

// The least difference between an output's and its source's duration that
// counts as a cut output: 2 s, or 5 % of a long source.
constexpr qint64 kDurationSlackMs = 2000;
constexpr double kDurationSlackShare = 0.05;
// How many names are tried before a job writes over an existing file after all.
constexpr int kNameTries = 100000;
// How often publication starts again when a name was taken meanwhile.
constexpr int kPublishTries = 100;
// A private name begins so: hidden, and unlike any name a user gives.
constexpr auto kPrivateMark = u".orm-";

// The jobs of this process, numbered from 1: a private name is never used twice.
std::atomic<int> g_jobNumber{0};

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

using NameTemplate = OutputGuard::NameTemplate;

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
    const QStringList name{
        QDir::toNativeSeparators(output.shownPath.isEmpty() ? output.path : output.shownPath)};
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

namespace {

bool anyTaken(const QList<NameTemplate> &names, const PlaceholderValues &values,
              bool (*which)(const NameTemplate &))
{
    return std::any_of(names.begin(), names.end(), [&](const NameTemplate &n) {
        return which(n) && taken(plainExpanded(n.text, values));
    });
}

// Moves the output names off existing files: a numbered name takes the next
// free number (the temporary file keeps sharing its digits where it did); a
// name from the source's takes the first free "name (n)".
void chooseFreeNames(const QList<NameTemplate> &names, PlaceholderValues &values)
{
    const auto numbered = [](const NameTemplate &n) { return n.numbered; };
    for (int i = 0; i < kNameTries && anyTaken(names, values, numbered); ++i) {
        const QString old5 = values.RandomNumber5;
        values.RandomNumber5 = nextNumber(values.RandomNumber5);
        values.RandomNumber3 = nextNumber(values.RandomNumber3);
        if (!old5.isEmpty() && values.TemporaryFile.endsWith(old5)) {
            values.TemporaryFile.chop(old5.size());
            values.TemporaryFile += values.RandomNumber5;
        }
    }
    const auto fromOutputFile = [](const NameTemplate &n) { return n.fromOutputFile; };
    const QString base = values.OutputFile;
    for (int n = 2; n < kNameTries && anyTaken(names, values, fromOutputFile); ++n)
        values.OutputFile =
            QStringLiteral("%1 (%2)%3").arg(RemoveFileExt(base)).arg(n).arg(ExtractFileExt(base));
}

// The values with which the commands write the job's private names: the same
// folder, a hidden name start with the process id and the job's number.
PlaceholderValues privateValues(const PlaceholderValues &values, const QString &mark)
{
    PlaceholderValues p = values;
    p.OutputFile = ExtractFilePath(values.OutputFile) + mark + ExtractFileName(values.OutputFile);
    p.OutputPath = values.OutputPath + mark;
    return p;
}

} // namespace

QString OutputGuard::pathOf(const NameTemplate &name, const PlaceholderValues &values) const
{
    return QDir(m_currentFolder).absoluteFilePath(plainExpanded(name.text, values));
}

void OutputGuard::beginCommands(const QStringList &commandTemplates, const QString &extension,
                                PlaceholderValues &values)
{
    m_begun = true;
    m_named.clear();
    m_private.clear();
    m_published.clear();
    m_currentFolder = QDir::currentPath();
    m_folder =
        values.OutputPath.isEmpty() ? QDir::currentPath() : QDir(values.OutputPath).absolutePath();
    const QStringList entries = QDir(m_folder).entryList(QDir::AllEntries | QDir::Hidden |
                                                         QDir::System | QDir::NoDotAndDotDot);
    m_before = QSet<QString>(entries.begin(), entries.end());
    m_sourcePath = values.InputFile;
    m_sourceIdentity = platform::fileIdentity(QFile::encodeName(values.InputFile).toStdString());
    m_source.reset();
    if (!m_probeLater)
        probeSource();

    m_templates = outputNameTemplates(commandTemplates);
    const bool usesOutputFile =
        std::any_of(commandTemplates.begin(), commandTemplates.end(), [](const QString &l) {
            return l.contains(u"<%OutputFile%>", Qt::CaseInsensitive);
        });
    if (m_templates.isEmpty() && usesOutputFile && !extension.isEmpty()) {
        NameTemplate name;
        name.text = QStringLiteral("<%OutputFile%>.") + extension;
        name.fromOutputFile = true;
        m_templates << name;
    }
    m_baseOutputFile = values.OutputFile;
    chooseFreeNames(m_templates, values);
    m_planned = values;

    const QString mark = QString::fromUtf16(kPrivateMark) + QString::number(::getpid()) + u'-' +
                         QString::number(++g_jobNumber) + u'-';
    const PlaceholderValues own = privateValues(values, mark);
    for (const NameTemplate &n : std::as_const(m_templates)) {
        const QString path = pathOf(n, m_planned);
        const auto same = [&](const ExpectedOutput &o) { return o.path == path; };
        if (std::any_of(m_named.begin(), m_named.end(), same))
            continue;
        m_named << ExpectedOutput{path, n.keepsVideo, n.keepsAudio, {}};
        m_private << pathOf(n, own);
    }
    // With no output named there is nothing to call the job's own.
    if (!m_named.isEmpty())
        values = own;
}

void OutputGuard::probeSource()
{
    if (!m_source)
        m_source = ProbeMedia(m_sourcePath);
}

QStringList OutputGuard::createdFiles() const
{
    QStringList created;
    for (const QString &path : m_private) {
        if (taken(path))
            created << path;
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
    QList<ExpectedOutput> outputs;
    for (qsizetype i = 0; i < m_named.size(); ++i) {
        ExpectedOutput output = m_named.at(i);
        output.shownPath = output.path;
        output.path = m_private.at(i);
        outputs << output;
    }
    if (!m_begun || !m_templates.isEmpty())
        return outputs;
    const QDir folder(m_folder);
    for (const QString &name :
         folder.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (!m_before.contains(name))
            outputs << ExpectedOutput{folder.absoluteFilePath(name), false, false, {}};
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

std::optional<QString> OutputGuard::publish(const OutputTexts &texts)
{
    m_published.clear();
    if (m_templates.isEmpty())
        return std::nullopt; // the commands wrote their files under their own names
    const auto native = [](const QString &path) { return QFile::encodeName(path).toStdString(); };
    PlaceholderValues values = m_planned;
    for (int attempt = 0; attempt < kPublishTries; ++attempt) {
        // The next free names now, from the source's name on.
        values.OutputFile = m_baseOutputFile;
        chooseFreeNames(m_templates, values);
        QStringList finals;
        for (const NameTemplate &n : std::as_const(m_templates)) {
            const QString path = pathOf(n, values);
            if (!finals.contains(path))
                finals << path;
        }
        qsizetype done = 0;
        int error = 0;
        for (; done < m_private.size() && done < finals.size(); ++done) {
            error = platform::renameNoReplace(native(m_private.at(done)), native(finals.at(done)));
            if (error != 0)
                break;
        }
        if (error == 0) {
            m_published = finals.mid(0, m_private.size());
            m_named.clear(); // the private names are gone; nothing of the job stays to remove
            m_private.clear();
            return std::nullopt;
        }
        // Taken back, so that the set is published under names of one choice.
        for (qsizetype i = 0; i < done; ++i)
            platform::renameNoReplace(native(finals.at(i)), native(m_private.at(i)));
        if (error != EEXIST)
            return filled(texts(OutputMessage::MSG_OUTPUT_NOT_NAMED),
                          {QDir::toNativeSeparators(finals.at(done))});
    }
    return filled(texts(OutputMessage::MSG_OUTPUT_NOT_NAMED),
                  {QDir::toNativeSeparators(m_named.value(0).path)});
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

QString OutputGuard::shownText(const QString &text) const
{
    QString shown = text;
    for (qsizetype i = 0; i < m_private.size(); ++i) {
        shown.replace(m_private.at(i), m_named.at(i).path);
        shown.replace(QFileInfo(m_private.at(i)).fileName(),
                      QFileInfo(m_named.at(i).path).fileName());
    }
    return shown;
}

SourceRemoval OutputGuard::removeSource() const
{
    return RemoveSource(m_sourcePath, m_sourceIdentity ? m_sourceIdentity
                                                       : std::optional(platform::FileIdentity{}));
}

JobEnd VerifiedJobEnd(OutputGuard &guard, const JobEnd &end, const OutputTexts &texts)
{
    JobEnd verified = end;
    verified.message = guard.shownText(verified.message);
    for (QString &line : verified.recentLines)
        line = guard.shownText(line);
    if (verified.outcome == JobOutcome::Converted) {
        auto problem = guard.verify(texts);
        if (!problem)
            problem = guard.publish(texts);
        if (problem) {
            verified.outcome = JobOutcome::Failed;
            verified.message = *problem;
        } else {
            verified.outputs = guard.published();
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

QString SourceChangedText(const QString &path, const OutputTexts &texts)
{
    return filled(texts(OutputMessage::MSG_SOURCE_CHANGED), {QDir::toNativeSeparators(path)});
}

SourceRemoval RemoveSource(const QString &path,
                           const std::optional<platform::FileIdentity> &identity)
{
    if (identity && platform::fileIdentity(QFile::encodeName(path).toStdString()) != identity)
        return SourceRemoval::Changed;
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
