// The source list view driven on the offscreen platform.
#include "lang/marbeckmessages.h"
#include "shared/ui/busycursor.h"
#include "shared/utilfuncs.h"
#include "sourceclips.h"
#include "sources/filedialogs.h"
#include "sources/listviewfiles.h"
#include "sources/sourcelistmodel.h"
#include "sources/typelists.h"
#include "support/apps.h"
#include "support/scriptedinteraction.h"
#include "support/testfiles.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

#include <atomic>

using namespace marbeck;
using namespace ormtest;

namespace {

QApplication &app()
{
    return ormtest::testApp<QApplication>();
}

TFileItem record(const QString &path)
{
    TFileItem item;
    item.FileName = orm::ExtractFileName(path);
    item.Directory = orm::ExtractFilePath(path);
    item.CompleteName = path;
    item.FileSize = "1000";
    item.Format = "AVI";
    return item;
}

// A shown list with rows r0, r1, ... (records only, no files behind them).
struct Fixture {
    struct ApplicationFirst {
        ApplicationFirst() { app(); }
    } applicationFirst;
    ListViewFiles view;
    QLabel status;
    explicit Fixture(int rows)
    {
        QObject::connect(&view, &ListViewFiles::statusChanged, &status, &QLabel::setText);
        view.UpdateStatus();
        for (int i = 0; i < rows; ++i)
            view.sources().append(record(QString("/videos/r%1.avi").arg(i)));
        view.resize(617, 200);
        view.show();
        QCoreApplication::processEvents();
    }
    QStringList captions() const
    {
        QStringList out;
        for (int row = 0; row < view.sources().count(); ++row)
            out << view.sources().item(row).FileName.chopped(4);
        return out;
    }
    void select(std::initializer_list<int> rows)
    {
        view.clearSelection();
        for (int row : rows)
            view.selectionModel()->select(view.sources().index(row, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
};

// A drag that enters the list at the first point, passes over every point
// and is let go at the last, as a mouse drag does.
bool dragAlong(ListViewFiles &view, QMimeData *data, const QList<QPoint> &path)
{
    QWidget *target = view.viewport();
    const auto actions = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(path.first(), actions, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    bool accepted = false;
    for (const QPoint &at : path) {
        QDragMoveEvent move(at, actions, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &move);
        accepted = move.isAccepted();
    }
    if (!accepted)
        return false;
    QDropEvent drop(QPointF(path.last()), actions, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

bool dropAt(ListViewFiles &view, QMimeData *data, QPoint at)
{
    return dragAlong(view, data, {at});
}

QPoint centreOfRow(const ListViewFiles &view, int row)
{
    return view.visualRect(view.sources().index(row, 0)).center();
}

QStringList copies(const QTemporaryDir &dir, const QStringList &names)
{
    const QByteArray clip = readFile(h264AacMp4());
    QStringList paths;
    for (const QString &name : names) {
        paths << dir.filePath(name);
        writeFile(paths.last(), clip);
    }
    return paths;
}

class OpenFilesScript {
public:
    std::optional<QStringList> answer;
    QList<OpenFilesRequest> requests;
    OpenFilesScript()
    {
        m_previous = setOpenFilesHook([this](const OpenFilesRequest &r) {
            requests << r;
            return answer;
        });
    }
    ~OpenFilesScript() { setOpenFilesHook(m_previous); }

private:
    OpenFilesHook m_previous;
};

} // namespace

TEST(ListViewFiles, EighteenColumnsWithTheirWidthsAndCaptions)
{
    Fixture f(0);
    const int widths[] = {150, 210, 150, 100, 100, 100, 100, 100, 100,
                          100, 100, 100, 100, 100, 100, 100, 100, 100};
    ASSERT_EQ(f.view.sources().columnCount(), 18);
    for (int column = 0; column < 18; ++column)
        EXPECT_EQ(f.view.columnWidth(column), widths[column]) << column;
    // The estimated size stands beside the file's own size.
    EXPECT_EQ(f.view.header()->visualIndex(kEstimatedSizeColumn), 4);
    EXPECT_EQ(f.view.header()->visualIndex(4), 5);
    const auto caption = [&](int column) {
        return f.view.sources().headerData(column, Qt::Horizontal).toString();
    };
    EXPECT_EQ(caption(0), "File Name");
    EXPECT_EQ(caption(1), "Format");
    EXPECT_EQ(caption(13), "Sampling Rate");
    EXPECT_EQ(caption(16), "Complete Name");
    EXPECT_EQ(caption(17), "Estimated Size");
    EXPECT_EQ(f.view.selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(f.view.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(f.view.editTriggers(), QAbstractItemView::NoEditTriggers);

    messages().LoadLanguage(stageDir() + "/Skins/tools/lang/french.ini");
    f.view.ApplyLanguage();
    const QString french = caption(0);
    const QString frenchAdd = f.view.ActionAddFiles()->text();
    messages().resetToEnglish();
    EXPECT_NE(french, "File Name");
    EXPECT_FALSE(french.isEmpty());
    EXPECT_NE(frenchAdd, "Add Files...");
    f.view.ApplyLanguage();
    EXPECT_EQ(caption(0), "File Name");
    EXPECT_EQ(f.view.ActionAddFiles()->text(), "Add Files...");
}

TEST(ListViewFiles, TheSizeColumnSpeaksTheListsLanguage)
{
    Fixture f(1);
    TFileItem big = record("/videos/big.avi");
    big.FileSize = QString::number(1288490189); // 1.2 GiB
    big.FileSizeText = "1.20 GiB";
    f.view.sources().append(big);
    const auto size = [&](int row) {
        return f.view.sources().data(f.view.sources().index(row, 3)).toString();
    };
    EXPECT_EQ(size(1), "1.20 GiB"); // the library's text until a language is set
    for (const auto &[language, small, large] :
         {std::tuple{"en", "1,000 bytes", "1.20 GiB"}, std::tuple{"fr", "1 000 octets", "1,20 Gio"},
          std::tuple{"de", "1.000 Bytes", "1,20 GiB"},
          std::tuple{"it", "1.000 byte", "1,20 GiB"}}) {
        f.view.setNumberLocale(QLocale(QString::fromLatin1(language)));
        EXPECT_EQ(size(0).simplified(), QString(small).simplified()) << language;
        EXPECT_EQ(size(1).simplified(), QString(large).simplified()) << language;
    }
    EXPECT_EQ(SizeText(150 * 1024 * 1024, QLocale("en")), "150 MiB"); // three digits

    // The estimate: the source's duration times the preset's fixed rate, blank
    // for a preset aimed at a quality and for a source of unknown length.
    const auto estimate = [&](int row) {
        return f.view.sources().data(f.view.sources().index(row, kEstimatedSizeColumn)).toString();
    };
    f.view.setNumberLocale(QLocale("en"));
    TFileItem minute = record("/videos/minute.avi");
    minute.Duration = "60000.000";
    f.view.sources().append(minute);
    f.view.sources().setOutputBitRate(76000); // 9,500 bytes a second
    EXPECT_EQ(estimate(2), "557 KiB");
    EXPECT_EQ(estimate(0), "");
    f.view.sources().setOutputBitRate(std::nullopt);
    EXPECT_EQ(estimate(2), "");
}

TEST(ListViewFiles, DeletingSelectsTheRowThatTookThePlaceOfTheFirstRemoved)
{
    {
        Fixture f(6);
        f.select({4, 2});
        f.view.ActionDelete()->trigger();
        EXPECT_EQ(f.captions(), QStringList({"r0", "r1", "r3", "r5"}));
        EXPECT_EQ(f.view.selectedRowList(), QList<int>({2}));
        EXPECT_EQ(f.view.currentIndex().row(), 2);
        EXPECT_EQ(f.status.text(), "4 files");
    }
    {
        Fixture f(4);
        f.select({2, 3});
        f.view.ActionDelete()->trigger();
        EXPECT_EQ(f.captions(), QStringList({"r0", "r1"}));
        EXPECT_EQ(f.view.selectedRowList(), QList<int>({1}));
        EXPECT_EQ(f.status.text(), "2 files");
    }
    {
        Fixture f(200); // scattered rows: the list is rebuilt in one step
        QItemSelection every;
        for (int row = 5; row < 200; row += 2)
            every.select(f.view.sources().index(row, 0), f.view.sources().index(row, 0));
        f.view.selectionModel()->select(every, QItemSelectionModel::ClearAndSelect |
                                                   QItemSelectionModel::Rows);
        f.view.ActionDelete()->trigger();
        EXPECT_EQ(f.view.sources().count(), 102);
        EXPECT_EQ(f.captions().mid(4, 3), QStringList({"r4", "r6", "r8"}));
        EXPECT_EQ(f.view.selectedRowList(), QList<int>({5}));
        EXPECT_EQ(f.view.currentIndex().row(), 5);
        EXPECT_EQ(f.view.columnWidth(1), 210);
        EXPECT_EQ(f.status.text(), "102 files");
    }
    {
        Fixture f(3);
        f.view.ActionSelectAll()->trigger();
        EXPECT_EQ(f.view.selectedRowList(), QList<int>({0, 1, 2}));
        f.view.ActionDelete()->trigger();
        EXPECT_EQ(f.view.sources().count(), 0);
        EXPECT_TRUE(f.view.selectedRowList().isEmpty());
        EXPECT_EQ(f.status.text(), "No files");
        f.view.ActionDeleteExecute(); // nothing selected: nothing happens
        EXPECT_EQ(f.status.text(), "No files");
    }
}

TEST(ListViewFiles, ActionsFollowTheListAndTheSelection)
{
    Fixture f(0);
    QAction convert("Convert Now");
    f.view.addRowsAction(&convert);
    const auto enabled = [&] {
        return QList<bool>(
            {f.view.ActionAddFiles()->isEnabled(), f.view.ActionDelete()->isEnabled(),
             f.view.ActionClearList()->isEnabled(), f.view.ActionSelectAll()->isEnabled(),
             f.view.ActionPlaySource()->isEnabled(),
             f.view.ActionOpenDestinationFolder()->isEnabled(),
             f.view.ActionOutputBrowse()->isEnabled(), f.view.ActionMoreInformation()->isEnabled(),
             convert.isEnabled()});
    };
    EXPECT_EQ(enabled(), QList<bool>({1, 0, 0, 0, 0, 1, 1, 0, 0}));
    f.view.sources().append(record("/videos/a.avi"));
    f.view.sources().append(record("/videos/b.avi"));
    EXPECT_EQ(enabled(), QList<bool>({1, 0, 1, 1, 0, 1, 1, 0, 1}));
    f.view.SelectItem(1);
    EXPECT_EQ(enabled(), QList<bool>({1, 1, 1, 1, 1, 1, 1, 1, 1}));
    f.view.setColumnWidth(2, 333); // the user's own width survives clearing
    f.view.ActionClearList()->trigger();
    EXPECT_EQ(enabled(), QList<bool>({1, 0, 0, 0, 0, 1, 1, 0, 0}));
    EXPECT_EQ(f.status.text(), "No files");
    EXPECT_EQ(f.view.columnWidth(1), 210);
    EXPECT_EQ(f.view.columnWidth(2), 333);

    QStringList menu;
    for (const QAction *a : f.view.PopupMenuListView()->actions()) {
        if (a->isVisible()) // Stop Adding shows only while files are being added
            menu << (a->isSeparator() ? "-" : a->text());
    }
    EXPECT_EQ(menu, QStringList({"Add Files...", "Add Folder...", "Open Destination Folder...", "-",
                                 "Delete", "Clear List", "-", "Convert Now", "-",
                                 "More Information..."}));
}

TEST(ListViewFiles, TheStatusLineCountsAfterEveryChange)
{
    Fixture f(1);
    EXPECT_EQ(f.status.text(), "One file");
    QStringList seen;
    QObject::connect(&f.view, &ListViewFiles::statusChanged, [&](const QString &t) { seen << t; });
    f.view.sources().append(record("/videos/x.avi"));
    EXPECT_EQ(f.status.text(), "2 files");
    EXPECT_TRUE(f.view.MoveSourceItemToEnd("/videos/r0.avi"));
    EXPECT_EQ(f.captions(), QStringList({"x", "r0"}));
    EXPECT_TRUE(f.view.RemoveSourceItem("/videos/x.avi"));
    EXPECT_EQ(f.status.text(), "One file");
    EXPECT_FALSE(f.view.RemoveSourceItem("/videos/x.avi"));
    EXPECT_EQ(seen.first(), "2 files");
    EXPECT_EQ(seen.last(), "One file");
}

TEST(ListViewFiles, ADraggedRowLandsBeforeTheRowItIsDroppedOn)
{
    Fixture f(5);
    f.view.setCurrentIndex(f.view.sources().index(3, 0));
    std::unique_ptr<QMimeData> data(f.view.dragData());
    EXPECT_TRUE(dropAt(f.view, data.get(), centreOfRow(f.view, 1)));
    EXPECT_EQ(f.captions(), QStringList({"r0", "r3", "r1", "r2", "r4"}));

    f.view.setCurrentIndex(f.view.sources().index(0, 0));
    EXPECT_TRUE(dropAt(f.view, data.get(), centreOfRow(f.view, 4)));
    EXPECT_EQ(f.captions(), QStringList({"r3", "r1", "r2", "r0", "r4"}));
    EXPECT_EQ(f.status.text(), "5 files");

    // Let go below the rows after passing over the last one: after it.
    f.view.setCurrentIndex(f.view.sources().index(1, 0));
    const QPoint last = centreOfRow(f.view, 4);
    const QPoint below(last.x(), f.view.viewport()->height() - 2);
    ASSERT_FALSE(f.view.indexAt(below).isValid());
    EXPECT_TRUE(dragAlong(f.view, data.get(), {centreOfRow(f.view, 2), last, below}));
    EXPECT_EQ(f.captions(), QStringList({"r3", "r2", "r0", "r4", "r1"}));
}

TEST(ListViewFiles, RowsFromAnotherListAreNotTaken)
{
    Fixture f(3);
    Fixture other(3);
    other.view.setCurrentIndex(other.view.sources().index(0, 0));
    f.view.setCurrentIndex(f.view.sources().index(2, 0));
    std::unique_ptr<QMimeData> foreign(other.view.dragData());
    EXPECT_FALSE(dropAt(f.view, foreign.get(), centreOfRow(f.view, 0)));
    EXPECT_EQ(f.captions(), QStringList({"r0", "r1", "r2"}));
}

TEST(ListViewFiles, ADroppedFolderAddsItsFilesInPlaceWhileTheWindowKeepsAnswering)
{
    QTemporaryDir dir;
    const QStringList files = copies(dir, {"one.mp4", "two with space.mp4"});
    const QString folder = dir.filePath("a folder.mp4");
    QDir().mkpath(folder + "/sub");
    copies(dir, {"a folder.mp4/inside.mp4", "a folder.mp4/sub/deeper.mp4",
                 "a folder.mp4/.hidden.mp4", "a folder.mp4/notes.txt"});

    Fixture f(1);
    f.view.setInputFileTypes({"Video=*.mp4;*.avi"});
    f.view.SelectItem(0);
    ScriptedScope script;
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(files.at(0)), QUrl::fromLocalFile(folder),
                  QUrl::fromLocalFile(files.at(1))});
    EXPECT_TRUE(dropAt(f.view, &data, centreOfRow(f.view, 0)));
    // The drop returns at once; the status line counts and Esc would stop it.
    EXPECT_TRUE(f.view.isAdding());
    EXPECT_EQ(f.status.text(), "Adding 0 of 4\u2026 (Esc stops)");
    EXPECT_TRUE(f.view.ActionStopAdding()->isEnabled());
    f.view.WaitForAdding();

    EXPECT_EQ(f.captions(), QStringList({"r0", "one", "inside", "deeper", "two with space"}));
    EXPECT_EQ(f.view.sources().item(2).VideoCodec, "AVC");
    EXPECT_EQ(f.view.selectedRowList(), QList<int>({0})); // the selection stays
    EXPECT_EQ(f.status.text(), "5 files");
    EXPECT_FALSE(f.view.ActionStopAdding()->isEnabled());
    EXPECT_TRUE(script->asked.isEmpty());

    // The same files again leave one row each.
    EXPECT_TRUE(dropAt(f.view, &data, centreOfRow(f.view, 0)));
    f.view.WaitForAdding();
    EXPECT_EQ(f.view.sources().count(), 5);
}

TEST(ListViewFiles, AddFolderAddsTheChosenFolderAndEscapeStopsAnAddition)
{
    QTemporaryDir dir;
    QStringList names;
    for (int i = 0; i < 40; ++i)
        names << QString("batch/part %1/clip%2.mp4").arg(i / 10).arg(i % 10);
    copies(dir, names);
    Fixture f(0);
    f.view.setInputFileTypes({"Video=*.mp4"});
    f.view.setInputFolder("/start/here/");
    QString inputFolder;
    QObject::connect(&f.view, &ListViewFiles::inputFolderChanged,
                     [&](const QString &folder) { inputFolder = folder; });
    ScriptedScope script;
    script->folders.push_back(std::nullopt); // cancelled: nothing happens
    f.view.ActionAddFolder()->trigger();
    EXPECT_FALSE(f.view.isAdding());
    EXPECT_TRUE(inputFolder.isEmpty());

    script->folders.push_back(dir.filePath("batch"));
    f.view.ActionAddFolder()->trigger();
    ASSERT_EQ(script->asked.size(), 2);
    EXPECT_EQ(script->asked.at(1).kind, Asked::Folder);
    EXPECT_EQ(inputFolder, dir.filePath("batch") + "/");
    f.view.WaitForAdding();
    ASSERT_EQ(f.view.sources().count(), 40);
    EXPECT_EQ(f.view.sources().item(39).path(), dir.filePath(names.last()));
    EXPECT_EQ(f.view.selectedRowList(), QList<int>({39}));

    // Escape while adding: the rows taken so far stay, no more come. The
    // files after the tenth wait at a gate until then.
    f.view.ActionClearList()->trigger();
    QStringList paths;
    for (const QString &name : names)
        paths << dir.filePath(name);
    const QSet<QString> held(paths.begin() + 10, paths.end());
    std::atomic<bool> open{false};
    f.view.adder().setProbe([&](const QString &path) {
        while (held.contains(path) && !open)
            QThread::msleep(1);
        return ProbeFile(path);
    });
    f.view.BeginAdding(paths);
    QElapsedTimer deadline;
    deadline.start();
    while (f.view.sources().count() < 10 && deadline.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_TRUE(f.view.ActionStopAdding()->isVisible());
    EXPECT_EQ(f.status.text(), "Adding 10 of 40\u2026 (Esc stops)");
    f.view.activateWindow();
    QTest::keyClick(&f.view, Qt::Key_Escape);
    open = true;
    EXPECT_FALSE(f.view.isAdding());
    const int kept = f.view.sources().count();
    EXPECT_EQ(kept, 10);
    QCoreApplication::processEvents();
    QThread::msleep(50);
    QCoreApplication::processEvents();
    EXPECT_EQ(f.view.sources().count(), kept);
    EXPECT_EQ(f.status.text(), QString("%1 files").arg(kept));

    // Clear List while adding stops the adding too.
    f.view.BeginAdding(paths);
    EXPECT_TRUE(f.view.isAdding());
    f.view.ActionClearList()->trigger();
    EXPECT_FALSE(f.view.isAdding());
    QCoreApplication::processEvents();
    QThread::msleep(30);
    QCoreApplication::processEvents();
    EXPECT_EQ(f.view.sources().count(), 0);
    EXPECT_EQ(f.status.text(), "No files");
}

TEST(ListViewFiles, ADroppedPathLongerThan255CharactersIsTakenWhole)
{
    QTemporaryDir dir;
    QString name =
        QString(100, u'a') + "/" + QString(100, u'b') + "/" + QString(80, u'c') + "/clip.mp4";
    const QString path = copies(dir, {name}).first();
    ASSERT_GT(path.size(), 255);
    Fixture f(0);
    f.view.setInputFileTypes({"Video=*.mp4"});
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    ScriptedScope script;
    EXPECT_TRUE(dropAt(f.view, &data, QPoint(20, 40)));
    f.view.WaitForAdding();
    ASSERT_EQ(f.view.sources().count(), 1);
    EXPECT_EQ(f.view.sources().item(0).CompleteName, path);
}

TEST(ListViewFiles, AddFilesSelectsTheLastRowAndRemembersTheFirstFolder)
{
    QTemporaryDir dir;
    QTemporaryDir other;
    const QStringList here = copies(dir, {"a.mp4", "b.mp4", "c.mp4"});
    const QString elsewhere = copies(other, {"d.mp4"}).first();
    Fixture f(1);
    f.view.setInputFileTypes({"Video=*.mp4"});
    f.view.setInputFolder("/start/here/");
    QString inputFolder;
    QObject::connect(&f.view, &ListViewFiles::inputFolderChanged,
                     [&](const QString &folder) { inputFolder = folder; });
    f.view.setOpenFilter("AVI Files (*.avi;*.divx)|*.avi;*.divx|All Files|*.*");
    OpenFilesScript dialog;
    ScriptedScope script;

    dialog.answer = QStringList{here.at(1), here.at(0), elsewhere};
    f.view.ActionAddFiles()->trigger();
    f.view.WaitForAdding();
    EXPECT_EQ(f.captions(), QStringList({"r0", "b", "a", "d"}));
    EXPECT_EQ(f.view.selectedRowList(), QList<int>({3}));
    EXPECT_EQ(inputFolder, dir.path() + "/"); // the first name's folder
    ASSERT_EQ(dialog.requests.size(), 1);
    EXPECT_EQ(dialog.requests.at(0).startFolder, "/start/here/");
    EXPECT_EQ(dialog.requests.at(0).filter, "AVI Files (*.avi *.divx);;All Files (*.*)");
    EXPECT_EQ(dialog.requests.at(0).owner, f.view.window());

    dialog.answer = QStringList{elsewhere};
    f.view.ActionAddFiles()->trigger(); // already listed: no new row
    f.view.WaitForAdding();
    EXPECT_EQ(dialog.requests.at(1).startFolder, dir.path() + "/");
    EXPECT_EQ(dialog.requests.at(1).fileName, ""); // cleared after three names
    EXPECT_EQ(inputFolder, other.path() + "/");
    EXPECT_EQ(f.view.sources().count(), 4);
    dialog.answer = QStringList{here.at(2)};
    f.view.ActionAddFiles()->trigger();
    f.view.WaitForAdding();
    EXPECT_EQ(dialog.requests.at(2).fileName, "d.mp4");
    EXPECT_EQ(f.captions(), QStringList({"r0", "b", "a", "d", "c"}));

    dialog.answer = std::nullopt; // cancelled: nothing changes
    f.view.SelectItem(0);
    f.view.ActionAddFiles()->trigger();
    f.view.WaitForAdding();
    EXPECT_EQ(f.view.selectedRowList(), QList<int>({0}));
    EXPECT_EQ(inputFolder, dir.path() + "/");
    EXPECT_TRUE(script->asked.isEmpty());
}

TEST(ListViewFiles, PlayOpenAndBrowseGoThroughTheShell)
{
    QTemporaryDir dir;
    Fixture f(3);
    // The main window's output box, as the main window binds it.
    QLineEdit edit;
    QString outputPath;
    QObject::connect(&edit, &QLineEdit::textChanged, &f.view, &ListViewFiles::setOutputFolderText);
    QObject::connect(&f.view, &ListViewFiles::outputFolderChanged, [&](const QString &folder) {
        outputPath = folder;
        edit.setText(folder);
    });
    ScriptedScope script;

    f.select({2, 1});
    f.view.ActionPlaySource()->trigger();
    ASSERT_EQ(script->asked.size(), 1);
    EXPECT_EQ(script->asked.at(0).kind, Asked::ShellOpen);
    EXPECT_EQ(script->asked.at(0).text, "/videos/r1.avi");

    script->asked.clear();
    edit.setText("  ");
    f.view.ActionOpenDestinationFolder()->trigger();
    ASSERT_EQ(script->asked.size(), 1);
    EXPECT_EQ(script->asked.at(0).text, "You must choose an output folder first!");

    script->asked.clear();
    edit.setText(dir.path());
    f.view.ActionOpenDestinationFolder()->trigger();
    ASSERT_EQ(script->asked.size(), 1);
    EXPECT_EQ(script->asked.at(0).kind, Asked::ShellOpen);
    EXPECT_EQ(script->asked.at(0).text, dir.path());
    EXPECT_EQ(outputPath, dir.path());

    script->asked.clear();
    f.view.setOutputPath("/old/out");
    script->folders = {std::nullopt, QString("/new/out")};
    f.view.ActionOutputBrowse()->trigger(); // cancelled
    EXPECT_EQ(edit.text(), dir.path());
    f.view.ActionOutputBrowse()->trigger();
    EXPECT_EQ(edit.text(), "/new/out");
    EXPECT_EQ(outputPath, "/new/out");
    ASSERT_EQ(script->asked.size(), 2);
    EXPECT_EQ(script->asked.at(0).kind, Asked::Folder);
    EXPECT_EQ(script->asked.at(0).text, "/old/out");
    EXPECT_EQ(script->asked.at(0).caption, "Please select a folder!");
    EXPECT_EQ(script->asked.at(0).flags, 65u);
}
