// Batches that run several jobs at once, with the real encoder.
#include "batchsetup.h"
#include "lang/marbeckmessages.h"
#include "settings/globalvars.h"
#include "shared/userfolders.h"
#include "shared/utilfuncs.h"
#include "sources/sourcelistmodel.h"
#include "support/media.h"
#include "support/testfiles.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace marbeck;
using namespace ormtest;

namespace {

QString clip()
{
    return sharedClip("batch clip.mp4", 3, {320, 240});
}

// Every generated script of this program.
QStringList scripts(const BatchSetup &)
{
    return QDir(orm::UserFolders::jobFilesFolder())
        .entryList({"~ConvertCore*", "DirectShow*"}, QDir::Files);
}

// A row of a file that is no video at all: its job fails at once.
QString appendBrokenFile(BatchSetup &s)
{
    const QString bad = s.inFolder + "/bad.mp4";
    writeFile(bad, QByteArray(4096, 'x'));
    TFileItem item;
    item.FileName = "bad.mp4";
    item.Directory = s.inFolder + "/";
    item.CompleteName = bad;
    item.FileSize = "4096";
    s.list->sources().append(item);
    return bad;
}

int busyLines(const TfrmProgress &w)
{
    int busy = 0;
    for (int slot = 0; slot < w.jobSlots(); ++slot)
        busy += w.JobName(slot)->text().isEmpty() ? 0 : 1;
    return busy;
}

} // namespace

TEST(BatchParallel, SixClipsWithTwoAndThreeJobsConvertAsWithOne)
{
    for (const int jobs : {2, 3}) {
        SCOPED_TRACE(jobs);
        BatchSetup s;
        globals().SimultaneousJobs = quint8(jobs);
        globals().DeleteFileAfterProcessing = true;
        QDir().mkpath(s.inFolder + "/other");
        QStringList sources;
        for (const char *name : {"a.mp4", "b.avi", "c.mp4", "d.mp4", "e.avi"})
            sources << s.addCopy(clip(), name);
        // The same name from another folder: it must not take a's output.
        sources << s.addCopy(clip(), "other/a.avi");

        int startedAtOnce = 0, lines = 0;
        QStringList scriptsAtStart;
        QString batchText;
        QObject::connect(s.driver.get(), &BatchDriver::batchStarted, [&](TfrmProgress *w) {
            startedAtOnce = busyLines(*w);
            lines = w->jobSlots();
            scriptsAtStart = scripts(s);
            QObject::connect(w, &QDialog::finished,
                             [&, w] { batchText = w->LabelBatch()->text(); });
        });
        s.run(s.preset("3GPP_Phone.ini"));

        EXPECT_EQ(lines, jobs);
        EXPECT_EQ(startedAtOnce, jobs);
        // Each job has its own script; the first keeps the plain name.
        EXPECT_TRUE(scriptsAtStart.contains("~ConvertCore.bat"));
        EXPECT_TRUE(scriptsAtStart.contains("~ConvertCore-2.bat"));
        EXPECT_EQ(scriptsAtStart.contains("~ConvertCore-3.bat"), jobs == 3);
        EXPECT_EQ(batchText, u"Batch=100%");
        EXPECT_TRUE(s.rows().isEmpty());
        EXPECT_EQ(s.driver->queue().counts().done, 6);
        EXPECT_TRUE(s.script->asked.isEmpty()) << s.script->asked.value(0).text.toStdString();
        QStringList outputs = QDir(s.outFolder).entryList(QDir::Files);
        outputs.sort();
        EXPECT_EQ(outputs, QStringList({"a (2).3gp", "a.3gp", "b.3gp", "c.3gp", "d.3gp", "e.3gp"}));
        for (const QString &name : outputs) {
            const Probe p = probe(s.outFolder + "/" + name);
            EXPECT_EQ(p.videoCodec(), u"h263") << name.toStdString();
            EXPECT_NEAR(p.format["duration"].toString().toDouble(), 3.0, 0.2) << name.toStdString();
        }
        for (const QString &source : sources)
            EXPECT_FALSE(QFileInfo::exists(source)) << source.toStdString(); // in the trash
        EXPECT_TRUE(scripts(s).isEmpty()) << scripts(s).join(", ").toStdString();
        globals().SimultaneousJobs = 1;
    }
}

TEST(BatchParallel, AFailedJobGoesToTheEndWhileTheOthersConvert)
{
    BatchSetup s;
    globals().SimultaneousJobs = 3;
    const QString bad = appendBrokenFile(s);
    QStringList good;
    for (const char *name : {"a.mp4", "b.mp4", "c.mp4", "d.mp4"})
        good << s.addCopy(clip(), name);
    s.run(s.preset("3GPP_Phone.ini"));
    globals().SimultaneousJobs = 1;

    EXPECT_EQ(s.rows(), QStringList{bad});
    EXPECT_EQ(s.driver->queue().counts().done, 4);
    EXPECT_EQ(s.driver->queue().counts().failed, 1);
    // One box for the failure, then the offer of the failure log.
    ASSERT_EQ(s.script->asked.size(), 2);
    EXPECT_EQ(s.script->asked[0].caption, msg(Msg::MSG_ERROR));
    EXPECT_EQ(s.script->asked[1].text, msg(Msg::MSG_ANERROROCCURRED));
    // The log holds the one failure.
    EXPECT_TRUE(s.driver->failures().text().startsWith(bad + "\n"));
    EXPECT_FALSE(s.driver->failures().text().contains("\n\n"));
    for (const QString &source : good)
        EXPECT_TRUE(QFileInfo::exists(s.outFolder + "/" +
                                      orm::ExtractFileName(source).replace(".mp4", ".3gp")));
    EXPECT_FALSE(QFileInfo::exists(s.outFolder + "/bad.3gp"));
}

TEST(BatchParallel, WhenDoneFinishesTheRunningJobsAndStopNowEndsThemAll)
{
    BatchSetup s;
    globals().SimultaneousJobs = 2;
    QStringList sources;
    for (const char *name : {"a.mp4", "b.mp4", "c.mp4", "d.mp4", "e.mp4"})
        sources << s.addCopy(clip(), name);
    const TProfileDetailItem slow = s.slowPreset();

    // "When done" while both jobs run: exactly those two convert.
    s.whileRunning([&](TfrmProgress &w) {
        if (w.JobBar(0)->value() < 5 || w.JobBar(1)->value() < 5)
            return false;
        s.script->answers = {orm::IdNo};
        w.ButtonCancel()->click();
        return true;
    });
    s.run(slow);
    EXPECT_EQ(s.driver->lastModalResult(), 1);
    EXPECT_EQ(s.driver->queue().counts().done, 2);
    EXPECT_EQ(s.rows(), sources.mid(2));
    EXPECT_TRUE(QFileInfo::exists(s.outFolder + "/a.3gp"));
    EXPECT_TRUE(QFileInfo::exists(s.outFolder + "/b.3gp"));

    // "Stop now" while two of the rest run: no encoder, no script, no
    // half-written output is left, and every row stays.
    // The first batch's window, whose deletion was deferred, goes while this
    // batch runs: it must not stop it.
    bool bothRan = false;
    s.script->asked.clear();
    s.whileRunning([&](TfrmProgress &w) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (w.JobBar(0)->value() < 5 || w.JobBar(1)->value() < 5)
            return false;
        bothRan = busyLines(w) == 2 && encoderRunning(s.appFolder);
        s.script->answers = {orm::IdYes};
        w.ButtonCancel()->click();
        return true;
    });
    s.run(slow);
    globals().SimultaneousJobs = 1;
    EXPECT_TRUE(bothRan);
    EXPECT_EQ(s.driver->lastModalResult(), 2);
    EXPECT_TRUE(waitFor([&] { return !encoderRunning(s.appFolder); }, 5000));
    EXPECT_TRUE(scripts(s).isEmpty()) << scripts(s).join(", ").toStdString();
    EXPECT_EQ(QDir(s.outFolder).entryList(QDir::Files | QDir::Hidden),
              QStringList({"a.3gp", "b.3gp"}));
    EXPECT_EQ(s.rows(), sources.mid(2));
    EXPECT_FALSE(s.driver->Active());
}

TEST(BatchParallel, WithdrawingWhenDoneFillsTheSlotsThatWentIdle)
{
    BatchSetup s;
    globals().SimultaneousJobs = 2;
    const QString bad = appendBrokenFile(s);
    for (const char *name : {"slow.mp4", "c.mp4"})
        s.addCopy(clip(), name);

    // "When done" before any job has ended: the broken file's job fails at
    // once and leaves its slot idle while the slow one runs on.
    QObject::connect(s.driver.get(), &BatchDriver::batchStarted, [&](TfrmProgress *w) {
        s.script->answers = {orm::IdNo};
        w->ButtonCancel()->click();
    });
    bool refilled = false;
    s.whileRunning([&](TfrmProgress &w) {
        if (busyLines(w) != 1)
            return false;
        s.script->answers = {orm::IdCancel}; // withdraws "When done"
        w.ButtonCancel()->click();
        refilled = waitFor([&] { return busyLines(w) == 2; }, 1000);
        return true;
    });
    s.run(s.slowPreset());
    globals().SimultaneousJobs = 1;

    EXPECT_TRUE(refilled);
    EXPECT_EQ(s.driver->queue().counts().done, 2);
    EXPECT_EQ(s.driver->queue().counts().failed, 1);
    EXPECT_EQ(s.rows(), QStringList{bad});
}

// A batch and Cordane runs from one program folder, and a second Cordane
// started while the first converts: each converts its own input. The test
// encoder copies its input, and every input differs in its last bytes.
TEST(BatchParallel, ProgramsInOneFolderEachConvertTheirOwnInput)
{
    constexpr int kRounds = 20;
    BatchSetup s(BatchSetup::Encoder::Test, "--copy-input --steps=10 --interval-ms=60");
    for (const char *program : {"Cordane", "lanthorn-stub"})
        QFile::copy(stageDir() + "/" + program, s.appFolder + "/" + program);
    QDir(s.appFolder).mkpath("lang");
    for (const QString &file : QDir(stageDir() + "/lang").entryList(QDir::Files))
        QFile::copy(stageDir() + "/lang/" + file, s.appFolder + "/lang/" + file);
    writeFile(s.appFolder + "/default_setting/cordane.ini",
              "[Item0]\nCommand=<%AppPath%>cores/avcore.dll -y -i \"<%InputFile%>\" --copy-input "
              "--steps=10 --interval-ms=100 \"<%OutputFile%>.mp4\"\n");
    const QByteArray media = readFile(clip());
    const auto input = [&](const QString &path, const QByteArray &mark) {
        writeFile(path, media + mark);
        return path;
    };
    for (int i = 0; i < kRounds; ++i) {
        const QString name = QString("b%1.mp4").arg(i);
        input(s.inFolder + "/" + name, "batch " + QByteArray::number(i));
        ASSERT_EQ(s.list->AddFile(s.inFolder + "/" + name), AddResult::Added);
    }
    QDir(s.dir.path()).mkpath("c");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("ORM_ANSWER_DIALOGS", "1");
    const auto startStub = [&](const QString &in, const QString &out) {
        auto stub = std::make_unique<QProcess>();
        stub->setProcessEnvironment(env);
        stub->setProcessChannelMode(QProcess::MergedChannels);
        stub->start(s.appFolder + "/lanthorn-stub",
                    {"--profile", "default_setting\\cordane.ini", in, out});
        return stub;
    };
    // A round: one Cordane, and a second once the first's encoder writes.
    int round = 0;
    QStringList results;
    const auto cordaneRound = [&] {
        const QString c = s.dir.filePath("c/") + QString::number(round);
        auto first =
            startStub(input(c + "a.in", "first " + QByteArray::number(round)), c + "a.mp4");
        waitFor(
            [&] {
                return !QDir(s.dir.filePath("c"))
                            .entryList({".orm-*"}, QDir::Hidden | QDir::Files)
                            .isEmpty();
            },
            20000);
        auto second =
            startStub(input(c + "b.in", "second " + QByteArray::number(round)), c + "b.mp4");
        for (QProcess *stub : {first.get(), second.get()}) {
            EXPECT_TRUE(stub->waitForFinished(60000));
            results << QString::fromUtf8(stub->readAll());
        }
        ++round;
    };
    s.whileRunning([&](TfrmProgress &) {
        cordaneRound();
        return round == kRounds;
    });
    s.run(s.preset("test.ini"));
    while (round < kRounds)
        cordaneRound();

    EXPECT_EQ(s.driver->queue().counts().done, kRounds);
    for (int i = 0; i < kRounds; ++i) {
        EXPECT_EQ(readFile(s.outFolder + QString("/b%1.mp4").arg(i)),
                  media + "batch " + QByteArray::number(i))
            << i;
        const QString c = s.dir.filePath("c/") + QString::number(i);
        EXPECT_EQ(readFile(c + "a.mp4"), media + "first " + QByteArray::number(i)) << i;
        EXPECT_EQ(readFile(c + "b.mp4"), media + "second " + QByteArray::number(i)) << i;
    }
    for (const QString &result : results)
        EXPECT_TRUE(result.contains("RipResult=Convert Complete!")) << result.toStdString();
}
