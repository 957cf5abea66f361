// The batch's counters and the progress window's close rules, without a window.
#include "engine/batchrun.h"
#include "engine/progressclosequery.h"

#include <gtest/gtest.h>

using namespace marbeck;
using orm::JobOutcome;

TEST(BatchRun, ConvertedRowsGoFailedOnesMoveAndTheLastJobEndsTheBatch)
{
    BatchRun run;
    run.start(3);
    JobEndSteps s = run.jobEnded(JobOutcome::Converted, true, false);
    EXPECT_TRUE(s.removeRow && s.deleteSource && s.startNext);
    EXPECT_FALSE(s.moveRowToEnd || s.lastFileDone || s.endBatch);

    // A failed job is never deleted, whatever the switch says.
    s = run.jobEnded(JobOutcome::Failed, true, false);
    EXPECT_TRUE(s.moveRowToEnd && s.startNext);
    EXPECT_FALSE(s.removeRow || s.deleteSource || s.endBatch);
    EXPECT_TRUE(run.AnyJobFailed);

    s = run.jobEnded(JobOutcome::Converted, false, false);
    EXPECT_TRUE(s.removeRow && s.endBatch);
    EXPECT_FALSE(s.deleteSource || s.startNext);
    // Two of three converted: not the last-file update.
    EXPECT_FALSE(s.lastFileDone);
    EXPECT_EQ(run.DoneCount, 2);
    EXPECT_EQ(run.FailedCount, 1);

    run.start(2);
    EXPECT_FALSE(run.AnyJobFailed);
    EXPECT_FALSE(run.jobEnded(JobOutcome::Converted, false, false).lastFileDone);
    s = run.jobEnded(JobOutcome::Converted, false, false);
    EXPECT_TRUE(s.lastFileDone && s.endBatch);
}

TEST(BatchRun, WhenDoneEndsAfterTheRunningJobAndAStoppedJobChangesNothing)
{
    BatchRun run;
    run.start(3);
    JobEndSteps s = run.jobEnded(JobOutcome::Converted, false, true);
    EXPECT_TRUE(s.removeRow && s.endBatch);
    EXPECT_FALSE(s.startNext || s.lastFileDone);

    run.start(3);
    s = run.jobEnded(JobOutcome::Stopped, true, false);
    EXPECT_FALSE(s.removeRow || s.deleteSource || s.moveRowToEnd || s.endBatch || s.startNext);
    EXPECT_EQ(run.DoneCount + run.FailedCount, 0);
}

TEST(BatchRun, WithJobsAtOnceTheLastRunningJobEndsTheBatch)
{
    BatchRun run;
    run.start(4); // two slots: jobs 1 and 2 run
    JobEndSteps s = run.jobEnded(JobOutcome::Converted, false, false, 1);
    EXPECT_TRUE(s.startNext); // job 3
    EXPECT_FALSE(s.endBatch);
    s = run.jobEnded(JobOutcome::Failed, false, false, 1);
    EXPECT_TRUE(s.startNext && s.moveRowToEnd); // job 4
    // Every file has its job: no more starts, and the batch waits for the
    // one still running.
    s = run.jobEnded(JobOutcome::Converted, false, false, 1);
    EXPECT_FALSE(s.startNext || s.endBatch);
    s = run.jobEnded(JobOutcome::Converted, false, false, 0);
    EXPECT_TRUE(s.endBatch);
    EXPECT_FALSE(s.lastFileDone); // one of four failed

    // "When done" with two running: the first end starts nothing, the second ends.
    run.start(5);
    s = run.jobEnded(JobOutcome::Converted, false, true, 1);
    EXPECT_FALSE(s.startNext || s.endBatch);
    s = run.jobEnded(JobOutcome::Converted, false, true, 0);
    EXPECT_TRUE(s.endBatch);
    EXPECT_EQ(run.DoneCount, 2);
}

TEST(ProgressCloseQuery, OnlyStopNowClosesAndCancelWithdrawsWhenDone)
{
    ProgressCloseQuery q;
    int asked = 0;
    auto answer = [&](StopAnswer a) {
        return [&asked, a] {
            ++asked;
            return a;
        };
    };
    CloseDecision d = q.FormCloseQuery(answer(StopAnswer::WhenDone));
    EXPECT_FALSE(d.allowClose);
    EXPECT_TRUE(d.showStopLabel);
    EXPECT_TRUE(q.StopWhenDone);

    d = q.FormCloseQuery(answer(StopAnswer::Cancel));
    EXPECT_FALSE(d.allowClose);
    EXPECT_FALSE(d.showStopLabel);
    EXPECT_FALSE(q.StopWhenDone);

    d = q.FormCloseQuery(answer(StopAnswer::StopNow));
    EXPECT_TRUE(d.allowClose);
    EXPECT_EQ(d.modalResult, 2);
    EXPECT_EQ(asked, 3);

    // A batch that ended by itself closes without a question.
    q.Finished = true;
    d = q.FormCloseQuery(answer(StopAnswer::Cancel));
    EXPECT_TRUE(d.allowClose);
    EXPECT_FALSE(d.askedUser);
    EXPECT_EQ(asked, 3);
}

TEST(ProgressCloseQuery, ABatchThatEndsWhileTheQuestionIsOpenClosesWithResult2)
{
    for (StopAnswer a : {StopAnswer::StopNow, StopAnswer::WhenDone, StopAnswer::Cancel}) {
        ProgressCloseQuery q;
        const CloseDecision d = q.FormCloseQuery([&] {
            q.Finished = true; // the running job ended meanwhile
            return a;
        });
        EXPECT_TRUE(d.allowClose) << int(a);
        EXPECT_EQ(d.modalResult, 2) << int(a);
    }
}
