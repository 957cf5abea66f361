// Runs every benchmark and prints each figure as one "name value unit" line.
// A benchmark reports its figures as counters named "<name>:<unit>".
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace {

class FigureReporter : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context &) override { return true; }
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            for (const auto &[name, counter] : run.counters) {
                const auto colon = name.find(':');
                const std::string figure = name.substr(0, colon);
                const std::string unit = colon == std::string::npos ? "" : name.substr(colon + 1);
                const double value = double(counter);
                std::printf(value >= 1e5 ? "%s %.0f %s\n" : "%s %.4g %s\n", figure.c_str(), value,
                            unit.c_str());
            }
        }
        std::fflush(stdout);
    }
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    FigureReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
