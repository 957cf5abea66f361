#pragma once
// The progress arithmetic of a conversion and the texts its window shows.
#include "consoleparser.h"

#include <QString>
#include <QtGlobal>

#include <functional>
#include <utility>
#include <vector>

namespace orm {

enum class JobOutcome { Converted, Failed, Stopped };

// How a job counts once its script has ended. A job stopped by the user is
// stopped whatever it printed; otherwise it converted only when it printed
// no error line and its script exited with status 0.
JobOutcome outcomeOf(bool errorLineSeen, int exitStatus, bool stopped);

// What a progress window shows, and which parts changed since the window
// last took them. Empty texts have not been set yet.
struct ProgressView {
    enum Field : unsigned {
        StatusText = 1u << 0,     // file percent label
        StatusBar = 1u << 1,      // file progress bar
        FileRemaining = 1u << 2,  // remaining time of the file
        FileElapsed = 1u << 3,    // elapsed time of the file (single-file window)
        FileEstimated = 1u << 4,  // estimated total time of the file (single-file window)
        BatchText = 1u << 5,      // batch percent label
        BatchBar = 1u << 6,       // batch progress bar
        BatchElapsed = 1u << 7,   // elapsed time of the batch
        BatchEstimated = 1u << 8, // estimated total time of the batch
        BatchRemaining = 1u << 9, // remaining time of the batch
        Caption = 1u << 10,       // window caption at the end of the batch
    };

    QString statusText;
    int statusBar = 0;
    QString fileRemainingText;
    QString fileElapsedText;
    QString fileEstimatedText;
    QString batchText;
    int batchBar = 0;
    QString batchElapsedText;
    QString batchEstimatedText;
    QString batchRemainingText;
    QString captionText;

    unsigned changed = 0;
    bool hasChanged(Field field) const { return (changed & field) != 0; }
};

// The figures of one job, and of the batch around it, as the console text
// reveals them. Feed it through a ConsoleParser; the window binds view().
//
// Duration and position keep their last values from job to job, so a job
// is measured against the previous one's values until its own lines come.
class ProgressModel : public JobListener {
public:
    enum class Kind {
        Batch,      // file figures plus batch figures, elapsed time of the batch
        SingleFile, // file figures with elapsed and estimated time, no batch
    };
    // Milliseconds on a clock that only moves forward.
    using Clock = std::function<qint64()>;
    using ErrorHandler = std::function<void(const QString &line)>;

    // The prefixes come from the message table ("Status=", "Batch=").
    ProgressModel(Kind kind, QString statusPrefix, QString batchPrefix = {}, Clock now = {});

    // A language switch: labels already shown are rewritten in the new texts.
    void setPrefixes(QString statusPrefix, QString batchPrefix);
    // Called for every error line after the job was marked failed; a window
    // shows the line in its modal box here.
    void setErrorHandler(ErrorHandler handler) { m_onErrorLine = std::move(handler); }

    // A batch that runs several jobs at once: each job has a model of its
    // own for its file figures and hands the bytes it has converted on to the
    // batch's model, which alone shows the batch figures. A model that has
    // not joined another is its own batch.
    void joinBatch(ProgressModel *batch) { m_batch = batch; }

    // Start of a batch: byte counters cleared, the batch clock started.
    void startBatch(qint64 totalBytes);
    // Start of a job: percent and error mark cleared, the file clock started.
    void startJob(qint64 fileSize) override;
    // A job ended and the batch goes on (converted or failed alike).
    void jobEnded();
    // The batch converted its last file.
    void lastFileDone(const QString &caption);
    // The job counts as failed without an error line (the user stopped it).
    void markError() { m_errorOccurred = true; }

    void durationSeen(qint32 milliseconds) override;
    void positionSeen(qint32 milliseconds) override;
    void lineRead() override;
    void errorLine(const QString &line) override;

    qint32 duration() const { return m_duration; }
    qint32 position() const { return m_position; }
    qint32 percent() const { return m_percent; }
    bool errorOccurred() const override { return m_errorOccurred; }
    qint64 currentFileSize() const { return m_currentFileSize; }
    qint64 totalBytes() const { return m_totalBytes; }
    qint64 bytesDone() const { return m_bytesDone; }
    qint64 bytesProgress() const { return m_bytesProgress; }
    qint32 batchPercent() const { return m_batchPercent; }

    const ProgressView &view() const { return m_view; }
    // The view with the changes since the last call; the change set starts over.
    ProgressView takeChanges();

private:
    // A clock label, formatted again only when its whole seconds change.
    struct ClockCache {
        qint64 shownSeconds = -1;
    };

    ProgressModel &batch() { return m_batch ? *m_batch : *this; }
    void updateBatchLine(qint64 now);
    // The batch side of a job's console line, and of a job's end.
    void batchTick(qint64 now);
    void jobAdvanced(const ProgressModel *job, qint64 bytes, qint64 now);
    void jobFinished(const ProgressModel *job, qint64 fileSize);
    void updateSingleFileLine(qint64 now);
    void showPercent(qint32 percent);
    void showBatchPercent(qint64 percent);
    void showBatchTimes(qint64 elapsed);
    void setClock(QString &text, ClockCache &cache, qint64 milliseconds, ProgressView::Field field);
    void setText(QString &text, QString value, ProgressView::Field field);
    void setBar(int &bar, int value, ProgressView::Field field);

    Kind m_kind;
    ProgressModel *m_batch = nullptr;
    QString m_statusPrefix;
    QString m_batchPrefix;
    Clock m_now;
    ErrorHandler m_onErrorLine;

    qint32 m_duration = 0;
    qint32 m_position = 0;
    qint32 m_percent = 0;
    qint64 m_startTime = 0;
    qint64 m_currentFileSize = 0;
    bool m_errorOccurred = false;

    qint64 m_batchStartTime = 0;
    qint64 m_totalBytes = 0;
    qint64 m_bytesDone = 0;
    qint64 m_bytesProgress = 0;
    qint32 m_batchPercent = 0;
    // The bytes each running job has converted so far.
    std::vector<std::pair<const ProgressModel *, qint64>> m_inFlight;

    ProgressView m_view;
    // What the percent labels show, so they are only rebuilt when it changes.
    qint64 m_shownPercent = -1;
    qint64 m_shownBatchPercent = -1;
    ClockCache m_fileRemainingCache;
    ClockCache m_fileElapsedCache;
    ClockCache m_fileEstimatedCache;
    ClockCache m_batchElapsedCache;
    ClockCache m_batchEstimatedCache;
    ClockCache m_batchRemainingCache;
};

} // namespace orm
