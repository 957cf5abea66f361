#pragma once
// The progress arithmetic of a conversion and the texts its window shows.
#include "consoleparser.h"

#include <QString>
#include <QtGlobal>

#include <functional>
#include <utility>

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

// The figures of one job as its console text reveals them: percent,
// elapsed, estimated and remaining time. Feed it through a ConsoleParser;
// the window binds view(). The batch's own figures are the batch queue's.
//
// Duration and position keep their last values from job to job, so a job
// is measured against the previous one's values until its own lines come.
class ProgressModel : public JobListener {
public:
    // Milliseconds on a clock that only moves forward.
    using Clock = std::function<qint64()>;
    using ErrorHandler = std::function<void(const QString &line)>;

    // The prefix comes from the message table ("Status=").
    explicit ProgressModel(QString statusPrefix, Clock now = {});

    // A language switch: a label already shown is rewritten in the new text.
    void setPrefix(QString statusPrefix);
    // Called for every error line after the job was marked failed; a window
    // shows the line in its modal box here.
    void setErrorHandler(ErrorHandler handler) { m_onErrorLine = std::move(handler); }

    // Start of a job: percent and error mark cleared, the clock started.
    void startJob(qint64 fileSize) override;
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

    const ProgressView &view() const { return m_view; }
    // The view with the changes since the last call; the change set starts over.
    ProgressView takeChanges();

private:
    // A clock label, formatted again only when its whole seconds change.
    struct ClockCache {
        qint64 shownSeconds = -1;
    };

    void showPercent(qint32 percent);
    void setClock(QString &text, ClockCache &cache, qint64 milliseconds, ProgressView::Field field);
    void setText(QString &text, QString value, ProgressView::Field field);
    void setBar(int &bar, int value, ProgressView::Field field);

    QString m_statusPrefix;
    Clock m_now;
    ErrorHandler m_onErrorLine;

    qint32 m_duration = 0;
    qint32 m_position = 0;
    qint32 m_percent = 0;
    qint64 m_startTime = 0;
    qint64 m_currentFileSize = 0;
    bool m_errorOccurred = false;

    ProgressView m_view;
    // The percent the label shows, so that it is only rebuilt when it changes.
    qint64 m_shownPercent = -1;
    ClockCache m_remainingCache;
    ClockCache m_elapsedCache;
    ClockCache m_estimatedCache;
};

} // namespace orm
