// Stopping Cordane's window in the middle of a run.
#include "cordane/cordanemessages.h"
#include "cordane/tfrmconvert.h"
#include "shared/ini.h"
#include "shared/ui/termination.h"
#include "support/apps.h"
#include "support/scriptedinteraction.h"
#include "support/testfiles.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>

#include <csignal>

#include <gtest/gtest.h>

using namespace ormtest;

namespace {

QApplication &app()
{
    return ormtest::testApp<QApplication>();
}

QString hangingInstallation(QTemporaryDir &dir)
{
    const QString folder = dir.filePath("app");
    QDir().mkpath(folder + "/cores");
    QFile::copy(QStringLiteral(ORM_TEST_ENCODER), folder + "/cores/avcore.dll");
    writeFile(folder + "/default_setting/Transcoding_iPod.ini",
              "[Info]\nTitleE=iPod\n[Item0]\nCommand=<%AppPath%>cores/avcore.dll -y -i "
              "\"<%InputFile%>\" --duration=60 --steps=600 --interval-ms=100 --grandchild-hang "
              "\"<%OutputFile%>.mp4\"\n");
    QByteArray handOff =
        "[ExternApp]\nTempFile=/in/clip.avi\nOutputFile=" + dir.filePath("out.mp4").toUtf8() + "\n";
    // The parent's language, when a screenshot asks for one.
    if (const QString language = qEnvironmentVariable("ORM_SCREENSHOT_LANGUAGE");
        !language.isEmpty()) {
        QDir().mkpath(folder + "/lang");
        QFile::copy(stageDir() + "/lang/" + language + "_Cordane.ini",
                    folder + "/lang/" + language + "_Cordane.ini");
        handOff +=
            "[config]\nLanguagePath=lang\\\nLanguageFileName=" + language.toUtf8() + ".ini\n";
    }
    writeFile(folder + "/lnh.ini", handOff);
    return folder;
}

} // namespace

TEST(CordaneStop, CancelAsksAndOnlyStopNowStops)
{
    app();
    QTemporaryDir dir;
    const QString folder = hangingInstallation(dir);
    ScriptedScope script;
    // Alt+F4: Cancel in the question; then the button: "Stop now"; then the error notice.
    script->answers = {orm::IdCancel, orm::IdOk, orm::IdOk};
    auto *window = new cordane::TfrmConvert(folder);
    window->setAttribute(Qt::WA_DeleteOnClose);
    waitFor([&] { return encoderRunning(folder); });
    ASSERT_TRUE(encoderRunning(folder));
    // A picture of the window mid-run, for whoever looks at the screens.
    if (const QString shots = qEnvironmentVariable("ORM_SCREENSHOT_DIR"); !shots.isEmpty()) {
        QElapsedTimer t;
        t.start();
        waitFor([&] { return t.elapsed() > 1500; });
        window->grab().save(shots + "/cordane-" + qEnvironmentVariable("ORM_SCREENSHOT_TAG", "en") +
                            ".png");
    }

    QKeyEvent altF4(QEvent::KeyPress, Qt::Key_F4, Qt::AltModifier);
    QApplication::sendEvent(window, &altF4);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(encoderRunning(folder));

    window->cancelButton()->click();
    waitFor([&] { return !encoderRunning(folder); });
    EXPECT_FALSE(encoderRunning(folder));
    EXPECT_FALSE(QFile::exists(folder + "/~ConvertCore.bat"));
    EXPECT_FALSE(QFile::exists(dir.filePath("out.mp4"))); // the partial output is gone
    const orm::IniFile ini(folder + "/lnh.ini");
    EXPECT_EQ(ini.readString(u"ExternApp", u"RipResult", {}),
              cordane::msg(cordane::Msg::MSG_CONVERT_ERROR));
    ASSERT_EQ(script->asked.size(), 3);
    using cordane::Msg;
    EXPECT_EQ(script->asked[0].text, cordane::msg(Msg::MSG_ABORTENCODING));
    EXPECT_EQ(script->asked[2].text, cordane::msg(Msg::MSG_ANERROROCCURRED));
    EXPECT_EQ(script->asked[2].caption, cordane::msg(Msg::MSG_OOPS));
}

TEST(CordaneStop, AnEndRequestFromOutsideStopsWithoutAskingAndStillReports)
{
    app();
    QTemporaryDir dir;
    const QString folder = hangingInstallation(dir);
    ScriptedScope script;
    auto *window = new cordane::TfrmConvert(folder);
    window->setAttribute(Qt::WA_DeleteOnClose);
    orm::OnTerminationRequest(window, [window] { window->TerminationRequested(); });
    waitFor([&] { return encoderRunning(folder); });
    ASSERT_TRUE(encoderRunning(folder));

    // The signal arrives as it would from `kill`; the event loop ends once it is handled.
    QTimer::singleShot(0, [] { ::raise(SIGTERM); });
    EXPECT_EQ(QApplication::exec(), 0);
    waitFor([&] { return !encoderRunning(folder); });
    EXPECT_FALSE(encoderRunning(folder));
    EXPECT_FALSE(QFile::exists(folder + "/~ConvertCore.bat"));
    EXPECT_FALSE(QFile::exists(dir.filePath("out.mp4"))); // the partial output is gone
    EXPECT_EQ(orm::IniFile(folder + "/lnh.ini").readString(u"ExternApp", u"RipResult", {}),
              cordane::msg(cordane::Msg::MSG_CONVERT_ERROR));
    // No stop question; the error notice is the only thing shown.
    ASSERT_EQ(script->asked.size(), 1);
    EXPECT_EQ(script->asked[0].text, cordane::msg(cordane::Msg::MSG_ANERROROCCURRED));
}
