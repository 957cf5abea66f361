#pragma once
// "Convert Now" and the window of a running batch: the checks before a batch,
// then the batch queue shown in the progress window, its rows kept in the
// source list, its failures told, its switches and stop question passed on.
// What follows a batch (the failure log, the post-batch action) is its
// owner's: batchFinished says how it ended.
#include "batchqueue.h"
#include "conversionrunner.h"
#include "profiles/profilecatalogue.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

class QWidget;

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
    // How many jobs run at once; each has its own script and files.
    int simultaneousJobs = 1;
};

class BatchDriver : public QObject {
    Q_OBJECT
public:
    // `rows` are the sources, first row first; `mainWindow` owns the progress
    // window and is what it centres over; `listView`, when given, is the view
    // of the rows, whose painting is paced during a batch.
    BatchDriver(SourceListModel &rows, QWidget *mainWindow, QWidget *listView = nullptr);
    // Ends the running jobs and everything they started and removes their files.
    ~BatchDriver() override;

    // "Convert Now": no rows → the MSG_NOFILES box; no preset → the list's
    // index error in the standard error box; then the output folder check,
    // outputPathChanged with the folder text, and the batch with the preset.
    // Returns once the batch runs; batchFinished tells its end.
    void ActionConvertExecute(const TProfileDetailItem *preset, const QString &outputFolderText,
                              const BatchOptions &options);
    // From "Convert Now" until batchFinished.
    bool Running() const { return m_batchOpen; }
    // A job's processes are running.
    bool Active() const { return m_queue->isActive(); }
    // The main window closes during a batch: ends every running job's own
    // processes, deletes their files, and announces nothing more.
    void Terminate();

    // The running batch's progress window; null between batches.
    TfrmProgress *progressWindow() const;
    const BatchQueue &queue() const { return *m_queue; }
    const orm::FailureLog &failures() const { return m_queue->failures(); }
    // How the last batch's progress window closed: 1 by itself or after
    // "When done", 2 by "Stop now"; 0 when it was never shown.
    int lastModalResult() const { return m_lastModalResult; }

signals:
    // The progress window is about to be shown. It is not modal, so that the
    // main window can still be closed (which asks the stop question); the
    // owner keeps the user from changing the list meanwhile.
    void batchStarted(marbeck::TfrmProgress *window);
    // The batch is over and its window closed; not after Terminate().
    void batchFinished(const marbeck::BatchResult &result);
    // The settings a batch changes, for the owner to keep.
    void outputPathChanged(const QString &path);
    void deleteSourcesChanged(bool on);
    void shutdownWhenDoneChanged(bool on);

private:
    void StartBatch();
    void ShowFigures();
    void JobStarted(int slot, int row);
    void RowConverted(const QString &source);
    void RowFailed(const QString &source, const QString &reason);
    void StartFailed(const QString &reason);
    // Failures of jobs that end while a box is open wait for it to close.
    void ShowWaitingBoxes();
    void QueueFinished();
    void WindowClosed(int result);
    // Both the queue and the window are done: the batch is over.
    void EndBatch();
    // Rows change after every job; repainting the list for each of many
    // short jobs would cost more than the jobs. Called before each change:
    // the list paints at once unless it painted less than a moment ago, and
    // then at the end of that moment.
    void PaceListPainting();
    void ResumeListPainting();

    SourceListModel &m_rows;
    QPointer<QWidget> m_mainWindow;
    QPointer<QWidget> m_listView;
    BatchOptions m_options;
    ConversionSettings m_conversion;
    std::unique_ptr<BatchQueue> m_queue;
    QPointer<TfrmProgress> m_progress;
    QTimer m_clockTimer; // the times move on between console lines too
    QStringList m_waitingBoxes;
    bool m_boxOpen = false;
    bool m_batchOpen = false; // from the batch's start until batchFinished
    bool m_queueDone = false;
    int m_windowResult = 0;
    QElapsedTimer m_listPainted;
    QTimer m_listPaintTimer;
    bool m_listHeld = false; // painting of the list is held back by us
    int m_lastModalResult = 0;
    bool m_terminated = false;
};

} // namespace marbeck
