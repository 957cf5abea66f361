#pragma once
// How far a batch is, as figures on the batch's clock, and the texts the
// progress window shows of them.
#include "jobrunner.h"

#include <QString>
#include <QtGlobal>

#include <optional>
#include <vector>

namespace orm {
struct ProgressView;
}

namespace marbeck {

struct JobFigures {
    int slot = 0;
    int row = 0;
    int number = 0; // its place among the batch's jobs
    QString fileName;
    std::optional<qint32> percent;     // none until its duration and position are known
    std::optional<qint64> remainingMs; // of its file
};

struct BatchFigures {
    int total = 0; // jobs of the batch
    qint64 elapsedMs = 0;
    std::optional<qint32> percent; // none until some work is done
    std::optional<qint64> estimatedMs;
    std::optional<qint64> remainingMs;
    bool allConverted = false;    // every source of the batch converted
    std::vector<JobFigures> jobs; // the running jobs, by slot
};

// A job's percent: position over duration, rounded to the nearest (halves
// to even), at most 100; none while either is unknown.
std::optional<qint32> jobPercent(const JobProgress &progress);
// What is left of a job's file: duration × run time / position, less the
// run time; none while either is unknown.
std::optional<qint64> jobRemainingMs(const JobProgress &progress, qint64 runMs);

// The batch's share of work: the sizes of the ended jobs' sources plus each
// running job's percent of its source's size.
struct BatchWork {
    qint64 totalBytes = 0;
    qint64 doneBytes = 0;  // sources whose jobs ended, converted or failed
    qint64 inFlight = 0;   // the running jobs' shares
    bool anyShare = false; // a running job has a known percent
};
// Fills percent, estimated and remaining of `figures` from the work done
// over the time it took: with one job at a time these are the figures of a
// single job's console line, or of a job's end while the next has shown
// nothing yet (the percent then truncated).
void fillBatchFigures(BatchFigures &figures, const BatchWork &work);

// The progress window's texts: "Status=" and "Batch=" prefixes from the
// message table, the caption shown once every source converted.
struct ProgressTexts {
    QString statusPrefix;
    QString batchPrefix;
    QString finishedCaption;
};
// The texts of `figures`; with one job at a time its file line is the
// window's file line. Figures not known yet leave their fields unchanged.
orm::ProgressView progressViewOf(const BatchFigures &figures, const ProgressTexts &texts);

} // namespace marbeck
