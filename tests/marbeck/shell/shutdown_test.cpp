// The post-batch actions and their countdown, with a recording stand-in for
// the system's power requests.
#include "lang/marbeckmessages.h"
#include "shell/poweractions.h"
#include "shell/shutdowncountdown.h"
#include "shell/tfrmshutdown.h"
#include "support/apps.h"
#include "support/recordingpoweractions.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace marbeck;
using ormtest::RecordingPowerScope;

namespace {

QApplication &app()
{
    return ormtest::testApp<QApplication>();
}

} // namespace

TEST(ShutdownCountdown, ShowsThirtyThenZeroAndRunsOutOnTheThirtyFirstTick)
{
    ShutdownCountdown c;
    EXPECT_EQ(c.TimeOutText(), u"Time left: 30");
    for (int tick = 1; tick <= 30; ++tick)
        ASSERT_FALSE(c.Tick()) << tick;
    EXPECT_EQ(c.TimeOutText(), u"Time left: 0");
    EXPECT_TRUE(c.Tick());
}

TEST(PowerActions, EachIndexRequestsItsActionAndZeroClosesTheProgram)
{
    RecordingPowerScope power;
    int closes = 0;
    const auto close = [&] { ++closes; };
    for (quint8 index : {1, 2, 3, 4, 5, 6, 255})
        ExecuteShutdownAction(index, close);
    EXPECT_EQ(power.requests,
              QList<PowerAction>({PowerAction::Shutdown, PowerAction::LogOff, PowerAction::Restart,
                                  PowerAction::Hibernate, PowerAction::Suspend}));
    EXPECT_EQ(closes, 0);
    ExecuteShutdownAction(0, close);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(power.requests.size(), 5);
}

TEST(PowerActions, TheSystemsImplementationNamesItsCommandsAndRefusesUnderTests)
{
    EXPECT_EQ(SystemPowerCommand(PowerAction::Shutdown).arguments, QStringList{"poweroff"});
    EXPECT_EQ(SystemPowerCommand(PowerAction::Restart).arguments, QStringList{"reboot"});
    EXPECT_EQ(SystemPowerCommand(PowerAction::Hibernate).arguments, QStringList{"hibernate"});
    EXPECT_EQ(SystemPowerCommand(PowerAction::Suspend).arguments, QStringList{"suspend"});
    EXPECT_EQ(SystemPowerCommand(PowerAction::Suspend).program, u"systemctl");
    // "Log off" ends the user's session; it does not power the computer off.
    const PowerCommand logOff = SystemPowerCommand(PowerAction::LogOff);
    EXPECT_EQ(logOff.program, u"loginctl");
    EXPECT_EQ(logOff.arguments.value(0), u"terminate-session");
    EXPECT_FALSE(logOff.arguments.value(1).isEmpty());

    // The test harness sets the guard; the real implementation must refuse.
    ASSERT_TRUE(qEnvironmentVariableIsSet(kNoPowerActionsVariable));
    SystemPowerActions system;
    for (PowerAction a : {PowerAction::Shutdown, PowerAction::LogOff, PowerAction::Restart,
                          PowerAction::Hibernate, PowerAction::Suspend})
        EXPECT_FALSE(system.Request(a));
}

TEST(TfrmShutdown, RunsOutWithResult1AndEveryWayOfCancellingGives2)
{
    app();
    {
        TfrmShutdown w(nullptr, 2);
        EXPECT_EQ(w.LabelTimeOut()->text(), u"Time left: 30");
        EXPECT_EQ(w.windowTitle(), msg(Msg::MSG_SHUTDOWN_TITLE));
        EXPECT_EQ(w.LabelShutdownDescription()->text(),
                  u"If you don't press cancel now, Ormolux will shutdown Windows.");
        EXPECT_EQ(w.Run(), 1);
        EXPECT_LT(w.Remaining(), 0);
    }
    // Cancel while the label shows 0, Escape, Enter, the close box. The
    // timer is too slow to matter; the ticks come from the test.
    const std::function<void(TfrmShutdown &)> cancels[] = {
        [](TfrmShutdown &w) {
            for (int tick = 0; tick < 30; ++tick)
                w.TimerShutdownTimer();
            EXPECT_EQ(w.LabelTimeOut()->text(), u"Time left: 0");
            w.ButtonCancel()->click();
        },
        [](TfrmShutdown &w) {
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(&w, &esc);
        },
        [](TfrmShutdown &w) {
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(&w, &enter);
        },
        [](TfrmShutdown &w) { w.close(); },
    };
    int way = 0;
    for (const auto &cancel : cancels) {
        RecordingPowerScope power;
        TfrmShutdown w(nullptr, 1000000);
        QTimer::singleShot(0, &w, [&] { cancel(w); });
        EXPECT_EQ(w.Run(), 2) << way;
        EXPECT_TRUE(power.requests.isEmpty());
        ++way;
    }
}
