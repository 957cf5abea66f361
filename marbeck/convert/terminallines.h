#pragma once
// The batch on a terminal: a line per running job and a batch line, redrawn
// in place on a terminal; on anything else (a log file) only lines that stay,
// one per job's start and end, so that the log reads top to bottom.
#include "engine/batchfigures.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace marbeck {

// "[2/10] clip.avi  45%  0:00:12 left"
QString JobLineText(const JobFigures &job, int total);
// "Batch 30%  0:01:02 elapsed  0:02:24 left  3 converted, 1 failed of 10"
QString BatchLineText(const BatchFigures &figures, int converted, int failed);

class TerminalLines {
public:
    using Write = std::function<void(const QByteArray &)>;
    // `live`: the output is a terminal `width` columns wide.
    TerminalLines(Write write, bool live, int width = 80);

    bool live() const { return m_live; }
    // The lines that move: on a terminal they replace the ones shown last;
    // elsewhere nothing is written.
    void show(const QStringList &lines);
    // A line that stays, above the moving ones.
    void note(const QString &line);
    // The moving lines are left as they are, and later output goes below them.
    void release();

private:
    QByteArray clearShown() const;
    QByteArray drawn(const QStringList &lines) const;

    Write m_write;
    bool m_live;
    int m_width;
    QStringList m_shown;
};

} // namespace marbeck
