// The time the output check adds to a job: the output folder noted and the
// source probed at its start, then the output probed and checked at its end,
// on a 10 s clip.
#include "benchapp.h"
#include "shared/outputcheck.h"
#include "testclips.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int kJobs = 50;

void BM_VerifyJob(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString source = dir.filePath("source.mp4");
    if (!orm::testclips::MakeClip(benchEncoder(), source, {.seconds = 10}).ok) {
        state.SkipWithError("could not make the clip");
        return;
    }
    const QString out = dir.filePath("out/");
    QDir().mkpath(out);
    // An output folder that holds earlier results, as a user's does.
    for (int i = 0; i < 200; ++i)
        QFile::copy(source, out + QStringLiteral("earlier %1.mp4").arg(i));
    const QStringList commands = {
        QStringLiteral("enc -y -i \"<%InputFile%>\" -c:v libx264 \"<%OutputFile%>.mp4\"")};
    const auto texts = [](orm::OutputMessage) { return QStringLiteral("%s"); };
    double ms = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        qint64 nanoseconds = 0;
        for (int job = 0; job < kJobs; ++job) {
            orm::PlaceholderValues values;
            values.InputFile = source;
            values.OutputPath = out;
            values.OutputFile = out + QStringLiteral("clip %1.mp4").arg(job);
            clock.start();
            orm::OutputGuard guard;
            guard.beginCommands(commands, QStringLiteral("mp4"), values);
            nanoseconds += clock.nsecsElapsed();
            // The encoder's part, not measured.
            QFile::copy(source, values.OutputFile);
            clock.start();
            const auto problem = guard.verify(texts);
            nanoseconds += clock.nsecsElapsed();
            if (problem) {
                state.SkipWithError(problem->toStdString().c_str());
                return;
            }
        }
        ms = double(nanoseconds) / 1e6 / kJobs;
    }
    state.counters["verify_ms_per_job:ms"] = ms;
}
BENCHMARK(BM_VerifyJob)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
