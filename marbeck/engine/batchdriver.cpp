#include "batchdriver.h"

#include "lang/marbeckmessages.h"
#include "shared/error.h"
#include "shared/interaction.h"
#include "shared/progressmodel.h"
#include "shared/utilfuncs.h"
#include "sources/sourcelist.h"
#include "sources/sourcelistmodel.h"
#include "tfrmprogress.h"

#include <QLabel>
#include <QWidget>

#include <algorithm>

namespace marbeck {

namespace {

// How often the window's times move on when the encoder prints nothing.
constexpr int kClockMs = 250;
// The least time between two paintings of the list during a batch.
constexpr int kListPaintMs = 500;

qint64 fileSizeOf(const QString &text)
{
    bool ok = false;
    const qint64 size = text.toLongLong(&ok);
    if (!ok)
        throw orm::Error(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return size;
}

} // namespace

BatchDriver::BatchDriver(SourceListModel &rows, QWidget *mainWindow, QWidget *listView)
    : m_rows(rows), m_mainWindow(mainWindow), m_listView(listView),
      m_queue(std::make_unique<BatchQueue>(
          [this](int slot) { return std::make_unique<ConversionRunner>(slot, m_conversion); }))
{
    m_listPaintTimer.setSingleShot(true);
    connect(&m_listPaintTimer, &QTimer::timeout, this, &BatchDriver::ResumeListPainting);
    m_clockTimer.setInterval(kClockMs);
    connect(&m_clockTimer, &QTimer::timeout, this, &BatchDriver::ShowFigures);

    BatchQueue *queue = m_queue.get();
    connect(queue, &BatchQueue::jobStarted, this, &BatchDriver::JobStarted);
    connect(queue, &BatchQueue::progressed, this, &BatchDriver::ShowFigures);
    connect(queue, &BatchQueue::jobEnded, this, [this](int slot) {
        ShowFigures();
        if (m_progress)
            m_progress->ShowJobIdle(slot);
    });
    connect(queue, &BatchQueue::rowConverted, this, &BatchDriver::RowConverted);
    connect(queue, &BatchQueue::rowFailed, this, &BatchDriver::RowFailed);
    connect(queue, &BatchQueue::startFailed, this, &BatchDriver::StartFailed);
    connect(queue, &BatchQueue::finished, this, &BatchDriver::QueueFinished);
}

BatchDriver::~BatchDriver()
{
    m_terminated = true;
    m_batchOpen = false;
    m_queue->abandon();
    delete m_progress.data();
}

TfrmProgress *BatchDriver::progressWindow() const
{
    return m_progress;
}

void BatchDriver::ActionConvertExecute(const TProfileDetailItem *preset,
                                       const QString &outputFolderText, const BatchOptions &options)
{
    if (Running())
        return;
    orm::GuardEvent([&] {
        if (m_rows.count() == 0) {
            orm::ShowMessageBox(msg(Msg::MSG_NOFILES), msg(Msg::MSG_HINT),
                                orm::mb::kIconExclamation);
            return;
        }
        if (!preset)
            throw orm::Error(QStringLiteral("List index out of bounds (-1)"));
        if (!EnsureWritableOutputFolder(outputFolderText))
            return;
        emit outputPathChanged(outputFolderText);
        m_options = options;
        m_conversion = {options.programFolder,     preset->FileName, preset->Section,
                        outputFolderText,          options.priority, options.useDirectShow,
                        options.aviSynthExtensions};
        StartBatch();
    });
}

void BatchDriver::StartBatch()
{
    std::vector<BatchItem> items;
    for (int row = 0; row < m_rows.count(); ++row) {
        const TFileItem &item = m_rows.item(row);
        items.push_back({item.path(), item.FileName, fileSizeOf(item.FileSize),
                         item.VideoCount.toInt() > 0, MediaFactsOf(item)});
    }
    m_terminated = false;
    m_batchOpen = true;
    m_queueDone = false;
    m_windowResult = 0;
    m_lastModalResult = 0;
    m_waitingBoxes.clear();
    m_listPainted.invalidate();

    auto *progress = new TfrmProgress(m_mainWindow);
    m_progress = progress;
    progress->setJobSlots(BatchQueue::slotsFor(m_options.simultaneousJobs, int(items.size())));
    progress->PlaceOver(m_mainWindow);
    progress->setWindowTitle(msg(Msg::MSG_ENC_IN_PROGRESS));
    progress->LabelStopWhenDone()->setText(msg(Msg::MSG_STOP_ENC));
    progress->setSwitches(m_options.deleteSources, m_options.shutdownWhenDone);
    connect(progress, &TfrmProgress::deleteSourcesChanged, this, [this](bool on) {
        m_queue->setDeleteSources(on);
        emit deleteSourcesChanged(on);
    });
    connect(progress, &TfrmProgress::shutdownWhenDoneChanged, this, [this](bool on) {
        m_queue->setShutdownWhenDone(on);
        emit shutdownWhenDoneChanged(on);
    });
    connect(progress, &TfrmProgress::stopWhenDoneChanged, m_queue.get(),
            &BatchQueue::setStopWhenDone);
    connect(progress, &QDialog::finished, this, &BatchDriver::WindowClosed);
    // A window that goes with its owner stops the batch as "Stop now" would.
    connect(progress, &QObject::destroyed, this, [this] {
        if (m_batchOpen && m_windowResult == 0)
            WindowClosed(2);
    });

    const auto started =
        m_queue->start(std::move(items), m_options.simultaneousJobs,
                       {m_options.deleteSources, m_options.shutdownWhenDone, false});
    if (!started) {
        // The first job's failure to start ends the batch before its window shows.
        m_batchOpen = false;
        m_progress = nullptr;
        delete progress;
        throw orm::Error(started.error());
    }
    emit batchStarted(progress);
    if (m_progress) {
        progress->show();
        ShowFigures();
        m_clockTimer.start();
    }
}

void BatchDriver::ShowFigures()
{
    if (!m_progress)
        return;
    const BatchFigures figures = m_queue->figures();
    m_progress->ShowProgress(
        progressViewOf(figures, {msg(Msg::MSG_ID_STATUS), msg(Msg::MSG_ID_BATCH),
                                 msg(Msg::MSG_ENCODING_FINISHED)}));
    if (m_progress->jobSlots() > 1) {
        for (const JobFigures &job : figures.jobs)
            m_progress->ShowJobPercent(job.slot, job.percent.value_or(0));
    }
}

void BatchDriver::JobStarted(int slot, int row)
{
    if (m_progress) {
        const BatchRow &r = m_queue->rows().at(row);
        m_progress->ShowJob(slot, r.item.fileName, r.number, m_queue->counts().total);
    }
    emit outputPathChanged(orm::IncludeBackslash(m_conversion.outputFolder));
}

void BatchDriver::RowConverted(const QString &source)
{
    PaceListPainting();
    m_rows.RemoveSourceItem(source);
}

void BatchDriver::RowFailed(const QString &source, const QString &reason)
{
    PaceListPainting();
    m_rows.MoveSourceItemToEnd(source);
    // An armed post-batch action means nobody is there to press OK: the batch
    // goes on, and the failure waits in the log.
    if (!m_options.showErrorsAtOnce || m_queue->switches().shutdownWhenDone)
        return;
    m_waitingBoxes << reason;
    // Shown from the event loop, so that the queue goes on meanwhile; a
    // batch that ended while the box was open ends when it is closed.
    if (!m_boxOpen)
        QMetaObject::invokeMethod(
            this,
            [this] {
                ShowWaitingBoxes();
                if (m_queueDone && m_batchOpen)
                    QueueFinished();
            },
            Qt::QueuedConnection);
}

void BatchDriver::StartFailed(const QString &reason)
{
    // The window stays with no job running until the user stops the batch.
    orm::ShowErrorBox(reason);
}

void BatchDriver::ShowWaitingBoxes()
{
    if (m_boxOpen)
        return;
    m_boxOpen = true;
    while (!m_waitingBoxes.isEmpty() && m_batchOpen)
        orm::ShowMessageBox(m_waitingBoxes.takeFirst(), msg(Msg::MSG_ERROR),
                            orm::mb::kIconInformation);
    m_waitingBoxes.clear();
    m_boxOpen = false;
}

void BatchDriver::QueueFinished()
{
    m_queueDone = true;
    if (m_boxOpen)
        return;         // the box's loop comes back here when it is closed
    ShowWaitingBoxes(); // the last failures are told before the window closes
    if (!m_batchOpen)
        return;
    if (m_progress && m_progress->isVisible()) {
        ShowFigures();
        m_progress->FinishBatch(); // closes by itself, unless the stop question is open
        return;
    }
    EndBatch();
}

void BatchDriver::WindowClosed(int result)
{
    m_windowResult = result;
    m_clockTimer.stop();
    if (result == 2 && m_queue->isRunning())
        m_queue->stopNow(); // finished follows once the jobs have ended
    if (m_queueDone || !m_queue->isRunning())
        EndBatch();
}

void BatchDriver::EndBatch()
{
    if (!m_batchOpen)
        return; // already over
    m_batchOpen = false;
    m_clockTimer.stop();
    ResumeListPainting();
    if (m_progress) {
        // A window whose batch is over says nothing more to this batch's
        // driver and queue: its deferred deletion may come while the next
        // batch runs, and its "destroyed" would stop that one.
        m_progress->disconnect(this);
        m_progress->disconnect(m_queue.get());
        m_progress->deleteLater();
    }
    m_progress = nullptr;
    m_lastModalResult = m_windowResult;
    m_waitingBoxes.clear();
    if (!m_terminated)
        emit batchFinished({m_windowResult == 2, m_queue->counts().anyFailed()});
}

void BatchDriver::Terminate()
{
    m_terminated = true;
    m_queue->abandon();
    if (m_progress && m_progress->isVisible())
        m_progress->done(2);
    EndBatch();
}

void BatchDriver::PaceListPainting()
{
    if (m_listPaintTimer.isActive())
        return; // already held back; it paints when the moment is over
    if (!m_listPainted.isValid() || m_listPainted.elapsed() >= kListPaintMs) {
        m_listPainted.start();
        return;
    }
    if (!m_listView)
        return;
    m_listHeld = true;
    m_listView->setUpdatesEnabled(false);
    m_listPaintTimer.start(int(kListPaintMs - m_listPainted.elapsed()));
}

void BatchDriver::ResumeListPainting()
{
    m_listPaintTimer.stop();
    if (m_listHeld && m_listView)
        m_listView->setUpdatesEnabled(true); // paints what changed meanwhile
    m_listHeld = false;
    m_listPainted.start();
}

} // namespace marbeck
