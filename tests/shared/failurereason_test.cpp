// A failure is told by the encoder's most telling line and its likely cause.
#include "shared/failurereason.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orm;

namespace {

FailureContext context(const QStringList &lines, int exitStatus = 1)
{
    FailureContext c;
    c.lines = lines;
    c.exitStatus = exitStatus;
    return c;
}

QString causeName(FailureCause cause)
{
    switch (cause) {
#define ORM_CAUSE_NAME(key, text)                                                                  \
    case FailureCause::key: return QStringLiteral(#key);
        ORM_FAILURE_CAUSE_MESSAGES(ORM_CAUSE_NAME)
#undef ORM_CAUSE_NAME
    case FailureCause::None: break;
    }
    return QStringLiteral("None");
}

} // namespace

TEST(FailureReason, TheRealCauseIsFoundAboveTheEncodersGenericLastWords)
{
    // A full disk, as the encoder reports it.
    const FailureContext full = context({
        "Output #0, mp4, to '/out/a.mp4':",
        "av_interleaved_write_frame(): No space left on device",
        "Error writing trailer of /out/a.mp4: No space left on device",
        "Error closing file /out/a.mp4: No space left on device",
        "Conversion failed!",
    });
    EXPECT_EQ(MostTellingLine(full),
              "Error writing trailer of /out/a.mp4: No space left on device");
    EXPECT_EQ(DiagnoseFailure(full), FailureCause::MSG_CAUSE_DISK_FULL);

    // The cause two lines above a generic stream error.
    const FailureContext stream = context({
        "[libx264 @ 0x1] Error: No space left on device",
        "Error initializing output stream 0:0 -- ",
        "Conversion failed!",
    });
    EXPECT_EQ(MostTellingLine(stream), "[libx264 @ 0x1] Error: No space left on device");

    const FailureContext encoder = context({"Unknown encoder 'libfoo'"});
    EXPECT_EQ(MostTellingLine(encoder), "Unknown encoder 'libfoo'");
    EXPECT_EQ(DiagnoseFailure(encoder), FailureCause::MSG_CAUSE_UNKNOWN_ENCODER);
    EXPECT_EQ(DiagnoseFailure(context({"Unrecognized option 'tune2'.",
                                       "Error splitting the argument list: Option not found"})),
              FailureCause::MSG_CAUSE_UNKNOWN_ENCODER);
    EXPECT_EQ(DiagnoseFailure(context({"/in/a.avi: Invalid data found when processing input"})),
              FailureCause::MSG_CAUSE_NOT_VIDEO);
    EXPECT_EQ(DiagnoseFailure(context({"/out/a.mp4: Permission denied"})),
              FailureCause::MSG_CAUSE_PERMISSION);

    // A shell reports an encoder killed from outside by the signal's name and status.
    const FailureContext killed = context({"frame=  10 fps=0.0 q=0.0", "Killed"}, 137);
    EXPECT_EQ(DiagnoseFailure(killed), FailureCause::MSG_CAUSE_KILLED_OUTSIDE);
    EXPECT_EQ(DiagnoseFailure(context({}, 143)), FailureCause::MSG_CAUSE_KILLED_OUTSIDE);
    FailureContext stopped = killed;
    stopped.stoppedByUser = true;
    EXPECT_EQ(DiagnoseFailure(stopped), FailureCause::MSG_CAUSE_KILLED_USER);

    // Nothing known: no diagnosis, and the report is the line alone.
    const FailureContext odd = context({"muxer said something odd"});
    EXPECT_EQ(DiagnoseFailure(odd), FailureCause::None);
    EXPECT_EQ(FailureReport(odd, causeName), "muxer said something odd");
}

TEST(FailureReason, AMissingFileIsTheSourceOrTheOutputFolderByWhatIsThere)
{
    QTemporaryDir dir;
    FailureContext c = context({"/x/a.mp4: No such file or directory"});
    c.inputFile = dir.filePath("gone.mp4");
    c.outputFolder = dir.path();
    EXPECT_EQ(DiagnoseFailure(c), FailureCause::MSG_CAUSE_MISSING_INPUT);
    c.outputFolder = dir.filePath("removed");
    EXPECT_EQ(DiagnoseFailure(c), FailureCause::MSG_CAUSE_OUTPUT_FOLDER);
    EXPECT_EQ(FailureReport(c, causeName),
              "/x/a.mp4: No such file or directory\nMSG_CAUSE_OUTPUT_FOLDER");
}
