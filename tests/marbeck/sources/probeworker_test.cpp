// The probe helper: its answers are the library's answers in this process,
// and a helper that crashes or hangs on a file costs that file its media
// columns only; the list and the program go on.
#include "platform/platform.h"
#include "sourceclips.h"
#include "sources/probeworker.h"
#include "sources/sourceadder.h"
#include "sources/sourcelistmodel.h"
#include "support/apps.h"
#include "support/testfiles.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

using namespace marbeck;
using namespace ormtest;

namespace {

// Started as a helper, this test program aborts on a file whose name holds
// "crash" and hangs on one whose name holds "hang".
[[maybe_unused]] const bool helperChild = [] {
    if (!qEnvironmentVariableIsSet("ORM_TEST_PROBE_HELPER"))
        return false;
    std::_Exit(RunProbeWorker(0, 1, [](const QString &path) {
        if (path.contains(QLatin1StringView("crash")))
            std::abort();
        if (path.contains(QLatin1StringView("hang")))
            std::this_thread::sleep_for(std::chrono::hours(1));
        return ProbeFile(path);
    }));
}();

void expectSameRecord(const TFileItem &got, const TFileItem &want, const QString &what)
{
    for (const SourceColumn &column : kSourceColumns)
        EXPECT_EQ(got.*column.field, want.*column.field) << what.toStdString();
    EXPECT_EQ(got.FileSize, want.FileSize) << what.toStdString();
    EXPECT_EQ(got.Directory, want.Directory) << what.toStdString();
}

QString capturedLog;
void captureLog(QtMsgType, const QMessageLogContext &, const QString &text)
{
    capturedLog += text + u'\n';
}

} // namespace

TEST(ProbeHelper, AnswersAsTheLibraryInThisProcessDoes)
{
    QTemporaryDir dir;
    const QString odd = dir.filePath("it's \"odd\"\nname $x.mp4");
    writeFile(odd, readFile(h264AacMp4()));
    const QString text = dir.filePath("notes.mp4");
    writeFile(text, "not a video");
    QString error;
    auto helper = ProbeWorker::start(ProbeProgramPath(), error);
    ASSERT_TRUE(helper) << error.toStdString();
    for (const QString &path :
         {h264AacMp4(), mpeg4Mp3Avi(), mp3Audio(), odd, text, dir.filePath("missing.mp4")}) {
        const ProbeWorker::Answer answer = helper->probe(path, 30'000);
        ASSERT_EQ(answer.outcome, ProbeWorker::Outcome::Probed) << path.toStdString();
        expectSameRecord(answer.item, ProbeFile(path), path);
    }
    EXPECT_FALSE(ProbeFile(h264AacMp4()).VideoCodec.isEmpty());
}

TEST(ProbeHelper, ACrashOrHangCostsThatFileItsColumnsAndTheHelperIsReplaced)
{
    testApp();
    QTemporaryDir dir;
    const QStringList names = {"a.mp4", "crash.mp4", "b.mp4", "hang.mp4", "c.mp4", "d.mp4"};
    QStringList paths;
    for (const QString &name : names) {
        paths << dir.filePath(name);
        writeFile(paths.last(), readFile(h264AacMp4()));
    }
    const TFileItem reference = ProbeFile(paths.first());
    qputenv("ORM_TEST_PROBE_HELPER", "1");
    SetProbeProgramPath(QString::fromStdString(orm::platform::programPath()));
    capturedLog.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureLog);

    SourceListModel list;
    {
        SourceAdder adder(list);
        adder.setInputFileTypes({"Video=*.mp4"});
        // One worker: the file sent after the one that crashes or hangs is
        // then always waiting in the lost helper's pipe, and must be probed
        // again by the next.
        adder.setThreadCount(1);
        adder.setProbeTimeLimit(1500);
        adder.add(paths);
        adder.waitUntilDone();
    }
    ASSERT_EQ(list.count(), names.size());
    for (int row = 0; row < list.count(); ++row) {
        const TFileItem &item = list.item(row);
        EXPECT_EQ(item.FileName, names.at(row));
        EXPECT_EQ(item.CompleteName, paths.at(row));
        const std::string name = names.at(row).toStdString();
        EXPECT_EQ(item.FileSize, reference.FileSize) << name;
        const bool failed = names.at(row).startsWith("crash") || names.at(row).startsWith("hang");
        EXPECT_EQ(item.Format, failed ? QString() : reference.Format) << name;
        EXPECT_EQ(item.VideoCodec, failed ? QString() : reference.VideoCodec) << name;
    }
    EXPECT_TRUE(capturedLog.contains("crash.mp4")) << capturedLog.toStdString();
    EXPECT_TRUE(capturedLog.contains("hang.mp4")) << capturedLog.toStdString();

    // Closing the list while a helper hangs does not wait for its time limit.
    QElapsedTimer clock;
    clock.start();
    {
        SourceAdder adder(list);
        adder.setInputFileTypes({"Video=*.mp4"});
        const QString hang = dir.filePath("hang again.mp4");
        writeFile(hang, readFile(h264AacMp4()));
        adder.add({hang});
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    EXPECT_LT(clock.elapsed(), 10'000);

    // A helper program that ends at once costs each file its columns, and
    // the adding still ends.
    SetProbeProgramPath(QStringLiteral("/bin/true"));
    {
        SourceListModel blank;
        SourceAdder adder(blank);
        adder.setInputFileTypes({"Video=*.mp4"});
        adder.add({paths.at(0), paths.at(2)});
        adder.waitUntilDone();
        ASSERT_EQ(blank.count(), 2);
        EXPECT_TRUE(blank.item(0).Format.isEmpty());
        EXPECT_EQ(blank.item(1).FileSize, reference.FileSize);
    }

    // Without the helper program the files are probed in this process.
    SetProbeProgramPath(dir.filePath("no such program"));
    {
        SourceListModel alone;
        SourceAdder adder(alone);
        adder.setInputFileTypes({"Video=*.mp4"});
        adder.add({paths.first()});
        adder.waitUntilDone();
        ASSERT_EQ(alone.count(), 1);
        EXPECT_EQ(alone.item(0).Format, reference.Format);
    }
    qInstallMessageHandler(previous);
    SetProbeProgramPath({});
    qunsetenv("ORM_TEST_PROBE_HELPER");
}
