#include "convert/convertoptions.h"
#include "convert/convertsummary.h"
#include "convert/profilelookup.h"
#include "convert/terminallines.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace marbeck;

TEST(ConvertOptions, ReadsAWholeLineAndRefusesWrongOnesByName)
{
    const auto options = ParseConvertArguments(
        {"--profile=iPod Classic", "--preset", "Item1", "--output", "out", "--jobs", "auto",
         "--json", "-", "--language", "French", "--delete-sources", "a.avi", "--", "--odd.avi"});
    ASSERT_TRUE(options) << options.error().toStdString();
    EXPECT_EQ(options->profile, "iPod Classic");
    EXPECT_EQ(options->preset, "Item1");
    EXPECT_EQ(options->jobs, 0);
    EXPECT_EQ(options->jsonFile, "-");
    EXPECT_EQ(options->languageFile, "french.ini");
    EXPECT_TRUE(options->deleteSources);
    EXPECT_EQ(options->sources, QStringList({"a.avi", "--odd.avi"}));

    const QStringList base{"--profile", "p", "--preset", "Item0", "--output", "o"};
    const struct {
        QStringList line;
        const char *says;
    } wrong[] = {
        {base + QStringList{"--fast", "a"}, "unknown option '--fast'"},
        {base + QStringList{"--jobs", "0", "a"}, "--jobs takes a number from 1 to 16"},
        {base + QStringList{"--language", "dutch", "a"}, "not 'dutch'"},
        {base + QStringList{"--delete-sources=yes", "a"}, "takes no value"},
        {base + QStringList{"a", "--json"}, "--json needs a value"},
        {base, "no sources"},
        {{"--preset", "Item0", "--output", "o", "a"}, "no profile"},
        {{"--profile", "p", "--output", "o", "a"}, "no preset"},
    };
    for (const auto &w : wrong) {
        const auto refused = ParseConvertArguments(w.line);
        ASSERT_FALSE(refused) << w.line.join(' ').toStdString();
        EXPECT_TRUE(refused.error().contains(QLatin1String(w.says)))
            << refused.error().toStdString();
    }
    EXPECT_EQ(ParseConvertArguments({"--list"})->mode, ConvertMode::List);
    EXPECT_EQ(ParseConvertArguments({"--bad", "--help"}).error(), "unknown option '--bad'");
    EXPECT_EQ(JobsAtOnce(std::nullopt, 3), 3);
    EXPECT_EQ(JobsAtOnce(2, 3), 2);
    EXPECT_EQ(JobsAtOnce(std::nullopt, 200), 16);
}

TEST(ConvertProfiles, NamesFileNamesBeforeTitlesAndTheUsersFirst)
{
    const QList<ListedProfile> profiles{
        {{"iPod.ini", "/home/u/profiles/Mine.ini", {}}, true},
        {{"Mine.ini", "/app/default_setting/iPod.ini", {}}, false},
    };
    EXPECT_EQ(FindProfile("mine.ini", profiles)->entry.FileName, "/home/u/profiles/Mine.ini");
    EXPECT_EQ(FindProfile("IPOD.INI", profiles)->entry.FileName, "/app/default_setting/iPod.ini");
    EXPECT_FALSE(FindProfile("nothing", profiles));

    const QList<TProfileDetailItem> presets{{"f", "Item0", "Item1"}, {"f", "Item1", "Small"}};
    EXPECT_EQ(FindPreset("item1", presets)->Section, "Item1");
    EXPECT_EQ(FindPreset("small", presets)->Section, "Item1");
    EXPECT_FALSE(FindPreset("Item2", presets));
}

TEST(ConvertSummary, OneEntryPerSourceAndTheExitStatus)
{
    BatchRow converted{
        {"/in/a.avi", "a.avi", 10}, RowState::Converted, 1, {}, {"/out/a.3gp"}, 0, 1500};
    BatchRow failed{{"/in/b.avi", "b.avi", 10}, RowState::Failed, 2, "Invalid data", {}, 100, 350};
    BatchRow waiting{{"/in/c.avi", "c.avi", 10}, RowState::Waiting, 0, {}, {}, 0, 0};
    QList<SourceOutcome> outcomes{OutcomeOf(converted), OutcomeOf(failed), OutcomeOf(waiting)};
    EXPECT_EQ(ExitStatusFor(outcomes, 0), 1);
    EXPECT_EQ(ExitStatusFor(outcomes, 2), 130);
    EXPECT_EQ(ExitStatusFor({OutcomeOf(converted)}, 0), 0);
    // A batch whose jobs could not start fails the rows it left.
    EXPECT_EQ(OutcomeOf(waiting, "no script").result, SourceResult::Failed);

    const QJsonObject json =
        QJsonDocument::fromJson(SummaryJson({"/p.ini", "Item0", "/out", 1}, outcomes)).object();
    EXPECT_EQ(json["failed"].toInt(), 1);
    EXPECT_EQ(json["stopped"].toInt(), 1);
    const QJsonArray sources = json["sources"].toArray();
    ASSERT_EQ(sources.size(), 3);
    EXPECT_EQ(sources[0]["outputs"].toArray()[0].toString(), "/out/a.3gp");
    EXPECT_EQ(sources[0]["seconds"].toDouble(), 1.5);
    EXPECT_EQ(sources[1]["result"].toString(), "failed");
    EXPECT_EQ(sources[1]["reason"].toString(), "Invalid data");
    EXPECT_EQ(sources[2]["result"].toString(), "stopped");
    EXPECT_EQ(sources[2]["seconds"].toDouble(), 0);
}

TEST(ConvertTerminal, RedrawsInPlaceOnATerminalAndOnlyNotesElsewhere)
{
    QByteArray live;
    TerminalLines tty([&](const QByteArray &b) { live += b; }, true, 24);
    tty.show({"[1/2] a.avi  10%", "Batch 5%"});
    tty.show({"[1/2] a.avi  10%", "Batch 5%"}); // unchanged: nothing written
    tty.note("[1/2] a.avi: converted");
    tty.show({"[2/2] a-very-long-name-that-wraps.avi", "Batch 50%"});
    EXPECT_EQ(live, QByteArray("[1/2] a.avi  10%\nBatch 5%\n"
                               "\x1b[2A\r\x1b[J[1/2] a.avi: converted\n[1/2] a.avi  10%\nBatch 5%\n"
                               "\x1b[2A\r\x1b[J[2/2] a-very-long-name…\nBatch 50%\n"));

    QByteArray log;
    TerminalLines plain([&](const QByteArray &b) { log += b; }, false);
    plain.show({"[1/2] a.avi  10%", "Batch 5%"});
    plain.note("[1/2] a.avi: converted");
    EXPECT_EQ(log, QByteArray("[1/2] a.avi: converted\n"));

    JobFigures job{0, 0, 3, "a.avi", 45, 12000};
    EXPECT_EQ(JobLineText(job, 10), "[3/10] a.avi  45%  0:00:12 left");
    BatchFigures batch;
    batch.total = 10;
    batch.elapsedMs = 62000;
    EXPECT_EQ(BatchLineText(batch, 3, 1), "Batch  0:01:02 elapsed  3 converted, 1 failed of 10");
}
