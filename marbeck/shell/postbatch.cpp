#include "postbatch.h"

#include "lang/marbeckmessages.h"
#include "poweractions.h"
#include "settings/globalvars.h"
#include "shared/failurelog.h"
#include "tfrmfailurelog.h"
#include "tfrmshutdown.h"

#include <QPointer>
#include <QThread>

#include <algorithm>

namespace marbeck {

int SimultaneousJobsFor(quint8 stored)
{
    // A hand-edited number beyond the offered ones is taken, within reason.
    constexpr int kMostJobs = 16;
    const int cores = std::max(1, QThread::idealThreadCount());
    return stored == 0 ? std::min(cores, kMostJobs) : std::min(int(stored), kMostJobs);
}

BatchOptions BatchOptionsFor(const TGlobalVars &g, const QStringList &aviSynthExtensions)
{
    BatchOptions options;
    options.programFolder = g.AppFolder;
    options.priority = g.Priority;
    options.deleteSources = g.DeleteFileAfterProcessing;
    options.shutdownWhenDone = g.ShutdownWindowsWhenDone;
    options.useDirectShow = g.UseDirectShow;
    options.aviSynthExtensions = aviSynthExtensions;
    options.showErrorsAtOnce = g.ShowErrorsAtOnce;
    options.simultaneousJobs = SimultaneousJobsFor(g.SimultaneousJobs);
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
