#include "failurelog.h"

#include "interaction.h"
#include "userfolders.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QSaveFile>

namespace orm {

void FailureLog::add(const QString &source, const QString &message)
{
    const QString line = message.trimmed();
    if (line.isEmpty())
        return;
    if (m_entries.isEmpty() || m_entries.last().source != source)
        m_entries.append({source, {}});
    if (!m_entries.last().messages.contains(line))
        m_entries.last().messages.append(line);
}

QString FailureLog::text() const
{
    QString out;
    for (const Entry &entry : m_entries) {
        if (!out.isEmpty())
            out += u'\n';
        out += entry.source + u'\n';
        for (const QString &message : entry.messages) {
            QString indented = message;
            indented.replace(u'\n', QStringLiteral("\n    "));
            out += QStringLiteral("    ") + indented + u'\n';
        }
    }
    return out;
}

QString FailureLogPath()
{
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty())
        name = QStringLiteral("Ormolux");
    return QDir(UserFolders::runtimeFolder()).filePath(name + QStringLiteral(" log.txt"));
}

tl::expected<QString, QString> WriteFailureLog(const FailureLog &log)
{
    const QString path = FailureLogPath();
    QSaveFile file(path);
    const QByteArray body =
        (QDateTime::currentDateTime().toString(Qt::ISODate) + u'\n' + u'\n' + log.text()).toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(body) != body.size() || !file.commit())
        return tl::unexpected(QStringLiteral("Cannot write the log file \"%1\": %2")
                                  .arg(QDir::toNativeSeparators(path), file.errorString()));
    return path;
}

void OfferFailureLog(const FailureLog &log, const QString &question, const QString &caption)
{
    const auto written = WriteFailureLog(log);
    if (log.isEmpty()) {
        ShowMessageBox(question, caption, mb::kIconExclamation); // nothing to show but the notice
        return;
    }
    if (ShowMessageBox(question, caption, mb::kIconExclamation | mb::kYesNo) != IdYes)
        return;
    if (!written) {
        ShowMessageBox(written.error(), caption, mb::kIconError);
        return;
    }
    ShellOpen(*written);
}

} // namespace orm
