#pragma once
// A batch from "Convert Now" to the last dialog after it: one job per row of
// the source list, through the modal progress window, then the failure
// notice or the countdown to the post-batch action.
#include "batchrun.h"
#include "failurelog.h"
#include "profiles/profilecatalogue.h"
#include "shared/outputcheck.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>

class QWidget;

namespace orm {
class ConversionJob;
class ProgressModel;
struct JobEnd;
} // namespace orm

namespace marbeck {

class ListViewFiles;
class TfrmProgress;

class BatchDriver : public QObject {
    Q_OBJECT
public:
    // `list` is the main window's source list; `mainWindow` owns the progress
    // and countdown windows and is what they centre over.
    BatchDriver(ListViewFiles &list, QWidget *mainWindow);
    ~BatchDriver() override;

    // "Convert Now": no rows → the MSG_NOFILES box; no preset → the list's
    // index error in the standard error box; then the output folder check,
    // OutputPath := the folder text, and the batch with the preset.
    void ActionConvertExecute(const TProfileDetailItem *preset, const QString &outputFolderText);
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
    // The countdown's tick; a second unless a test shortens it.
    void setCountdownTick(int milliseconds) { m_countdownTickMs = milliseconds; }

signals:
    // Index 0 of the post-batch actions: the program closes.
    void closeProgramRequested();
    // The progress window is about to be shown modally.
    void batchStarted(marbeck::TfrmProgress *window);

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
    void AfterBatch();
    // Rows change after every job; repainting the list for each of many
    // short jobs would cost more than the jobs. Called before each change:
    // the list paints at once unless it painted less than a moment ago, and
    // then at the end of that moment.
    void PaceListPainting();
    void ResumeListPainting();

    ListViewFiles &m_list;
    QPointer<QWidget> m_mainWindow;
    std::unique_ptr<orm::ProgressModel> m_model;
    std::unique_ptr<orm::ConversionJob> m_job;
    BatchRun m_run;
    orm::FailureLog m_failures; // what the user was told of each failed job
    QPointer<TfrmProgress> m_progress;
    TProfileDetailItem m_preset;
    QString m_outputFolderText;
    QString m_currentSource;
    orm::OutputGuard m_outputGuard; // the current job's output folder and names
    QElapsedTimer m_listPainted;
    QTimer m_listPaintTimer;
    bool m_listHeld = false; // painting of the list is held back by us
    int m_lastModalResult = 0;
    int m_countdownTickMs = 1000;
    bool m_terminated = false;
};

} // namespace marbeck
