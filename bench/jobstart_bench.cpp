// What a job's start costs a large program: a job that ends with its program
// runs under a holder, the holder program started with vfork and exec, or,
// without one, a fork of the program itself (its page tables copied).
#include "platform/childprocess.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>

namespace {

using namespace orm::platform;

// Resident bytes of this process.
long long residentBytes()
{
    long long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}

// Starts `true` as a job that ends with this program and waits for it, `count`
// times; returns the seconds taken, or a negative number when a start failed.
double startAndReap(int count, bool endWithParent, int null)
{
    StartRequest request;
    request.commandLine = "true";
    request.endWithParent = endWithParent;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        int error = 0;
        ChildProcess child = ChildProcess::start(request, null, null, null, error);
        if (!child.running() || child.wait() != 0)
            return -1;
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void JobStart(benchmark::State &state)
{
    // About 80 MiB resident, as a window program with its toolkit and lists.
    constexpr long long kResident = 80LL << 20;
    const long long extra = std::max(0LL, kResident - residentBytes());
    const std::unique_ptr<char[]> ballast(new char[size_t(extra) + 1]);
    std::memset(ballast.get(), 1, size_t(extra) + 1);
    benchmark::DoNotOptimize(ballast.get());

    const std::string holder = jobHolderPath();
    if (holder.empty())
        return state.SkipWithError("no ormolux-jobholder beside the build's programs");
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    constexpr int kRounds = 10, kStarts = 20;
    double execHolder = 0, forkHolder = 0, plain = 0;
    for (auto _ : state) {
        // Alternating rounds: the machine's other load falls on all three alike.
        for (int round = 0; round < kRounds; ++round) {
            setJobHolderPath(holder);
            const double e = startAndReap(kStarts, true, null);
            setJobHolderPath("/nonexistent/ormolux-jobholder");
            const double f = startAndReap(kStarts, true, null);
            const double p = startAndReap(kStarts, false, null);
            if (e < 0 || f < 0 || p < 0) {
                setJobHolderPath({});
                ::close(null);
                return state.SkipWithError("a job did not start or did not end well");
            }
            execHolder += e;
            forkHolder += f;
            plain += p;
        }
    }
    setJobHolderPath({});
    ::close(null);
    constexpr double kJobs = kRounds * kStarts;
    state.counters["job_start_ms_exec_holder:ms"] = execHolder / kJobs * 1000;
    state.counters["job_start_ms_fork_holder:ms"] = forkHolder / kJobs * 1000;
    state.counters["job_start_ms_no_holder:ms"] = plain / kJobs * 1000;
    state.counters["job_start_resident_mib:MiB"] = double(residentBytes()) / (1 << 20);
}
BENCHMARK(JobStart)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
