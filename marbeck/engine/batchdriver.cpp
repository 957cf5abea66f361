#include "batchdriver.h"

#include "jobvalues.h"
#include "lang/marbeckmessages.h"
#include "shared/batchscript.h"
#include "shared/conversionjob.h"
#include "shared/error.h"
#include "shared/failurereason.h"
#include "shared/interaction.h"
#include "shared/utilfuncs.h"
#include "sources/sourcelist.h"
#include "sources/sourcelistmodel.h"
#include "tfrmprogress.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QScopeGuard>
#include <QWidget>

#include <algorithm>

namespace marbeck {

namespace {

// How long a stopped job's end notice is waited for; a killed child ends at once.
constexpr int kStopWaitMs = 10000;
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

bool holdsLineBreak(const QString &text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

} // namespace

struct BatchDriver::Runner {
    explicit Runner(int slot, orm::ProgressModel &batch)
        : slot(slot),
          model(orm::ProgressModel::Kind::Batch, msg(Msg::MSG_ID_STATUS), msg(Msg::MSG_ID_BATCH)),
          job(model)
    {
        model.joinBatch(&batch);
        // The job's first error line; the failure is reported once, when the
        // job has ended and its most telling line is known.
        model.setErrorHandler([this](const QString &line) {
            if (errorLine.isEmpty())
                errorLine = line;
        });
    }

    const int slot;
    orm::ProgressModel model; // the job's own figures
    orm::ConversionJob job;
    orm::OutputGuard outputGuard; // the job's output folder and names
    QString source;               // the path the user chose; CompleteName is shown only
    QString errorLine;
    bool busy = false; // from the job's start until its end has been dealt with
};

BatchDriver::BatchDriver(SourceListModel &rows, QWidget *mainWindow, QWidget *listView)
    : m_rows(rows), m_mainWindow(mainWindow), m_listView(listView),
      m_model(std::make_unique<orm::ProgressModel>(orm::ProgressModel::Kind::Batch,
                                                   msg(Msg::MSG_ID_STATUS), msg(Msg::MSG_ID_BATCH)))
{
    m_listPaintTimer.setSingleShot(true);
    connect(&m_listPaintTimer, &QTimer::timeout, this, &BatchDriver::ResumeListPainting);
}

BatchDriver::~BatchDriver()
{
    // Stopping ends the jobs' own processes: the scripts and the encoders they started.
    for (const auto &runner : m_runners) {
        if (runner->job.Active())
            runner->job.Stop();
    }
    m_runners.clear();
    DeleteAllTempFiles();
}

bool BatchDriver::Active() const
{
    return std::any_of(m_runners.begin(), m_runners.end(),
                       [](const auto &runner) { return runner->job.Active(); });
}

int BatchDriver::BusyRunners(const Runner *except) const
{
    return int(std::count_if(m_runners.begin(), m_runners.end(), [except](const auto &runner) {
        return runner.get() != except && runner->busy;
    }));
}

TfrmProgress *BatchDriver::progressWindow() const
{
    return m_progress;
}

void BatchDriver::ActionConvertExecute(const TProfileDetailItem *preset,
                                       const QString &outputFolderText, const BatchOptions &options)
{
    if (m_progress)
        return; // a batch is running
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
        m_outputFolderText = outputFolderText;
        m_options = options;
        RunBatch(*preset);
    });
}

void BatchDriver::RunBatch(const TProfileDetailItem &preset)
{
    m_preset = preset;
    m_terminated = false;
    m_lastModalResult = 0;
    QPointer<TfrmProgress> progress = new TfrmProgress(m_mainWindow);
    m_progress = progress;
    // The driver may go with its window while the batch runs; its destructor
    // then does the clean-up below.
    const QPointer<BatchDriver> alive(this);
    // Whatever happens from here on, no job outlives the batch and its
    // window is released.
    const auto release = qScopeGuard([this, alive, progress] {
        if (!alive)
            return;
        m_progress = nullptr;
        StopRunningJobs();
        ResumeListPainting();
        delete progress.data();
    });
    m_listPainted.invalidate();

    // A slot per job that can run at once, never more than there are files.
    const int slotCount = std::clamp(m_options.simultaneousJobs, 1, std::max(1, m_rows.count()));
    ++m_batchNumber;
    m_runners.clear();
    for (int slot = 0; slot < slotCount; ++slot) {
        m_runners.push_back(std::make_unique<Runner>(slot, *m_model));
        Runner *runner = m_runners.back().get();
        runner->job.OnProgress = [this, runner] { ShowProgress(*runner); };
        runner->job.OnEnded = [this, runner](const orm::JobEnd &end) {
            ProcessEnded(*runner, end);
        };
    }
    m_taken.clear();
    m_waitingBoxes.clear();

    progress->setJobSlots(slotCount);
    progress->PlaceOver(m_mainWindow);
    progress->setWindowTitle(msg(Msg::MSG_ENC_IN_PROGRESS));
    progress->LabelStopWhenDone()->setText(msg(Msg::MSG_STOP_ENC));
    progress->setSwitches(m_options.deleteSources, m_options.shutdownWhenDone);
    connect(progress, &TfrmProgress::deleteSourcesChanged, this,
            &BatchDriver::deleteSourcesChanged);
    connect(progress, &TfrmProgress::shutdownWhenDoneChanged, this,
            &BatchDriver::shutdownWhenDoneChanged);
    // "When done" withdrawn: slots whose jobs ended meanwhile take rows again.
    connect(progress, &TfrmProgress::stopWhenDoneChanged, this, [this](bool on) {
        if (!on)
            QMetaObject::invokeMethod(this, &BatchDriver::FillSlots, Qt::QueuedConnection);
    });

    m_run.start(m_rows.count());
    m_failures.clear();
    qint64 totalBytes = 0;
    for (int row = 0; row < m_rows.count(); ++row)
        totalBytes += fileSizeOf(m_rows.item(row).FileSize);
    m_model->setPrefixes(msg(Msg::MSG_ID_STATUS), msg(Msg::MSG_ID_BATCH));
    m_model->startBatch(totalBytes);
    m_model->takeChanges();

    // The first job's failure to start ends the batch before its window shows.
    DeleteAllTempFiles();
    StartJob(*m_runners.front());
    FillSlots();
    emit batchStarted(progress);

    // The window is not modal; this loop runs until it closes, or goes with
    // its owner.
    int result = 2;
    bool closed = false;
    QEventLoop loop;
    if (progress) {
        connect(progress, &QDialog::finished, &loop, [&](int r) {
            result = r;
            closed = true;
            loop.exit();
        });
        connect(progress, &QObject::destroyed, &loop, [&] {
            closed = true;
            loop.exit();
        });
        progress->show();
        if (!closed)
            loop.exec(); // returns at once while the program is quitting
    }
    if (!alive)
        return;
    m_lastModalResult = result;

    // The batch is over: notices that still arrive change nothing.
    m_progress = nullptr;
    StopRunningJobs();
    if (!m_terminated)
        emit batchFinished({result == 2, m_run.AnyJobFailed});
}

bool BatchDriver::StartJob(Runner &runner)
{
    const QString appFolder = m_options.programFolder;
    // The script inherits the folder: relative paths in templates resolve there.
    if (!QDir::setCurrent(appFolder))
        throw orm::Error(
            QStringLiteral("I/O error: cannot change to the folder \"%1\".").arg(appFolder));
    for (int row = 0; row < m_rows.count(); ++row) {
        const TFileItem &item = m_rows.item(row);
        if (m_taken.contains(&item))
            continue;
        const qint64 fileSize = fileSizeOf(item.FileSize);
        orm::ScriptJob job;
        job.programFolder = appFolder;
        job.profileFile = m_preset.FileName;
        job.section = m_preset.Section;
        job.slot = runner.slot;
        job.values = JobPlaceholders(appFolder, m_outputFolderText, item.path());
        orm::OutputGuard guard;
        guard.begin(job.profileFile, job.section, job.values);
        // Two jobs that could write files of the same name would take each
        // other's files for their own: this row waits for the other job.
        const bool clashes =
            std::any_of(m_runners.begin(), m_runners.end(), [&](const auto &other) {
                return other->busy && other->outputGuard.sharesNamesWith(guard);
            });
        if (clashes)
            continue;

        orm::DeleteTempFiles(appFolder, runner.slot);
        m_taken.insert(&item);
        runner.busy = true;
        runner.source = item.path();
        runner.errorLine.clear();
        runner.outputGuard = std::move(guard);
        if (m_progress)
            m_progress->ShowJob(runner.slot, item.FileName, int(m_taken.size()), m_run.TotalCount);
        emit outputPathChanged(orm::IncludeBackslash(m_outputFolderText));

        job.aviSynthRoute = orm::TakesAviSynthRoute(runner.source, m_options.useDirectShow,
                                                    m_options.aviSynthExtensions);
        QString script;
        try {
            script = orm::WriteJobScripts(job);
        } catch (const orm::Error &e) {
            if (!holdsLineBreak(runner.source) && orm::SourceRefusal(job).isEmpty()) {
                runner.busy = false;
                m_taken.remove(&item);
                throw;
            }
            // A name that cannot be passed safely, or a source the preset
            // refuses, fails its own job; the batch goes on. The end runs
            // from the queue, as a real job's end would.
            orm::DeleteTempFiles(appFolder, runner.slot);
            runner.model.startJob(fileSize);
            orm::JobEnd end;
            end.outcome = orm::JobOutcome::Failed;
            end.message = e.text();
            const int slot = runner.slot;
            const int batch = m_batchNumber;
            QMetaObject::invokeMethod(
                this,
                [this, slot, batch, end] {
                    if (batch == m_batchNumber)
                        ProcessEnded(*m_runners.at(slot), end);
                },
                Qt::QueuedConnection);
            return true;
        }
        try {
            runner.job.Start(script, MapPriority(m_options.priority), fileSize,
                             runner.outputGuard.privateFiles());
        } catch (...) {
            runner.busy = false;
            m_taken.remove(&item);
            throw;
        }
        return true;
    }
    return false;
}

void BatchDriver::FillSlots()
{
    for (const auto &runner : m_runners) {
        if (!m_progress || m_terminated || m_progress->StopWhenDone())
            return;
        if (runner->busy)
            continue;
        bool started = false;
        // When a start fails the slot stays idle; with no job running the
        // window keeps its figures until the user stops.
        if (!orm::GuardEvent([&] { started = StartJob(*runner); })) {
            orm::DeleteTempFiles(m_options.programFolder, runner->slot);
            return;
        }
        if (!started)
            break; // no row can start before a running job ends
    }
    // With nothing running and nothing to start the batch ends rather than
    // wait for ever.
    if (m_progress && BusyRunners() == 0)
        m_progress->FinishBatch();
}

void BatchDriver::ShowProgress(Runner &runner)
{
    if (!m_progress)
        return;
    m_progress->ShowJobProgress(runner.slot, runner.model.takeChanges());
    m_progress->ShowProgress(m_model->takeChanges());
}

void BatchDriver::ProcessEnded(Runner &runner, const orm::JobEnd &jobEnd)
{
    const orm::JobEnd end = orm::VerifiedJobEnd(runner.outputGuard, jobEnd, outputText);
    // The slot is free once its end has been dealt with, however that goes.
    const auto idle = qScopeGuard([&runner] { runner.busy = false; });
    if (!m_progress || m_terminated || end.outcome == orm::JobOutcome::Stopped)
        return;
    orm::GuardEvent([&] {
        orm::DeleteTempFiles(m_options.programFolder, runner.slot);
        if (end.outcome == orm::JobOutcome::Failed) {
            ReportFailure(runner.source, FailureText(runner, end));
            if (!m_progress)
                return; // the batch ended while the box was open
        }
        const JobEndSteps steps = m_run.jobEnded(end.outcome, m_progress->DeleteSources(),
                                                 m_progress->StopWhenDone(), BusyRunners(&runner));
        // To the trash; a failure is passed over, a source changed meanwhile is kept.
        if (steps.deleteSource && runner.outputGuard.removeSource() == orm::SourceRemoval::Changed)
            m_failures.add(runner.source, orm::SourceChangedText(runner.source, outputText));
        if (steps.removeRow || steps.moveRowToEnd)
            PaceListPainting();
        if (steps.removeRow)
            m_rows.RemoveSourceItem(runner.source);
        if (steps.moveRowToEnd)
            m_rows.MoveSourceItemToEnd(runner.source);
        if (steps.lastFileDone)
            m_model->lastFileDone(msg(Msg::MSG_ENCODING_FINISHED));
        if (!steps.endBatch)
            runner.model.jobEnded();
        ShowProgress(runner);
        runner.busy = false;
        m_progress->ShowJobIdle(runner.slot);
        // With nothing left to run the batch ends rather than wait for ever.
        if (steps.endBatch || (m_rows.count() == 0 && BusyRunners() == 0)) {
            m_progress->FinishBatch();
            return;
        }
        if (steps.startNext)
            QMetaObject::invokeMethod(this, &BatchDriver::FillSlots, Qt::QueuedConnection);
    });
}

QString BatchDriver::FailureText(const Runner &runner, const orm::JobEnd &end) const
{
    // What the encoder said, when it said anything; otherwise the reason the
    // job was failed for (its exit status, or an output that did not pass).
    if (runner.errorLine.isEmpty() && end.recentLines.isEmpty())
        return orm::FailureMessage(end);
    orm::FailureContext context;
    context.lines = end.recentLines;
    context.errorLine = runner.outputGuard.shownText(runner.errorLine);
    context.exitStatus = end.exitStatus;
    context.inputFile = runner.source;
    context.outputFolder = m_outputFolderText;
    const QString text = orm::FailureReport(context, causeText);
    return text.isEmpty() ? orm::FailureMessage(end) : text;
}

void BatchDriver::ReportFailure(const QString &source, const QString &text)
{
    m_failures.add(source, text);
    // An armed post-batch action means nobody is there to press OK: the batch
    // goes on, and the failure waits in the log.
    const bool userAway = m_progress && m_progress->ShutdownWhenDone();
    if (!m_options.showErrorsAtOnce || userAway)
        return;
    m_waitingBoxes << text;
    if (m_boxOpen)
        return; // shown when the open box closes; this job's end goes on meanwhile
    m_boxOpen = true;
    const auto closed = qScopeGuard([this] { m_boxOpen = false; });
    while (!m_waitingBoxes.isEmpty() && m_progress)
        orm::ShowMessageBox(m_waitingBoxes.takeFirst(), msg(Msg::MSG_ERROR),
                            orm::mb::kIconInformation);
    m_waitingBoxes.clear();
}

void BatchDriver::StopRunningJobs()
{
    std::vector<Runner *> stopped;
    for (const auto &runner : m_runners) {
        if (runner->job.Active()) {
            runner->job.Stop(); // the job's own processes only, never another program's encoder
            stopped.push_back(runner.get());
        }
    }
    if (!stopped.empty()) {
        QElapsedTimer waited;
        waited.start();
        while (Active() && waited.elapsed() < kStopWaitMs)
            QCoreApplication::processEvents(
                QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents, 50);
        for (Runner *runner : stopped)
            runner->outputGuard.removeCreated(); // also when the end notice came too late
    }
    DeleteAllTempFiles();
}

void BatchDriver::DeleteAllTempFiles() const
{
    if (m_options.programFolder.isEmpty())
        return;
    for (int slot = 0; slot < std::max<int>(1, int(m_runners.size())); ++slot)
        orm::DeleteTempFiles(m_options.programFolder, slot);
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

void BatchDriver::Terminate()
{
    m_terminated = true;
    QPointer<TfrmProgress> progress = m_progress;
    m_progress = nullptr;
    StopRunningJobs();
    if (progress && progress->isVisible())
        progress->done(2);
}

} // namespace marbeck
