#include "resstr.h"

#include "ini.h"
#include "utilfuncs.h"

#include <cstring>

namespace orm {

MessageTable::MessageTable(std::span<const MessageKey> keys) : m_keys(keys)
{
    resetToEnglish();
}

void MessageTable::resetToEnglish()
{
    m_texts.clear();
    for (const MessageKey &k : m_keys)
        m_texts << CleanLanguageText(QString::fromUtf8(k.englishDefault));
}

int MessageTable::LoadLanguage(const QString &path)
{
    const IniFile ini(path);
    if (!ini.exists())
        return -1;
    const QStringList present = ini.keyNames(u"LANGRES");
    int found = 0;
    for (size_t i = 0; i < m_keys.size(); ++i) {
        const QString key = QString::fromLatin1(m_keys[i].key);
        found += present.contains(key, Qt::CaseInsensitive);
        m_texts[qsizetype(i)] =
            CleanLanguageText(ini.readString(u"LANGRES", key, m_texts[qsizetype(i)]));
    }
    return found;
}

QString MessageTable::text(const char *key) const
{
    for (size_t i = 0; i < m_keys.size(); ++i) {
        if (std::strcmp(m_keys[i].key, key) == 0)
            return m_texts.at(qsizetype(i));
    }
    return {};
}

QString CleanLanguageText(const QString &text)
{
    const QString trimmed = TrimControls(text);
    QString out;
    out.reserve(trimmed.size());
    for (const QChar c : trimmed) {
        if (c == u' ' && !out.isEmpty() && out.back() == u' ')
            continue;
        out += c;
    }
    out.replace(QStringLiteral("#13"), QStringLiteral("\r\n"));
    return out;
}

QString FormatMessage(const QString &pattern, const QStringList &arguments)
{
    QString out;
    qsizetype next = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c == u'%' && i + 1 < pattern.size()) {
            const QChar kind = pattern.at(i + 1);
            if (kind == u's' || kind == u'd') {
                out += arguments.value(next++);
                ++i;
                continue;
            }
            if (kind == u'%') {
                out += u'%';
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

} // namespace orm
