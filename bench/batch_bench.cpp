// Batches through the batch driver on the offscreen platform: against the
// same encoder commands run one after another by a shell, and the driver's
// own cost per job over a list of 10,000 rows.
#include "benchapp.h"
#include "engine/batchdriver.h"
#include "engine/jobvalues.h"
#include "shared/batchscript.h"
#include "sources/listviewfiles.h"
#include "sources/sourcelistmodel.h"
#include "testclips.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

namespace {

// No benchmark may ever reach the system's power requests.
const bool kPowerGuard = [] {
    qputenv("ORM_NO_POWER_ACTIONS", "1");
    return true;
}();

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double cpuSecondsOfThisThread()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double cpuSecondsOfThisProcess()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A main window with its source list and one driver, as the program has them.
struct Converter {
    QWidget mainWindow;
    marbeck::ListViewFiles *list;
    marbeck::BatchDriver driver;
    Converter()
        : list(new marbeck::ListViewFiles(&mainWindow)), driver(list->sources(), &mainWindow, list)
    {
        list->setInputFileTypes({"Video=*.mp4"});
        mainWindow.resize(760, 520);
        list->resize(740, 400);
        mainWindow.show();
    }
};

// The options the shell gives a batch by default, for a program in `appFolder`.
marbeck::BatchOptions batchOptions(const QString &appFolder)
{
    marbeck::BatchOptions options;
    options.programFolder = appFolder;
    options.priority = 1; // normal, as the shell runs its commands
    return options;
}

void BatchOverhead(benchmark::State &state)
{
    benchApp();
    const QString stage = QStringLiteral(ORM_STAGE_DIR);
    QTemporaryDir dir;
    const QString app = dir.filePath("app");
    QDir().mkpath(app + "/cores");
    QFile::copy(stage + "/cores/avcore.dll", app + "/cores/avcore.dll");
    const marbeck::BatchOptions options = batchOptions(app);
    const QString profile = stage + "/default_setting/Transcoding_iPod.ini";

    QStringList clips;
    for (int i = 0; i < 5; ++i) {
        const QString clip = dir.filePath(QStringLiteral("clip%1.mp4").arg(i));
        using namespace orm::testclips;
        if (!MakeClip(stage + "/cores/avcore.dll", clip,
                      {.size = {640, 360},
                       .seconds = 10,
                       .toneHz = 300 + 100 * i,
                       .codec = h264Aac("ultrafast")})
                 .ok)
            return state.SkipWithError("no clip");
        clips << clip;
    }

    // The same five commands, one after another in one shell script.
    const QString plainOut = dir.filePath("plain");
    QDir().mkpath(plainOut);
    QByteArray plainScript;
    for (const QString &clip : clips) {
        orm::ScriptJob job;
        job.programFolder = dir.path();
        job.profileFile = profile;
        job.section = "Item0";
        job.values = marbeck::JobPlaceholders(app, plainOut, clip);
        plainScript +=
            orm::ReadTextLines(orm::WriteJobScripts(job)).join('\n').toLocal8Bit() + '\n';
    }
    const QString plainPath = dir.filePath("plain.sh");
    QFile f(plainPath);
    if (!f.open(QIODevice::WriteOnly) || f.write(plainScript) != plainScript.size())
        return state.SkipWithError("no script");
    f.close();
    const QByteArray plainCommand = ("sh '" + plainPath + "' > /dev/null 2>&1").toLocal8Bit();

    const QString batchOut = dir.filePath("batch");
    const marbeck::TProfileDetailItem preset{profile, "Item0", "iPod"};
    std::vector<double> plain, batch;
    for (auto _ : state) {
        // Alternating, so that the machine's other load falls on both alike.
        for (int round = 0; round < 5; ++round) {
            auto start = std::chrono::steady_clock::now();
            if (std::system(plainCommand.constData()) != 0)
                return state.SkipWithError("the shell's run failed");
            plain.push_back(secondsSince(start));

            QDir(batchOut).removeRecursively();
            QDir().mkpath(batchOut);
            Converter converter;
            for (const QString &clip : clips) {
                if (converter.list->AddFile(clip) != marbeck::AddResult::Added)
                    return state.SkipWithError("a clip was not taken");
            }
            start = std::chrono::steady_clock::now();
            converter.driver.ActionConvertExecute(&preset, batchOut, options);
            batch.push_back(secondsSince(start));
            if (converter.list->sources().count() != 0)
                return state.SkipWithError("the batch did not convert everything");
        }
    }
    std::sort(plain.begin(), plain.end());
    std::sort(batch.begin(), batch.end());
    // Medians of five; the fastest of each beside them, as the machine is shared.
    state.counters["batch_overhead_ratio:ratio"] = batch[2] / plain[2];
    state.counters["batch_overhead_ratio_fastest:ratio"] = batch[0] / plain[0];
    state.counters["batch_plain_shell_s:s"] = plain[2];
    state.counters["batch_driver_s:s"] = batch[2];
}
BENCHMARK(BatchOverhead)->Iterations(1)->Unit(benchmark::kSecond);

// The same eight clips through the real batch with one job at a time and
// with two at once; the ratio of the times is what a second core gives.
void ParallelBatch(benchmark::State &state)
{
    benchApp();
    const QString stage = QStringLiteral(ORM_STAGE_DIR);
    QTemporaryDir dir;
    const QString app = dir.filePath("app");
    QDir().mkpath(app + "/cores");
    QFile::copy(stage + "/cores/avcore.dll", app + "/cores/avcore.dll");
    const QString profile = stage + "/default_setting/3GPP_Phone.ini";
    const marbeck::TProfileDetailItem preset{profile, "Item0", "3GPP"};

    QStringList clips;
    for (int i = 0; i < 8; ++i) {
        const QString clip = dir.filePath(QStringLiteral("clip%1.mp4").arg(i));
        using namespace orm::testclips;
        if (!MakeClip(stage + "/cores/avcore.dll", clip,
                      {.size = {640, 360},
                       .seconds = 10,
                       .toneHz = 300 + 50 * i,
                       .codec = h264Aac("ultrafast")})
                 .ok)
            return state.SkipWithError("no clip");
        clips << clip;
    }

    const auto runBatch = [&](int jobs) -> double {
        const QString out = dir.filePath(QStringLiteral("out%1").arg(jobs));
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        Converter converter;
        for (const QString &clip : clips) {
            if (converter.list->AddFile(clip) != marbeck::AddResult::Added)
                return -1;
        }
        marbeck::BatchOptions options = batchOptions(app);
        options.simultaneousJobs = jobs;
        const auto start = std::chrono::steady_clock::now();
        converter.driver.ActionConvertExecute(&preset, out, options);
        const double seconds = secondsSince(start);
        return converter.list->sources().count() == 0 ? seconds : -1;
    };
    std::vector<double> one, two;
    for (auto _ : state) {
        // Alternating, so that the machine's other load falls on both alike.
        for (int round = 0; round < 3; ++round) {
            one.push_back(runBatch(1));
            two.push_back(runBatch(2));
            if (one.back() < 0 || two.back() < 0)
                return state.SkipWithError("the batch did not convert everything");
        }
    }
    std::sort(one.begin(), one.end());
    std::sort(two.begin(), two.end());
    state.counters["parallel_batch_speedup:ratio"] = one[1] / two[1];
    state.counters["parallel_batch_one_job_s:s"] = one[1];
    state.counters["parallel_batch_two_jobs_s:s"] = two[1];
}
BENCHMARK(ParallelBatch)->Iterations(1)->Unit(benchmark::kSecond);

void BatchBookkeeping(benchmark::State &state)
{
    benchApp();
    // ORM_BENCH_BATCH_ROWS gives a shorter run for profiling; the figures'
    // names keep meaning 10,000 rows only without it.
    const int kRows = qEnvironmentVariableIntValue("ORM_BENCH_BATCH_ROWS") > 0
                          ? qEnvironmentVariableIntValue("ORM_BENCH_BATCH_ROWS")
                          : 10000;
    QTemporaryDir dir;
    const QString app = dir.filePath("app");
    QDir().mkpath(app + "/cores");
    QDir().mkpath(app + "/default_setting");
    QFile::copy(QStringLiteral(ORM_TEST_ENCODER), app + "/cores/avcore.dll");
    const QString profile = app + "/default_setting/fast.ini";
    {
        QFile p(profile);
        if (!p.open(QIODevice::WriteOnly))
            return state.SkipWithError("no profile");
        p.write("[Item0]\nCommand=<%AppPath%>/cores/avcore.dll -y -i \"<%InputFile%>\" "
                "--duration=1 --steps=1 --no-output \"<%OutputFile%>.mp4\"\n");
    }
    const marbeck::BatchOptions options = batchOptions(app);
    const marbeck::TProfileDetailItem preset{profile, "Item0", "fast"};

    QDir().mkpath(dir.filePath("out"));
    for (auto _ : state) {
        Converter converter;
        std::vector<marbeck::TFileItem> rows;
        rows.reserve(kRows);
        for (int i = 0; i < kRows; ++i) {
            marbeck::TFileItem item;
            item.FileName = QStringLiteral("clip%1.avi").arg(i);
            item.Directory = dir.path() + "/in/";
            item.CompleteName = item.Directory + item.FileName;
            item.FileSize = QStringLiteral("1000000");
            rows.push_back(std::move(item));
        }
        converter.list->sources().append(std::move(rows));
        const double cpuBefore = cpuSecondsOfThisProcess();
        const double threadBefore = cpuSecondsOfThisThread();
        const auto start = std::chrono::steady_clock::now();
        converter.driver.ActionConvertExecute(&preset, dir.filePath("out"), options);
        const double wall = secondsSince(start);
        const double cpu = cpuSecondsOfThisProcess() - cpuBefore;
        const double ui = cpuSecondsOfThisThread() - threadBefore;
        if (converter.list->sources().count() != 0)
            return state.SkipWithError("the batch did not convert everything");
        // The user-interface thread's own time: every handler, the list and
        // window updates, writing and starting each script. The whole
        // process (the reader threads too, none of the children) beside it.
        state.counters["batch_bookkeeping_ms_10k:ms"] = ui * 1000;
        state.counters["batch_bookkeeping_ms_per_job:ms"] = ui * 1000 / kRows;
        state.counters["batch_process_cpu_ms_per_job:ms"] = cpu * 1000 / kRows;
        state.counters["batch_10k_wall_ms_per_job:ms"] = wall * 1000 / kRows;
    }
}
BENCHMARK(BatchBookkeeping)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
