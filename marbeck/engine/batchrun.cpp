#include "batchrun.h"

namespace marbeck {

void BatchRun::start(int rowCount)
{
    TotalCount = rowCount;
    DoneCount = 0;
    FailedCount = 0;
    AnyJobFailed = false;
}

JobEndSteps BatchRun::jobEnded(orm::JobOutcome outcome, bool deleteAfterProcessing,
                               bool stopWhenDone, int stillRunning)
{
    JobEndSteps steps;
    switch (outcome) {
    case orm::JobOutcome::Stopped: return steps;
    case orm::JobOutcome::Converted:
        // Only a job that printed no error line and exited with status 0 gets here.
        steps.deleteSource = deleteAfterProcessing;
        steps.removeRow = true;
        ++DoneCount;
        steps.lastFileDone = DoneCount == TotalCount;
        break;
    case orm::JobOutcome::Failed:
        AnyJobFailed = true;
        ++FailedCount;
        steps.moveRowToEnd = true;
        break;
    }
    const bool noneToStart = stopWhenDone || DoneCount + FailedCount + stillRunning >= TotalCount;
    steps.endBatch = noneToStart && stillRunning == 0;
    steps.startNext = !noneToStart;
    return steps;
}

} // namespace marbeck
