#pragma once
// The texts of the output check. Both programs' message tables hold these
// keys, so the reason a job failed is read in the user's language.
#include "resstr.h"

// X(key, English default); "%s" is an output's path, "%d" a number of seconds.
#define ORM_OUTPUT_MESSAGES(X)                                                                     \
    X(MSG_OUTPUT_NONE, "The job made no output file.")                                             \
    X(MSG_OUTPUT_MISSING, "The output file \"%s\" is missing.")                                    \
    X(MSG_OUTPUT_EMPTY, "The output file \"%s\" is empty.")                                        \
    X(MSG_OUTPUT_UNREADABLE, "The output file \"%s\" cannot be read as a media file.")             \
    X(MSG_OUTPUT_NO_VIDEO, "The output file \"%s\" has no video.")                                 \
    X(MSG_OUTPUT_NO_AUDIO, "The output file \"%s\" has no sound.")                                 \
    X(MSG_OUTPUT_DURATION, "The output is %d s long, the source %d s.")                            \
    X(MSG_OUTPUT_NOT_NAMED, "The output file \"%s\" could not be given its name.")                 \
    X(MSG_SOURCE_CHANGED,                                                                          \
      "The source \"%s\" was changed or replaced while it was converted: it was kept.")

namespace orm {

enum class OutputMessage : int {
#define ORM_OUTPUT_MESSAGE_ENUM(key, text) key,
    ORM_OUTPUT_MESSAGES(ORM_OUTPUT_MESSAGE_ENUM)
#undef ORM_OUTPUT_MESSAGE_ENUM
};

// The text of a reason in a program's message table, which holds these keys.
inline QString TextOf(const MessageTable &table, OutputMessage key)
{
    static constexpr const char *kNames[] = {
#define ORM_OUTPUT_MESSAGE_NAME(key, text) #key,
        ORM_OUTPUT_MESSAGES(ORM_OUTPUT_MESSAGE_NAME)
#undef ORM_OUTPUT_MESSAGE_NAME
    };
    return table.text(kNames[int(key)]);
}

} // namespace orm
