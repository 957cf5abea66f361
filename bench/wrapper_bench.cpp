// What running an encode through the job machinery costs: the same script run
// by a plain shell and through script + redirector + parser, alternating.
#include "benchapp.h"
#include "shared/batchscript.h"
#include "shared/conversionjob.h"
#include "shared/utilfuncs.h"
#include "testclips.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void WrapperOverhead(benchmark::State &state)
{
    benchApp();

    const QString stage = QStringLiteral(ORM_STAGE_DIR);
    QTemporaryDir dir;
    const QString clip = dir.filePath("clip.mp4");
    using namespace orm::testclips;
    if (!MakeClip(stage + "/cores/avcore.dll", clip,
                  {.size = {640, 360}, .seconds = 20, .codec = h264Aac("ultrafast")})
             .ok)
        return state.SkipWithError("no clip");

    orm::ScriptJob job;
    job.programFolder = stage;
    job.profileFile = stage + "/default_setting/iPod_Classic.ini";
    job.section = "Item0";
    job.values.AppPath = stage;
    job.values.InputFile = clip;
    job.values.OutputPath = dir.path() + "/";
    job.values.OutputFile = dir.path() + "/clip.mp4";
    job.programFolder = dir.path(); // the scripts go beside the clip, not into the installation
    const QString script = orm::WriteJobScripts(job);
    const QByteArray direct = ("sh '" + script + "' > /dev/null 2>&1").toLocal8Bit();

    std::vector<double> plain, wrapped, cpuShare;
    for (auto _ : state) {
        for (int i = 0; i < 5; ++i) {
            auto start = std::chrono::steady_clock::now();
            if (std::system(direct.constData()) != 0)
                return state.SkipWithError("the encode failed");
            plain.push_back(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());

            orm::ProgressModel model("Status=");
            orm::ConversionJob conversion(model);
            bool ended = false;
            conversion.OnEnded = [&](const orm::JobEnd &) { ended = true; };
            const double cpuBefore = cpuSeconds();
            start = std::chrono::steady_clock::now();
            conversion.Start(script, 2, 0);
            while (!ended)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            wrapped.push_back(seconds);
            cpuShare.push_back(100.0 * (cpuSeconds() - cpuBefore) / seconds);
        }
    }
    state.counters["wrapper_overhead_ratio:ratio"] = median(wrapped) / median(plain);
    state.counters["frontend_cpu_percent:%"] = median(cpuShare);
}
BENCHMARK(WrapperOverhead)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
