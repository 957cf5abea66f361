#include "shared/consoleparser.h"
#include "shared/progressmodel.h"
#include "support/testfiles.h"

#include <gtest/gtest.h>

#include <limits>

using namespace orm;

namespace {

constexpr qint64 kMB = 1'000'000;

// A model on a clock the test sets.
struct Fixture {
    qint64 now = 0;
    ProgressModel model;
    Fixture() : model("Status=", [this] { return now; }) {}
    // One console line that carried these values, read at `at` milliseconds.
    void line(qint64 at, qint32 duration, qint32 position)
    {
        now = at;
        model.durationSeen(duration);
        model.positionSeen(position);
        model.lineRead();
    }
};

} // namespace

TEST(FileProgress, PercentAndRemainingTime)
{
    Fixture f;
    f.model.startJob(100 * kMB);
    f.line(10'000, 100'000, 50'000);
    EXPECT_EQ(f.model.percent(), 50);
    EXPECT_EQ(f.model.view().statusText, u"Status=50%");
    EXPECT_EQ(f.model.view().statusBar, 50);
    // Half of it in 10 s: 10 s remain.
    EXPECT_EQ(f.model.view().fileRemainingText, u"0:00:10");

    // Past the end: 100 %, and the remaining time is shown by its magnitude.
    f.line(30'000, 100'000, 150'000);
    EXPECT_EQ(f.model.view().statusText, u"Status=100%");
    EXPECT_EQ(f.model.view().statusBar, 100);
    EXPECT_EQ(f.model.view().fileRemainingText, u"0:00:10"); // 20 s estimate, 30 s elapsed
}

TEST(FileProgress, PercentRoundsHalvesToEven)
{
    const struct {
        qint32 duration, position, percent;
    } cases[] = {{8, 1, 12},
                 {8, 3, 38},
                 {200, 1, 0},
                 {200, 3, 2},
                 {3, 2, 67},
                 {1, 2'000'000'000, 100},
                 {2'147'483'647, 2'147'483'646, 100}};
    for (const auto &c : cases) {
        Fixture f;
        f.line(1'000, c.duration, c.position);
        EXPECT_EQ(f.model.percent(), c.percent) << c.duration << " " << c.position;
    }
}

TEST(FileProgress, NothingShownWithoutBothValues)
{
    for (const auto &[duration, position] : {std::pair{0, 5'000}, std::pair{100'000, 0}}) {
        Fixture f;
        f.model.startJob(kMB);
        f.line(2'000, duration, position);
        const ProgressView v = f.model.takeChanges();
        EXPECT_EQ(v.changed, unsigned(ProgressView::FileElapsed));
        EXPECT_TRUE(v.statusText.isEmpty());
        EXPECT_EQ(f.model.percent(), 0);
    }

    // The encoder's "no position yet" leaves no percentage on its line.
    Fixture f;
    ConsoleParser parser(f.model);
    parser.feed("  Duration: 00:01:40.00, start: 0\nx time=10000000000.0 bitrate=N/A\n");
    EXPECT_EQ(f.model.duration(), 100'000);
    EXPECT_EQ(f.model.position(), 0);
    EXPECT_TRUE(f.model.view().statusText.isEmpty());
}

TEST(FileProgress, ValuesCarryOverIntoTheNextJob)
{
    Fixture f;
    f.model.startJob(kMB);
    f.line(1'000, 100'000, 25'000);
    f.model.errorLine("Error x");

    f.now = 5'000;
    f.model.startJob(kMB);
    EXPECT_EQ(f.model.percent(), 0);
    EXPECT_FALSE(f.model.errorOccurred());
    // A line before the job's own values is measured against the old ones.
    f.model.lineRead();
    EXPECT_EQ(f.model.percent(), 25);
    EXPECT_EQ(f.model.duration(), 100'000);
}

TEST(SingleFileProgress, ElapsedOnEveryLine)
{
    Fixture f;
    f.now = 1'000;
    f.model.startJob(5 * kMB);
    f.now = 4'000;
    f.model.lineRead();
    ProgressView v = f.model.takeChanges();
    EXPECT_EQ(v.changed, unsigned(ProgressView::FileElapsed));
    EXPECT_EQ(v.fileElapsedText, u"0:00:03");

    f.line(21'000, 200'000, 40'000); // 20 % in 20 s
    v = f.model.takeChanges();
    EXPECT_EQ(v.statusText, u"Status=20%");
    EXPECT_EQ(v.fileElapsedText, u"0:00:20");
    EXPECT_EQ(v.fileEstimatedText, u"0:01:40");
    EXPECT_EQ(v.fileRemainingText, u"0:01:20");
}

TEST(ProgressViewChanges, ReportedOnceAndOnlyWhenTheTextChanges)
{
    Fixture f;
    f.line(10'000, 100'000, 50'000);
    const ProgressView first = f.model.takeChanges();
    EXPECT_TRUE(first.hasChanged(ProgressView::StatusText));
    EXPECT_TRUE(first.hasChanged(ProgressView::StatusBar));
    EXPECT_TRUE(first.hasChanged(ProgressView::FileElapsed));
    EXPECT_EQ(f.model.takeChanges().changed, 0u);

    // Same percent and same whole seconds: nothing to redraw.
    f.line(10'400, 100'000, 50'100);
    EXPECT_EQ(f.model.takeChanges().changed, 0u);
    f.line(11'000, 100'000, 51'000);
    const ProgressView next = f.model.takeChanges();
    EXPECT_TRUE(next.hasChanged(ProgressView::StatusText));
    EXPECT_TRUE(next.hasChanged(ProgressView::FileElapsed));

    // A language switch rewrites the labels already shown.
    f.model.setPrefix("Etat=");
    const ProgressView renamed = f.model.takeChanges();
    EXPECT_EQ(renamed.changed, unsigned(ProgressView::StatusText));
    EXPECT_EQ(renamed.statusText, u"Etat=51%");
}

TEST(ProgressArithmetic, HugeFiguresDoNotOverflow)
{
    // Decades of elapsed time against the longest duration and a 1 ms position.
    Fixture f;
    f.line(qint64(1) << 50, std::numeric_limits<qint32>::max(), 1);
    EXPECT_EQ(f.model.view().statusText, u"Status=0%");
    EXPECT_FALSE(f.model.view().fileEstimatedText.isEmpty());
    EXPECT_FALSE(f.model.view().fileRemainingText.isEmpty());
}

TEST(JobErrors, ErrorLineMarksTheJobAndReachesTheHandler)
{
    Fixture f;
    QStringList shown;
    f.model.setErrorHandler([&](const QString &line) {
        EXPECT_TRUE(f.model.errorOccurred()) << "marked before the box shows";
        shown << line;
    });
    ConsoleParser parser(f.model);
    parser.feed("Error while decoding stream #0:0\nx\r\n");
    EXPECT_FALSE(f.model.errorOccurred());
    parser.feed("Could not open 'a.avi'\nError opening output\n");
    EXPECT_EQ(shown, QStringList({"Could not open 'a.avi'", "Error opening output"}));
    f.model.startJob(1);
    EXPECT_FALSE(f.model.errorOccurred());
    f.model.markError();
    EXPECT_TRUE(f.model.errorOccurred());
}

TEST(JobErrors, OutcomeOfAJob)
{
    const struct {
        bool errorLine;
        int exitStatus;
        bool stopped;
        JobOutcome outcome;
    } cases[] = {
        {false, 0, false, JobOutcome::Converted}, {true, 0, false, JobOutcome::Failed},
        {false, 1, false, JobOutcome::Failed}, // no error line, but the script failed
        {false, 137, false, JobOutcome::Failed},  {false, -1, false, JobOutcome::Failed},
        {true, 1, false, JobOutcome::Failed},     {false, 0, true, JobOutcome::Stopped},
        {true, 137, true, JobOutcome::Stopped},
    };
    for (const auto &c : cases)
        EXPECT_EQ(outcomeOf(c.errorLine, c.exitStatus, c.stopped), c.outcome)
            << c.errorLine << " " << c.exitStatus << " " << c.stopped;
}

TEST(SingleFileProgress, CapturedEncoderLogWithAKnownLength)
{
    Fixture f;
    f.model.startJob(kMB);
    ConsoleParser parser(f.model);
    parser.feed("  Duration: 00:00:20.00, start: 0.000000, bitrate: 705 kb/s\n");
    f.now = 2'000;
    parser.feed(ormtest::readFile(QStringLiteral(ORM_BENCH_DATA_DIR "/ffmpeg-x264.log")), true);
    // The last progress line says 20.01 s of 20 s.
    EXPECT_EQ(f.model.position(), 20'010);
    EXPECT_EQ(f.model.view().statusText, u"Status=100%");
    EXPECT_EQ(f.model.view().fileElapsedText, u"0:00:02");
    EXPECT_FALSE(f.model.errorOccurred());
}
