#pragma once
// What went wrong during one run, kept so that the closing "do you want to
// view the log?" question can be answered: each failed source with the
// messages the user was shown for it, written to a text file and opened in
// the desktop's viewer on request.
#include <QList>
#include <QString>
#include <QStringList>

#include <tl/expected.hpp>

namespace orm {

class FailureLog {
public:
    void clear() { m_entries.clear(); }
    // Adds a message for a source; messages of one source stay together.
    void add(const QString &source, const QString &message);
    bool isEmpty() const { return m_entries.isEmpty(); }
    // Each source on its own line, its messages indented under it, a blank
    // line between sources.
    QString text() const;

private:
    struct Entry {
        QString source;
        QStringList messages;
    };
    QList<Entry> m_entries;
};

// Where the log of this program is written: one file in the user's runtime
// folder (UserFolders::runtimeFolder), replaced by each run.
QString FailureLogPath();

// Writes the log, dated, to FailureLogPath(), replacing an older run's (an
// empty log too, so the file never shows an older run's failures as this
// one's): its path, or why it could not be written (for the user).
tl::expected<QString, QString> WriteFailureLog(const FailureLog &log);

// Writes the log, then asks `question` with Yes and No, and on Yes opens it.
// A log that cannot be written is reported in a box on Yes; an empty log
// leaves only the notice with its OK button.
void OfferFailureLog(const FailureLog &log, const QString &question, const QString &caption);

} // namespace orm
