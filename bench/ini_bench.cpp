// Reading the settings and profile files: how many values a second.
#include "shared/ini.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

QByteArray sampleProfile()
{
    QByteArray text = "[Info]\nTitleE=iPod video\nDescriptionE=Plays on every iPod with video\n";
    for (int item = 0; item < 4; ++item) {
        text += "[Item" + QByteArray::number(item) + "]\nTitleE=Preset\nEXT=mp4\n";
        text += "Command=<%AppPath%>/cores/avcore.dll -y -i \"<%InputFile%>\" -c:v libx264 "
                "-profile:v baseline -level 1.3 -b:v 600k \"<%OutputFile%>.mp4\"\n";
    }
    return text;
}

void IniReadValues(benchmark::State &state)
{
    const QByteArray text = sampleProfile();
    std::int64_t values = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const orm::IniFile ini = orm::IniFile::fromBytes(text);
        for (const QString &section : ini.sectionNames()) {
            for (const QString &key : ini.keyNames(section)) {
                benchmark::DoNotOptimize(ini.readString(section, key, {}));
                ++values;
            }
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.counters["ini_read_values_per_s:1/s"] = double(values) / seconds;
}
BENCHMARK(IniReadValues)->MinTime(0.5);

} // namespace
