#pragma once
// A batch from "Convert Now" to its end: one job per row of the source list's
// model, through the modal progress window. What follows a batch (the
// failure log, the post-batch action) is its owner's: batchFinished says how
// it ended.
#include "batchrun.h"
#include "profiles/profilecatalogue.h"
#include "shared/failurelog.h"
#include "shared/outputcheck.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

class QWidget;

namespace orm {
class ConversionJob;
class ProgressModel;
struct JobEnd;
} // namespace orm

namespace marbeck {

class SourceListModel;
class TfrmProgress;

// What a batch takes from the settings, fixed when it starts.
struct BatchOptions {
    QString programFolder;      // scripts are written and run here
    quint8 priority = 1;        // the stored priority setting
    bool deleteSources = false; // the progress window's switches as it opens
    bool shutdownWhenDone = false;
    bool useDirectShow = false;
    QStringList aviSynthExtensions; // with their dot
    // An error opens a box at once, unless a post-batch action is armed (the
    // user is away then); either way it is collected for the failure log.
    bool showErrorsAtOnce = true;
};

// How a batch ended.
struct BatchResult {
    bool stoppedNow = false; // by "Stop now" rather than by itself or "When done"
    bool anyFailed = false;
};

class BatchDriver : public QObject {
    Q_OBJECT
public:
    // `rows` are the sources, first row first; `mainWindow` owns the progress
    // window and is what it centres over; `listView`, when given, is the view
    // of the rows, whose painting is paced during a batch.
    BatchDriver(SourceListModel &rows, QWidget *mainWindow, QWidget *listView = nullptr);
    // Ends a running job and everything it started and removes its files.
    ~BatchDriver() override;

    // "Convert Now": no rows → the MSG_NOFILES box; no preset → the list's
    // index error in the standard error box; then the output folder check,
    // outputPathChanged with the folder text, and the batch with the preset.
    void ActionConvertExecute(const TProfileDetailItem *preset, const QString &outputFolderText,
                              const BatchOptions &options);
    // A job's child is running.
    bool Active() const;
    // The main window closes during a batch: ends the child's group and every
    // "avcore.dll" of ours, deletes the generated files, and ignores the
    // batch's late notices.
    void Terminate();

    // The running batch's progress window; null between batches.
    TfrmProgress *progressWindow() const;
    // The counters of the running or the last batch.
    const BatchRun &batch() const { return m_run; }
    const orm::FailureLog &failures() const { return m_failures; }
    // How the last batch's progress window closed: 1 by itself or after
    // "When done", 2 by "Stop now"; 0 when it was never shown.
    int lastModalResult() const { return m_lastModalResult; }

signals:
    // The progress window is about to be shown modally.
    void batchStarted(marbeck::TfrmProgress *window);
    // The batch is over and its window gone; not after Terminate().
    void batchFinished(const marbeck::BatchResult &result);
    // The settings a batch changes, for the owner to keep.
    void outputPathChanged(const QString &path);
    void deleteSourcesChanged(bool on);
    void shutdownWhenDoneChanged(bool on);

private:
    void RunBatch(const TProfileDetailItem &preset);
    // False when the list is empty and nothing was started.
    bool StartNextJob();
    void ProcessEnded(const orm::JobEnd &jobEnd);
    // The queued start of the next job (the message the old program posted).
    void WmStartNextJob();
    void ShowProgress();
    // Ends a running job and everything it started, waits for its end notice,
    // and deletes the generated files.
    void StopRunningJob();
    // Rows change after every job; repainting the list for each of many
    // short jobs would cost more than the jobs. Called before each change:
    // the list paints at once unless it painted less than a moment ago, and
    // then at the end of that moment.
    void PaceListPainting();
    // The encoder's most telling line with the likely cause, for a failed job.
    QString FailureText(const orm::JobEnd &end) const;
    // Tells the user of a failed job now, or leaves it for the failure log.
    void ReportFailure(const QString &text);
    void ResumeListPainting();

    SourceListModel &m_rows;
    QPointer<QWidget> m_mainWindow;
    QPointer<QWidget> m_listView;
    BatchOptions m_options;
    std::unique_ptr<orm::ProgressModel> m_model;
    std::unique_ptr<orm::ConversionJob> m_job;
    BatchRun m_run;
    orm::FailureLog m_failures; // what the user was told of each failed job
    QPointer<TfrmProgress> m_progress;
    TProfileDetailItem m_preset;
    QString m_outputFolderText;
    QString m_currentSource;
    QString m_errorLine;            // the running job's first error line
    orm::OutputGuard m_outputGuard; // the current job's output folder and names
    QElapsedTimer m_listPainted;
    QTimer m_listPaintTimer;
    bool m_listHeld = false; // painting of the list is held back by us
    int m_lastModalResult = 0;
    bool m_terminated = false;
};

} // namespace marbeck
