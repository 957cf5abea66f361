// The batch queue with scripted runners and a clock the test moves: which row
// runs next, what each end means, stopping, and every figure the progress
// window shows. No display, no encoder.
#include "engine/batchqueue.h"
#include "engine/progressclosequery.h"
#include "shared/progressmodel.h"
#include "support/apps.h"

#include <QFileInfo>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace marbeck;
using orm::JobOutcome;

namespace {

// Runners whose jobs start, report and end when the test says so.
struct FakeRunners {
    struct Runner : JobRunner {
        Runner(FakeRunners &all, int slot) : all(all), slot(slot) {}
        JobOutputs outputsOf(const BatchItem &item) override
        {
            return {"/out", {QFileInfo(item.source).completeBaseName()}};
        }
        tl::expected<void, JobRefusal> start(const JobSpec &spec) override
        {
            if (all.refused.contains(spec.item.source))
                return tl::unexpected(JobRefusal{"refused", all.sourceOnly});
            running = true;
            current = spec;
            all.started << spec.item.source;
            return {};
        }
        void stop() override { ++stops; }
        bool active() const override { return running; }
        std::optional<QString> removeSource() override
        {
            all.removed << current.item.source;
            return std::nullopt;
        }

        FakeRunners &all;
        int slot;
        bool running = false;
        int stops = 0;
        JobSpec current;
    };

    BatchQueue::RunnerFactory factory()
    {
        return [this](int slot) {
            if (slot == 0)
                runners.clear();
            auto runner = std::make_unique<Runner>(*this, slot);
            runners.push_back(runner.get());
            return runner;
        };
    }
    void end(int slot, JobOutcome outcome, const QString &text = "it broke")
    {
        Runner &runner = *runners.at(slot);
        runner.running = false;
        const bool converted = outcome == JobOutcome::Converted;
        const QString made = "/out/" + QFileInfo(runner.current.item.source).completeBaseName();
        runner.ended({outcome, outcome == JobOutcome::Failed ? text : QString(),
                      converted ? QStringList{made + ".3gp"} : QStringList()});
    }
    void report(int slot, qint32 durationMs, qint32 positionMs)
    {
        runners.at(slot)->progressed({durationMs, positionMs});
    }

    std::vector<Runner *> runners;
    QStringList started, removed, refused;
    bool sourceOnly = true;
};

std::vector<BatchItem> items(const QStringList &names, qint64 size = 1000)
{
    std::vector<BatchItem> out;
    for (const QString &name : names)
        out.push_back({"/in/" + name, name, size});
    return out;
}

void runQueued()
{
    QCoreApplication::processEvents();
}

} // namespace

TEST(BatchQueue, ConvertedRowsGoFailedOnesMoveAndOnlyConvertedSourcesAreDeleted)
{
    ormtest::testApp();
    FakeRunners r;
    BatchQueue q(r.factory());
    QSignalSpy converted(&q, &BatchQueue::rowConverted), failed(&q, &BatchQueue::rowFailed),
        finished(&q, &BatchQueue::finished);
    ASSERT_TRUE(q.start(items({"a.mp4", "b.mp4", "c.mp4"}), 1, {true, false, false}));
    EXPECT_EQ(r.started, QStringList{"/in/a.mp4"});
    r.end(0, JobOutcome::Converted);
    r.end(0, JobOutcome::Failed, "no such codec");
    EXPECT_EQ(r.started, (QStringList{"/in/a.mp4", "/in/b.mp4", "/in/c.mp4"}));
    EXPECT_TRUE(finished.isEmpty());
    r.end(0, JobOutcome::Converted);

    EXPECT_EQ(r.removed, (QStringList{"/in/a.mp4", "/in/c.mp4"})); // never the failed one
    EXPECT_EQ(converted.count(), 2);
    ASSERT_EQ(failed.count(), 1);
    EXPECT_EQ(failed.at(0).at(1).toString(), u"no such codec");
    EXPECT_EQ(q.counts().done, 2);
    EXPECT_EQ(q.counts().failed, 1);
    EXPECT_FALSE(q.failures().isEmpty());
    // Each converted row keeps what its job made, for the command line's summary.
    EXPECT_EQ(q.rows().at(0).outputs, QStringList{"/out/a.3gp"});
    EXPECT_TRUE(q.rows().at(1).outputs.isEmpty());
    ASSERT_EQ(finished.count(), 1);
    const auto result = finished.at(0).at(0).value<BatchResult>();
    EXPECT_FALSE(result.stoppedNow);
    EXPECT_TRUE(result.anyFailed);
    EXPECT_FALSE(q.isRunning());
}

TEST(BatchQueue, SlotsTakeTheFirstWaitingRowWhoseOutputsClashWithNoRunningJob)
{
    ormtest::testApp();
    FakeRunners r;
    BatchQueue q(r.factory());
    // in/a and other/a would both become out/a.*: the second waits, and b
    // takes the free slot meanwhile.
    std::vector<BatchItem> batch = items({"a.mp4", "a.avi", "b.mp4", "c.mp4"});
    ASSERT_TRUE(q.start(batch, 2, {}));
    EXPECT_EQ(q.slotCount(), 2);
    EXPECT_EQ(r.started, (QStringList{"/in/a.mp4", "/in/b.mp4"}));
    r.end(1, JobOutcome::Converted);
    EXPECT_EQ(r.started.last(), u"/in/c.mp4"); // a.avi still waits for a.mp4
    r.end(0, JobOutcome::Converted);
    EXPECT_EQ(r.started.last(), u"/in/a.avi");
    EXPECT_EQ(q.rows().at(1).number, 4);

    // Never more slots than rows.
    BatchQueue one(r.factory());
    ASSERT_TRUE(one.start(items({"x.mp4"}), 4, {}));
    EXPECT_EQ(one.slotCount(), 1);
}

TEST(BatchQueue, OutputsClashWhenOneNameBeginsTheOtherOrEitherNamesNone)
{
    const JobOutputs clip{"/out", {"clip"}};
    EXPECT_TRUE(clip.clashesWith({"/out/", {"clip"}}));
    EXPECT_TRUE(clip.clashesWith({"/out", {"clip.x"}}));
    EXPECT_TRUE(JobOutputs({"/out", {"clip.x"}}).clashesWith(clip));
    EXPECT_FALSE(clip.clashesWith({"/out", {"clip 2"}}));
    EXPECT_FALSE(clip.clashesWith({"/elsewhere", {"clip"}}));
    EXPECT_TRUE(clip.clashesWith({"/out", {}})); // every new file would count as its own
}

TEST(BatchQueue, WhenDoneLetsTheRunningJobsFinishAndWithdrawingItRefillsTheSlots)
{
    ormtest::testApp();
    FakeRunners r;
    BatchQueue q(r.factory());
    QSignalSpy finished(&q, &BatchQueue::finished);
    ASSERT_TRUE(q.start(items({"a.mp4", "b.mp4", "c.mp4", "d.mp4"}), 2, {}));
    q.setStopWhenDone(true);
    r.end(0, JobOutcome::Converted);
    EXPECT_EQ(r.started.size(), 2); // nothing new starts
    q.setStopWhenDone(false);       // withdrawn: the idle slot takes c
    runQueued();
    EXPECT_EQ(r.started.last(), u"/in/c.mp4");
    q.setStopWhenDone(true);
    r.end(1, JobOutcome::Converted);
    EXPECT_TRUE(finished.isEmpty()); // c still runs
    r.end(0, JobOutcome::Converted);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_FALSE(finished.at(0).at(0).value<BatchResult>().stoppedNow);
    EXPECT_EQ(q.rows().at(3).state, RowState::Waiting);
}

TEST(BatchQueue, StopNowEndsEveryJobAndFinishesWhenTheLastHasEnded)
{
    ormtest::testApp();
    FakeRunners r;
    BatchQueue q(r.factory());
    QSignalSpy finished(&q, &BatchQueue::finished), converted(&q, &BatchQueue::rowConverted);
    ASSERT_TRUE(q.start(items({"a.mp4", "b.mp4", "c.mp4"}), 2, {true, false, false}));
    q.stopNow();
    EXPECT_EQ(r.runners[0]->stops + r.runners[1]->stops, 2);
    r.end(0, JobOutcome::Stopped);
    EXPECT_TRUE(finished.isEmpty());
    // b had converted before the stop reached it: it counts.
    r.end(1, JobOutcome::Converted);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_TRUE(finished.at(0).at(0).value<BatchResult>().stoppedNow);
    EXPECT_EQ(r.started.size(), 2); // c never started
    EXPECT_EQ(converted.count(), 1);
    EXPECT_EQ(r.removed, QStringList{"/in/b.mp4"});
    EXPECT_EQ(q.rows().at(0).state, RowState::Stopped);
    EXPECT_EQ(q.rows().at(2).state, RowState::Waiting);
}

TEST(BatchQueue, ARefusedSourceFailsAloneAndAStartThatCannotHappenHoldsTheBatch)
{
    ormtest::testApp();
    FakeRunners r;
    BatchQueue q(r.factory());
    QSignalSpy failed(&q, &BatchQueue::rowFailed), startFailed(&q, &BatchQueue::startFailed),
        finished(&q, &BatchQueue::finished);
    r.refused = {"/in/b\nc.mp4"};
    ASSERT_TRUE(q.start(items({"b\nc.mp4", "d.mp4"}), 1, {}));
    EXPECT_TRUE(failed.isEmpty()); // its end comes from the event loop
    runQueued();
    ASSERT_EQ(failed.count(), 1);
    EXPECT_EQ(r.started, QStringList{"/in/d.mp4"});
    r.end(0, JobOutcome::Converted);
    EXPECT_EQ(finished.count(), 1);

    // Nothing can start at all: the first job's failure comes back.
    r.sourceOnly = false;
    r.refused = {"/in/e.mp4", "/in/f.mp4"};
    const auto first = q.start(items({"e.mp4"}), 1, {});
    ASSERT_FALSE(first);
    EXPECT_EQ(first.error(), u"refused");
    EXPECT_FALSE(q.isRunning());
    // A later one: the batch waits for the user, and "When done" ends it.
    ASSERT_TRUE(q.start(items({"g.mp4", "f.mp4"}), 1, {}));
    r.end(0, JobOutcome::Converted);
    EXPECT_EQ(startFailed.count(), 1);
    EXPECT_TRUE(q.isRunning());
    q.setStopWhenDone(true);
    EXPECT_FALSE(q.isRunning());
}

TEST(BatchQueue, WithOneJobTheTimesAreThoseOfItsConsoleLines)
{
    ormtest::testApp();
    FakeRunners r;
    qint64 now = 5000; // the program has run for a while before "Convert Now"
    BatchQueue q(r.factory(), [&] { return now; });
    std::vector<BatchItem> batch = items({"a.mp4", "b.mp4"});
    batch[0].fileSize = 100'000'000;
    batch[1].fileSize = 300'000'000;
    ASSERT_TRUE(q.start(batch, 1, {}));

    // The first second: the clock runs from "Convert Now", nothing else is known.
    now += 900;
    BatchFigures f = q.figures();
    EXPECT_EQ(f.elapsedMs, 900);
    EXPECT_FALSE(f.percent || f.estimatedMs || f.jobs.at(0).percent);

    now += 9100; // 10 s in, the first file half done
    r.report(0, 100'000, 50'000);
    f = q.figures();
    EXPECT_EQ(f.jobs.at(0).percent, 50);
    EXPECT_EQ(f.jobs.at(0).remainingMs, 10'000);
    EXPECT_EQ(f.percent, 12); // 12.5 %, halves to even
    EXPECT_EQ(f.estimatedMs, 400'000'000LL * 10'000 / 50'000'000);
    EXPECT_EQ(*f.remainingMs, *f.estimatedMs - 10'000);

    now += 10'000;
    r.end(0, JobOutcome::Converted);
    f = q.figures(); // the next job has shown nothing yet
    EXPECT_EQ(f.percent, 25);
    EXPECT_EQ(f.estimatedMs, 80'000);
    EXPECT_FALSE(f.jobs.at(0).percent); // not measured by the previous job's lines

    now += 30'000;
    r.end(0, JobOutcome::Converted);
    f = q.figures();
    EXPECT_TRUE(f.allConverted);
    EXPECT_EQ(f.percent, 100);
    EXPECT_EQ(f.elapsedMs, 50'000);
    now += 60'000; // the clock stops with the batch
    EXPECT_EQ(q.figures().elapsedMs, 50'000);
}

TEST(BatchQueue, WithJobsAtOnceElapsedNeverRunsBackAndTheEstimateCountsEveryJob)
{
    ormtest::testApp();
    for (const int jobs : {2, 4}) {
        FakeRunners r;
        qint64 now = 0;
        BatchQueue q(r.factory(), [&] { return now; });
        ASSERT_TRUE(q.start(items({"a.mp4", "b.mp4", "c.mp4", "d.mp4"}, 1000), jobs, {}));
        qint64 lastElapsed = -1;
        const auto check = [&](qint64 expectedElapsed, qint32 expectedPercent) {
            const BatchFigures f = q.figures();
            EXPECT_GT(f.elapsedMs, lastElapsed) << jobs;
            EXPECT_EQ(f.elapsedMs, expectedElapsed) << jobs;
            lastElapsed = f.elapsedMs;
            ASSERT_TRUE(f.percent) << jobs;
            EXPECT_EQ(*f.percent, expectedPercent) << jobs;
            // The work done so far took the elapsed time: the rest takes the rest.
            EXPECT_EQ(*f.estimatedMs, 4000 * f.elapsedMs / (expectedPercent * 40)) << jobs;
            EXPECT_EQ(*f.remainingMs, *f.estimatedMs - f.elapsedMs) << jobs;
        };
        now = 10'000;
        for (int slot = 0; slot < jobs; ++slot)
            r.report(slot, 20'000, 10'000); // every running job half done
        check(10'000, jobs * 50 / 4);
        now = 20'000;
        r.end(0, JobOutcome::Converted); // one ends; with two the next takes its slot
        for (int slot = 1; slot < jobs; ++slot)
            r.report(slot, 20'000, 20'000);
        check(20'000, jobs == 2 ? 50 : 100);
        EXPECT_EQ(int(q.figures().jobs.size()), jobs == 2 ? 2 : 3) << jobs;
    }
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
