#include "progressmodel.h"

#include "utilfuncs.h"

#include <QElapsedTimer>

#include <algorithm>
#include <limits>

namespace orm {

namespace {

// A duration times an elapsed time can pass 64 bits, so it is taken in 128
// bits. Times are clamped so that negating them (the clock format shows
// magnitudes) stays defined.
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

ProgressModel::ProgressModel(QString statusPrefix, Clock now)
    : m_statusPrefix(std::move(statusPrefix)), m_now(now ? std::move(now) : steadyClock())
{
    m_startTime = m_now();
}

void ProgressModel::setPrefix(QString statusPrefix)
{
    m_statusPrefix = std::move(statusPrefix);
    const qint64 percent = std::exchange(m_shownPercent, -1);
    if (!m_view.statusText.isEmpty())
        showPercent(qint32(percent));
}

void ProgressModel::startJob(qint64 fileSize)
{
    m_currentFileSize = fileSize;
    m_errorOccurred = false;
    m_percent = 0;
    m_startTime = m_now();
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
    const qint64 elapsed = clampedTime(__int128(m_now()) - m_startTime);
    setClock(m_view.fileElapsedText, m_elapsedCache, elapsed, ProgressView::FileElapsed);
    if (m_duration == 0 || m_position == 0)
        return;
    showPercent(
        qint32(std::min<qint64>(100, DivideHalfEven(qint64(m_position) * 100, m_duration))));
    const qint64 estimate = clampedTime(mulDiv(m_duration, elapsed, m_position));
    setClock(m_view.fileRemainingText, m_remainingCache, clampedTime(__int128(estimate) - elapsed),
             ProgressView::FileRemaining);
    setClock(m_view.fileEstimatedText, m_estimatedCache, estimate, ProgressView::FileEstimated);
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
