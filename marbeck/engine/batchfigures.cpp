#include "batchfigures.h"

#include "shared/progressmodel.h"
#include "shared/utilfuncs.h"

#include <algorithm>
#include <limits>

namespace marbeck {

using orm::DivideHalfEven;
using orm::Saturated;

std::optional<qint32> jobPercent(const JobProgress &progress)
{
    if (progress.durationMs <= 0 || progress.positionMs <= 0)
        return std::nullopt;
    return qint32(std::min<qint64>(
        100, DivideHalfEven(__int128(progress.positionMs) * 100, progress.durationMs)));
}

std::optional<qint64> jobRemainingMs(const JobProgress &progress, qint64 runMs)
{
    if (progress.durationMs <= 0 || progress.positionMs <= 0)
        return std::nullopt;
    const __int128 estimate = __int128(progress.durationMs) * runMs / progress.positionMs;
    return Saturated(estimate - runMs);
}

void fillBatchFigures(BatchFigures &figures, const BatchWork &work)
{
    const qint64 progress = Saturated(__int128(work.doneBytes) + work.inFlight);
    if (figures.allConverted)
        figures.percent = 100;
    if (progress <= 0 || work.totalBytes <= 0)
        return; // nothing done yet, or a batch of empty files: nothing to divide by
    if (!figures.allConverted) {
        figures.percent =
            work.anyShare
                ? qint32(std::min<qint64>(
                      100, DivideHalfEven(__int128(progress) * 100, work.totalBytes)))
                : qint32(std::min<__int128>(__int128(100) * work.doneBytes / work.totalBytes, 100));
    }
    const qint64 estimate = Saturated(__int128(work.totalBytes) * figures.elapsedMs / progress);
    figures.estimatedMs = estimate;
    figures.remainingMs = estimate - figures.elapsedMs;
}

orm::ProgressView progressViewOf(const BatchFigures &figures, const ProgressTexts &texts)
{
    using F = orm::ProgressView;
    orm::ProgressView view;
    view.batchElapsedText = orm::FormatClock(figures.elapsedMs);
    view.changed |= F::BatchElapsed;
    if (figures.percent) {
        view.batchText = texts.batchPrefix + QString::number(*figures.percent) + u'%';
        view.batchBar = *figures.percent;
        view.changed |= F::BatchText | F::BatchBar;
    }
    if (figures.estimatedMs && figures.remainingMs) {
        view.batchEstimatedText = orm::FormatClock(*figures.estimatedMs);
        view.batchRemainingText = orm::FormatClock(*figures.remainingMs);
        view.changed |= F::BatchEstimated | F::BatchRemaining;
    }
    if (figures.jobs.size() == 1) {
        const JobFigures &job = figures.jobs.front();
        if (job.percent) {
            view.statusText = texts.statusPrefix + QString::number(*job.percent) + u'%';
            view.statusBar = *job.percent;
            view.changed |= F::StatusText | F::StatusBar;
        }
        if (job.remainingMs) {
            view.fileRemainingText = orm::FormatClock(*job.remainingMs);
            view.changed |= F::FileRemaining;
        }
    }
    if (figures.allConverted) {
        view.statusBar = 100;
        view.captionText = texts.finishedCaption;
        view.changed |= F::StatusBar | F::Caption;
    }
    return view;
}

} // namespace marbeck
