// The file information window driven on the offscreen platform.
#include "sourceclips.h"
#include "sources/filedialogs.h"
#include "sources/listviewfiles.h"
#include "sources/mediainfodll.h"
#include "sources/sourcelist.h"
#include "sources/sourcelistmodel.h"
#include "sources/tfrmfileinfo.h"
#include "support/apps.h"
#include "support/scriptedinteraction.h"
#include "support/testfiles.h"

#include <QApplication>
#include <QFontInfo>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace marbeck;
using namespace ormtest;

namespace {

QApplication &app()
{
    return ormtest::testApp<QApplication>();
}

struct SeenWindow {
    bool opened = false;
    QString caption;
    QString report;
    QSize size;
};

// Runs `action`; the first modal window it opens is looked at and closed with OK.
SeenWindow whileModal(const std::function<void()> &action)
{
    SeenWindow seen;
    QTimer::singleShot(0, [&] {
        auto *window = qobject_cast<TfrmFileInfo *>(QApplication::activeModalWidget());
        if (!window)
            return;
        seen.opened = true;
        seen.caption = window->windowTitle();
        seen.report = window->MemoInfo()->toPlainText();
        seen.size = window->size();
        window->btnOK()->click();
    });
    action();
    QCoreApplication::processEvents();
    return seen;
}

class SaveFileScript {
public:
    std::optional<QString> answer;
    QList<SaveFileRequest> requests;
    SaveFileScript()
    {
        m_previous = setSaveFileHook([this](const SaveFileRequest &r) {
            requests << r;
            return answer;
        });
    }
    ~SaveFileScript() { setSaveFileHook(m_previous); }

private:
    SaveFileHook m_previous;
};

} // namespace

TEST(FileInfoWindow, ShowsTheReportOfTheFirstSelectedRow)
{
    app();
    QTemporaryDir dir;
    const QString first = dir.filePath("first clip.avi");
    const QString second = dir.filePath("second.mp4");
    writeFile(first, readFile(mpeg4Mp3Avi()));
    writeFile(second, readFile(h264AacMp4()));

    ListViewFiles view;
    view.sources().append(ProbeFile(second));
    view.sources().append(ProbeFile(first));
    view.sources().append(ProbeFile(second));
    view.show();
    // Selected last row first, so the order of selecting does not count.
    view.selectionModel()->select(view.sources().index(2, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view.selectionModel()->select(view.sources().index(1, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    ASSERT_TRUE(view.ActionMoreInformation()->isEnabled());

    // Left on by someone else, the complete report has many more lines; the
    // window asks for the ordinary one.
    MediaInfoLibrary::shared().option("Complete", "1");
    const QString complete = MediaInfoFile(first).inform();

    const SeenWindow seen = whileModal([&] { view.ActionMoreInformation()->trigger(); });
    ASSERT_TRUE(seen.opened);
    EXPECT_EQ(seen.caption, "File Information - first clip.avi");
    EXPECT_TRUE(seen.report.contains(first)) << seen.report.toStdString();
    EXPECT_TRUE(seen.report.contains("MPEG-4 Visual"));
    EXPECT_TRUE(seen.report.contains("MPEG Audio"));
    EXPECT_FALSE(seen.report.contains(second));
    EXPECT_FALSE(seen.report.contains("\r"));
    EXPECT_EQ(seen.size, QSize(400, 262));
    EXPECT_LT(seen.report.count('\n') * 3 / 2, complete.count('\n'));
    MediaInfoLibrary::shared().option("Complete", "");
}

TEST(FileInfoWindow, AFileThatVanishedOpensNoWindow)
{
    app();
    QTemporaryDir dir;
    const QString path = dir.filePath("brief.mp4");
    writeFile(path, readFile(h264AacMp4()));
    ListViewFiles view;
    view.sources().append(ProbeFile(path));
    view.SelectItem(0);
    QFile::remove(path);
    const SeenWindow seen = whileModal([&] { view.ActionMoreInformation()->trigger(); });
    EXPECT_FALSE(seen.opened);
}

TEST(FileInfoWindow, ButtonsStayCentredAndTheWindowKeepsItsMinimum)
{
    app();
    TfrmFileInfo window;
    window.show();
    EXPECT_EQ(window.minimumSize(), QSize(400, 250));
    EXPECT_EQ(window.btnOK()->size(), QSize(97, 25));
    EXPECT_EQ(window.btnSave()->size(), QSize(233, 25));
    EXPECT_EQ(window.PanelBottom()->height(), 40);
    EXPECT_TRUE(window.MemoInfo()->isReadOnly());
    EXPECT_TRUE(QFontInfo(window.MemoInfo()->font()).fixedPitch());
    EXPECT_EQ(window.btnOK()->text(), "OK");
    EXPECT_EQ(window.btnSave()->text(), "Save File Info...");

    for (const QSize size : {QSize(400, 262), QSize(733, 400), QSize(1001, 300)}) {
        window.resize(size);
        QCoreApplication::processEvents();
        SCOPED_TRACE(size.width());
        const int left = window.btnOK()->x();
        const int right = window.btnSave()->x() + window.btnSave()->width();
        EXPECT_EQ(window.btnSave()->x(), left + 97 + 8);
        EXPECT_EQ(window.btnOK()->y(), 7);
        EXPECT_LE(std::abs(left - (window.PanelBottom()->width() - right)), 1);
        EXPECT_EQ(window.PanelBottom()->y(), window.height() - 40);
        EXPECT_EQ(window.MemoInfo()->height(), window.height() - 40);
    }
    window.resize(100, 100);
    QCoreApplication::processEvents();
    EXPECT_GE(window.width(), 400);
    EXPECT_GE(window.height(), 250);
}

TEST(FileInfoWindow, EnterClosesTheWindowThroughOK)
{
    app();
    TfrmFileInfo window;
    window.MemoInfo()->setPlainText("General\nFormat : AVI\n");
    QTimer::singleShot(0, [&] {
        window.MemoInfo()->setFocus();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(window.MemoInfo(), &press);
    });
    EXPECT_EQ(window.exec(), QDialog::Accepted);
    EXPECT_EQ(window.MemoInfo()->toPlainText(), "General\nFormat : AVI\n");
}

TEST(FileInfoWindow, SavingWritesTheReportLineByLine)
{
    app();
    QTemporaryDir dir;
    const QString clip = dir.filePath("clip.avi");
    writeFile(clip, readFile(mpeg4Mp3Avi()));
    TfrmFileInfo window;
    window.LoadReport(clip);
    const QString report = window.MemoInfo()->toPlainText();
    ASSERT_TRUE(report.contains("clip.avi"));

    SaveFileScript dialog;
    ScriptedScope script;
    dialog.answer = dir.filePath("report.txt");
    writeFile(*dialog.answer, "an older report that is much longer than nothing at all");
    window.btnSave()->click();
    ASSERT_EQ(dialog.requests.size(), 1);
    EXPECT_EQ(dialog.requests.at(0).filter, "Text Files (*.txt);;All Files (*.*)");
    EXPECT_EQ(dialog.requests.at(0).fileName, "File Info");
    EXPECT_EQ(dialog.requests.at(0).defaultSuffix, "txt");
    const QString saved = QString::fromUtf8(readFile(*dialog.answer));
    QStringList lines = report.split('\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    EXPECT_EQ(saved, lines.join('\n') + '\n');
    EXPECT_TRUE(script->asked.isEmpty());

    dialog.answer = std::nullopt; // cancelled: nothing written, nothing asked
    window.btnSave()->click();
    EXPECT_TRUE(script->asked.isEmpty());
}

TEST(FileInfoWindow, AFailedSaveIsReportedAndTheWindowStays)
{
    app();
    QTemporaryDir dir;
    TfrmFileInfo window;
    window.MemoInfo()->setPlainText("General\n");
    window.show();
    SaveFileScript dialog;
    ScriptedScope script;
    dialog.answer = dir.filePath("no such folder/report.txt");
    window.btnSave()->click();
    ASSERT_EQ(script->asked.size(), 1);
    EXPECT_EQ(script->asked.at(0).flags, 0x10u);
    EXPECT_TRUE(script->asked.at(0).text.contains("no such folder/report.txt"))
        << script->asked.at(0).text.toStdString();
    EXPECT_TRUE(window.isVisible());
}

TEST(FileInfoWindow, AFileTheLibraryCannotParseStillGivesAWindow)
{
    app();
    QTemporaryDir dir;
    const QString text = dir.filePath("words.avi");
    writeFile(text, "only words\n");
    TFileItem item = ProbeFile(text);
    const SeenWindow seen = whileModal([&] { ShowFileInformation(nullptr, item); });
    EXPECT_TRUE(seen.opened);
    EXPECT_EQ(seen.caption, "File Information - words.avi");
}
