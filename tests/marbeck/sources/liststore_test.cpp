// The source list on disk: written after changes, read back in its order with
// the interrupted rows first, damaged files set aside, and the lock that
// keeps a second program off a list that a running one holds.
#include "platform/processes.h"
#include "sources/liststore.h"
#include "sources/sourcelistmodel.h"
#include "support/apps.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

using namespace marbeck;
using namespace ormtest;

namespace {

// A record for a file made in `dir`, every field filled so that a field
// lost on the way shows.
TFileItem madeSource(const QTemporaryDir &dir, const QString &name)
{
    const QString path = dir.filePath(name);
    writeFile(path, "x");
    TFileItem item;
    item.FileName = name;
    item.Directory = dir.path() + "/";
    item.CompleteName = path;
    int n = 0;
    for (QString TFileItem::*field :
         {&TFileItem::FileSize, &TFileItem::FileSizeText, &TFileItem::Format, &TFileItem::PlayTime,
          &TFileItem::AudioCount, &TFileItem::VideoCount, &TFileItem::VideoCodec, &TFileItem::Width,
          &TFileItem::Height, &TFileItem::VideoBitRate, &TFileItem::AspectRatio,
          &TFileItem::FrameRate, &TFileItem::AudioCodec, &TFileItem::AudioBitRate,
          &TFileItem::Channels, &TFileItem::SamplingRate, &TFileItem::Duration})
        item.*field = name + "#" + QString::number(++n);
    return item;
}

QStringList names(const SourceListModel &model)
{
    QStringList list;
    for (int row = 0; row < model.count(); ++row)
        list << model.item(row).FileName;
    return list;
}

bool sameItem(const TFileItem &a, const TFileItem &b)
{
    for (const SourceColumn &column : kSourceColumns) {
        if (a.*column.field != b.*column.field)
            return false;
    }
    return a.Directory == b.Directory && a.FileSize == b.FileSize && a.Duration == b.Duration;
}

} // namespace

TEST(ListStore, TheListComesBackInOrderWithTheInterruptedRowsFirstAndGoneSourcesDropped)
{
    testApp();
    QTemporaryDir dir;
    const QString file = dir.filePath("vuzu.list");
    // Names a line-based file could trip over.
    const QStringList sourceNames = {"a.avi",           "tab\there.avi", "line\nbreak.avi",
                                     "back\\slash.avi", "été 東京.mkv",  "gone.avi",
                                     "running.avi"};
    std::vector<TFileItem> made;
    {
        SourceListModel model;
        ListStore store(model, file);
        for (const QString &name : sourceNames) {
            made.push_back(madeSource(dir, name));
            model.append(made.back());
        }
        // Writes are coalesced: nothing yet, then one write a moment later.
        EXPECT_FALSE(QFileInfo::exists(file));
        store.setRowState(made[6].path(), ListRowState::Running);
        store.setRowState(made[1].path(), ListRowState::Failed);
        EXPECT_TRUE(waitFor([&] { return QFileInfo::exists(file); }, 2000));
        model.moveRowBefore(0, 3);                              // a b c | moved after the third
        model.removeRowSet({model.findSource(made[5].path())}); // leaves the list…
        model.append(made[5]);                                  // …and comes back at the end
        EXPECT_TRUE(store.flush());
    }
    QFile::remove(made[5].path()); // gone by the next start

    SourceListModel model;
    ListStore store(model, file);
    const ListStore::Restored restored = store.restore();
    EXPECT_TRUE(restored.damage.isEmpty()) << qPrintable(restored.damage);
    EXPECT_EQ(restored.rows, 6);
    EXPECT_EQ(restored.dropped, QStringList{made[5].path()});
    EXPECT_EQ(names(model), (QStringList{"running.avi", "tab\there.avi", "line\nbreak.avi", "a.avi",
                                         "back\\slash.avi", "été 東京.mkv"}));
    for (int row = 0; row < model.count(); ++row) {
        const auto it = std::find_if(made.begin(), made.end(), [&](const TFileItem &m) {
            return m.FileName == model.item(row).FileName;
        });
        EXPECT_TRUE(sameItem(model.item(row), *it)) << row;
    }
    // The interrupted job's row is stopped now; a failed row stays failed.
    EXPECT_EQ(store.rowState(made[6].path()), ListRowState::Stopped);
    EXPECT_EQ(store.rowState(made[1].path()), ListRowState::Failed);
    EXPECT_EQ(store.rowState(made[0].path()), ListRowState::Waiting);
}

TEST(ListStore, EveryCutOfASavedListIsRefusedAndOnlyTheWholeOneRead)
{
    QTemporaryDir dir;
    std::vector<SavedRow> rows;
    for (const char *name : {"one.avi", "two.avi", "three.avi"})
        rows.push_back({madeSource(dir, name), ListRowState::Waiting});
    const QByteArray whole = SerializeList(rows);
    ASSERT_TRUE(ParseList(whole));
    EXPECT_EQ(ParseList(whole)->size(), 3u);
    for (qsizetype length = 0; length < whole.size(); ++length)
        EXPECT_FALSE(ParseList(whole.left(length))) << length;

    // A list written before durations were kept still reads, without them.
    QByteArray older = "ormolux-list 1\nW";
    for (int field = 0; field < 19; ++field)
        older += field == 1 ? "\told.avi" : "\tx";
    const auto old = ParseList(older + "\nend 1\n");
    ASSERT_TRUE(old) << qPrintable(old.error());
    EXPECT_EQ(old->at(0).item.FileName, u"old.avi");
    EXPECT_TRUE(old->at(0).item.Duration.isEmpty());
}

TEST(ListStore, ADamagedFileIsSetAsideUnderANewNameAndTheListStartsEmpty)
{
    testApp();
    QTemporaryDir dir;
    const QString file = dir.filePath("vuzu.list");
    const QByteArray good = SerializeList({{madeSource(dir, "a.avi"), ListRowState::Waiting}});
    const struct {
        const char *what;
        QByteArray bytes;
    } cases[] = {
        {"truncated", good.left(good.size() - 4)},
        {"binary", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)},
        {"not UTF-8", QByteArray("ormolux-list 1\nW\t\xff\xfe\n")},
        {"another version", "ormolux-list 3\n" + good.mid(good.indexOf('\n') + 1)},
        {"a row with fields missing", QByteArray("ormolux-list 1\nW\tx\nend 1\n")},
        {"empty", QByteArray()},
    };
    QStringList asideNames;
    for (const auto &c : cases) {
        writeFile(file, c.bytes);
        SourceListModel model;
        ListStore store(model, file);
        const ListStore::Restored restored = store.restore();
        EXPECT_FALSE(restored.damage.isEmpty()) << c.what;
        EXPECT_EQ(model.count(), 0) << c.what;
        EXPECT_FALSE(QFileInfo::exists(file)) << c.what;
        // Kept whole for the user, under a name that no earlier one had.
        EXPECT_EQ(readFile(restored.setAsideAs), c.bytes) << c.what;
        EXPECT_FALSE(asideNames.contains(restored.setAsideAs)) << c.what;
        asideNames << restored.setAsideAs;
    }
    EXPECT_EQ(asideNames.first(), file + ".damaged");
}

TEST(ListLock, OneProgramHoldsTheListUntilItEndsOrIsGone)
{
    testApp();
    QTemporaryDir dir;
    const QString path = dir.filePath("vuzu.list.lock");
    {
        // Two holders in one program: the second is refused while the first holds it.
        ListLock first(path), second(path);
        ASSERT_TRUE(first.acquire());
        EXPECT_FALSE(second.acquire());
        EXPECT_EQ(second.holder(), QCoreApplication::applicationPid());
        first.release();
        EXPECT_FALSE(QFileInfo::exists(path));
        EXPECT_TRUE(second.acquire());
    }
    EXPECT_FALSE(QFileInfo::exists(path)); // released as it went

    // Another running program holds it; once that program is gone, it is free.
    QProcess other;
    other.start("sleep", {"30"});
    ASSERT_TRUE(other.waitForStarted());
    const int pid = int(other.processId());
    const auto start = orm::platform::processStartTime(pid);
    ASSERT_TRUE(start);
    writeFile(path, QByteArray::number(pid) + " " + QByteArray::number(*start) + "\n");
    ListLock mine(path);
    EXPECT_FALSE(mine.acquire());
    EXPECT_EQ(mine.holder(), pid);
    other.kill();
    other.waitForFinished();
    EXPECT_TRUE(mine.acquire());
    mine.release();

    // A holder's id that now names another process, and a record cut short
    // by a kill, hold nothing.
    const auto self = orm::platform::processStartTime(int(QCoreApplication::applicationPid()));
    for (const QByteArray &stale : {QByteArray::number(QCoreApplication::applicationPid()) + " " +
                                        QByteArray::number(*self + 1) + "\n",
                                    QByteArray(), QByteArray("12")}) {
        writeFile(path, stale);
        ListLock lock(path);
        EXPECT_TRUE(lock.acquire()) << stale.constData();
    }
}
