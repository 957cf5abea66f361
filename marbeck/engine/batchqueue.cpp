#include "batchqueue.h"

#include <QDir>
#include <QElapsedTimer>
#include <QMetaObject>

#include <algorithm>
#include <limits>

namespace marbeck {

namespace {

BatchQueue::Clock steadyClock()
{
    QElapsedTimer timer;
    timer.start();
    return [timer] { return timer.elapsed(); };
}

} // namespace

bool JobOutputs::clashesWith(const JobOutputs &other) const
{
    if (QDir(folder) != QDir(other.folder))
        return false;
    if (stems.isEmpty() || other.stems.isEmpty())
        return true;
    const auto begins = [](const QString &stem, const QString &name) {
        return name == stem || name.startsWith(stem + u'.');
    };
    for (const QString &mine : stems) {
        for (const QString &theirs : other.stems) {
            if (begins(mine, theirs) || begins(theirs, mine))
                return true;
        }
    }
    return false;
}

BatchQueue::BatchQueue(RunnerFactory makeRunner, Clock clock, QObject *parent)
    : QObject(parent), m_makeRunner(std::move(makeRunner)),
      m_clock(clock ? std::move(clock) : steadyClock())
{
}

BatchQueue::~BatchQueue()
{
    abandon();
}

tl::expected<void, QString> BatchQueue::start(std::vector<BatchItem> items, int jobsAtOnce,
                                              BatchSwitches switches)
{
    if (isRunning())
        return tl::unexpected(QStringLiteral("A batch is already running."));
    ++m_batchNumber;
    m_rows.clear();
    m_totalBytes = 0;
    for (BatchItem &item : items) {
        m_totalBytes = qint64(std::min<__int128>(__int128(m_totalBytes) + item.fileSize,
                                                 std::numeric_limits<qint64>::max()));
        BatchRow row;
        row.item = std::move(item);
        m_rows.push_back(std::move(row));
    }
    m_switches = switches;
    m_counts = BatchCounts{int(m_rows.size()), 0, 0};
    m_failures.clear();
    m_bytesDone = 0;
    m_started = 0;
    m_startMs = now();
    m_slots.clear();
    const int slotCount = slotsFor(jobsAtOnce, int(m_rows.size()));
    for (int slot = 0; slot < slotCount; ++slot) {
        Slot &s = m_slots.emplace_back();
        s.runner = m_makeRunner(slot);
        const int batch = m_batchNumber;
        s.runner->progressed = [this, slot, batch](const JobProgress &progress) {
            if (batch == m_batchNumber)
                onProgress(slot, progress);
        };
        s.runner->ended = [this, slot, batch](const JobResult &result) {
            if (batch == m_batchNumber)
                onEnded(slot, result);
        };
    }
    m_state = State::Running;
    QString error;
    if (!fillSlots(&error) && busySlots() == 0) {
        // The first job's failure to start ends the batch before it shows.
        m_state = State::Idle;
        m_slots.clear();
        return tl::unexpected(error);
    }
    finishWhenIdle(); // a batch of nothing
    return {};
}

int BatchQueue::slotsFor(int wanted, int items)
{
    return std::clamp(wanted, 1, std::max(1, items));
}

void BatchQueue::stopNow()
{
    if (m_state != State::Running)
        return;
    m_state = State::Stopping;
    for (Slot &slot : m_slots) {
        if (slot.row >= 0)
            slot.runner->stop(); // the job's own processes only, never another program's encoder
    }
    finishWhenIdle();
}

void BatchQueue::abandon()
{
    const bool wasRunning = isRunning();
    if (wasRunning)
        m_endMs = now();
    m_state = State::Idle;
    ++m_batchNumber; // notices still on their way change nothing
    m_slots.clear(); // each runner ends its job and removes its files
    if (!wasRunning)
        return;
    for (BatchRow &row : m_rows) {
        if (row.state == RowState::Running)
            row.state = RowState::Stopped;
    }
}

void BatchQueue::setStopWhenDone(bool on)
{
    m_switches.stopWhenDone = on;
    if (m_state != State::Running)
        return;
    if (on) {
        finishWhenIdle(); // nothing runs: the batch ends now
        return;
    }
    // Withdrawn: slots whose jobs ended meanwhile take rows again.
    QMetaObject::invokeMethod(
        this,
        [this, batch = m_batchNumber] {
            if (batch == m_batchNumber && m_state == State::Running && !m_switches.stopWhenDone) {
                QString error;
                if (!fillSlots(&error))
                    emit startFailed(error);
                finishWhenIdle();
            }
        },
        Qt::QueuedConnection);
}

bool BatchQueue::isActive() const
{
    return std::any_of(m_slots.begin(), m_slots.end(),
                       [](const Slot &slot) { return slot.runner && slot.runner->active(); });
}

int BatchQueue::busySlots() const
{
    return int(std::count_if(m_slots.begin(), m_slots.end(),
                             [](const Slot &slot) { return slot.row >= 0; }));
}

bool BatchQueue::fillSlots(QString *startError)
{
    for (int slot = 0; slot < int(m_slots.size()); ++slot) {
        if (m_state != State::Running || m_switches.stopWhenDone)
            return true;
        if (m_slots[slot].row >= 0)
            continue;
        const auto started = startNextJob(slot);
        if (!started) {
            if (startError)
                *startError = started.error();
            return false;
        }
        if (!*started)
            break; // no row can start before a running job ends
    }
    return true;
}

tl::expected<bool, QString> BatchQueue::startNextJob(int slotIndex)
{
    Slot &slot = m_slots[slotIndex];
    for (int row = 0; row < int(m_rows.size()); ++row) {
        BatchRow &candidate = m_rows[row];
        if (candidate.state != RowState::Waiting)
            continue;
        JobOutputs outputs = slot.runner->outputsOf(candidate.item);
        const bool clashes = std::any_of(m_slots.begin(), m_slots.end(), [&](const Slot &other) {
            return other.row >= 0 && other.outputs.clashesWith(outputs);
        });
        if (clashes)
            continue; // waits for the other job

        JobSpec spec{candidate.item, slotIndex, m_started + 1};
        const auto started = slot.runner->start(spec);
        if (!started && !started.error().sourceOnly)
            return tl::unexpected(started.error().text);
        ++m_started;
        candidate.state = RowState::Running;
        candidate.number = spec.number;
        candidate.startedMs = now();
        slot.row = row;
        slot.outputs = std::move(outputs);
        slot.progress = {};
        emit jobStarted(slotIndex, row);
        if (!started) {
            // The source alone is refused: its job fails without running,
            // from the event loop as a real job's end would.
            QMetaObject::invokeMethod(
                this,
                [this, slotIndex, batch = m_batchNumber, text = started.error().text] {
                    if (batch == m_batchNumber)
                        onEnded(slotIndex, {orm::JobOutcome::Failed, text, {}});
                },
                Qt::QueuedConnection);
        }
        return true;
    }
    return false;
}

void BatchQueue::onProgress(int slot, const JobProgress &progress)
{
    if (m_slots[slot].row < 0)
        return;
    m_slots[slot].progress = progress;
    emit progressed(slot);
}

void BatchQueue::onEnded(int slotIndex, const JobResult &result)
{
    Slot &slot = m_slots[slotIndex];
    const int rowIndex = std::exchange(slot.row, -1);
    if (rowIndex < 0)
        return;
    BatchRow &row = m_rows[rowIndex];
    row.endedMs = now();
    // A job that converted before "Stop now" reached it still counts; any
    // other end after the stop is the stop's.
    const bool stopped =
        result.outcome == orm::JobOutcome::Stopped ||
        (m_state != State::Running && result.outcome != orm::JobOutcome::Converted);
    if (stopped) {
        row.state = RowState::Stopped;
        emit jobEnded(slotIndex, rowIndex);
        finishWhenIdle();
        return;
    }
    m_bytesDone = qint64(std::min<__int128>(__int128(m_bytesDone) + row.item.fileSize,
                                            std::numeric_limits<qint64>::max()));
    if (result.outcome == orm::JobOutcome::Converted) {
        row.state = RowState::Converted;
        row.outputs = result.outputs;
        ++m_counts.done;
        if (m_switches.deleteSources) {
            if (const auto kept = slot.runner->removeSource())
                m_failures.add(row.item.source, *kept);
        }
        emit jobEnded(slotIndex, rowIndex);
        emit rowConverted(row.item.source);
    } else {
        row.state = RowState::Failed;
        row.failure = result.failureText;
        ++m_counts.failed;
        m_failures.add(row.item.source, result.failureText);
        emit jobEnded(slotIndex, rowIndex);
        emit rowFailed(row.item.source, result.failureText);
    }
    if (m_state == State::Running && !m_switches.stopWhenDone) {
        QString error;
        if (!fillSlots(&error))
            emit startFailed(error);
    }
    finishWhenIdle();
}

void BatchQueue::finishWhenIdle()
{
    if (m_state == State::Idle || busySlots() > 0)
        return;
    const bool waiting = std::any_of(m_rows.begin(), m_rows.end(), [](const BatchRow &row) {
        return row.state == RowState::Waiting;
    });
    // With rows left and nothing running, a job could not start: the batch
    // waits for the user, as it does after any failed start.
    if (m_state == State::Running && waiting && !m_switches.stopWhenDone)
        return;
    const bool stoppedNow = m_state == State::Stopping;
    m_state = State::Idle;
    m_endMs = now();
    emit finished({stoppedNow, m_counts.anyFailed()});
}

BatchFigures BatchQueue::figures() const
{
    BatchFigures figures;
    figures.total = m_counts.total;
    figures.elapsedMs = std::max<qint64>(0, (isRunning() ? now() : m_endMs) - m_startMs);
    figures.allConverted = m_counts.total > 0 && m_counts.done == m_counts.total;
    BatchWork work;
    work.totalBytes = m_totalBytes;
    work.doneBytes = m_bytesDone;
    for (int index = 0; index < int(m_slots.size()); ++index) {
        const Slot &slot = m_slots[index];
        if (slot.row < 0)
            continue;
        const BatchRow &row = m_rows[slot.row];
        JobFigures job;
        job.slot = index;
        job.row = slot.row;
        job.number = row.number;
        job.fileName = row.item.fileName;
        job.percent = jobPercent(slot.progress);
        job.remainingMs = jobRemainingMs(slot.progress, now() - row.startedMs);
        if (job.percent) {
            work.inFlight += qint64(__int128(row.item.fileSize) * *job.percent / 100);
            work.anyShare = true;
        }
        figures.jobs.push_back(std::move(job));
    }
    fillBatchFigures(figures, work);
    return figures;
}

} // namespace marbeck
