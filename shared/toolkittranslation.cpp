#include "toolkittranslation.h"

#include "utilfuncs.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace orm {

QString LanguageCodeOfFile(const QString &languageFile)
{
    const QString name = RemoveFileExt(ExtractFileName(languageFile)).toLower();
    static const std::pair<const char *, const char *> kCodes[] = {
        {"french", "fr"}, {"deutsch", "de"}, {"german", "de"}, {"italian", "it"}};
    for (const auto &[stem, code] : kCodes) {
        if (name == QLatin1String(stem) || name.startsWith(QLatin1String(stem) + u'_'))
            return QLatin1String(code);
    }
    return QStringLiteral("en");
}

bool UseToolkitLanguage(const QString &languageFile)
{
    static std::unique_ptr<QTranslator> installed;
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    const QString code = LanguageCodeOfFile(languageFile);
    if (code == u"en")
        return true;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_") + code,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QCoreApplication::installTranslator(translator.get());
    installed = std::move(translator);
    return true;
}

} // namespace orm
