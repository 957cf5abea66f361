#pragma once
// The "Languages" menu without its widgets: one entry per language file in
// the language folder, and the file an entry names.
#include <QList>
#include <QString>

namespace marbeck {

struct LanguageEntry {
    QString caption; // the file name without extension, upper case
    bool checked = false;
};

// Every "*.ini" of the folder in the order the folder lists them; the entry
// of `languageFile` (compared without regard to case) is checked.
QList<LanguageEntry> LanguageMenuEntries(const QString &folder, const QString &languageFile);

// The language file a menu caption names: the caption without accelerator
// marks, with ".ini" appended. File names match without regard to case, so
// ENGLISH.ini names english.ini.
QString LanguageFileForCaption(const QString &caption);

} // namespace marbeck
