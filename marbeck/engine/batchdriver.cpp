#include "batchdriver.h"

#include "jobvalues.h"
#include "lang/marbeckmessages.h"
#include "shared/batchscript.h"
#include "shared/conversionjob.h"
#include "shared/error.h"
#include "shared/interaction.h"
#include "shared/utilfuncs.h"
#include "shell/globalvars.h"
#include "shell/poweractions.h"
#include "shell/tfrmshutdown.h"
#include "sources/listviewfiles.h"
#include "sources/sourcelist.h"
#include "sources/sourcelistmodel.h"
#include "sources/typelists.h"
#include "tfrmprogress.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QScopeGuard>

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

void showError(const std::exception &e)
{
    const auto *error = dynamic_cast<const orm::Error *>(&e);
    ShowErrorBox(error ? error->text() : QString::fromLocal8Bit(e.what()));
}

} // namespace

BatchDriver::BatchDriver(ListViewFiles &list, QWidget *mainWindow)
    : m_list(list), m_mainWindow(mainWindow),
      m_model(std::make_unique<orm::ProgressModel>(orm::ProgressModel::Kind::Batch,
                                                   msg(Msg::MSG_ID_STATUS), msg(Msg::MSG_ID_BATCH)))
{
    m_model->setErrorHandler([this](const QString &line) {
        if (!m_progress)
            return;
        m_failures.add(m_currentSource, line);
        orm::ShowMessageBox(line, msg(Msg::MSG_ERROR), orm::mb::kIconInformation);
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
    if (!globals().AppFolder.isEmpty())
        orm::DeleteTempFiles(globals().AppFolder);
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
                                       const QString &outputFolderText)
{
    if (m_progress)
        return; // a batch is running
    try {
        if (m_list.sources().count() == 0) {
            orm::ShowMessageBox(msg(Msg::MSG_NOFILES), msg(Msg::MSG_HINT),
                                orm::mb::kIconExclamation);
            return;
        }
        if (!preset)
            throw orm::Error(QStringLiteral("List index out of bounds (-1)"));
        if (!EnsureOutputFolder(outputFolderText))
            return;
        globals().OutputPath = outputFolderText;
        m_outputFolderText = outputFolderText;
        RunBatch(*preset);
    } catch (const std::exception &e) {
        showError(e);
    }
}

void BatchDriver::RunBatch(const TProfileDetailItem &preset)
{
    m_preset = preset;
    m_terminated = false;
    m_lastModalResult = 0;
    QPointer<TfrmProgress> progress = new TfrmProgress(m_mainWindow);
    m_progress = progress;
    // Whatever happens from here on, no job outlives the batch and its
    // window is released.
    const auto release = qScopeGuard([this, progress] {
        m_progress = nullptr;
        StopRunningJob();
        ResumeListPainting();
        delete progress.data();
    });
    m_listPainted.invalidate();

    progress->PlaceOver(m_mainWindow);
    progress->setWindowTitle(msg(Msg::MSG_ENC_IN_PROGRESS));
    progress->LabelStopWhenDone()->setText(msg(Msg::MSG_STOP_ENC));

    const SourceListModel &rows = m_list.sources();
    m_run.start(rows.count());
    m_failures.clear();
    qint64 totalBytes = 0;
    for (int row = 0; row < rows.count(); ++row)
        totalBytes += fileSizeOf(rows.item(row).FileSize);
    m_model->setPrefixes(msg(Msg::MSG_ID_STATUS), msg(Msg::MSG_ID_BATCH));
    m_model->startBatch(totalBytes);
    m_model->takeChanges();

    StartNextJob();
    emit batchStarted(progress);
    const int result = progress ? progress->exec() : 2;
    m_lastModalResult = result;

    // The batch is over: notices that still arrive change nothing.
    m_progress = nullptr;
    StopRunningJob();
    if (!m_terminated)
        AfterBatch();
}

void BatchDriver::AfterBatch()
{
    if (m_run.AnyJobFailed) {
        orm::OfferFailureLog(m_failures, msg(Msg::MSG_ANERROROCCURRED), msg(Msg::MSG_OOPS));
        return;
    }
    if (!globals().ShutdownWindowsWhenDone || m_lastModalResult == 2)
        return;
    QPointer<TfrmShutdown> countdown = new TfrmShutdown(m_mainWindow, m_countdownTickMs);
    const int answer = countdown->Run();
    delete countdown.data();
    if (answer != 1 || m_terminated)
        return;
    ExecuteShutdownAction(globals().ShutdownFlag, [this] {
        // The program ends after the current message, as any close does.
        QMetaObject::invokeMethod(
            this, [this] { emit closeProgramRequested(); }, Qt::QueuedConnection);
    });
}

bool BatchDriver::StartNextJob()
{
    const QString appFolder = globals().AppFolder;
    orm::DeleteTempFiles(appFolder);
    const SourceListModel &rows = m_list.sources();
    if (rows.count() == 0)
        return false;
    // The script inherits the folder: relative paths in templates resolve there.
    if (!QDir::setCurrent(appFolder))
        throw orm::Error(
            QStringLiteral("I/O error: cannot change to the folder \"%1\".").arg(appFolder));
    const TFileItem &item = rows.item(0);
    const qint64 fileSize = fileSizeOf(item.FileSize);
    m_currentSource = item.CompleteName;
    globals().OutputPath = orm::IncludeBackslash(m_outputFolderText);

    orm::ScriptJob job;
    job.programFolder = appFolder;
    job.profileFile = m_preset.FileName;
    job.section = m_preset.Section;
    job.values = JobPlaceholders(appFolder, m_outputFolderText, m_currentSource);
    job.aviSynthRoute =
        orm::TakesAviSynthRoute(m_currentSource, globals().UseDirectShow, typeLists().AVSExt);
    QString script;
    try {
        script = orm::WriteJobScripts(job);
    } catch (const orm::Error &e) {
        if (!holdsLineBreak(m_currentSource))
            throw;
        // A name that cannot be passed safely fails its own job; the batch
        // goes on. The end runs from the queue, as a real job's end would.
        orm::DeleteTempFiles(appFolder);
        m_model->startJob(fileSize);
        orm::JobEnd end;
        end.outcome = orm::JobOutcome::Failed;
        end.message = e.text();
        QMetaObject::invokeMethod(
            this, [this, end] { ProcessEnded(end); }, Qt::QueuedConnection);
        return true;
    }
    m_job->Start(script, MapPriority(globals().Priority), fileSize);
    return true;
}

void BatchDriver::ShowProgress()
{
    if (m_progress)
        m_progress->ShowProgress(m_model->takeChanges());
}

void BatchDriver::ProcessEnded(const orm::JobEnd &end)
{
    if (!m_progress || m_terminated || end.outcome == orm::JobOutcome::Stopped)
        return;
    try {
        orm::DeleteTempFiles(globals().AppFolder);
        // A job that failed without an error line (the encoder said so only
        // by its exit status) is reported like one that printed it.
        if (end.outcome == orm::JobOutcome::Failed &&
            (!end.message.isEmpty() || !m_model->errorOccurred())) {
            m_failures.add(m_currentSource, orm::FailureMessage(end));
            orm::ShowMessageBox(orm::FailureMessage(end), msg(Msg::MSG_ERROR),
                                orm::mb::kIconInformation);
            if (!m_progress)
                return; // the batch ended while the box was open
        }
        const JobEndSteps steps = m_run.jobEnded(end.outcome, globals().DeleteFileAfterProcessing,
                                                 m_progress->StopWhenDone());
        if (steps.deleteSource)
            QFile::remove(m_currentSource); // a failure is passed over
        if (steps.removeRow || steps.moveRowToEnd)
            PaceListPainting();
        if (steps.removeRow)
            m_list.RemoveSourceItem(m_currentSource);
        if (steps.moveRowToEnd)
            m_list.MoveSourceItemToEnd(m_currentSource);
        if (steps.lastFileDone)
            m_model->lastFileDone(msg(Msg::MSG_ENCODING_FINISHED));
        if (!steps.endBatch) {
            m_model->jobEnded();
        }
        ShowProgress();
        // With nothing left to run the batch ends rather than wait for ever.
        if (steps.endBatch || m_list.sources().count() == 0) {
            m_progress->FinishBatch();
            return;
        }
        QMetaObject::invokeMethod(this, &BatchDriver::WmStartNextJob, Qt::QueuedConnection);
    } catch (const std::exception &e) {
        showError(e);
    }
}

void BatchDriver::WmStartNextJob()
{
    if (!m_progress || m_terminated)
        return;
    try {
        StartNextJob();
    } catch (const std::exception &e) {
        // No job runs; the window keeps its figures until the user stops.
        orm::DeleteTempFiles(globals().AppFolder);
        showError(e);
    }
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
    }
    orm::DeleteTempFiles(globals().AppFolder);
}

void BatchDriver::PaceListPainting()
{
    if (m_listPaintTimer.isActive())
        return; // already held back; it paints when the moment is over
    if (!m_listPainted.isValid() || m_listPainted.elapsed() >= kListPaintMs) {
        m_listPainted.start();
        return;
    }
    m_listHeld = true;
    m_list.setUpdatesEnabled(false);
    m_listPaintTimer.start(int(kListPaintMs - m_listPainted.elapsed()));
}

void BatchDriver::ResumeListPainting()
{
    m_listPaintTimer.stop();
    if (m_listHeld)
        m_list.setUpdatesEnabled(true); // paints what changed meanwhile
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
