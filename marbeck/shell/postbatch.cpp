#include "postbatch.h"

#include "lang/marbeckmessages.h"
#include "poweractions.h"
#include "profiles/jobcount.h"
#include "settings/globalvars.h"
#include "shared/failurelog.h"
#include "tfrmfailurelog.h"
#include "tfrmshutdown.h"

#include <QPointer>
#include <QThread>

#include <algorithm>

namespace marbeck {

namespace {
// A hand-edited number beyond the offered ones is taken, within reason; so
// is a machine with very many cores.
constexpr int kMostJobs = 16;
} // namespace

int AutomaticJobsFor(const TProfileDetailItem *preset)
{
    const int cores = std::max(1, QThread::idealThreadCount());
    const int threads = preset ? PresetThreadsPerJob(*preset, cores) : 1;
    return std::min(AutomaticJobCount(cores, threads), kMostJobs);
}

int SimultaneousJobsFor(quint8 stored, int automaticJobs)
{
    return std::clamp(stored == 0 ? automaticJobs : int(stored), 1, kMostJobs);
}

BatchOptions BatchOptionsFor(const TGlobalVars &g, const QStringList &aviSynthExtensions,
                             const TProfileDetailItem *preset)
{
    BatchOptions options;
    options.programFolder = g.AppFolder;
    options.priority = g.Priority;
    options.deleteSources = g.DeleteFileAfterProcessing;
    options.shutdownWhenDone = g.ShutdownWindowsWhenDone;
    options.useDirectShow = g.UseDirectShow;
    options.aviSynthExtensions = aviSynthExtensions;
    options.showErrorsAtOnce = g.ShowErrorsAtOnce;
    options.simultaneousJobs = SimultaneousJobsFor(
        g.SimultaneousJobs, g.SimultaneousJobs == 0 ? AutomaticJobsFor(preset) : 1);
    return options;
}

void KeepSettingsOf(BatchDriver &driver, TGlobalVars &g)
{
    QObject::connect(&driver, &BatchDriver::outputPathChanged,
                     [&g](const QString &path) { g.OutputPath = path; });
    QObject::connect(&driver, &BatchDriver::deleteSourcesChanged,
                     [&g](bool on) { g.DeleteFileAfterProcessing = on; });
    QObject::connect(&driver, &BatchDriver::shutdownWhenDoneChanged,
                     [&g](bool on) { g.ShutdownWindowsWhenDone = on; });
}

void RunAfterBatch(const BatchResult &result, const orm::FailureLog &failures, const TGlobalVars &g,
                   QWidget *owner, int tickMs, const std::function<void()> &closeProgram)
{
    // The log file is this batch's whatever happened (a kept source is noted
    // there too); the question only opens it.
    orm::WriteFailureLog(failures);
    if (result.anyFailed) {
        OfferFailureWindow(failures, owner);
        return;
    }
    if (!g.ShutdownWindowsWhenDone || result.stoppedNow)
        return;
    QPointer<TfrmShutdown> countdown =
        new TfrmShutdown(owner, tickMs, ShutdownActionNames().value(g.ShutdownFlag));
    const int answer = countdown->Run();
    delete countdown.data();
    if (answer == 1)
        ExecuteShutdownAction(g.ShutdownFlag, closeProgram);
}

} // namespace marbeck
