// Batches started from the main window itself, and the program ended from
// outside in the middle of one.
#include "engine/batchdriver.h"
#include "engine/tfrmprogress.h"
#include "lang/marbeckmessages.h"
#include "marbeck/engine/batchsetup.h"
#include "privatebus.h"
#include "settings/globalvars.h"
#include "shared/ini.h"
#include "shared/ui/termination.h"
#include "shared/userfolders.h"
#include "shell/tfrmmain.h"
#include "sources/liststore.h"
#include "sources/listviewfiles.h"
#include "sources/sourcelistmodel.h"
#include "support/media.h"
#include "support/recordingpoweractions.h"
#include "support/scriptedinteraction.h"
#include "support/testfiles.h"
#include "support/windowapp.h"

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <csignal>

using namespace marbeck;
using namespace ormtest;

namespace {

// An installation with the shipped data and the real encoder, and a later
// start's settings: no chooser, the given profile chosen.
struct MainInstallation {
    explicit MainInstallation(const QString &profile)
    {
        windowApp();
        app = dir.filePath("app");
        makeInstallation(app);
        EXPECT_EQ(QProcess::execute("cp", {"-r", stageDir() + "/Skins", app}), 0);
        out = dir.filePath("out");
        QDir().mkpath(out);
        TGlobalVars &g = globals();
        g = TGlobalVars{};
        g.AppFolder = app;
        SetDefaultSettings(g, DeviceFamily::All, dir.path());
        writeFile(app + "/vuzu.ini", "[System]\nShowWindow=0\nProfilePath=" + app.toUtf8() +
                                         "/default_setting/" + profile.toUtf8() + "\n");
    }
    // A profile whose one job takes a minute, chosen in the settings (with
    // `moreSettings` lines), so that anything done mid-job surely comes in the
    // middle.
    void chooseSlowProfile(const QByteArray &moreSettings = {}) const
    {
        globals().ProfilePath = app + "/default_setting/slow.ini";
        writeFile(globals().ProfilePath,
                  "[Info]\nTitleE=Slow\n[Item0]\nTitleE=slow\nCommand=<%AppPath%>/cores/"
                  "avcore.dll -y -re -stream_loop -1 -i \"<%InputFile%>\" -t 60 "
                  "\"<%OutputFile%>.mp4\"\n");
        writeFile(app + "/vuzu.ini", "[System]\nShowWindow=0\nProfilePath=" +
                                         globals().ProfilePath.toUtf8() + "\n" + moreSettings);
    }
    QString copy(const QString &clip, const QString &name) const
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(QFile::copy(clip, path));
        return path;
    }
    QTemporaryDir dir;
    QString app, out;
};

// "Convert Now" returns at once; the batch runs in the application's loop.
void convertAndWait(TfrmMain &window)
{
    window.ButtonConvert()->click();
    EXPECT_TRUE(waitFor([&] { return !window.batch().Running(); }, 120000));
}

} // namespace

TEST(MainWindowBatch, ConvertNowTurnsTheListIntoPhoneVideosInTheChosenFolder)
{
    MainInstallation inst("3GPP_Phone.ini");
    ScriptedScope script;
    RecordingPowerScope power;
    TfrmMain window;
    ASSERT_TRUE(window.FormCreate());
    QApplication::processEvents();
    const QString clip = sharedClip("mainwindow_batch.mp4", 3);
    window.listViewFiles()->AddFiles({inst.copy(clip, "first.mp4"), inst.copy(clip, "second.mp4")});
    ASSERT_EQ(window.listViewFiles()->sources().count(), 2);

    window.EditOutputDir()->setText(inst.out);
    window.listViewFiles()->UpdateActions();
    convertAndWait(window);

    EXPECT_EQ(window.listViewFiles()->sources().count(), 0);
    EXPECT_EQ(window.LabelStatusBar()->text(), "No files");
    for (const char *name : {"first", "second"}) {
        const Probe p = probe(inst.out + "/" + name + ".3gp");
        EXPECT_EQ(p.videoCodec(), "h263") << name;
        EXPECT_EQ(p.frameSize(), QSize(176, 144)) << name;
        EXPECT_EQ(p.audioCodec(), "aac") << name;
    }
    EXPECT_EQ(globals().OutputPath, inst.out + "/"); // the folder as the jobs were given it
    EXPECT_TRUE(script->asked.isEmpty()) << qPrintable(script->asked.value(0).text);
    window.close();
    EXPECT_EQ(orm::IniFile(inst.app + "/vuzu.ini").readString(u"System", u"OutputPath", {}),
              inst.out + "/");
}

TEST(MainWindowBatch, ABatchEndingBehindAnotherWindowIsToldOnTheDesktopOnce)
{
    MainInstallation inst("3GPP_Phone.ini");
    PrivateBus bus;
    if (bus.address.isEmpty())
        GTEST_SKIP() << "no dbus-daemon on this machine";
    ASSERT_TRUE(bus.startService(false));
    // This test program's session bus is the private one.
    EnvScope session("DBUS_SESSION_BUS_ADDRESS", bus.address);
    ScriptedScope script;
    RecordingPowerScope power;
    TfrmMain window;
    ASSERT_TRUE(window.FormCreate());
    window.EditOutputDir()->setText(inst.out);
    const QString clip = sharedClip("mainwindow_batch.mp4", 3);

    // The user watches the main window: its own status line is enough.
    window.show();
    window.activateWindow();
    ASSERT_TRUE(waitFor([&] { return window.isActiveWindow(); }));
    window.listViewFiles()->AddFiles({inst.copy(clip, "watched.mp4")});
    window.listViewFiles()->UpdateActions();
    convertAndWait(window);
    ASSERT_TRUE(QFileInfo::exists(inst.out + "/watched.3gp"));
    waitFor([&] { return !bus.notices().isEmpty(); }, 1000);
    EXPECT_TRUE(bus.notices().isEmpty()) << qPrintable(bus.notices().join(u'\n'));

    // The user goes to another program during the next batch: no window of
    // this one is active when it ends, and one notice gives the counts.
    QTimer away;
    QObject::connect(&away, &QTimer::timeout, [] {
        if (QApplication::activeWindow())
            QApplication::setActiveWindow(nullptr);
    });
    QObject::connect(&window.batch(), &BatchDriver::batchStarted, [&] { away.start(10); });
    window.listViewFiles()->AddFiles({inst.copy(clip, "away.mp4")});
    window.listViewFiles()->UpdateActions();
    convertAndWait(window);
    away.stop();
    ASSERT_TRUE(waitFor([&] { return !bus.notices().isEmpty(); }, 10000));
    waitFor([&] { return bus.notices().size() > 1; }, 1000);
    EXPECT_EQ(bus.notices(), QStringList{QStringLiteral(
                                 "notify\tOrmolux\tBatch finished\t1 converted, 0 failed")});
    EXPECT_TRUE(script->asked.isEmpty());
    window.close();
}

namespace {

// Closing the last window queues the application's quit; taken by an event
// loop after the application's own has returned, it would end every later
// test's loops at once. It is taken here, inside the application's loop.
void quitQueuedByTheLastWindow()
{
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QApplication::exec();
}

} // namespace

TEST(MainWindowBatch, AnEndRequestMidBatchStopsTheEncoderAndStillSavesTheSettings)
{
    MainInstallation inst("3GPP_Phone.ini");
    inst.chooseSlowProfile("Priority=2\n");
    ScriptedScope script;
    RecordingPowerScope power;
    globals().ShutdownWindowsWhenDone = true;
    auto *window = new TfrmMain;
    window->setAttribute(Qt::WA_DeleteOnClose);
    orm::OnTerminationRequest(window, [window] { window->close(); });
    ASSERT_TRUE(window->FormCreate());
    QApplication::processEvents();
    const QString source = inst.copy(sharedClip("mainwindow_batch.mp4", 3), "long.mp4");
    window->listViewFiles()->AddFile(source);
    window->EditOutputDir()->setText(inst.out);

    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (encoderRunning(inst.app)) {
            poll.stop();
            ::raise(SIGTERM);
        }
    });
    poll.start();
    QTimer::singleShot(0, window, [window] { window->ButtonConvert()->click(); });
    EXPECT_EQ(QApplication::exec(), 0);

    EXPECT_TRUE(waitFor([&] { return !encoderRunning(inst.app); }));
    EXPECT_FALSE(QFileInfo::exists(orm::UserFolders::jobFilesFolder() + "/~ConvertCore.bat"));
    EXPECT_TRUE(QFileInfo::exists(source));
    EXPECT_TRUE(power.requests.isEmpty());
    const orm::IniFile ini(inst.app + "/vuzu.ini");
    EXPECT_EQ(ini.readInteger(u"System", u"Priority", -1), 2);
    EXPECT_TRUE(ini.readBool(u"System", u"ShutdownWindowsWhenDone", false));
    EXPECT_FALSE(ini.readString(u"form", u"x", {}).isEmpty());
    quitQueuedByTheLastWindow();
}

TEST(MainWindowBatch, TheMainWindowDestroyedMidBatchEndsTheEncoderAndRemovesItsFiles)
{
    MainInstallation inst("3GPP_Phone.ini");
    inst.chooseSlowProfile();
    ScriptedScope script;
    RecordingPowerScope power;
    auto *window = new TfrmMain;
    ASSERT_TRUE(window->FormCreate());
    QApplication::processEvents();
    const QString source = inst.copy(sharedClip("mainwindow_batch.mp4", 3), "long.mp4");
    window->listViewFiles()->AddFile(source);
    window->EditOutputDir()->setText(inst.out);

    // The window goes from inside the batch's own event loop, as a parent
    // widget that deletes its children would take it.
    QTimer poll;
    poll.setInterval(20);
    bool destroyed = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (encoderRunning(inst.app) && !destroyed) {
            destroyed = true;
            poll.stop();
            delete window;
        }
    });
    poll.start();
    window->ButtonConvert()->click(); // the batch runs in the application's loop
    ASSERT_TRUE(waitFor([&] { return destroyed; }, 60000));

    EXPECT_TRUE(waitFor([&] { return !encoderRunning(inst.app); }));
    EXPECT_FALSE(QFileInfo::exists(orm::UserFolders::jobFilesFolder() + "/~ConvertCore.bat"));
    EXPECT_TRUE(QFileInfo::exists(source));
    EXPECT_TRUE(power.requests.isEmpty());
}

// Closing the main window during a batch asks the stop question first:
// "Cancel" keeps everything running, "Stop now" stops the job and closes.
TEST(MainWindowBatch, ClosingMidBatchAsksAndStopNowCloses)
{
    MainInstallation inst("3GPP_Phone.ini");
    inst.chooseSlowProfile();
    ScriptedScope script;
    script->answers = {orm::IdCancel, orm::IdYes}; // Cancel, then "Stop now"
    RecordingPowerScope power;
    QPointer<TfrmMain> window = new TfrmMain;
    window->setAttribute(Qt::WA_DeleteOnClose);
    ASSERT_TRUE(window->FormCreate());
    QApplication::processEvents();
    window->listViewFiles()->AddFile(inst.copy(sharedClip("mainwindow_batch.mp4", 3), "l.mp4"));
    window->EditOutputDir()->setText(inst.out);
    window->showNormal();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));

    bool keptRunning = false, nothingModal = false, inputHeld = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!window || !encoderRunning(inst.app))
            return;
        poll.stop();
        // The progress window blocks nothing: the window manager's close and
        // the caption's close button reach the main window, as the user's
        // clicks do, while the rest of the main window takes no input.
        nothingModal = QApplication::activeModalWidget() == nullptr;
        QTest::mouseClick(window->ButtonClearList(), Qt::LeftButton);
        window->listViewFiles()->selectAll();
        QTest::keyClick(window->listViewFiles(), Qt::Key_Delete);
        inputHeld = window->listViewFiles()->sources().count() == 1;
        QTest::mouseClick(window->ButtonClose(), Qt::LeftButton); // answered Cancel
        keptRunning = window && window->isVisible() && encoderRunning(inst.app);
        QTest::mouseClick(window->ButtonClose(), Qt::LeftButton); // answered "Stop now"
    });
    poll.start();
    QTimer::singleShot(0, window, [window] { window->ButtonConvert()->click(); });
    waitFor([&] { return window.isNull(); }, 60000);
    EXPECT_TRUE(nothingModal);
    EXPECT_TRUE(inputHeld);
    EXPECT_TRUE(keptRunning);
    EXPECT_TRUE(window.isNull()) << "the window did not close";
    EXPECT_TRUE(waitFor([&] { return !encoderRunning(inst.app); }));
    EXPECT_EQ(script->asked.size(), 2);
    EXPECT_EQ(script->asked.value(0).text, msg(Msg::MSG_ABORTENCODING));
    quitQueuedByTheLastWindow();
}

// The program killed in the middle of a batch (below): the child that is
// killed, started by the test as this test program; skipped when run alone.
TEST(KeptListChild, ConvertsUntilKilled)
{
    const QStringList job = qEnvironmentVariable("ORM_KEPT_LIST_CHILD").split(u'\n');
    if (job.size() < 3)
        GTEST_SKIP() << "the program that KeptList.ABatchKilledMidway... kills";
    windowApp();
    TGlobalVars &g = globals();
    g = TGlobalVars{};
    g.AppFolder = job.at(0);
    SetDefaultSettings(g, DeviceFamily::All, job.at(0));
    ScriptedScope script;
    RecordingPowerScope power;
    TfrmMain window;
    ASSERT_TRUE(window.FormCreate());
    window.listViewFiles()->AddFiles(job.mid(2));
    window.EditOutputDir()->setText(job.at(1));
    window.ButtonConvert()->click();
    waitFor([] { return false; }, 120000);
}

TEST(KeptList, ABatchKilledMidwayConvertsEachSourceOnceAfterTheRestart)
{
    MainInstallation inst("3GPP_Phone.ini");
    // Each job reads its source at the source's pace, so the kill surely
    // lands inside the second job.
    globals().ProfilePath = inst.app + "/default_setting/paced.ini";
    writeFile(globals().ProfilePath,
              "[Info]\nTitleE=Paced\n[Item0]\nTitleE=paced\nCommand=<%AppPath%>/cores/"
              "avcore.dll -y -re -i \"<%InputFile%>\" \"<%OutputFile%>.mp4\"\n");
    // One job at a time, so that the first has ended while the second runs.
    writeFile(inst.app + "/vuzu.ini", "[System]\nShowWindow=0\nSimultaneousJobs=1\nProfilePath=" +
                                          globals().ProfilePath.toUtf8() + "\n");
    const QString clip = sharedClip("kept_list.mp4", 2);
    QStringList job = {inst.app, inst.out};
    for (const char *name : {"first", "second", "third", "fourth"})
        job << inst.copy(clip, QString(name) + ".mp4");

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ORM_KEPT_LIST_CHILD", job.join(u'\n'));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=KeptListChild.*"});
    ASSERT_TRUE(child.waitForStarted());
    // Killed once the saved list says that the first source is converted and
    // the second one's job runs, and that job has begun to write.
    const QString listFile = inst.app + "/vuzu.list";
    const bool secondRunning = waitFor(
        [&] {
            const auto rows = ParseList(readFile(listFile));
            return rows && rows->size() == 3 && rows->front().item.FileName == "second.mp4" &&
                   rows->front().state == ListRowState::Running &&
                   QDir(inst.out).entryList(QDir::Files | QDir::Hidden).size() > 1;
        },
        60000);
    ::kill(pid_t(child.processId()), SIGKILL);
    child.waitForFinished();
    ASSERT_TRUE(secondRunning);
    EXPECT_TRUE(waitFor([&] { return !encoderRunning(inst.app); }));

    ScriptedScope script;
    RecordingPowerScope power;
    TfrmMain window;
    ASSERT_TRUE(window.FormCreate());
    QStringList rows;
    for (int row = 0; row < window.listViewFiles()->sources().count(); ++row)
        rows << window.listViewFiles()->sources().item(row).FileName;
    EXPECT_EQ(rows, (QStringList{"second.mp4", "third.mp4", "fourth.mp4"}));
    window.EditOutputDir()->setText(inst.out);
    convertAndWait(window);
    EXPECT_EQ(window.listViewFiles()->sources().count(), 0);
    EXPECT_TRUE(script->asked.isEmpty()) << qPrintable(script->asked.value(0).text);

    // Each source converted once, under its own name, and nothing else left:
    // what the killed job had written was its own and went at the start.
    const QStringList left =
        QDir(inst.out).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    EXPECT_EQ(left, (QStringList{"first.mp4", "fourth.mp4", "second.mp4", "third.mp4"}))
        << qPrintable(left.join(", "));
    for (const char *name : {"first", "second", "third", "fourth"}) {
        const Probe p = probe(inst.out + "/" + name + ".mp4");
        EXPECT_FALSE(p.videoCodec().isEmpty()) << name;
    }
    window.close();
}
