#pragma once
// The counters of one batch and what the end of each job leads to.
#include "shared/progressmodel.h"

namespace marbeck {

// What the driver does after a job has ended, in this order.
struct JobEndSteps {
    bool deleteSource = false; // delete the source file (a failure is passed over)
    bool removeRow = false;    // the source was converted: its row goes
    bool moveRowToEnd = false; // the source failed: its row goes to the end
    bool lastFileDone = false; // the batch converted its last file
    bool endBatch = false;     // close the progress window with result 1
    bool startNext = false;    // queue the next job (after the job-end update)
};

class BatchRun {
public:
    void start(int rowCount);
    // A job of this batch ended while `stillRunning` others run on. A stopped
    // job changes nothing: the batch is over by then. The batch ends with the
    // last running job once "When done" was chosen or every file has had its
    // job; until then each end starts the next job.
    JobEndSteps jobEnded(orm::JobOutcome outcome, bool deleteAfterProcessing, bool stopWhenDone,
                         int stillRunning = 0);

    int TotalCount = 0;
    int DoneCount = 0;
    int FailedCount = 0;
    bool AnyJobFailed = false;
};

} // namespace marbeck
