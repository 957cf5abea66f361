#pragma once
// A batch from "Convert Now" to its end: one job per row of the source list's
// model, one or several at once, shown in the progress window. What follows
// a batch (the failure log, the post-batch action) is its owner's:
// batchFinished says how it ended.
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

#include <QSet>

#include <memory>
#include <vector>

class QWidget;

namespace orm {
class ProgressModel;
struct JobEnd;
} // namespace orm

namespace marbeck {

class SourceListModel;
class TfrmProgress;
struct TFileItem;

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
    // How many jobs run at once; each has its own script and files.
    int simultaneousJobs = 1;
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
    // The main window closes during a batch: ends every running job's own
    // processes, deletes the generated files, and ignores the batch's late
    // notices.
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
    // The progress window is about to be shown. It is not modal, so that the
    // main window can still be closed (which asks the stop question); the
    // owner keeps the user from changing the list meanwhile.
    void batchStarted(marbeck::TfrmProgress *window);
    // The batch is over and its window gone; not after Terminate().
    void batchFinished(const marbeck::BatchResult &result);
    // The settings a batch changes, for the owner to keep.
    void outputPathChanged(const QString &path);
    void deleteSourcesChanged(bool on);
    void shutdownWhenDoneChanged(bool on);

private:
    // One job slot: a job of its own with its figures, output folder guard
    // and generated files.
    struct Runner;

    void RunBatch(const TProfileDetailItem &preset);
    // Starts the first row not yet taken by this batch whose outputs cannot
    // be mistaken for a running job's; false when no row can start now.
    // Throws orm::Error when a job cannot be started.
    bool StartJob(Runner &runner);
    // Starts jobs in the idle slots while rows can start (the queued start
    // after a job's end: the message the old program posted).
    void FillSlots();
    void ProcessEnded(Runner &runner, const orm::JobEnd &jobEnd);
    void ShowProgress(Runner &runner);
    // Ends the running jobs and everything they started, waits for their end
    // notices, and deletes the generated files.
    void StopRunningJobs();
    void DeleteAllTempFiles() const;
    // Slots with a job started and its end not yet dealt with.
    int BusyRunners(const Runner *except = nullptr) const;
    // Rows change after every job; repainting the list for each of many
    // short jobs would cost more than the jobs. Called before each change:
    // the list paints at once unless it painted less than a moment ago, and
    // then at the end of that moment.
    void PaceListPainting();
    // The encoder's most telling line with the likely cause, for a failed job.
    QString FailureText(const Runner &runner, const orm::JobEnd &end) const;
    // Tells the user of a failed job now, or leaves it for the failure log.
    // Failures of other jobs that end while a box is open wait for it to close.
    void ReportFailure(const QString &source, const QString &text);
    void ResumeListPainting();

    SourceListModel &m_rows;
    QPointer<QWidget> m_mainWindow;
    QPointer<QWidget> m_listView;
    BatchOptions m_options;
    std::unique_ptr<orm::ProgressModel> m_model; // the batch's figures
    std::vector<std::unique_ptr<Runner>> m_runners;
    QSet<const TFileItem *> m_taken; // rows this batch has started a job for
    BatchRun m_run;
    orm::FailureLog m_failures; // what the user was told of each failed job
    QStringList m_waitingBoxes;
    bool m_boxOpen = false;
    QPointer<TfrmProgress> m_progress;
    TProfileDetailItem m_preset;
    QString m_outputFolderText;
    QElapsedTimer m_listPainted;
    QTimer m_listPaintTimer;
    bool m_listHeld = false; // painting of the list is held back by us
    int m_lastModalResult = 0;
    int m_batchNumber = 0; // a queued job end of an earlier batch is passed over
    bool m_terminated = false;
};

} // namespace marbeck
