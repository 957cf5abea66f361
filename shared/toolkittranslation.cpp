#include "toolkittranslation.h"

#include "utilfuncs.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace orm {

namespace {

// Qt 6 asks for the file dialog's type names ("Folder", "Drive", "%1 File")
// under a context of their own, while the installed French and Italian
// translations still file them under the file dialog's: a text missing under
// the new context is looked up under the old one.
class ToolkitTranslator : public QTranslator {
public:
    QString translate(const char *context, const char *sourceText, const char *disambiguation,
                      int n) const override
    {
        QString text = QTranslator::translate(context, sourceText, disambiguation, n);
        if (text.isEmpty() && qstrcmp(context, "QAbstractFileIconProvider") == 0)
            text = QTranslator::translate("QFileDialog", sourceText, disambiguation, n);
        return text;
    }
};

} // namespace

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
    auto translator = std::make_unique<ToolkitTranslator>();
    if (!translator->load(QStringLiteral("qtbase_") + code,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QCoreApplication::installTranslator(translator.get());
    installed = std::move(translator);
    return true;
}

} // namespace orm
