#include "batchscript.h"

#include "error.h"
#include "ini.h"
#include "platform/platform.h"
#include "userfolders.h"
#include "utilfuncs.h"

#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>

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
} // namespace

bool TakesAviSynthRoute(const QString &source, bool useDirectShow, const QStringList &avsExt)
{
    return useDirectShow || avsExt.contains(ExtractFileExt(source), Qt::CaseSensitive);
}

QStringList ReadTextLines(const QString &path, bool *ok)
{
    QFile file(QString::fromStdString(platform::resolveCaseInsensitive(path.toStdString())));
    if (!file.open(QIODevice::ReadOnly)) {
        if (ok)
            *ok = false;
        return {};
    }
    if (ok)
        *ok = true;
    const QByteArray bytes = file.readAll();
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

void WriteAviSynthScript(const QString &programFolder, const QString &source)
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
    WriteTextLines(scriptFile(programFolder, kAviSynthFileName), lines);
}

QString WriteJobScripts(const ScriptJob &job)
{
    PlaceholderValues values = job.values;
    if (job.aviSynthRoute) {
        WriteAviSynthScript(job.programFolder, values.InputFile);
        values.InputFile = scriptFile(job.programFolder, kAviSynthFileName);
    }
    const IniFile profile(job.profileFile);
    const auto lines = ExpandPreset(profile, job.section, values);
    if (!lines)
        throw Error(lines.error());
    const QString script = scriptFile(job.programFolder, kScriptFileName);
    WriteTextLines(script, *lines);
    return script;
}

void DeleteTempFiles(const QString &programFolder)
{
    QFile::remove(scriptFile(programFolder, kScriptFileName));
    QFile::remove(scriptFile(programFolder, kAviSynthFileName));
}

} // namespace orm
