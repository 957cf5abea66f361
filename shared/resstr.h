#pragma once
// The message table: every text a program shows, by key, with its English
// default, replaced from a language file (section "LANGRES").
#include <QString>
#include <QStringList>

#include <cstddef>
#include <span>

namespace orm {

struct MessageKey {
    const char *key;
    const char *englishDefault;
};

class MessageTable {
public:
    explicit MessageTable(std::span<const MessageKey> keys);

    QString text(int index) const { return m_texts.at(index); }
    // The text of a key by its name; empty when the table has no such key.
    QString text(const char *key) const;
    std::span<const MessageKey> keys() const { return m_keys; }

    // Reads every key of the table from the file, keeping the current text of
    // a key the file lacks. A missing file changes nothing. Returns how many
    // of the table's keys the file holds; -1 when there is no such file.
    int LoadLanguage(const QString &path);
    void resetToEnglish();

private:
    std::span<const MessageKey> m_keys;
    QStringList m_texts;
};

// The entry of a program's message list (an X-macro of (key, English text))
// in its key table: `constexpr MessageKey kKeys[] = {LIST(ORM_MESSAGE_KEY)};`.
#define ORM_MESSAGE_KEY(key, text) {#key, text},

// A program's one message table, made from its key table at the first use.
// `Key` is the program's key type, which keeps the programs' tables apart.
template <class Key, std::size_t N> MessageTable &ProgramMessages(const MessageKey (&keys)[N])
{
    static MessageTable table(keys);
    return table;
}

// The clean-up of every language text: ends trimmed, runs of blanks folded,
// "#13" turned into a line break.
QString CleanLanguageText(const QString &text);

// A message-table text with its "%s" and "%d" filled from the arguments in
// order; "%%" is a percent sign.
QString FormatMessage(const QString &pattern, const QStringList &arguments);

} // namespace orm
