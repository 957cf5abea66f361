// Random console text in random chunks through the parser and both progress
// models: nothing may crash or overflow, the figures stay in range, and how
// the text is cut never changes what is found in it.
//
// Build and run (`make fuzz` does the same through CMake with -DORM_FUZZ=ON):
//   clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fPIC \
//     -I/work/main -I/work/main/shared $(pkg-config --cflags Qt6Core) \
//     tests/fuzz/consoleparser_fuzz.cpp shared/consoleparser.cpp shared/progressmodel.cpp \
//     shared/utilfuncs.cpp shared/platform/textcodec.cpp shared/platform/posix/paths.cpp \
//     $(pkg-config --libs Qt6Core) -o /tmp/consoleparser_fuzz
//   /tmp/consoleparser_fuzz -max_total_time=180 tests/fuzz/corpus/consoleparser
#include "shared/consoleparser.h"
#include "shared/progressmodel.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace {

// Passes every finding on to a model and writes it down.
class Tee : public orm::ConsoleListener {
public:
    explicit Tee(orm::ProgressModel &model) : m_model(model) {}
    QStringList events;
    void durationSeen(qint32 ms) override
    {
        if (ms < 0)
            __builtin_trap();
        events << QString::number(ms) + u'd';
        m_model.durationSeen(ms);
    }
    void positionSeen(qint32 ms) override
    {
        if (ms < 0)
            __builtin_trap();
        events << QString::number(ms) + u'p';
        m_model.positionSeen(ms);
    }
    void lineRead() override
    {
        events << QStringLiteral("l");
        m_model.lineRead();
        if (m_model.percent() < 0 || m_model.percent() > 100)
            __builtin_trap();
    }
    void errorLine(const QString &line) override
    {
        events << QStringLiteral("e") + line;
        m_model.errorLine(line);
        if (!m_model.errorOccurred())
            __builtin_trap();
    }

private:
    orm::ProgressModel &m_model;
};

QStringList readWhole(const QByteArray &text)
{
    qint64 now = 0;
    orm::ProgressModel model("S=", [&] { return now; });
    Tee tee(model);
    orm::ConsoleParser parser(tee);
    parser.feed(text);
    parser.finish();
    return tee.events;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    qint64 now = input.ConsumeIntegral<qint32>();
    orm::ProgressModel model("Status=", [&] { return now; });
    model.startJob(input.ConsumeIntegralInRange<qint64>(0, qint64(1) << 40));
    Tee tee(model);
    orm::ConsoleParser parser(tee);

    // Random chunks with the job's events in between.
    QByteArray fedText; // what one job received, zero bytes and what follows them cut
    bool cutByEvents = false;
    while (input.remaining_bytes() > 0) {
        const auto op = input.ConsumeIntegral<uint8_t>();
        now += op % 7 == 0 ? input.ConsumeIntegral<qint32>() : op * 37;
        if (op < 8) {
            parser.finish();
            if (op < 3) {
                parser.reset();
                model.startJob(input.ConsumeIntegralInRange<qint64>(0, qint64(1) << 40));
            }
            cutByEvents = true;
            continue;
        }
        const std::string bytes = input.ConsumeRandomLengthString(256);
        const QByteArrayView chunk(bytes.data(), qsizetype(bytes.size()));
        const bool exited = op > 250;
        parser.feed(chunk, exited);
        cutByEvents = cutByEvents || exited;
        fedText += chunk.first(qsizetype(qstrnlen(bytes.data(), bytes.size())));
        if (parser.hasPendingText() && exited)
            __builtin_trap();
    }
    parser.finish();
    if (parser.hasPendingText())
        __builtin_trap();
    (void)model.takeChanges();

    // Without job ends or exits in between, the cuts must not matter.
    if (!cutByEvents && readWhole(fedText) != tee.events)
        __builtin_trap();
    return 0;
}
