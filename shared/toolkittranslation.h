#pragma once
// The toolkit's own texts (standard buttons, file dialogs, context menus) in
// the language the user chose, from the translations the system installs.
#include <QString>

namespace orm {

// The language code of a language file: "french.ini" and "french_Cordane.ini"
// give "fr"; English and unknown names give "en".
QString LanguageCodeOfFile(const QString &languageFile);

// Replaces the toolkit translation in use with the one for the language file.
// English needs none; false when the system has no translation for the language.
bool UseToolkitLanguage(const QString &languageFile);

} // namespace orm
