// The source list: probing files as adding them does (against the mediainfo
// command-line program doing the same), and the list view with many rows.
#include "benchapp.h"
#include "shared/mediainfo.h"
#include "sources/liststore.h"
#include "sources/listviewfiles.h"
#include "sources/probeworker.h"
#include "sources/sourceadder.h"
#include "sources/sourcelist.h"
#include "sources/sourcelistmodel.h"
#include "sources/tfileitem.h"
#include "sources/typelists.h"
#include "testclips.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <sys/resource.h>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

using namespace marbeck;

namespace {

constexpr int kProbeFiles = 500;
constexpr int kAddFiles = 2000;
constexpr int kListRows = 10000;

// Small files: copies of four clips of different containers.
struct ProbeSet {
    QTemporaryDir dir;
    QStringList files;
    bool ok = false;
    explicit ProbeSet(int count = kProbeFiles)
    {
        const QList<QPair<QString, QStringList>> clips = {
            {"clip.mp4", {"-c:v", "libx264", "-preset", "veryfast", "-c:a", "aac"}},
            {"clip.avi", {"-c:v", "mpeg4", "-c:a", "libmp3lame"}},
            {"clip.mkv", {"-c:v", "libx264", "-preset", "veryfast", "-c:a", "libvorbis"}},
            {"clip.wmv", {"-c:v", "wmv2", "-c:a", "wmav2"}},
        };
        for (const auto &[name, codec] : clips) {
            if (!orm::testclips::MakeClip(benchEncoder(), dir.filePath(name), {.codec = codec}).ok)
                return;
        }
        for (int i = 0; i < count; ++i) {
            const auto &[name, codec] = clips.at(i % clips.size());
            const QString copy =
                dir.filePath(QStringLiteral("%1 %2").arg(i, 4, 10, QChar(u'0')).arg(name));
            if (!QFile::copy(dir.filePath(name), copy))
                return;
            files << copy;
        }
        ok = true;
    }
};

void BM_SourcesProbe(benchmark::State &state)
{
    static ProbeSet set;
    if (!set.ok) {
        state.SkipWithError("could not make the clips");
        return;
    }
    const QStringList types = {"Video=*.mp4;*.avi;*.mkv;*.wmv"};
    const QString cli = QStandardPaths::findExecutable(QStringLiteral("mediainfo"));
    double probeSeconds = 0, cliSeconds = 0;
    for (auto _ : state) {
        SourceListModel list;
        QElapsedTimer clock;
        clock.start();
        for (const QString &file : set.files)
            AddFile(list, file, types);
        probeSeconds = clock.nsecsElapsed() / 1e9;
        if (list.count() != kProbeFiles) {
            state.SkipWithError("not every file was added");
            return;
        }
        if (!cli.isEmpty()) {
            clock.restart();
            for (const QString &file : set.files) {
                QProcess p;
                p.start(cli, {file});
                p.waitForFinished(30000);
                benchmark::DoNotOptimize(p.readAllStandardOutput());
            }
            cliSeconds = clock.nsecsElapsed() / 1e9;
        }
    }
    const double probeRate = kProbeFiles / probeSeconds;
    state.counters["probe_files_per_s:files/s"] = probeRate;
    if (cliSeconds > 0) {
        const double cliRate = kProbeFiles / cliSeconds;
        state.counters["mediainfo_cli_files_per_s:files/s"] = cliRate;
        // Our time over theirs for the same files: below 1 is faster.
        state.counters["probe_vs_cli_ratio:ratio"] = cliRate / probeRate;
    }
}
BENCHMARK(BM_SourcesProbe)->Iterations(1)->Unit(benchmark::kMillisecond);

// The media library alone: the same files probed by one thread and by the
// pool's number of threads, each thread taking every n-th file; no list, no
// window. Set beside probe_parallel_speedup (which adds the rows on the
// window's thread too), it tells the library's own scaling from ours.
void BM_SourcesProbeThreads(benchmark::State &state)
{
    static ProbeSet set(kAddFiles);
    if (!set.ok) {
        state.SkipWithError("could not make the clips");
        return;
    }
    MediaInfoLibrary::shared(); // loaded once, before the threads
    const auto rate = [&](int threads) {
        QElapsedTimer clock;
        clock.start();
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back([&, t] {
                for (qsizetype i = t; i < set.files.size(); i += threads)
                    benchmark::DoNotOptimize(ProbeFile(set.files.at(i)));
            });
        }
        for (std::thread &w : workers)
            w.join();
        return set.files.size() / (clock.nsecsElapsed() / 1e9);
    };
    const int pool = DefaultProbeThreads();
    double one = 0, many = 0;
    for (auto _ : state) {
        for (int round = 0; round < 3; ++round) {
            one = std::max(one, rate(1));
            many = std::max(many, rate(pool));
        }
    }
    state.counters["probe_threads_speedup:ratio"] = many / one;
    state.counters["probe_one_thread_files_per_s:files/s"] = one;
}
BENCHMARK(BM_SourcesProbeThreads)->Iterations(1)->Unit(benchmark::kMillisecond);

// 2,000 real files added as the user adds them: through the background adder
// into a shown list, each worker thread with its probe helper process. A 5 ms
// timer records how late it fires meanwhile (the longest the event loop was
// held). The machine is shared, so the pool, one worker, and one worker
// probing in this process (as before the helpers) take turns three times: the
// rates are the best of each, the stall the median of the three runs' longest.
// probe_parallel_speedup is the pool's rate over one worker's; and
// probe_one_worker_vs_in_process_ratio one worker with its helper over one
// thread probing in this process (1 or more: the helper costs nothing).
//
// Wall-clock rates need idle cores. Beside them, what the one-worker runs
// cost in processor time per file (median of three), in this program (the
// window's thread and the worker thread) and in the helper, which the load of
// others does not change: with h the helper's and p the program's time per
// file, two idle cores let two workers reach a speedup of about 2h / (h + p)
// (probe_parallel_speedup_cpu_estimate; a little more where one worker's own
// round trips leave its helper waiting).
struct CpuUse {
    double program = 0; // seconds
    double helpers = 0;
};

CpuUse cpuNow()
{
    const auto seconds = [](const rusage &u) {
        return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
               double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    return {seconds(self), seconds(children)};
}

double addToShownList(const QStringList &files, const QStringList &types, int threads,
                      double &stallMs, double &sliceMs, bool inProcess = false,
                      CpuUse *cpu = nullptr)
{
    const CpuUse before = cpuNow();
    // The helpers end with the view's adder, and only then count as children.
    const double rate = [&] {
        ListViewFiles view;
        view.setInputFileTypes(types);
        view.adder().setThreadCount(threads);
        if (inProcess)
            view.adder().setProbe([](const QString &path) { return ProbeFile(path); });
        view.resize(617, 200);
        view.show();
        QCoreApplication::processEvents();

        constexpr qint64 kTickNs = 5'000'000;
        QElapsedTimer sinceTick;
        qint64 worst = 0;
        QTimer tick;
        tick.setInterval(int(kTickNs / 1'000'000));
        QObject::connect(&tick, &QTimer::timeout, [&] {
            worst = std::max(worst, sinceTick.nsecsElapsed() - kTickNs);
            sinceTick.restart();
        });
        sinceTick.start();
        tick.start();
        QElapsedTimer clock;
        clock.start();
        view.BeginAdding(files);
        view.WaitForAdding();
        const double seconds = clock.nsecsElapsed() / 1e9;
        tick.stop();
        stallMs = worst / 1e6;
        sliceMs = view.adder().longestSliceNs() / 1e6;
        return view.sources().count() == files.size() ? files.size() / seconds : 0;
    }();
    const CpuUse after = cpuNow();
    if (cpu)
        *cpu = {after.program - before.program, after.helpers - before.helpers};
    return rate;
}

void BM_SourcesAddInBackground(benchmark::State &state)
{
    benchApp();
    static ProbeSet set(kAddFiles);
    if (!set.ok) {
        state.SkipWithError("could not make the clips");
        return;
    }
    const QStringList types = {"Video=*.mp4;*.avi;*.mkv;*.wmv"};
    if (ProbeProgramPath().isEmpty()) {
        state.SkipWithError("no ormolux-probe beside the build's programs");
        return;
    }
    MediaInfoLibrary::shared(); // for the in-process runs, loaded before their threads
    const int pool = DefaultProbeThreads();
    double poolRate = 0, oneRate = 0, inProcessRate = 0, longestSlice = 0;
    std::vector<double> stalls, programMs, helperMs;
    for (auto _ : state) {
        for (int round = 0; round < 3; ++round) {
            double stall = 0, slice = 0, unused = 0;
            CpuUse cpu;
            const double p = addToShownList(set.files, types, pool, stall, slice);
            const double one = addToShownList(set.files, types, 1, unused, unused, false, &cpu);
            const double here = addToShownList(set.files, types, 1, unused, unused, true);
            if (p == 0 || one == 0 || here == 0) {
                state.SkipWithError("not every file was added");
                return;
            }
            poolRate = std::max(poolRate, p);
            oneRate = std::max(oneRate, one);
            inProcessRate = std::max(inProcessRate, here);
            stalls.push_back(stall);
            longestSlice = std::max(longestSlice, slice);
            programMs.push_back(cpu.program * 1e3 / set.files.size());
            helperMs.push_back(cpu.helpers * 1e3 / set.files.size());
        }
    }
    std::sort(stalls.begin(), stalls.end());
    std::sort(programMs.begin(), programMs.end());
    std::sort(helperMs.begin(), helperMs.end());
    const double h = helperMs.at(1), p = programMs.at(1);
    state.counters["add_files_helper_cpu_ms_per_file:ms"] = h;
    state.counters["add_files_program_cpu_ms_per_file:ms"] = p;
    state.counters["probe_parallel_speedup_cpu_estimate:ratio"] = 2 * h / (h + p);
    state.counters["add_files_ui_stall_ms_max:ms"] = stalls.at(stalls.size() / 2);
    // The part of the stall that is the adder's own work on the window's
    // thread; the rest is the thread waiting for a core.
    state.counters["add_files_ui_slice_ms_max:ms"] = longestSlice;
    state.counters["add_files_pool_files_per_s:files/s"] = poolRate;
    state.counters["add_files_one_thread_files_per_s:files/s"] = oneRate;
    state.counters["add_files_pool_threads:threads"] = pool;
    state.counters["add_files_in_process_files_per_s:files/s"] = inProcessRate;
    state.counters["probe_parallel_speedup:ratio"] = poolRate / oneRate;
    state.counters["probe_one_worker_vs_in_process_ratio:ratio"] = oneRate / inProcessRate;
}
BENCHMARK(BM_SourcesAddInBackground)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_SourcesListView(benchmark::State &state)
{
    benchApp();
    TFileItem sample;
    sample.Format = QStringLiteral("MPEG-4");
    sample.PlayTime = QStringLiteral("1 s 0 ms");
    sample.FileSize = QStringLiteral("88175");
    sample.FileSizeText = QStringLiteral("86 KiB");
    sample.VideoCodec = QStringLiteral("AVC");
    sample.Width = QStringLiteral("320");
    sample.Height = QStringLiteral("240");
    sample.AudioCodec = QStringLiteral("AAC LC");
    std::vector<TFileItem> records;
    for (int i = 0; i < kListRows; ++i) {
        TFileItem item = sample;
        item.FileName = QStringLiteral("clip %1.mp4").arg(i);
        item.Directory = QStringLiteral("/videos/");
        item.CompleteName = item.Directory + item.FileName;
        records.push_back(std::move(item));
    }
    double addMs = 0, deleteMs = 0;
    for (auto _ : state) {
        ListViewFiles view;
        view.resize(617, 200);
        view.show();
        QCoreApplication::processEvents();
        QElapsedTimer clock;
        clock.start();
        // One row at a time, as adding files does.
        for (const TFileItem &item : records)
            view.sources().append(item);
        QCoreApplication::processEvents();
        addMs = clock.nsecsElapsed() / 1e6;

        QItemSelection every;
        for (int row = 1; row < kListRows; row += 2)
            every.select(view.sources().index(row, 0), view.sources().index(row, 0));
        view.selectionModel()->select(every, QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
        clock.restart();
        view.ActionDeleteExecute();
        QCoreApplication::processEvents();
        deleteMs = clock.nsecsElapsed() / 1e6;
        if (view.sources().count() != kListRows / 2)
            state.SkipWithError("the deletion left the wrong rows");
    }
    state.counters["list_add_10k_ms:ms"] = addMs;
    state.counters["list_delete_every_second_ms:ms"] = deleteMs;
}
BENCHMARK(BM_SourcesListView)->Iterations(1)->Unit(benchmark::kMillisecond);

// list_save_ms_10k: one write of a 10,000-row list to disk as the list
// store does it after a change: the text built from the model, written to a
// temporary file in a folder on disk, synced and renamed over the old list.
// Rows carry every column filled, in folders of typical depth. The median of
// nine writes, each following a change of one row's state.
void BM_SourcesListSave(benchmark::State &state)
{
    benchApp();
    SourceListModel model;
    std::vector<TFileItem> records;
    for (int i = 0; i < kListRows; ++i) {
        TFileItem item;
        item.Directory = QStringLiteral("/home/someone/Videos/Holidays %1/Camera/").arg(i / 100);
        item.FileName = QStringLiteral("VID_20260714_%1.mp4").arg(i, 6, 10, QChar(u'0'));
        item.CompleteName = item.Directory + item.FileName;
        item.FileSize = QStringLiteral("734003200");
        item.FileSizeText = QStringLiteral("700 MiB");
        item.Format = QStringLiteral("MPEG-4");
        item.PlayTime = QStringLiteral("1 h 2 min");
        item.AudioCount = item.VideoCount = QStringLiteral("1");
        item.VideoCodec = QStringLiteral("AVC");
        item.Width = QStringLiteral("1920");
        item.Height = QStringLiteral("1080");
        item.VideoBitRate = QStringLiteral("1 500 kb/s");
        item.AspectRatio = QStringLiteral("16:9");
        item.FrameRate = QStringLiteral("29.970 FPS");
        item.AudioCodec = QStringLiteral("AAC LC");
        item.AudioBitRate = QStringLiteral("128 kb/s");
        item.Channels = QStringLiteral("2 channels");
        item.SamplingRate = QStringLiteral("48.0 kHz");
        records.push_back(std::move(item));
    }
    model.append(std::move(records));
    // On disk, as the settings folder is: not a memory file system.
    QTemporaryDir dir(QDir::homePath() + QStringLiteral("/.ormolux-bench-XXXXXX"));
    ListStore store(model, dir.filePath(QStringLiteral("vuzu.list")));
    std::vector<double> writes;
    for (auto _ : state) {
        for (int i = 0; i < 9; ++i) {
            store.setRowState(model.item(i).path(),
                              i % 2 ? ListRowState::Running : ListRowState::Waiting);
            QElapsedTimer clock;
            clock.start();
            if (!store.flush())
                state.SkipWithError("the list could not be written");
            writes.push_back(clock.nsecsElapsed() / 1e6);
        }
    }
    std::sort(writes.begin(), writes.end());
    state.counters["list_save_ms_10k:ms"] = writes.at(writes.size() / 2);
    state.counters["list_file_kib_10k:KiB"] = QFileInfo(store.path()).size() / 1024.0;
}
BENCHMARK(BM_SourcesListSave)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
