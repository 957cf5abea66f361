#pragma once
// Cordane's message table: every key it reads, with its English default. In
// MSG_FORMTITLE "%s" is the title of the profile the job uses.
#include "shared/failurereason.h"
#include "shared/outputmessages.h"
#include "shared/resstr.h"

// X(key, English default)
#define CORDANE_MESSAGES(X)                                                                        \
    X(MSG_ID_STATUS, "Status=")                                                                    \
    X(MSG_ERROR, "Error")                                                                          \
    X(MSG_ANERROROCCURRED, "At least one error occurred.")                                         \
    X(MSG_OOPS, "Oops, something wasn't as expected!")                                             \
    X(MSG_ABORTENCODING, "Do you want to stop encoding now?")                                      \
    X(MSG_QUESTION, "Question")                                                                    \
    X(MSG_BTN_NOW, "Stop now")                                                                     \
    X(MSG_CANCEL, "Cancel")                                                                        \
    X(MSG_CONVERT_ERROR, "Convert Error!")                                                         \
    X(MSG_CONVERT_COMPLETE, "Convert Complete!")                                                   \
    X(MSG_FORMTITLE, "Converting to %s, please wait...")                                           \
    X(MSG_REMAININGTIME, "Remaining time:")                                                        \
    X(MSG_ELAPSEDTIME, "Elapsed time:")                                                            \
    X(MSG_ESTIMATEDTIME, "Estimated time:")                                                        \
    X(MSG_SOURCEFILE, "Source:")                                                                   \
    X(MSG_TARGETFILE, "Output:")                                                                   \
    X(MSG_VIEWLOG, "Do you want to view the log?")                                                 \
    ORM_OUTPUT_MESSAGES(X)                                                                         \
    ORM_FAILURE_CAUSE_MESSAGES(X)

namespace cordane {

enum class Msg : int {
#define ORM_MESSAGE_ENUM(key, text) key,
    CORDANE_MESSAGES(ORM_MESSAGE_ENUM)
#undef ORM_MESSAGE_ENUM
};

orm::MessageTable &messages();
QString msg(Msg key);
// A text of the output check from this table.
QString outputText(orm::OutputMessage key);
// The diagnosis of a failure's common cause.
QString causeText(orm::FailureCause cause);

} // namespace cordane
