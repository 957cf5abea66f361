#pragma once
// A batch from "Convert Now" to its end, with no window: which row runs next
// in which slot, what each job's end means for its row, the batch's switches,
// and how far the batch is on one clock. The progress window, the main window
// and the command-line program show and drive it.
#include "batchfigures.h"
#include "jobrunner.h"
#include "shared/failurelog.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace marbeck {

enum class RowState { Waiting, Running, Converted, Failed, Stopped };

struct BatchRow {
    BatchItem item;
    RowState state = RowState::Waiting;
    int number = 0;       // its place among the batch's jobs once started
    QString failure;      // why its job failed
    QStringList outputs;  // what its job made, once converted
    qint64 startedMs = 0; // on the batch's clock
    qint64 endedMs = 0;
};

// The switches of a running batch, as the progress window's check boxes and
// its stop question set them.
struct BatchSwitches {
    bool deleteSources = false;
    bool shutdownWhenDone = false;
    bool stopWhenDone = false;
};

// The counters of one batch.
struct BatchCounts {
    int total = 0;
    int done = 0;   // converted
    int failed = 0; // ended with a failure
    bool anyFailed() const { return failed > 0; }
};

// How a batch ended.
struct BatchResult {
    bool stoppedNow = false; // by "Stop now" rather than by itself or "When done"
    bool anyFailed = false;
};

class BatchQueue : public QObject {
    Q_OBJECT
public:
    // Milliseconds on a clock that only moves forward.
    using Clock = std::function<qint64()>;
    // One runner per slot, made when a batch starts.
    using RunnerFactory = std::function<std::unique_ptr<JobRunner>(int slot)>;

    explicit BatchQueue(RunnerFactory makeRunner, Clock clock = {}, QObject *parent = nullptr);
    // Running jobs end at once and their files go with their runners.
    ~BatchQueue() override;

    // Starts a batch of `items`, top first, with up to `jobsAtOnce` jobs at once
    // (never more than there are items). When the first job cannot start,
    // nothing runs and the reason comes back.
    tl::expected<void, QString> start(std::vector<BatchItem> items, int jobsAtOnce,
                                      BatchSwitches switches);
    // How many slots a batch of `items` gets when `wanted` jobs may run at once.
    static int slotsFor(int wanted, int items);
    // "Stop now": every running job ends at once; finished follows when the
    // last of them has ended.
    void stopNow();
    // Ends every running job and drops the runners at once, announcing
    // nothing: the program is going.
    void abandon();

    void setDeleteSources(bool on) { m_switches.deleteSources = on; }
    void setShutdownWhenDone(bool on) { m_switches.shutdownWhenDone = on; }
    // "When done"; withdrawing it lets idle slots take rows again.
    void setStopWhenDone(bool on);
    const BatchSwitches &switches() const { return m_switches; }

    // From start() until finished.
    bool isRunning() const { return m_state != State::Idle; }
    // A job's processes are running.
    bool isActive() const;
    int slotCount() const { return int(m_slots.size()); }
    const std::vector<BatchRow> &rows() const { return m_rows; }
    const BatchCounts &counts() const { return m_counts; }
    // What the user was told of each failed job of this batch.
    const orm::FailureLog &failures() const { return m_failures; }
    // How far the batch is now, by the clock.
    BatchFigures figures() const;

signals:
    void jobStarted(int slot, int row);
    // A job's figures moved; figures() has them.
    void progressed(int slot);
    void jobEnded(int slot, int row);
    // The row's source was converted (its row leaves the list), or failed
    // (its row goes to the end of the list).
    void rowConverted(const QString &source);
    void rowFailed(const QString &source, const QString &reason);
    // A job could not start while the batch runs: the slot stays idle, and
    // with nothing running the batch waits for the user to stop it.
    void startFailed(const QString &reason);
    void finished(const marbeck::BatchResult &result);

private:
    enum class State { Idle, Running, Stopping };
    struct Slot {
        std::unique_ptr<JobRunner> runner;
        int row = -1; // the row its job converts; -1 when idle
        JobOutputs outputs;
        JobProgress progress;
    };

    // Starts jobs in idle slots while rows can start; false when a job
    // could not start for a reason beyond its source.
    bool fillSlots(QString *startError = nullptr);
    // Starts the first waiting row whose outputs clash with no running job's;
    // false when none can start now.
    tl::expected<bool, QString> startNextJob(int slot);
    void onProgress(int slot, const JobProgress &progress);
    void onEnded(int slot, const JobResult &result);
    // Ends the batch once no job runs and none is to start.
    void finishWhenIdle();
    int busySlots() const;
    qint64 now() const { return m_clock(); }

    RunnerFactory m_makeRunner;
    Clock m_clock;
    State m_state = State::Idle;
    std::vector<Slot> m_slots;
    std::vector<BatchRow> m_rows;
    BatchSwitches m_switches;
    BatchCounts m_counts;
    orm::FailureLog m_failures;
    qint64 m_startMs = 0;
    qint64 m_endMs = 0;
    qint64 m_totalBytes = 0;
    qint64 m_bytesDone = 0;
    int m_started = 0; // jobs started in this batch
    int m_batchNumber = 0;
};

} // namespace marbeck
