#pragma once
// What became of each source of a run: the --json summary and the exit status.
#include "engine/batchqueue.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace marbeck {

enum class SourceResult { Converted, Failed, Stopped };

struct SourceOutcome {
    QString source;
    QStringList outputs;
    SourceResult result = SourceResult::Stopped;
    QString reason; // a failed source: what the windows would say
    double seconds = 0;
};

// A row at the batch's end. A row that never started is stopped, unless
// `startError` says why no job could start: then it failed with that.
SourceOutcome OutcomeOf(const BatchRow &row, const QString &startError = {});

struct SummaryHeader {
    QString profile; // the profile file
    QString preset;  // its section
    QString outputFolder;
    int exitStatus = 0;
};

// {"profile", "preset", "output", "exitStatus", "converted", "failed",
//  "stopped", "sources": [{"source", "outputs", "result", "reason", "seconds"}]}
QByteArray SummaryJson(const SummaryHeader &header, const QList<SourceOutcome> &outcomes);

// 128 + the signal that stopped the run (130 for Ctrl+C); else 1 when any
// source failed or was left, 0 when every one converted.
int ExitStatusFor(const QList<SourceOutcome> &outcomes, int stopSignal);

} // namespace marbeck
