#include "typelists.h"

#include "lang/marbeckmessages.h"
#include "platform/platform.h"
#include "shared/ini.h"
#include "shared/utilfuncs.h"

namespace marbeck {

namespace {

QStringView nameOf(const QString &line)
{
    const qsizetype equals = line.indexOf(u'=');
    return equals < 0 ? QStringView(line) : QStringView(line).left(equals);
}

QStringView valueOf(const QString &line)
{
    const qsizetype equals = line.indexOf(u'=');
    return equals < 0 ? QStringView() : QStringView(line).mid(equals + 1);
}

} // namespace

QString TypeFileName(const QString &appFolder, const QString &languageFolder,
                     const QString &languageFile)
{
    const QString relative = languageFolder + QStringLiteral("type_") +
                             orm::RemoveFileExt(languageFile) + QStringLiteral(".dat");
    const std::string path = orm::IncludeBackslash(appFolder).toStdString() +
                             orm::platform::toPlatformSeparators(relative.toStdString());
    return QString::fromStdString(orm::platform::resolveCaseInsensitive(path));
}

void LoadTypeLists(TypeLists &lists, const QString &path)
{
    const orm::IniFile ini(path);
    const QString none = QStringLiteral("<none>");
    lists.AVSExt.clear();
    for (int key = 1;; ++key) {
        const QString value = ini.readString(u"AVSExt", QString::number(key), none);
        if (value == none)
            break;
        lists.AVSExt << value;
    }
    lists.InputFileTypes = ini.sectionValues(u"InputFileTypes");
}

bool IsAcceptedType(const QString &extension, const QStringList &inputFileTypes)
{
    if (extension.isEmpty())
        return false;
    const QString lower = extension.toLower();
    for (const QString &line : inputFileTypes) {
        if (valueOf(line).toString().toLower().contains(lower))
            return true;
    }
    return false;
}

QString BuildOpenFilter(const QStringList &inputFileTypes)
{
    QString filter;
    for (const QString &line : inputFileTypes) {
        const QStringView name = nameOf(line);
        // A repeated name takes the patterns of its first line.
        QStringView patterns;
        for (const QString &first : inputFileTypes) {
            if (nameOf(first).compare(name, Qt::CaseInsensitive) == 0) {
                patterns = valueOf(first);
                break;
            }
        }
        filter += name.toString() + u'|' + patterns.toString() + u'|';
    }
    return filter + msg(Msg::MSG_ALLFILES) + QStringLiteral("|*.*");
}

QString QtFileDialogFilter(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts.at(i).trimmed();
        const QString patterns =
            parts.at(i + 1).split(u';', Qt::SkipEmptyParts).join(u' ').trimmed();
        if (name.endsWith(u')')) {
            const qsizetype open = name.lastIndexOf(u'(');
            if (open >= 0 && name.indexOf(u'*', open) > open)
                name = name.left(open).trimmed();
        }
        entries << QStringLiteral("%1 (%2)").arg(name, patterns);
    }
    return entries.join(QStringLiteral(";;"));
}

} // namespace marbeck
