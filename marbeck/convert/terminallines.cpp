#include "terminallines.h"

#include "shared/utilfuncs.h"

namespace marbeck {

namespace {

// Up `lines` lines to the start of the first, and everything below cleared.
QByteArray upAndClear(int lines)
{
    return (lines > 0 ? "\x1b[" + QByteArray::number(lines) + "A" : QByteArray()) + "\r\x1b[J";
}

} // namespace

QString JobLineText(const JobFigures &job, int total)
{
    QString line = QStringLiteral("[%1/%2] %3").arg(job.number).arg(total).arg(job.fileName);
    if (job.percent)
        line += QStringLiteral("  %1%").arg(*job.percent);
    if (job.remainingMs)
        line += QStringLiteral("  %1 left").arg(orm::FormatClock(*job.remainingMs));
    return line;
}

QString BatchLineText(const BatchFigures &figures, int converted, int failed)
{
    QString line = QStringLiteral("Batch");
    if (figures.percent)
        line += QStringLiteral(" %1%").arg(*figures.percent);
    line += QStringLiteral("  %1 elapsed").arg(orm::FormatClock(figures.elapsedMs));
    if (figures.remainingMs)
        line += QStringLiteral("  %1 left").arg(orm::FormatClock(*figures.remainingMs));
    line += QStringLiteral("  %1 converted").arg(converted);
    if (failed > 0)
        line += QStringLiteral(", %1 failed").arg(failed);
    line += QStringLiteral(" of %1").arg(figures.total);
    return line;
}

TerminalLines::TerminalLines(Write write, bool live, int width)
    : m_write(std::move(write)), m_live(live), m_width(std::max(width, 20))
{
}

QByteArray TerminalLines::clearShown() const
{
    return m_shown.isEmpty() ? QByteArray() : upAndClear(int(m_shown.size()));
}

QByteArray TerminalLines::drawn(const QStringList &lines) const
{
    QByteArray out;
    for (const QString &line : lines) {
        // A line that wraps would take two rows, and the next redraw would
        // climb one too few: long names are cut to the width.
        QString fitted = line;
        if (fitted.size() >= m_width)
            fitted = fitted.left(m_width - 2) + u'…';
        out += fitted.toUtf8() + '\n';
    }
    return out;
}

void TerminalLines::show(const QStringList &lines)
{
    if (!m_live || lines == m_shown)
        return;
    m_write(clearShown() + drawn(lines));
    m_shown = lines;
}

void TerminalLines::note(const QString &line)
{
    if (!m_live) {
        m_write(line.toUtf8() + '\n');
        return;
    }
    // The note keeps its whole text; only the moving lines are cut.
    m_write(clearShown() + line.toUtf8() + '\n' + drawn(m_shown));
}

void TerminalLines::release()
{
    m_shown.clear();
}

} // namespace marbeck
