#pragma once
// The shell's side of a batch: what it takes from the settings record, what it
// gives back to it, and what follows it (the failure log or the countdown to
// the post-batch action).
#include "engine/batchdriver.h"

#include <QStringList>

#include <functional>

class QWidget;

namespace orm {
class FailureLog;
}

namespace marbeck {

struct TGlobalVars;

// "Automatic" for a preset: as many jobs as keep this machine's cores busy
// when one job keeps busy what the preset's commands do (no preset: one core).
int AutomaticJobsFor(const TProfileDetailItem *preset);

// How many jobs a batch runs at once for the stored setting (0: Automatic,
// which comes to `automaticJobs`).
int SimultaneousJobsFor(quint8 stored, int automaticJobs);

// The batch's options from the record, the language's AviSynth extensions and
// the preset the batch converts with.
BatchOptions BatchOptionsFor(const TGlobalVars &g, const QStringList &aviSynthExtensions,
                             const TProfileDetailItem *preset = nullptr);

// Keeps the record in step with what a batch changes: the output folder and
// the progress window's two switches.
void KeepSettingsOf(BatchDriver &driver, TGlobalVars &g);

// After a batch that was not ended from outside: with a failure, the offer to
// view the log; otherwise, when "Shutdown when done" is on and the batch was
// not stopped now, the countdown (`tickMs` a second, shorter in tests) and
// then the stored post-batch action. Index 0 closes the program through
// `closeProgram`.
void RunAfterBatch(const BatchResult &result, const orm::FailureLog &failures, const TGlobalVars &g,
                   QWidget *owner, int tickMs, const std::function<void()> &closeProgram);

} // namespace marbeck
