// The progress window on the offscreen platform, its question answered
// through the interaction seam.
#include "engine/batchfigures.h"
#include "engine/tfrmprogress.h"
#include "lang/marbeckmessages.h"
#include "shared/progressmodel.h"
#include "support/apps.h"
#include "support/scriptedinteraction.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace marbeck;
using ormtest::ScriptedScope;

namespace {

QApplication &app()
{
    return ormtest::testApp<QApplication>();
}

void press(QWidget &w, int key)
{
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&w, &e);
}

} // namespace

TEST(TfrmProgress, EveryCloseRequestAsksAndOnlyStopNowCloses)
{
    app();
    ScriptedScope script;
    script->answers = {orm::IdCancel, orm::IdNo, orm::IdCancel, orm::IdNo, orm::IdYes};
    TfrmProgress w;
    int result = -1;
    QObject::connect(&w, &QDialog::finished, [&](int r) { result = r; });
    w.show();

    press(w, Qt::Key_Escape); // Cancel
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.StopWhenDone());

    press(w, Qt::Key_Return); // When done
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.StopWhenDone());
    EXPECT_TRUE(w.LabelStopWhenDone()->isVisibleTo(&w));

    w.ButtonCancel()->click(); // Cancel withdraws "When done"
    EXPECT_FALSE(w.StopWhenDone());
    EXPECT_FALSE(w.LabelStopWhenDone()->isVisibleTo(&w));

    w.close(); // the close box: When done
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.StopWhenDone());

    w.ButtonCancel()->click(); // Stop now
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(result, 2);

    ASSERT_EQ(script->asked.size(), 5);
    for (const auto &asked : script->asked) {
        EXPECT_EQ(asked.kind, ormtest::Asked::Choice);
        EXPECT_EQ(asked.text, msg(Msg::MSG_ABORTENCODING));
        EXPECT_EQ(asked.caption, msg(Msg::MSG_QUESTION));
    }
}

TEST(TfrmProgress, AFinishedBatchClosesWithResult1WithoutAQuestion)
{
    app();
    ScriptedScope script;
    TfrmProgress w;
    QTimer::singleShot(0, &w, [&] { w.FinishBatch(); });
    EXPECT_EQ(w.exec(), 1);
    EXPECT_TRUE(w.Finished());
    EXPECT_TRUE(script->asked.isEmpty());
}

TEST(TfrmProgress, SwitchesStartAsGivenAndReportEachChangeAtOnce)
{
    app();
    TfrmProgress w;
    w.setSwitches(false, true);
    EXPECT_FALSE(w.CheckBoxDelSource()->isChecked());
    EXPECT_TRUE(w.CheckBoxShutdown()->isChecked());
    QList<bool> deletes, shutdowns;
    QObject::connect(&w, &TfrmProgress::deleteSourcesChanged, [&](bool on) { deletes << on; });
    QObject::connect(&w, &TfrmProgress::shutdownWhenDoneChanged, [&](bool on) { shutdowns << on; });
    w.CheckBoxDelSource()->click();
    w.CheckBoxShutdown()->click();
    EXPECT_EQ(deletes, QList<bool>{true});
    EXPECT_EQ(shutdowns, QList<bool>{false});
    EXPECT_TRUE(w.DeleteSources());

    // Values start as "..." and take the figures as they come.
    EXPECT_EQ(w.LabelBatchElapsed()->text(), u"...");
    BatchFigures figures;
    figures.percent = 12;
    figures.jobs.push_back({.percent = 50});
    w.ShowProgress(progressViewOf(figures, {"Status=", "Batch=", {}}));
    EXPECT_EQ(w.LabelStatus()->text(), u"Status=50%");
    EXPECT_EQ(w.ProgressBarStatus()->value(), 50);
    EXPECT_EQ(w.LabelBatch()->text(), u"Batch=12%");
    EXPECT_EQ(w.ProgressBarBatch()->value(), 12);
    EXPECT_FALSE(w.ProgressBarBatch()->isTextVisible());
}

TEST(TfrmProgress, MinimisingItMinimisesTheProgramAndRestoringTheMainWindowBringsItBack)
{
    app();
    QWidget mainWindow;
    mainWindow.show();
    TfrmProgress w(&mainWindow);
    w.show();
    w.setWindowState(w.windowState() | Qt::WindowMinimized);
    QApplication::processEvents();
    EXPECT_TRUE(mainWindow.windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(w.windowState() & Qt::WindowMinimized);

    mainWindow.setWindowState(mainWindow.windowState() & ~Qt::WindowMinimized);
    QApplication::processEvents();
    EXPECT_FALSE(w.windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(w.isVisible());

    // The same the other way round: the progress window restored brings the main window.
    w.setWindowState(w.windowState() | Qt::WindowMinimized);
    QApplication::processEvents();
    ASSERT_TRUE(mainWindow.windowState() & Qt::WindowMinimized);
    w.setWindowState(w.windowState() & ~Qt::WindowMinimized);
    QApplication::processEvents();
    EXPECT_FALSE(mainWindow.windowState() & Qt::WindowMinimized);

    // Without an owner it is the whole program, and minimises alone.
    TfrmProgress alone;
    alone.show();
    alone.setWindowState(Qt::WindowMinimized);
    QApplication::processEvents();
    EXPECT_TRUE(alone.windowState() & Qt::WindowMinimized);
}
