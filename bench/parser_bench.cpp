// Reading the encoder's console text: how many lines a second the parser and
// the progress arithmetic get through.
#include "shared/consoleparser.h"
#include "shared/progressmodel.h"

#include <QFile>
#include <QFileInfo>

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

QString dataDir()
{
#ifdef ORM_BENCH_DATA_DIR
    return QStringLiteral(ORM_BENCH_DATA_DIR);
#else
    // The captured logs lie beside the benchmark sources.
    return QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/data");
#endif
}

QByteArray capturedLog()
{
    QFile file(dataDir() + QStringLiteral("/ffmpeg-x264.log"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // With a known length, so that every progress line also moves the figures.
    return "  Duration: 00:00:20.00, start: 0.000000, bitrate: 705 kb/s\n" + file.readAll();
}

// Lines as the parser cuts them: CR, LF and CR LF each end one.
std::int64_t countLines(const QByteArray &text)
{
    std::int64_t lines = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
            ++lines;
    }
    return lines;
}

void ParserLines(benchmark::State &state)
{
    const QByteArray log = capturedLog();
    if (log.isEmpty()) {
        state.SkipWithError("captured log missing");
        return;
    }
    QByteArray text;
    for (int i = 0; i < 200; ++i)
        text += log;
    const std::int64_t linesPerRun = countLines(text);
    // The redirector hands over what one pipe read brings.
    constexpr qsizetype kChunk = 4096;

    std::int64_t lines = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        orm::ProgressModel model(QStringLiteral("Status="));
        model.startJob(100'000'000);
        orm::ConsoleParser parser(model);
        for (qsizetype at = 0; at < text.size(); at += kChunk)
            parser.feed(QByteArrayView(text).sliced(at, std::min(kChunk, text.size() - at)));
        parser.finish();
        benchmark::DoNotOptimize(model.takeChanges());
        lines += linesPerRun;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.counters["parser_lines_per_s:lines/s"] = double(lines) / seconds;
}
BENCHMARK(ParserLines)->MinTime(0.5);

} // namespace
