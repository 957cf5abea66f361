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
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

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
    // "Convert Now", returning when the batch is over (it runs in the
    // application's loop).
    void convert(const marbeck::TProfileDetailItem &preset, const QString &out,
                 const marbeck::BatchOptions &options)
    {
        QEventLoop loop;
        QObject::connect(&driver, &marbeck::BatchDriver::batchFinished, &loop, &QEventLoop::quit);
        const QString folder = QDir::currentPath();
        driver.ActionConvertExecute(&preset, out, options);
        if (driver.Running())
            loop.exec();
        // Jobs run in the program folder, which goes with the benchmark's
        // temporary folder: the commands run after it need a folder that stays.
        QDir::setCurrent(folder);
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

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A program folder in `dir` with the staged encoder.
QString appWithEncoder(const QTemporaryDir &dir)
{
    const QString app = dir.filePath("app");
    QDir().mkpath(app + "/cores");
    QFile::copy(benchEncoder(), app + "/cores/avcore.dll");
    return app;
}

// `count` clips of ten seconds in `dir`, each with its own tone; empty when
// one could not be made.
QStringList tenSecondClips(const QTemporaryDir &dir, int count, QSize size,
                           orm::testclips::Picture picture, const char *x264Preset)
{
    using namespace orm::testclips;
    QStringList clips;
    for (int i = 0; i < count; ++i) {
        const QString clip = dir.filePath(
            QStringLiteral("clip%1x%2-%3.mp4").arg(size.width()).arg(size.height()).arg(i));
        if (!MakeClip(benchEncoder(), clip,
                      {.size = size,
                       .picture = picture,
                       .seconds = 10,
                       .toneHz = 300 + 50 * i,
                       .codec = h264Aac(x264Preset)})
                 .ok)
            return {};
        clips << clip;
    }
    return clips;
}

// The preset's command lines for each clip, as the batch would write them
// (without the script's first line), the output going to `outputFolder`.
QList<QStringList> commandsFor(const QStringList &clips, const QString &profile, const QString &app,
                               const QString &outputFolder, const QTemporaryDir &dir)
{
    QList<QStringList> commands;
    for (const QString &clip : clips) {
        orm::ScriptJob job;
        job.programFolder = dir.path();
        job.profileFile = profile;
        job.section = "Item0";
        job.values = marbeck::JobPlaceholders(app, outputFolder, clip);
        job.pictureKnown = true; // every clip has one: the encoder need not be asked
        commands << orm::ReadTextLines(orm::WriteJobScripts(job)).mid(1);
    }
    return commands;
}

// The preset's commands for `clips` run by the shell, `jobs` at a time, with
// their outputs in `out`: the seconds they took, or -1.
double shellSeconds(const QStringList &clips, const QString &profile, const QString &app,
                    const QString &out, int jobs, const QTemporaryDir &dir)
{
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    QByteArray commands;
    for (const QStringList &lines : commandsFor(clips, profile, app, out, dir))
        commands += lines.join(" && ").toLocal8Bit() + '\n';
    const QString list = dir.filePath("commands.txt");
    if (!writeAll(list, commands))
        return -1;
    const QByteArray run = QStringLiteral("xargs -d '\\n' -n1 -P%1 sh -c < '%2' > /dev/null 2>&1")
                               .arg(jobs)
                               .arg(list)
                               .toLocal8Bit();
    const auto start = std::chrono::steady_clock::now();
    return std::system(run.constData()) == 0 ? secondsSince(start) : -1;
}

void BatchOverhead(benchmark::State &state)
{
    benchApp();
    QTemporaryDir dir;
    const QString app = appWithEncoder(dir);
    const marbeck::BatchOptions options = batchOptions(app);
    const QString profile = QStringLiteral(ORM_STAGE_DIR "/default_setting/Transcoding_iPod.ini");
    const QStringList clips =
        tenSecondClips(dir, 5, {640, 360}, orm::testclips::Picture::TestPattern, "ultrafast");
    if (clips.isEmpty())
        return state.SkipWithError("no clip");

    // The same five commands, one after another in one shell script.
    const QString plainOut = dir.filePath("plain");
    QDir().mkpath(plainOut);
    QByteArray plainScript;
    for (const QStringList &lines : commandsFor(clips, profile, app, plainOut, dir))
        plainScript += lines.join('\n').toLocal8Bit() + '\n';
    const QString plainPath = dir.filePath("plain.sh");
    if (!writeAll(plainPath, plainScript))
        return state.SkipWithError("no script");
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
            converter.convert(preset, batchOut, options);
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
// with two at once; the ratio of the times is what a second core gives. The
// clips are filmed-looking pictures; at 640x360 the encoder's own decoding
// threads already use part of the second core, so that size is reported too.
// parallel_batch_vs_shell is the batch's speedup from one job to two over the
// shell's (xargs -P) for the same commands and clips, each from the medians
// of three alternating rounds: 1 means the batch gains from the second job
// all that the encoder allows.
void ParallelBatch(benchmark::State &state)
{
    benchApp();
    QTemporaryDir dir;
    const QString app = appWithEncoder(dir);
    const QString profile = QStringLiteral(ORM_STAGE_DIR "/default_setting/3GPP_Phone.ini");
    const marbeck::TProfileDetailItem preset{profile, "Item0", "3GPP"};

    const auto runBatch = [&](const QStringList &clips, int jobs) -> double {
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
        converter.convert(preset, out, options);
        const double seconds = secondsSince(start);
        return converter.list->sources().count() == 0 ? seconds : -1;
    };
    // The same commands run by the shell, one and two at a time: what the
    // encoder itself allows, beside which the batch's figure is read.
    const auto runShell = [&](const QStringList &clips, int jobs) -> double {
        return shellSeconds(clips, profile, app, dir.filePath(QStringLiteral("shell%1").arg(jobs)),
                            jobs, dir);
    };
    // Medians of three rounds, alternating so that the machine's other load
    // falls on all alike.
    const auto measure = [&](QSize size, const QString &suffix) {
        const QStringList clips =
            tenSecondClips(dir, 8, size, orm::testclips::Picture::Natural, "veryfast");
        if (clips.isEmpty())
            return false;
        std::vector<double> one, two, shellOne, shellTwo;
        for (int round = 0; round < 3; ++round) {
            one.push_back(runBatch(clips, 1));
            two.push_back(runBatch(clips, 2));
            shellOne.push_back(runShell(clips, 1));
            shellTwo.push_back(runShell(clips, 2));
            for (const auto *figures : {&one, &two, &shellOne, &shellTwo}) {
                if (figures->back() < 0)
                    return false;
            }
        }
        for (auto *figures : {&one, &two, &shellOne, &shellTwo})
            std::sort(figures->begin(), figures->end());
        const std::string name = suffix.toStdString();
        state.counters["parallel_batch_speedup" + name + ":ratio"] = one[1] / two[1];
        state.counters["parallel_batch_one_job" + name + "_s:s"] = one[1];
        state.counters["parallel_batch_two_jobs" + name + "_s:s"] = two[1];
        state.counters["parallel_shell_speedup" + name + ":ratio"] = shellOne[1] / shellTwo[1];
        state.counters["parallel_batch_vs_shell" + name + ":ratio"] =
            (one[1] / two[1]) / (shellOne[1] / shellTwo[1]);
        return true;
    };
    for (auto _ : state) {
        if (!measure({320, 240}, {}) || !measure({640, 360}, QStringLiteral("_640x360")))
            return state.SkipWithError("a clip or a batch failed");
    }
}
BENCHMARK(ParallelBatch)->Iterations(1)->Unit(benchmark::kSecond);

// What the batch costs per job beside the encoder: 300 one-second clips, two
// at a time, through the real batch (adding the files included) against the
// same commands run by `xargs -P2`; the difference of the wall times divided
// by the jobs. Medians of three alternating rounds.
void BatchPerJobOverhead(benchmark::State &state)
{
    benchApp();
    constexpr int kClips = 300;
    QTemporaryDir dir;
    const QString app = appWithEncoder(dir);
    const QString profile = QStringLiteral(ORM_STAGE_DIR "/default_setting/3GPP_Phone.ini");
    const marbeck::TProfileDetailItem preset{profile, "Item0", "3GPP"};
    const QString in = dir.filePath("in");
    QDir().mkpath(in);
    const QString clip = dir.filePath("clip.mp4");
    {
        using namespace orm::testclips;
        if (!MakeClip(benchEncoder(), clip,
                      {.size = {176, 144}, .seconds = 1, .codec = h264Aac("ultrafast")})
                 .ok)
            return state.SkipWithError("no clip");
    }
    QStringList clips;
    for (int i = 0; i < kClips; ++i) {
        const QString name = QStringLiteral("%1/clip%2.mp4").arg(in).arg(i);
        if (::link(QFile::encodeName(clip).constData(), QFile::encodeName(name).constData()) != 0)
            return state.SkipWithError("no link");
        clips << name;
    }
    const auto runBatch = [&]() -> double {
        const QString out = dir.filePath("out");
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        Converter converter;
        marbeck::BatchOptions options = batchOptions(app);
        options.simultaneousJobs = 2;
        const auto start = std::chrono::steady_clock::now();
        converter.list->BeginAdding(clips);
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (converter.list->sources().count() == kClips)
                loop.quit();
        });
        poll.start(2);
        loop.exec();
        converter.convert(preset, out, options);
        const double seconds = secondsSince(start);
        return converter.list->sources().count() == 0 ? seconds : -1;
    };
    const auto runShell = [&] {
        return shellSeconds(clips, profile, app, dir.filePath("shell"), 2, dir);
    };
    for (auto _ : state) {
        std::vector<double> batch, shell;
        for (int round = 0; round < 3; ++round) {
            shell.push_back(runShell());
            batch.push_back(runBatch());
            if (shell.back() < 0 || batch.back() < 0)
                return state.SkipWithError("a run failed");
        }
        std::sort(batch.begin(), batch.end());
        std::sort(shell.begin(), shell.end());
        state.counters["batch_per_job_overhead_ms:ms"] = (batch[1] - shell[1]) * 1000 / kClips;
        state.counters["batch_300_clips_s:s"] = batch[1];
        state.counters["shell_300_clips_s:s"] = shell[1];
    }
}
BENCHMARK(BatchPerJobOverhead)->Iterations(1)->Unit(benchmark::kSecond);

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
                "--duration=1 --steps=1 --copy-input \"<%OutputFile%>.mp4\"\n");
    }
    // Every row is a name of one small real clip, so that each job's output
    // (a copy of it) passes the output check as a real conversion's would.
    const QString in = dir.filePath("in");
    QDir().mkpath(in);
    const QString clip = in + "/clip.mp4";
    {
        using namespace orm::testclips;
        if (!MakeClip(benchEncoder(), clip,
                      {.size = {64, 48}, .seconds = 1, .codec = h264Aac("ultrafast")})
                 .ok)
            return state.SkipWithError("no clip");
        for (int i = 0; i < kRows; ++i) {
            const QByteArray name = QStringLiteral("%1/clip%2.avi").arg(in).arg(i).toLocal8Bit();
            if (::link(QFile::encodeName(clip).constData(), name.constData()) != 0)
                return state.SkipWithError("no link");
        }
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
            item.Directory = in + "/";
            item.CompleteName = item.Directory + item.FileName;
            item.FileSize = QStringLiteral("1000000");
            rows.push_back(std::move(item));
        }
        converter.list->sources().append(std::move(rows));
        const double cpuBefore = cpuSecondsOfThisProcess();
        const double threadBefore = cpuSecondsOfThisThread();
        const auto start = std::chrono::steady_clock::now();
        converter.convert(preset, dir.filePath("out"), options);
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
