#pragma once
// Why a job failed, in words a user can act on: the encoder's most telling
// line (not its generic last words) and, for the common causes, a one-line
// diagnosis from one table.
#include "resstr.h"

#include <QString>
#include <QStringList>

#include <functional>

// X(key, English default). Both programs' message tables hold these keys.
#define ORM_FAILURE_CAUSE_MESSAGES(X)                                                              \
    X(MSG_CAUSE_DISK_FULL, "The disk is full: make room or choose another output folder.")         \
    X(MSG_CAUSE_PERMISSION, "Permission denied: the output folder or file cannot be written.")     \
    X(MSG_CAUSE_MISSING_INPUT, "The source file is missing or cannot be read.")                    \
    X(MSG_CAUSE_OUTPUT_FOLDER, "The output folder does not exist (any more).")                     \
    X(MSG_CAUSE_UNKNOWN_ENCODER, "The preset needs an encoder or option that this encoder lacks.") \
    X(MSG_CAUSE_NOT_VIDEO, "The source is not a video the encoder can read.")                      \
    X(MSG_CAUSE_KILLED_USER, "The conversion was stopped.")                                        \
    X(MSG_CAUSE_KILLED_OUTSIDE, "The encoder was ended from outside this program.")

namespace orm {

enum class FailureCause : int {
#define ORM_FAILURE_CAUSE_ENUM(key, text) key,
    ORM_FAILURE_CAUSE_MESSAGES(ORM_FAILURE_CAUSE_ENUM)
#undef ORM_FAILURE_CAUSE_ENUM
        None,
};

// The diagnosis of a cause in a program's message table, which holds these
// keys; empty for None.
inline QString TextOf(const MessageTable &table, FailureCause cause)
{
    static constexpr const char *kNames[] = {
#define ORM_FAILURE_CAUSE_NAME(key, text) #key,
        ORM_FAILURE_CAUSE_MESSAGES(ORM_FAILURE_CAUSE_NAME)
#undef ORM_FAILURE_CAUSE_NAME
    };
    return cause == FailureCause::None ? QString() : table.text(kNames[int(cause)]);
}

struct FailureContext {
    QStringList lines; // the encoder's last message lines, oldest first
    QString errorLine; // the error line the job was failed for, if any
    int exitStatus = 0;
    bool stoppedByUser = false;
    QString inputFile;
    QString outputFolder;
};

// The line that says most: from the end, the first that is not one of the
// encoder's generic closing lines ("Conversion failed!", "Error initializing
// output stream ...") and says what went wrong; else the last line.
QString MostTellingLine(const FailureContext &context);

// The common cause the lines point to, or None.
FailureCause DiagnoseFailure(const FailureContext &context);

// The text shown and logged: the most telling line, then the diagnosis in the
// program's language (`causeText`), when there is one.
QString FailureReport(const FailureContext &context,
                      const std::function<QString(FailureCause)> &causeText);

} // namespace orm
