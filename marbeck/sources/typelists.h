#pragma once
// The accepted-types file of the current language: which files the source
// list takes, the open dialog's filter, and the extensions that go through
// the AviSynth script.
#include <QString>
#include <QStringList>

namespace marbeck {

struct TypeLists {
    QStringList InputFileTypes; // "description=patterns" lines in file order
    QStringList AVSExt;         // extensions with their dot, in key order
};

// Program folder + language folder (relative, either separator) + "type_" +
// the language file's name with the extension ".dat", looked up without
// regard to letter case.
QString TypeFileName(const QString &appFolder, const QString &languageFolder,
                     const QString &languageFile);

// A missing file gives two empty lists.
void LoadTypeLists(TypeLists &lists, const QString &path);

// True when the lower-cased extension occurs anywhere in one of the lower-cased
// pattern lists: a substring test, so ".av" is taken where "*.avi" is listed.
// An empty extension never is.
bool IsAcceptedType(const QString &extension, const QStringList &inputFileTypes);

// "name|patterns|" for every line, then the "All Files" text and "|*.*".
QString BuildOpenFilter(const QStringList &inputFileTypes);

// A "name|patterns|name|patterns" filter in the toolkit's form,
// "name (p1 p2);;name (p3)": a description that already ends in its
// parenthesised patterns keeps only one copy of them.
QString QtFileDialogFilter(const QString &filter);

} // namespace marbeck
