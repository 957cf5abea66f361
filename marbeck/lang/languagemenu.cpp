#include "languagemenu.h"

#include <QDir>

namespace marbeck {

QList<LanguageEntry> LanguageMenuEntries(const QString &folder, const QString &languageFile)
{
    QList<LanguageEntry> entries;
    const QDir dir(folder);
    const QStringList names = dir.entryList(
        {QStringLiteral("*.ini")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    const QString current = languageFile.toUpper();
    for (const QString &name : names) {
        const qsizetype dot = name.lastIndexOf(u'.');
        const QString caption = name.left(dot).toUpper();
        entries.append({caption, current == caption + QStringLiteral(".INI")});
    }
    return entries;
}

QString LanguageFileForCaption(const QString &caption)
{
    QString name = caption;
    name.remove(u'&');
    return name + QStringLiteral(".ini");
}

} // namespace marbeck
