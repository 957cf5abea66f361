// Cordane started by the stand-in parent, against the same encode run directly.
#include "shared/batchscript.h"
#include "shared/utilfuncs.h"
#include "testclips.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

namespace {

double secondsOf(const QByteArray &command)
{
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.constData()) != 0)
        return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void CordaneOverhead(benchmark::State &state)
{
    const QString stage = QStringLiteral(ORM_STAGE_DIR);
    QTemporaryDir dir;
    const QString clip = dir.filePath("clip.mp4");
    using namespace orm::testclips;
    if (!MakeClip(stage + "/cores/avcore.dll", clip,
                  {.size = {640, 360}, .seconds = 20, .codec = h264Aac("ultrafast")})
             .ok)
        return state.SkipWithError("no clip");

    // The same command Cordane runs: its default profile's first preset.
    orm::ScriptJob job;
    job.programFolder = dir.path();
    job.profileFile = stage + "/default_setting/Transcoding_iPod.ini";
    job.section = "Item0";
    job.values.AppPath = stage + "/";
    job.values.InputFile = clip;
    job.values.OutputPath = dir.path() + "/";
    job.values.OutputFile = dir.path() + "/direct.mp4";
    const QString script = orm::WriteJobScripts(job);
    const QByteArray direct = ("sh '" + script + "' > /dev/null 2>&1").toLocal8Bit();
    const QByteArray viaCordane =
        ("QT_QPA_PLATFORM=offscreen ORM_ANSWER_DIALOGS=1 '" + stage + "/lanthorn-stub' '" + clip +
         "' '" + dir.path() + "/cordane.mp4' > /dev/null 2>&1")
            .toLocal8Bit();
    std::vector<double> plain, cordane;
    for (auto _ : state) {
        // Alternating, so that the machine's other load falls on both alike.
        for (int i = 0; i < 3; ++i) {
            plain.push_back(secondsOf(direct));
            cordane.push_back(secondsOf(viaCordane));
        }
    }
    std::sort(plain.begin(), plain.end());
    std::sort(cordane.begin(), cordane.end());
    if (plain.front() <= 0 || cordane.front() <= 0)
        return state.SkipWithError("a run failed");
    state.counters["cordane_overhead_ratio:ratio"] = cordane[1] / plain[1];
}
BENCHMARK(CordaneOverhead)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
