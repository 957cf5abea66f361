#include "shared/consoleparser.h"
#include "support/testfiles.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <vector>

using namespace orm;

namespace {

// Writes every finding down as one text, in the order it came.
class Recorder : public ConsoleListener {
public:
    QStringList events;
    void durationSeen(qint32 ms) override { events << QStringLiteral("duration %1").arg(ms); }
    void positionSeen(qint32 ms) override { events << QStringLiteral("position %1").arg(ms); }
    void lineRead() override { events << QStringLiteral("line"); }
    void errorLine(const QString &line) override { events << QStringLiteral("error ") + line; }

    QStringList findings() const // without the "line" entries
    {
        QStringList out;
        for (const QString &e : events) {
            if (e != u"line")
                out << e;
        }
        return out;
    }
};

QStringList findingsOf(QByteArrayView text)
{
    Recorder recorder;
    ConsoleParser parser(recorder);
    parser.feed(text, true);
    return recorder.findings();
}

QByteArray capturedLog()
{
    return ormtest::readFile(QStringLiteral(ORM_BENCH_DATA_DIR "/ffmpeg-x264.log"));
}

} // namespace

TEST(ConsoleLines, CapturedEncoderLogGivesItsPositions)
{
    const QByteArray log = capturedLog();
    ASSERT_FALSE(log.isEmpty());
    ASSERT_TRUE(log.contains('\r')) << "progress lines end with a lone CR";
    // Its inputs have no known length; the clock-form positions are all read.
    EXPECT_EQ(findingsOf(log), QStringList({"position 0", "position 4780", "position 10490",
                                            "position 16340", "position 20010"}));
}

TEST(ConsoleLines, SameFindingsWhereverTheTextIsCut)
{
    // The captured log plus lines of every kind, with every kind of line break.
    const QByteArray text = capturedLog() +
                            "  Duration: 00:00:20.00, start: 0.000000, bitrate: 705 kb/s\r\n"
                            "frame=  9 time=00:00:10.00 bitrate=1\r\n\rError opening output\n"
                            "size= 1kB time=12.345 bitrate=2\r\rCould not open 'x'\r\n"
                            "\n  Duration: N/A, x\r\nframe= 99 time=19.5 b";

    Recorder whole;
    {
        ConsoleParser parser(whole);
        parser.feed(text);
        parser.finish();
    }
    ASSERT_TRUE(whole.events.contains("duration 20000"));
    ASSERT_TRUE(whole.events.contains("error Error opening output"));
    ASSERT_TRUE(whole.events.contains("position 19500"));

    for (qsizetype cut = 0; cut <= text.size(); ++cut) {
        Recorder recorder;
        ConsoleParser parser(recorder);
        parser.feed(QByteArrayView(text).first(cut));
        parser.feed(QByteArrayView(text).sliced(cut));
        parser.finish();
        ASSERT_EQ(recorder.events, whole.events) << "cut at byte " << cut;
    }

    Recorder byteByByte;
    ConsoleParser parser(byteByByte);
    for (qsizetype i = 0; i < text.size(); ++i)
        parser.feed(QByteArrayView(text).sliced(i, 1));
    parser.finish();
    EXPECT_EQ(byteByByte.events, whole.events);

    // The same text where the child has exited with the last chunk.
    Recorder exited;
    ConsoleParser exitParser(exited);
    exitParser.feed(QByteArrayView(text).first(text.size() - 3));
    exitParser.feed(QByteArrayView(text).last(3), true);
    EXPECT_FALSE(exitParser.hasPendingText());
    EXPECT_EQ(exited.events, whole.events);
}

TEST(ConsoleLines, IncompleteLinesWaitForTheirRest)
{
    Recorder recorder;
    ConsoleParser parser(recorder);
    parser.feed("frame=  50 size= 0kB time=00:00:0");
    EXPECT_TRUE(recorder.events.isEmpty()) << "held back whole, not read as 00:00:0";
    parser.feed("4.78 bitrate= 0.2kbits/s\r");
    EXPECT_EQ(recorder.events, QStringList({"position 4780", "line"}));

    // Lone CRs end lines; LF CR only adds an empty line, and the CR does not
    // stick to the start of the next line.
    EXPECT_EQ(findingsOf("a time=1.00 x\rb time=2.00 x\r"),
              QStringList({"position 1000", "position 2000"}));
    EXPECT_EQ(findingsOf("x\n\rError: bad\n"), QStringList({"error Error: bad"}));
    EXPECT_EQ(findingsOf("x\r\n\r\n\n\rError\r"), QStringList({"error Error"}));

    Recorder blanks;
    ConsoleParser blankParser(blanks);
    blankParser.feed(" \t\r\n\x01\r\n   \n", true);
    EXPECT_TRUE(blanks.events.isEmpty()) << "blank lines are skipped";
}

TEST(ConsoleLines, ZeroByteCutsOnlyTheRestOfItsChunk)
{
    Recorder recorder;
    ConsoleParser parser(recorder);
    parser.feed(QByteArrayView("Error a\nErr\0Error lost\n", 23));
    EXPECT_EQ(recorder.findings(), QStringList({"error Error a"}));
    parser.feed("or b\nError c\n");
    EXPECT_EQ(recorder.findings(),
              QStringList({"error Error a", "error Error b", "error Error c"}));
}

TEST(ConsoleLines, EndOfOutputReadsTheLastLineOnce)
{
    {
        Recorder recorder;
        ConsoleParser parser(recorder);
        parser.feed(QByteArrayView());
        parser.feed("Error at the end", true);
        parser.feed(QByteArrayView(), true);
        EXPECT_EQ(recorder.findings(), QStringList({"error Error at the end"}));
        EXPECT_FALSE(parser.hasPendingText());
    }
    {
        Recorder recorder;
        ConsoleParser parser(recorder);
        parser.feed("Error left over");
        EXPECT_TRUE(parser.hasPendingText());
        parser.finish();
        parser.finish();
        parser.feed("\n", true);
        EXPECT_EQ(recorder.findings(), QStringList({"error Error left over"}));
    }
    {
        // A new job drops what the last one left.
        Recorder recorder;
        ConsoleParser parser(recorder);
        parser.feed("Error of the old job");
        parser.reset();
        parser.feed(" time=1.00 x\n", true);
        EXPECT_EQ(recorder.findings(), QStringList({"position 1000"}));
    }
}

TEST(ConsoleValues, DurationLines)
{
    const struct {
        const char *line;
        QStringList findings;
    } cases[] = {
        {"  Duration: 00:01:40.00, start: 0.000000, bitrate: 1 kb/s", {"duration 100000"}},
        {"  Duration:  00:00:01.5 , start", {"duration 1500"}},
        {"  Duration: N/A, start: 0.000000", {}},
        {" Duration: 00:01:40.00, start", {}},   // one blank only
        {"   Duration: 00:01:40.00, start", {}}, // three blanks
        {"  Duration: 00:01:40.00", {}},         // no comma: no value
        {"  Duration: 01:40.00, start", {}},
        {"  Duration: xx:01:40.00, start", {}},
        {"  Duration: -00:00:01.00, start", {}},
        {"  Duration: 596:31:23.64, start", {"duration 2147483640"}},
        {"  Duration: 596:31:23.65, start", {}}, // beyond 32-bit milliseconds
        {"  Duration: 99999999999:00:00.00, start", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(findingsOf(c.line), c.findings) << c.line;
}

TEST(ConsoleValues, PositionValues)
{
    const struct {
        const char *line;
        QStringList findings;
    } cases[] = {
        {"size= 1kB time=50.00 bitrate=1", {"position 50000"}},
        {"frame=1 time=00:01:23.45 bitrate=N/A speed=1x", {"position 83450"}},
        {"x time=7 y", {"position 7000"}},
        {"x time=.5 y", {"position 500"}},
        {"a time= 7.25 b", {"position 7250"}}, // the value starts after a blank
        {"x time=N/A bitrate=N/A", {}},
        {"x time=10000000000.0 bitrate", {"position 0"}},
        {"x time=10000000000.00 bitrate", {}}, // not the marker value, and too large
        {"time=50.00 x", {}},                  // the blank before "time=" belongs to it
        {"x time=12.5", {}},                   // no blank after the value
        {"x time=-577014:32:22.77 bitrate", {}},
        {"x time=-00:00:00.02 bitrate", {}},
        {"x time=-0.5 y", {}},
        {"x time=abc y", {}},
        {"x time=1.2.3 y", {}},
        {"x time=1e3 y", {}},
        {"x time=ab:cd:ef y", {}},
        {"x time=0.0125 y", {"position 12"}}, // halves to even, exactly
        {"x time=0.0135 y", {"position 14"}},
        {"x time=0.01251 y", {"position 13"}},
        {"x time=2147483.647 y", {"position 2147483647"}},
        {"x time=2147483.648 y", {}},
        {"x time=1.0 y time=2.0 z", {"position 1000"}}, // the first marker counts
    };
    for (const auto &c : cases)
        EXPECT_EQ(findingsOf(c.line), c.findings) << c.line;
}

TEST(ConsoleValues, ErrorLines)
{
    const struct {
        const char *line;
        bool error;
    } cases[] = {
        {"Error opening input file x.avi.", true},
        {"Errors", true},
        {"Error while decoding stream #0:0: Invalid data found", false},
        {"Error while decoding strea", true}, // shorter than the warning
        {"error: lower case", false},
        {"  Error opening input", false}, // leading blanks
        {"  Could not open file", true},
        {"[in @ 0x1] I/O error occured", true},
        {"Output #0: No audio or video streams available", true},
        {"Error while decoding stream #0:0: Could not open codec", true},
    };
    for (const auto &c : cases) {
        const QStringList findings = findingsOf(c.line);
        EXPECT_EQ(findings,
                  c.error ? QStringList({QStringLiteral("error ") + c.line}) : QStringList())
            << c.line;
    }

    // The line reaches the listener untrimmed, after its values, decoded.
    EXPECT_EQ(findingsOf("  Could not open x time=5 y \t"),
              QStringList({"position 5000", "error   Could not open x time=5 y \t"}));
    EXPECT_EQ(findingsOf("Could not open 'caf\xc3\xa9.avi'"),
              QStringList({QStringLiteral("error Could not open 'caf\u00e9.avi'")}));
    EXPECT_EQ(findingsOf("Could not open 'caf\xe9.avi' \x80"),
              QStringList({QStringLiteral("error Could not open 'caf\u00e9.avi' \u20ac")}));
}

namespace {

// An error box runs an event loop, in which more output may arrive.
class FeedingListener : public Recorder {
public:
    ConsoleParser *parser = nullptr;
    std::vector<QByteArray> toFeed;
    bool resetOnError = false;
    void errorLine(const QString &line) override
    {
        Recorder::errorLine(line);
        if (resetOnError)
            parser->reset();
        for (const QByteArray &chunk : std::exchange(toFeed, {}))
            parser->feed(chunk);
    }
};

} // namespace

TEST(ConsoleLines, OutputArrivingDuringAnErrorBoxWaitsItsTurn)
{
    FeedingListener listener;
    ConsoleParser parser(listener);
    listener.parser = &parser;
    listener.toFeed = {".0 y\nx time=3", ".0 y\n"};
    parser.feed("Error one\nx time=1.0 y\nx time=2");
    parser.feed("x time=4.0 y\n");
    EXPECT_EQ(listener.findings(), QStringList({"error Error one", "position 1000", "position 2000",
                                                "position 3000", "position 4000"}));

    // A job that ends inside the box stops reading the old text.
    FeedingListener resetting;
    ConsoleParser second(resetting);
    resetting.parser = &second;
    resetting.resetOnError = true;
    resetting.toFeed = {"x time=9.0 y\n"};
    second.feed("Error one\nx time=1.0 y\nleft");
    second.finish();
    EXPECT_EQ(resetting.findings(), QStringList({"error Error one", "position 9000"}));
}
