// The redirector: how fast output flows through it, and how soon a line
// reaches its handler.
#include "shared/redirect.h"

#include "benchapp.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

#include <time.h>
#include <unistd.h>

namespace {

qint64 monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// Runs one command line through a redirector until its end; returns seconds.
double runThrough(const QString &commandLine, const orm::TRedirector::DataEvent &onData)
{
    benchApp();
    orm::TRedirector r;
    bool ended = false;
    r.OnStdOut = onData;
    r.OnStdErr = onData;
    r.OnTerminated = [&](orm::TRedirector &) { ended = true; };
    r.setCommandLine(commandLine);
    const auto start = std::chrono::steady_clock::now();
    r.Execute();
    while (!ended)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

QString writeScript(QTemporaryDir &dir, const QString &name, const QByteArray &body)
{
    const QString path = dir.filePath(name);
    std::ofstream(path.toStdString()) << body.toStdString();
    return path;
}

void RedirectThroughput(benchmark::State &state)
{
    constexpr qint64 kBytes = 256LL * 1024 * 1024;
    QTemporaryDir dir;
    const QString produce =
        writeScript(dir, "produce.sh", "head -c " + QByteArray::number(kBytes) + " /dev/zero\n");
    const QString viaCat = writeScript(
        dir, "cat.sh", "head -c " + QByteArray::number(kBytes) + " /dev/zero | cat > /dev/null\n");
    std::vector<double> oursRuns, theirsRuns;
    for (auto _ : state) {
        // Alternating, median of five: one run is at the mercy of the machine's other load.
        for (int i = 0; i < 5; ++i) {
            qint64 received = 0;
            oursRuns.push_back(runThrough(
                produce, [&](orm::TRedirector &, const char *, qsizetype n) { received += n; }));
            if (received != kBytes)
                return state.SkipWithError("bytes lost");
            theirsRuns.push_back(runThrough(viaCat, {}));
        }
    }
    std::sort(oursRuns.begin(), oursRuns.end());
    std::sort(theirsRuns.begin(), theirsRuns.end());
    const double ours = oursRuns[2];
    const double theirs = theirsRuns[2];
    state.counters["redirect_throughput_mb_s:MB/s"] = double(kBytes) / (1024 * 1024) / ours;
    state.counters["redirect_vs_cat_ratio:ratio"] = ours / theirs;
}
BENCHMARK(RedirectThroughput)->Iterations(1)->Unit(benchmark::kMillisecond);

void DeliveryLatency(benchmark::State &state)
{
    QTemporaryDir dir;
    // The child prints its monotonic clock every 20 ms: this program run as a child.
    const QString self = QString::fromStdString(std::string(realpath("/proc/self/exe", nullptr)));
    const QString child =
        writeScript(dir, "ticks.sh", "ORM_BENCH_TICKS=100 exec '" + self.toUtf8() + "'\n");
    std::vector<double> latencies;
    for (auto _ : state) {
        QByteArray pending;
        runThrough(child, [&](orm::TRedirector &, const char *data, qsizetype n) {
            const qint64 now = monotonicNs();
            pending.append(data, n);
            qsizetype eol;
            while ((eol = pending.indexOf('\n')) >= 0) {
                latencies.push_back(double(now - pending.left(eol).toLongLong()) / 1e6);
                pending.remove(0, eol + 1);
            }
        });
    }
    std::sort(latencies.begin(), latencies.end());
    if (latencies.empty())
        return state.SkipWithError("no ticks");
    state.counters["delivery_latency_ms_p50:ms"] = latencies[latencies.size() / 2];
    state.counters["delivery_latency_ms_p99:ms"] = latencies[latencies.size() * 99 / 100];
}
BENCHMARK(DeliveryLatency)->Iterations(1)->Unit(benchmark::kMillisecond);

// As a child of the latency benchmark: print the clock now and then, and end.
[[maybe_unused]] const bool tickChild = [] {
    const char *ticks = std::getenv("ORM_BENCH_TICKS");
    if (!ticks)
        return false;
    for (int i = 0; i < std::atoi(ticks); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const std::string line = std::to_string(monotonicNs()) + "\n";
        [[maybe_unused]] auto n = ::write(1, line.data(), line.size());
    }
    std::_Exit(0);
}();

} // namespace
