// Adding in the background: real files probed by the media library on the
// worker threads, taken in order on the test's thread.
#include "shared/error.h"
#include "shared/utilfuncs.h"
#include "sourceclips.h"
#include "sources/sourceadder.h"
#include "sources/sourcelistmodel.h"
#include "support/apps.h"
#include "support/scriptedinteraction.h"
#include "support/testfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <set>

using namespace marbeck;
using namespace ormtest;

namespace {

const QStringList kTypes = {"Video=*.mp4;*.avi;*.mkv"};

QStringList namesOf(const SourceListModel &list)
{
    QStringList names;
    for (int row = 0; row < list.count(); ++row)
        names << list.item(row).FileName;
    return names;
}

// Copies of a real clip under `names`, in that order.
QStringList clipCopies(const QTemporaryDir &dir, const QStringList &names)
{
    const QByteArray clip = readFile(h264AacMp4());
    QStringList paths;
    for (const QString &name : names) {
        paths << dir.filePath(name);
        QDir().mkpath(orm::ExtractFilePath(paths.last()));
        writeFile(paths.last(), clip);
    }
    return paths;
}

} // namespace

TEST(SourceAdder, RowsKeepTheGivenOrderAndTheRulesAndBoxesOfAddFile)
{
    testApp();
    QTemporaryDir dir;
    // Names whose order is neither alphabetical nor the order of creation.
    QStringList names;
    for (int i = 0; i < 90; ++i)
        names << QString("clip%1.mp4").arg((i * 37) % 90, 2, 10, QChar('0'));
    QStringList paths = clipCopies(dir, names);
    writeFile(dir.filePath("notes.txt"), "text");
    const QString noName = clipCopies(dir, {"noname.mp4"}).first();
    const QString noSize = clipCopies(dir, {"nosize.mp4"}).first();
    // The library's two refusals cannot be provoked with a real file here:
    // the real probe with the field cleared stands in for them.
    std::atomic<int> probes{0};
    std::set<Qt::HANDLE> threads;
    QMutex threadsMutex;
    const ProbeFunction probe = [&](const QString &path) {
        ++probes;
        {
            QMutexLocker lock(&threadsMutex);
            threads.insert(QThread::currentThreadId());
        }
        TFileItem item = ProbeFile(path);
        if (path == noName)
            item.CompleteName.clear();
        if (path == noSize)
            item.FileSize.clear();
        return item;
    };

    QStringList given = paths;
    given.insert(10, dir.filePath("absent.mp4"));
    given.insert(20, dir.filePath("notes.txt"));
    given.insert(30, paths.at(3)); // a duplicate
    given.insert(40, noSize);
    given.insert(50, noName);

    SourceListModel list;
    SourceAdder adder(list);
    adder.setInputFileTypes(kTypes);
    adder.setProbe(probe);
    adder.setThreadCount(3);
    QList<AddResult> results;
    QStringList taken;
    QObject::connect(&adder, &SourceAdder::fileTaken, [&](const QString &path, AddResult r) {
        taken << path;
        results << r;
    });
    QList<int> done;
    int lastTotal = 0;
    const auto counting = QObject::connect(&adder, &SourceAdder::progress, [&](int d, int total) {
        done << d;
        lastTotal = total;
    });
    ScriptedScope script;
    adder.add(given.mid(0, 60));
    adder.add(given.mid(60)); // joins the running queue
    EXPECT_TRUE(adder.isBusy());
    adder.waitUntilDone();

    EXPECT_FALSE(adder.isBusy());
    EXPECT_EQ(namesOf(list), names);
    // Every record is what one probe on this thread gives: the threads'
    // library handles did not mix their answers.
    const TFileItem reference = ProbeFile(paths.first());
    EXPECT_EQ(reference.VideoCodec, "AVC");
    for (int row = 0; row < list.count(); ++row) {
        const TFileItem &item = list.item(row);
        for (const SourceColumn &column : kSourceColumns) {
            if (column.field != &TFileItem::FileName && column.field != &TFileItem::CompleteName) {
                EXPECT_EQ(item.*column.field, reference.*column.field) << row;
            }
        }
        EXPECT_EQ(item.CompleteName, item.path());
    }
    EXPECT_EQ(taken, given);
    EXPECT_EQ(results.count(AddResult::Added), 90);
    EXPECT_EQ(results.at(10), AddResult::Missing);
    EXPECT_EQ(results.at(20), AddResult::RefusedType);
    EXPECT_EQ(results.at(30), AddResult::Duplicate);
    EXPECT_EQ(results.at(40), AddResult::NoFileSize);
    EXPECT_EQ(results.at(50), AddResult::NoCompleteName);
    EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
    EXPECT_EQ(done.last(), given.size());
    EXPECT_EQ(lastTotal, given.size());
    QObject::disconnect(counting);
    // The boxes come in the order of the files, after the rows before them.
    ASSERT_EQ(script->asked.size(), 2);
    EXPECT_TRUE(script->asked.at(0).text.contains("\"" + noSize + "\" file size."));
    EXPECT_TRUE(script->asked.at(1).text.contains("\"" + noName + "\" complete name."));
    // Probed on the workers only; the missing file and the text file not at all.
    EXPECT_EQ(probes.load(), 93);
    EXPECT_FALSE(threads.count(QThread::currentThreadId()));

    // The same files again: every one a duplicate, nothing added.
    adder.add(paths);
    adder.waitUntilDone();
    EXPECT_EQ(list.count(), 90);
}

TEST(SourceAdder, CancelKeepsTheRowsAddedSoFarAndAddsNoMore)
{
    testApp();
    QTemporaryDir dir;
    QStringList names;
    for (int i = 0; i < 200; ++i)
        names << QString("f%1.mp4").arg(199 - i, 3, 10, QChar('0'));
    const QStringList paths = clipCopies(dir, names);
    const QSet<QString> held(paths.begin() + 20, paths.end());
    SourceListModel list;
    SourceAdder adder(list);
    adder.setInputFileTypes(kTypes);
    adder.setThreadCount(2);
    // The files after the twentieth wait at a gate, as on a slow disk: the
    // queue is surely still long when the user cancels.
    std::atomic<bool> open{false};
    adder.setProbe([&](const QString &path) {
        while (held.contains(path) && !open)
            QThread::msleep(1);
        return ProbeFile(path);
    });
    bool cancelled = false;
    QObject::connect(&adder, &SourceAdder::finished, [&](bool c) { cancelled = c; });
    adder.add(paths);
    QElapsedTimer deadline;
    deadline.start();
    while (list.count() < 20 && deadline.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    adder.cancel();
    open = true;
    EXPECT_TRUE(cancelled);
    EXPECT_FALSE(adder.isBusy());
    // The workers' late records are dropped, never added.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 100)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(namesOf(list), names.mid(0, 20));

    // A new run after a cancel starts afresh from its own first file.
    adder.add(paths.mid(20, 3));
    adder.waitUntilDone();
    EXPECT_EQ(namesOf(list), names.mid(0, 23));
}

TEST(SourceAdder, AFolderGivesItsAcceptedFilesAndThoseOfItsSubfoldersButNoHiddenOnes)
{
    testApp();
    QTemporaryDir dir;
    const QString root = dir.filePath("videos");
    clipCopies(dir,
               {"videos/b.mp4", "videos/A.avi", "videos/notes.txt", "videos/cover.jpg",
                "videos/.hidden.mp4", "videos/noext", "videos/sub/c.mkv", "videos/sub/deeper/d.mp4",
                "videos/.cache/e.mp4", "videos/a sub/f.mp4", "videos/empty/readme.txt"});
    // A linked folder pointing back up would never end; it is not followed.
    ASSERT_TRUE(QFile::link(root, root + "/loop"));
    const QStringList files = CollectFolderFiles(root, kTypes);
    QStringList relative;
    for (const QString &f : files)
        relative << QDir(root).relativeFilePath(f);
    EXPECT_EQ(relative,
              QStringList({"A.avi", "b.mp4", "a sub/f.mp4", "sub/c.mkv", "sub/deeper/d.mp4"}));
    EXPECT_TRUE(CollectFolderFiles(dir.filePath("absent"), kTypes).isEmpty());
    EXPECT_TRUE(CollectFolderFiles(root + "/b.mp4", kTypes).isEmpty()); // a file is no folder

    // Through the adder with the real library: every one becomes a row.
    SourceListModel list;
    SourceAdder adder(list);
    adder.setInputFileTypes(kTypes);
    adder.add(files);
    adder.waitUntilDone();
    EXPECT_EQ(namesOf(list), QStringList({"A.avi", "b.mp4", "f.mp4", "c.mkv", "d.mp4"}));
}

TEST(SourceAdder, ALibraryThatCannotProbeGivesOneBoxAndStopsTheQueue)
{
    testApp();
    QTemporaryDir dir;
    const QStringList paths = clipCopies(dir, {"a.mp4", "b.mp4", "c.mp4", "d.mp4"});
    SourceListModel list;
    SourceAdder adder(list);
    adder.setInputFileTypes(kTypes);
    adder.setProbe([](const QString &) -> TFileItem {
        throw orm::Error("The MediaInfo library cannot be loaded.");
    });
    bool cancelled = false;
    QObject::connect(&adder, &SourceAdder::finished, [&](bool c) { cancelled = c; });
    ScriptedScope script;
    adder.add(paths);
    adder.waitUntilDone();
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(list.count(), 0);
    ASSERT_EQ(script->asked.size(), 1);
    EXPECT_EQ(script->asked.at(0).text, "The MediaInfo library cannot be loaded.");
}
