#include "batchscript.h"

#include "encoderquery.h"
#include "error.h"
#include "ini.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "presethealth.h"
#include "userfolders.h"
#include "utilfuncs.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <optional>

namespace orm {

namespace {
QString inFolder(const QString &folder, QStringView name)
{
    return IncludeBackslash(folder) +
           QString::fromStdString(platform::toPlatformSeparators(name.toString().toStdString()));
}
QString scriptFile(const QString &programFolder, QStringView name)
{
    return UserFolders(programFolder).scriptFile(name);
}
QString slotName(QStringView name, int slot)
{
    if (slot <= 0)
        return name.toString();
    const qsizetype dot = name.lastIndexOf(u'.');
    return name.left(dot).toString() + u'-' + QString::number(slot + 1) + name.mid(dot).toString();
}
} // namespace

QString ScriptFileName(int slot)
{
    return slotName(kScriptFileName, slot);
}

QString AviSynthFileName(int slot)
{
    return slotName(kAviSynthFileName, slot);
}

bool TakesAviSynthRoute(const QString &source, bool useDirectShow, const QStringList &avsExt)
{
    return useDirectShow || avsExt.contains(ExtractFileExt(source), Qt::CaseSensitive);
}

QStringList ReadTextLines(const QString &path, bool *ok)
{
    const auto read = platform::readRegularFile(
        platform::resolveCaseInsensitive(QFile::encodeName(path).toStdString()));
    if (ok)
        *ok = read.has_value();
    if (!read)
        return {};
    const QByteArray bytes = QByteArray::fromStdString(*read);
    QString text = QString::fromStdString(
        platform::decodeText(std::string_view(bytes.constData(), size_t(bytes.size()))));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void WriteTextLines(const QString &path, const QStringList &lines)
{
    QSaveFile file(path);
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toUtf8() + '\n';
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Error(QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString()));
}

void WriteAviSynthScript(const QString &programFolder, const QString &source, int slot)
{
    const QString templatePath = inFolder(programFolder, kAviSynthTemplate);
    bool ok = false;
    QStringList lines = ReadTextLines(templatePath, &ok);
    if (!ok)
        throw Error(QStringLiteral("Cannot open file \"%1\".").arg(templatePath));
    static const QRegularExpression placeholder(QStringLiteral("<%InputFile%>"),
                                                QRegularExpression::CaseInsensitiveOption);
    for (QString &line : lines) {
        QString out;
        qsizetype from = 0;
        for (auto it = placeholder.globalMatch(line); it.hasNext();) {
            const auto m = it.next();
            out += line.mid(from, m.capturedStart() - from) + source;
            from = m.capturedEnd();
        }
        line = out + line.mid(from);
    }
    WriteTextLines(scriptFile(programFolder, AviSynthFileName(slot)), lines);
}

namespace {

// True when one of the preset's commands writes a picture.
bool presetNeedsPicture(const IniFile &profile, const QString &section)
{
    for (const QString &key : profile.keyNames(section)) {
        if (IsCommandKey(key) && NeedsOfCommand(profile.readString(section, key, {})).makesVideo)
            return true;
    }
    return false;
}

// nullopt when the encoder could not tell.
std::optional<bool> hasMovingPicture(const QString &encoder, const QString &source)
{
    if (!QFileInfo(encoder).isFile())
        return std::nullopt;
    // Without an output the encoder only lists the input's streams.
    const auto answer =
        AskEncoder(encoder, {QStringLiteral("-hide_banner"), QStringLiteral("-i"), source},
                   EncoderChannels::Merged);
    if (!answer)
        return std::nullopt;
    const QString &listing = answer->text;
    static const QRegularExpression streamLine(QStringLiteral("^\\s*Stream #\\d+:\\d+.*$"),
                                               QRegularExpression::MultilineOption);
    bool anyStream = false;
    for (auto it = streamLine.globalMatch(listing); it.hasNext();) {
        const QString line = it.next().captured();
        anyStream = true;
        if (line.contains(u": Video: ") && !line.contains(u"(attached pic)"))
            return true;
    }
    if (!anyStream)
        return std::nullopt; // not read at all: the conversion reports why
    return false;
}

} // namespace

QString SourceRefusal(const ScriptJob &job)
{
    if (job.pictureKnown)
        return {};
    const IniFile profile(job.profileFile);
    if (!presetNeedsPicture(profile, job.section))
        return {};
    const QString encoder =
        IncludeBackslash(job.values.AppPath) + QStringLiteral("cores/avcore.dll");
    if (hasMovingPicture(encoder, job.values.InputFile) != false)
        return {};
    return QStringLiteral("\"%1\" has no picture, and this preset makes a video, which needs "
                          "one. Choose a sound-only preset for it.")
        .arg(ExtractFileName(job.values.InputFile));
}

QString WriteJobScripts(const ScriptJob &job)
{
    if (const QString refusal = SourceRefusal(job); !refusal.isEmpty())
        throw Error(refusal);
    PlaceholderValues values = job.values;
    if (job.aviSynthRoute) {
        // The title stays the source's name, not the AviSynth script's.
        if (values.SourceName.isEmpty())
            values.SourceName = RemoveFileExt(ExtractFileName(values.InputFile));
        WriteAviSynthScript(job.programFolder, values.InputFile, job.slot);
        values.InputFile = scriptFile(job.programFolder, AviSynthFileName(job.slot));
    }
    const IniFile profile(job.profileFile);
    const auto lines = ExpandPreset(profile, job.section, values);
    if (!lines)
        throw Error(lines.error());
    const QString script = scriptFile(job.programFolder, ScriptFileName(job.slot));
    // The first command that fails ends the script with its status: a later
    // command must not make a failed job look converted.
    QStringList scriptLines = *lines;
    if (!scriptLines.isEmpty())
        scriptLines.prepend(QStringLiteral("set -e"));
    WriteTextLines(script, scriptLines);
    return script;
}

void DeleteTempFiles(const QString &programFolder, int slot)
{
    QFile::remove(scriptFile(programFolder, ScriptFileName(slot)));
    QFile::remove(scriptFile(programFolder, AviSynthFileName(slot)));
}

} // namespace orm
