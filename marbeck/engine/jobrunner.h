#pragma once
// What the batch queue needs of a job: start it, hear how far it got and how
// it ended, stop it. The conversion runner does this with the encoder; tests
// give the queue scripted runners instead.
#include "shared/outputcheck.h"
#include "shared/progressmodel.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <tl/expected.hpp>

#include <functional>
#include <optional>

namespace marbeck {

// One source of a batch, as the list had it when the batch started.
struct BatchItem {
    QString source;   // the path the user chose
    QString fileName; // what the progress window shows
    qint64 fileSize = 0;
    bool hasVideo = false; // the list's probe saw a video stream
    // What the list's probe found, for the check of the job's outputs; none:
    // the job probes the source. Taken only while the source keeps its size.
    std::optional<orm::MediaFacts> facts;
};

// A job: which source, in which slot, and its place among the batch's jobs.
struct JobSpec {
    BatchItem item;
    int slot = 0;
    int number = 0; // 1 for the batch's first job
};

// Where a job's outputs go and the names they take there. Two jobs whose
// outputs could carry the same name must not run at once: each would take
// the other's files for its own.
struct JobOutputs {
    QString folder;
    QStringList stems; // the outputs' names without extension; none: any new file

    // One stem is the other's or begins it ("clip" and "clip.x"), or either
    // job names no output at all.
    bool clashesWith(const JobOutputs &other) const;
};

// How far a job is, as its console text revealed: both 0 until seen.
struct JobProgress {
    qint32 durationMs = 0;
    qint32 positionMs = 0;
};

struct JobResult {
    orm::JobOutcome outcome = orm::JobOutcome::Failed;
    QString failureText; // a failed job: what the user is told
    QStringList outputs; // a converted job: the files it made, by full path
};

// Why a job did not start.
struct JobRefusal {
    QString text;
    // The source alone cannot go (a name that cannot be passed safely, a
    // source the preset refuses): its job fails and the batch goes on.
    // Otherwise nothing can start (no script written, no process).
    bool sourceOnly = false;
};

class JobRunner {
public:
    // A running job is ended at once, and its files are removed, before the
    // runner goes.
    virtual ~JobRunner() = default;

    // The outputs a job for `item` would write, found before it starts.
    virtual JobOutputs outputsOf(const BatchItem &item) = 0;
    // Starts the job; `ended` follows once, from the event loop (never from
    // inside start()).
    virtual tl::expected<void, JobRefusal> start(const JobSpec &spec) = 0;
    // Ends the running job's own processes at once; it ends as Stopped.
    virtual void stop() = 0;
    virtual bool active() const = 0;
    // "Delete after encoding" for the job that just converted; what the
    // failure log is told when the source stayed (it changed meanwhile).
    virtual std::optional<QString> removeSource() = 0;

    std::function<void(const JobProgress &)> progressed;
    std::function<void(const JobResult &)> ended;
};

} // namespace marbeck
