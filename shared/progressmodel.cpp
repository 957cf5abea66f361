#include "progressmodel.h"

#include "utilfuncs.h"

#include <QElapsedTimer>

#include <algorithm>
#include <limits>

namespace orm {

namespace {

// Products of a duration and an elapsed time, or of a byte count and 100,
// can pass 64 bits, so they are taken in 128 bits. Times are clamped so that
// negating them (the clock format shows magnitudes) stays defined; byte
// counts saturate at the 64-bit range.
constexpr qint64 kTimeLimit = qint64(1) << 62;

qint64 clampedTime(__int128 value)
{
    return qint64(std::clamp<__int128>(value, -kTimeLimit, kTimeLimit));
}

// a × b / c, the division truncating; 0 for a zero divisor.
__int128 mulDiv(qint64 a, qint64 b, qint64 c)
{
    if (c == 0)
        return 0;
    return __int128(a) * b / c;
}

ProgressModel::Clock steadyClock()
{
    QElapsedTimer timer;
    timer.start();
    return [timer] { return timer.elapsed(); };
}

// What FormatClock shows of a value: whole seconds of the time of day.
qint64 shownSeconds(qint64 milliseconds)
{
    const qint64 magnitude = milliseconds < 0 ? -milliseconds : milliseconds;
    return (magnitude / 1000) % 86400;
}

} // namespace

JobOutcome outcomeOf(bool errorLineSeen, int exitStatus, bool stopped)
{
    if (stopped)
        return JobOutcome::Stopped;
    if (errorLineSeen || exitStatus != 0)
        return JobOutcome::Failed;
    return JobOutcome::Converted;
}

ProgressModel::ProgressModel(Kind kind, QString statusPrefix, QString batchPrefix, Clock now)
    : m_kind(kind), m_statusPrefix(std::move(statusPrefix)), m_batchPrefix(std::move(batchPrefix)),
      m_now(now ? std::move(now) : steadyClock())
{
    m_startTime = m_batchStartTime = m_now();
}

void ProgressModel::setPrefixes(QString statusPrefix, QString batchPrefix)
{
    m_statusPrefix = std::move(statusPrefix);
    m_batchPrefix = std::move(batchPrefix);
    const qint64 percent = std::exchange(m_shownPercent, -1);
    const qint64 batchPercent = std::exchange(m_shownBatchPercent, -1);
    if (!m_view.statusText.isEmpty())
        showPercent(qint32(percent));
    if (!m_view.batchText.isEmpty())
        showBatchPercent(batchPercent);
}

void ProgressModel::startBatch(qint64 totalBytes)
{
    m_totalBytes = totalBytes;
    m_currentFileSize = 0;
    m_bytesDone = 0;
    m_bytesProgress = 0;
    m_batchPercent = 0;
    m_inFlight.clear();
    m_batchStartTime = m_now();
}

void ProgressModel::startJob(qint64 fileSize)
{
    m_currentFileSize = fileSize;
    m_errorOccurred = false;
    m_percent = 0;
    m_startTime = m_now();
}

void ProgressModel::jobEnded()
{
    batch().jobFinished(this, m_currentFileSize);
}

void ProgressModel::jobFinished(const ProgressModel *job, qint64 fileSize)
{
    std::erase_if(m_inFlight, [job](const auto &entry) { return entry.first == job; });
    m_bytesDone = Saturated(__int128(m_bytesDone) + fileSize);
    __int128 progress = m_bytesDone;
    for (const auto &entry : m_inFlight)
        progress += entry.second;
    m_bytesProgress = Saturated(progress);
    // A batch of empty files has nothing to divide by: it stays at 0 % until
    // its last file is done.
    m_batchPercent =
        m_totalBytes != 0
            ? qint32(std::clamp<__int128>(__int128(100) * m_bytesProgress / m_totalBytes, INT32_MIN,
                                          INT32_MAX))
            : 0;
    showBatchPercent(m_batchPercent);
    if (m_bytesProgress > 0)
        showBatchTimes(clampedTime(__int128(m_now()) - m_batchStartTime));
}

void ProgressModel::lastFileDone(const QString &caption)
{
    showBatchPercent(100);
    setBar(m_view.statusBar, 100, ProgressView::StatusBar);
    setText(m_view.captionText, caption, ProgressView::Caption);
}

void ProgressModel::durationSeen(qint32 milliseconds)
{
    m_duration = milliseconds;
}

void ProgressModel::positionSeen(qint32 milliseconds)
{
    m_position = milliseconds;
}

void ProgressModel::lineRead()
{
    const qint64 now = m_now();
    if (m_kind == Kind::Batch)
        updateBatchLine(now);
    else
        updateSingleFileLine(now);
}

void ProgressModel::errorLine(const QString &line)
{
    m_errorOccurred = true;
    if (m_onErrorLine)
        m_onErrorLine(line);
}

ProgressView ProgressModel::takeChanges()
{
    ProgressView changes = m_view;
    m_view.changed = 0;
    return changes;
}

void ProgressModel::updateBatchLine(qint64 now)
{
    batch().batchTick(now);
    if (m_duration == 0 || m_position == 0)
        return;
    showPercent(
        qint32(std::min<qint64>(100, DivideHalfEven(qint64(m_position) * 100, m_duration))));

    const qint64 fileElapsed = clampedTime(__int128(now) - m_startTime);
    const qint64 fileEstimate = clampedTime(mulDiv(m_duration, fileElapsed, m_position));
    setClock(m_view.fileRemainingText, m_fileRemainingCache,
             clampedTime(__int128(fileEstimate) - fileElapsed), ProgressView::FileRemaining);

    batch().jobAdvanced(this, Saturated(mulDiv(m_currentFileSize, m_percent, 100)), now);
}

void ProgressModel::batchTick(qint64 now)
{
    setClock(m_view.batchElapsedText, m_batchElapsedCache,
             clampedTime(__int128(now) - m_batchStartTime), ProgressView::BatchElapsed);
}

void ProgressModel::jobAdvanced(const ProgressModel *job, qint64 bytes, qint64 now)
{
    const auto entry = std::find_if(m_inFlight.begin(), m_inFlight.end(),
                                    [job](const auto &e) { return e.first == job; });
    if (entry == m_inFlight.end())
        m_inFlight.emplace_back(job, bytes);
    else
        entry->second = bytes;
    __int128 progress = m_bytesDone;
    for (const auto &e : m_inFlight)
        progress += e.second;
    m_bytesProgress = Saturated(progress);
    if (m_bytesProgress == 0 || m_totalBytes == 0)
        return;
    // Progress made by several jobs at once shortens the estimate accordingly.
    m_batchPercent = qint32(
        std::min<qint64>(100, DivideHalfEven(__int128(m_bytesProgress) * 100, m_totalBytes)));
    showBatchPercent(m_batchPercent);
    showBatchTimes(clampedTime(__int128(now) - m_batchStartTime));
}

void ProgressModel::updateSingleFileLine(qint64 now)
{
    const qint64 elapsed = clampedTime(__int128(now) - m_startTime);
    setClock(m_view.fileElapsedText, m_fileElapsedCache, elapsed, ProgressView::FileElapsed);
    if (m_duration == 0 || m_position == 0)
        return;
    showPercent(
        qint32(std::min<qint64>(100, DivideHalfEven(qint64(m_position) * 100, m_duration))));
    const qint64 estimate = clampedTime(mulDiv(m_duration, elapsed, m_position));
    setClock(m_view.fileRemainingText, m_fileRemainingCache,
             clampedTime(__int128(estimate) - elapsed), ProgressView::FileRemaining);
    setClock(m_view.fileEstimatedText, m_fileEstimatedCache, estimate, ProgressView::FileEstimated);
}

void ProgressModel::showPercent(qint32 percent)
{
    m_percent = percent;
    setBar(m_view.statusBar, percent, ProgressView::StatusBar);
    if (percent == m_shownPercent)
        return;
    m_shownPercent = percent;
    setText(m_view.statusText, m_statusPrefix + QString::number(percent) + u'%',
            ProgressView::StatusText);
}

void ProgressModel::showBatchPercent(qint64 percent)
{
    setBar(m_view.batchBar, int(std::clamp<qint64>(percent, INT32_MIN, INT32_MAX)),
           ProgressView::BatchBar);
    if (percent == m_shownBatchPercent)
        return;
    m_shownBatchPercent = percent;
    setText(m_view.batchText, m_batchPrefix + QString::number(percent) + u'%',
            ProgressView::BatchText);
}

void ProgressModel::showBatchTimes(qint64 elapsed)
{
    const qint64 estimate = clampedTime(mulDiv(m_totalBytes, elapsed, m_bytesProgress));
    setClock(m_view.batchEstimatedText, m_batchEstimatedCache, estimate,
             ProgressView::BatchEstimated);
    setClock(m_view.batchRemainingText, m_batchRemainingCache,
             clampedTime(__int128(estimate) - elapsed), ProgressView::BatchRemaining);
}

void ProgressModel::setClock(QString &text, ClockCache &cache, qint64 milliseconds,
                             ProgressView::Field field)
{
    const qint64 seconds = shownSeconds(milliseconds);
    if (seconds == cache.shownSeconds)
        return;
    cache.shownSeconds = seconds;
    setText(text, FormatClock(milliseconds), field);
}

void ProgressModel::setText(QString &text, QString value, ProgressView::Field field)
{
    if (text == value)
        return;
    text = std::move(value);
    m_view.changed |= field;
}

void ProgressModel::setBar(int &bar, int value, ProgressView::Field field)
{
    if (bar == value)
        return;
    bar = value;
    m_view.changed |= field;
}

} // namespace orm
