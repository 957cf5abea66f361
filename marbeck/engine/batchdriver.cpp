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

BatchDriver::BatchDriver(SourceListModel &rows, QWidget *mainWindow, QWidget *listView)
    : m_rows(rows), m_mainWindow(mainWindow), m_listView(listView),
      m_model(std::make_unique<orm::ProgressModel>(orm::ProgressModel::Kind::Batch,
                                                   msg(Msg::MSG_ID_STATUS), msg(Msg::MSG_ID_BATCH)))
{
    // The job's first error line; the failure is reported once, when the job
    // has ended and its most telling line is known.
    m_model->setErrorHandler([this](const QString &line) {
        if (m_errorLine.isEmpty())
            m_errorLine = line;
    });
    m_job = std::make_unique<orm::ConversionJob>(*m_model);
    m_job->OnProgress = [this] { ShowProgress(); };
    m_job->OnEnded = [this](const orm::JobEnd &end) { ProcessEnded(end); };
    m_listPaintTimer.setSingleShot(true);
    connect(&m_listPaintTimer, &QTimer::timeout, this, &BatchDriver::ResumeListPainting);
}

BatchDriver::~BatchDriver()
{
    // Stopping ends the job's own processes: the script and the encoder it started.
    if (Active())
        m_job->Stop();
    m_job.reset();
    if (!m_options.programFolder.isEmpty())
        orm::DeleteTempFiles(m_options.programFolder);
}

bool BatchDriver::Active() const
{
    return m_job->Active();
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
        if (!EnsureOutputFolder(outputFolderText))
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
        StopRunningJob();
        ResumeListPainting();
        delete progress.data();
    });
    m_listPainted.invalidate();

    progress->PlaceOver(m_mainWindow);
    progress->setWindowTitle(msg(Msg::MSG_ENC_IN_PROGRESS));
    progress->LabelStopWhenDone()->setText(msg(Msg::MSG_STOP_ENC));
    progress->setSwitches(m_options.deleteSources, m_options.shutdownWhenDone);
    connect(progress, &TfrmProgress::deleteSourcesChanged, this,
            &BatchDriver::deleteSourcesChanged);
    connect(progress, &TfrmProgress::shutdownWhenDoneChanged, this,
            &BatchDriver::shutdownWhenDoneChanged);

    m_run.start(m_rows.count());
    m_failures.clear();
    qint64 totalBytes = 0;
    for (int row = 0; row < m_rows.count(); ++row)
        totalBytes += fileSizeOf(m_rows.item(row).FileSize);
    m_model->setPrefixes(msg(Msg::MSG_ID_STATUS), msg(Msg::MSG_ID_BATCH));
    m_model->startBatch(totalBytes);
    m_model->takeChanges();

    StartNextJob();
    emit batchStarted(progress);
    const int result = progress ? progress->exec() : 2;
    if (!alive)
        return;
    m_lastModalResult = result;

    // The batch is over: notices that still arrive change nothing.
    m_progress = nullptr;
    StopRunningJob();
    if (!m_terminated)
        emit batchFinished({result == 2, m_run.AnyJobFailed});
}

bool BatchDriver::StartNextJob()
{
    const QString appFolder = m_options.programFolder;
    orm::DeleteTempFiles(appFolder);
    if (m_rows.count() == 0)
        return false;
    // The script inherits the folder: relative paths in templates resolve there.
    if (!QDir::setCurrent(appFolder))
        throw orm::Error(
            QStringLiteral("I/O error: cannot change to the folder \"%1\".").arg(appFolder));
    const TFileItem &item = m_rows.item(0);
    const qint64 fileSize = fileSizeOf(item.FileSize);
    m_currentSource = item.path();
    m_errorLine.clear(); // the path the user chose; CompleteName is shown only
    if (m_progress)
        m_progress->ShowCurrentFile(item.FileName, m_run.DoneCount + m_run.FailedCount + 1,
                                    m_run.TotalCount);
    emit outputPathChanged(orm::IncludeBackslash(m_outputFolderText));

    orm::ScriptJob job;
    job.programFolder = appFolder;
    job.profileFile = m_preset.FileName;
    job.section = m_preset.Section;
    job.values = JobPlaceholders(appFolder, m_outputFolderText, m_currentSource);
    m_outputGuard.begin(job.profileFile, job.section, job.values);
    job.aviSynthRoute = orm::TakesAviSynthRoute(m_currentSource, m_options.useDirectShow,
                                                m_options.aviSynthExtensions);
    QString script;
    try {
        script = orm::WriteJobScripts(job);
    } catch (const orm::Error &e) {
        if (!holdsLineBreak(m_currentSource) && orm::SourceRefusal(job).isEmpty())
            throw;
        // A name that cannot be passed safely, or a source the preset
        // refuses, fails its own job; the batch goes on. The end runs from
        // the queue, as a real job's end would.
        orm::DeleteTempFiles(appFolder);
        m_model->startJob(fileSize);
        orm::JobEnd end;
        end.outcome = orm::JobOutcome::Failed;
        end.message = e.text();
        QMetaObject::invokeMethod(
            this, [this, end] { ProcessEnded(end); }, Qt::QueuedConnection);
        return true;
    }
    m_job->Start(script, MapPriority(m_options.priority), fileSize);
    return true;
}

void BatchDriver::ShowProgress()
{
    if (m_progress)
        m_progress->ShowProgress(m_model->takeChanges());
}

void BatchDriver::ProcessEnded(const orm::JobEnd &jobEnd)
{
    const orm::JobEnd end = orm::VerifiedJobEnd(m_outputGuard, jobEnd, outputText);
    if (!m_progress || m_terminated || end.outcome == orm::JobOutcome::Stopped)
        return;
    orm::GuardEvent([&] {
        orm::DeleteTempFiles(m_options.programFolder);
        if (end.outcome == orm::JobOutcome::Failed) {
            ReportFailure(FailureText(end));
            if (!m_progress)
                return; // the batch ended while the box was open
        }
        const JobEndSteps steps =
            m_run.jobEnded(end.outcome, m_progress->DeleteSources(), m_progress->StopWhenDone());
        if (steps.deleteSource)
            orm::RemoveSource(m_currentSource); // to the trash; a failure is passed over
        if (steps.removeRow || steps.moveRowToEnd)
            PaceListPainting();
        if (steps.removeRow)
            m_rows.RemoveSourceItem(m_currentSource);
        if (steps.moveRowToEnd)
            m_rows.MoveSourceItemToEnd(m_currentSource);
        if (steps.lastFileDone)
            m_model->lastFileDone(msg(Msg::MSG_ENCODING_FINISHED));
        if (!steps.endBatch) {
            m_model->jobEnded();
        }
        ShowProgress();
        // With nothing left to run the batch ends rather than wait for ever.
        if (steps.endBatch || m_rows.count() == 0) {
            m_progress->FinishBatch();
            return;
        }
        QMetaObject::invokeMethod(this, &BatchDriver::WmStartNextJob, Qt::QueuedConnection);
    });
}

QString BatchDriver::FailureText(const orm::JobEnd &end) const
{
    // What the encoder said, when it said anything; otherwise the reason the
    // job was failed for (its exit status, or an output that did not pass).
    if (m_errorLine.isEmpty() && end.recentLines.isEmpty())
        return orm::FailureMessage(end);
    orm::FailureContext context;
    context.lines = end.recentLines;
    context.errorLine = m_errorLine;
    context.exitStatus = end.exitStatus;
    context.inputFile = m_currentSource;
    context.outputFolder = m_outputFolderText;
    const QString text = orm::FailureReport(context, causeText);
    return text.isEmpty() ? orm::FailureMessage(end) : text;
}

void BatchDriver::ReportFailure(const QString &text)
{
    m_failures.add(m_currentSource, text);
    // An armed post-batch action means nobody is there to press OK: the batch
    // goes on, and the failure waits in the log.
    const bool userAway = m_progress && m_progress->ShutdownWhenDone();
    if (m_options.showErrorsAtOnce && !userAway)
        orm::ShowMessageBox(text, msg(Msg::MSG_ERROR), orm::mb::kIconInformation);
}

void BatchDriver::WmStartNextJob()
{
    if (!m_progress || m_terminated)
        return;
    // When the start fails no job runs; the window keeps its figures until
    // the user stops.
    if (!orm::GuardEvent([this] { StartNextJob(); }))
        orm::DeleteTempFiles(m_options.programFolder);
}

void BatchDriver::StopRunningJob()
{
    if (Active()) {
        m_job->Stop(); // the job's own processes only, never another program's encoder
        QElapsedTimer waited;
        waited.start();
        while (Active() && waited.elapsed() < kStopWaitMs)
            QCoreApplication::processEvents(
                QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents, 50);
        m_outputGuard.removeCreated(); // also when the end notice came too late
    }
    if (!m_options.programFolder.isEmpty())
        orm::DeleteTempFiles(m_options.programFolder);
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
    StopRunningJob();
    if (progress && progress->isVisible())
        progress->done(2);
}

} // namespace marbeck
