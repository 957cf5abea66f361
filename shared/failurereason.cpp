#include "failurereason.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace orm {

namespace {

// Lines the encoder prints after the real cause, which repeat only that
// something failed.
bool isGeneric(const QString &line)
{
    static const QRegularExpression generic(
        QStringLiteral("^(Conversion failed!?|Error initializing output stream.*|"
                       "Error opening output files?.*|Error while opening encoder.*|"
                       "Error closing file.*|Exiting normally.*|"
                       "Error while filtering.*|Failed to set value .*|"
                       "\\[[^\\]]*\\]\\s*|Error writing trailer of .*: Invalid argument|"
                       "\\s*)$"),
        QRegularExpression::CaseInsensitiveOption);
    return generic.match(line).hasMatch();
}

// Lines that name a cause rather than describe progress or settings.
bool saysWhatWentWrong(const QString &line)
{
    static const QRegularExpression telling(
        QStringLiteral("error|no space|denied|no such file|invalid|unknown|unrecogni[sz]ed|"
                       "not found|killed|terminated|failed|cannot|could not|unable"),
        QRegularExpression::CaseInsensitiveOption);
    return telling.match(line).hasMatch();
}

bool anyLineMatches(const FailureContext &c, const QRegularExpression &pattern)
{
    if (pattern.match(c.errorLine).hasMatch())
        return true;
    for (const QString &line : c.lines) {
        if (pattern.match(line).hasMatch())
            return true;
    }
    return false;
}

QRegularExpression pattern(const char *text)
{
    return QRegularExpression(QLatin1String(text), QRegularExpression::CaseInsensitiveOption);
}

} // namespace

QString MostTellingLine(const FailureContext &c)
{
    for (auto it = c.lines.crbegin(); it != c.lines.crend(); ++it) {
        if (!isGeneric(*it) && saysWhatWentWrong(*it))
            return *it;
    }
    if (!c.errorLine.isEmpty())
        return c.errorLine;
    for (auto it = c.lines.crbegin(); it != c.lines.crend(); ++it) {
        if (!isGeneric(*it))
            return *it;
    }
    return c.lines.isEmpty() ? QString() : c.lines.last();
}

FailureCause DiagnoseFailure(const FailureContext &c)
{
    if (c.stoppedByUser)
        return FailureCause::MSG_CAUSE_KILLED_USER;
    if (anyLineMatches(c, pattern("No space left on device|Disk quota exceeded")))
        return FailureCause::MSG_CAUSE_DISK_FULL;
    if (anyLineMatches(c, pattern("Permission denied|Read-only file system")))
        return FailureCause::MSG_CAUSE_PERMISSION;
    if (anyLineMatches(c, pattern("No such file or directory"))) {
        // The same words for a missing source and a missing output folder.
        if (!c.outputFolder.isEmpty() && !QFileInfo(c.outputFolder).isDir())
            return FailureCause::MSG_CAUSE_OUTPUT_FOLDER;
        if (!c.inputFile.isEmpty() && !QFileInfo(c.inputFile).isFile())
            return FailureCause::MSG_CAUSE_MISSING_INPUT;
        return FailureCause::MSG_CAUSE_MISSING_INPUT;
    }
    if (anyLineMatches(c, pattern("Unknown encoder|Unknown decoder|Encoder not found|"
                                  "Unrecogni[sz]ed option|Option \\S+ not found|"
                                  "Requested output format '.*' is not|No such filter")))
        return FailureCause::MSG_CAUSE_UNKNOWN_ENCODER;
    if (anyLineMatches(c, pattern("Invalid data found when processing input|moov atom not found|"
                                  "does not contain any stream|"
                                  "No audio or video streams available|could not find codec")))
        return FailureCause::MSG_CAUSE_NOT_VIDEO;
    // A shell reports a child ended by a signal as "Killed" or "Terminated";
    // its exit status is 128 + the signal.
    if (c.exitStatus == 128 + 9 || c.exitStatus == 128 + 15 ||
        anyLineMatches(c, pattern("(^|\\s)(Killed|Terminated)\\s*$")))
        return FailureCause::MSG_CAUSE_KILLED_OUTSIDE;
    return FailureCause::None;
}

QString FailureReport(const FailureContext &c,
                      const std::function<QString(FailureCause)> &causeText)
{
    QString report = MostTellingLine(c);
    const FailureCause cause = DiagnoseFailure(c);
    if (cause != FailureCause::None && causeText) {
        const QString diagnosis = causeText(cause);
        if (!diagnosis.isEmpty())
            report += (report.isEmpty() ? QString() : QStringLiteral("\n")) + diagnosis;
    }
    return report;
}

} // namespace orm
