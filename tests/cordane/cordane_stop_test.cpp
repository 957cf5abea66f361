// Stopping Cordane's window in the middle of a run.
#include "cordane/cordanemessages.h"
#include "cordane/parentnotice.h"
#include "cordane/tfrmconvert.h"
#include "shared/ini.h"
#include "shared/ui/termination.h"
#include "shared/userfolders.h"
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
#include <QWindow>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <map>
#include <thread>

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

// The parent's side: a listener on a thread of its own (Cordane's notice
// waits for the answer on the main thread) that answers every notice and
// counts the notices and the connections that closed without one.
class ParentListener {
public:
    explicit ParentListener(qint64 parent) : m_path(cordane::ParentSocketPath(parent).toStdString())
    {
        ::unlink(m_path.c_str());
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, m_path.c_str(), sizeof addr.sun_path - 1);
        EXPECT_EQ(::bind(m_fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
        ::listen(m_fd, 4);
        m_thread = std::thread([this] { serve(); });
    }
    ~ParentListener()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
        ::unlink(m_path.c_str());
    }
    int notices() const { return m_notices; }
    int closedWithoutNotice() const { return m_closed; }

private:
    void serve()
    {
        std::map<int, std::pair<std::string, bool>> clients; // text so far, noticed
        while (!m_stop) {
            std::vector<pollfd> fds{{m_fd, POLLIN, 0}};
            for (const auto &c : clients)
                fds.push_back({c.first, POLLIN, 0});
            ::poll(fds.data(), fds.size(), 20);
            if (fds[0].revents & POLLIN)
                clients[::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC)] = {};
            for (size_t i = 1; i < fds.size(); ++i) {
                if (!fds[i].revents)
                    continue;
                auto &[text, noticed] = clients[fds[i].fd];
                char buffer[256];
                const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
                if (n <= 0) {
                    m_closed += !noticed;
                    ::close(fds[i].fd);
                    clients.erase(fds[i].fd);
                    continue;
                }
                text.append(buffer, size_t(n));
                for (size_t end; (end = text.find('\n')) != std::string::npos;) {
                    if (text.substr(0, end) == std::to_string(cordane::kConvertDone) + " 0 0") {
                        ++m_notices;
                        noticed = true;
                        [[maybe_unused]] auto w = ::write(fds[i].fd, "ok\n", 3);
                    }
                    text.erase(0, end + 1);
                }
            }
        }
        for (const auto &c : clients)
            ::close(c.first);
    }

    std::string m_path;
    int m_fd = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_notices{0};
    std::atomic<int> m_closed{0};
    std::thread m_thread;
};

} // namespace

// Every way out of Cordane stops the job, writes the result and tells the
// parent exactly once.
TEST(CordaneStop, EveryWayOutReportsOnce)
{
    app();
    enum class Way { Cancel, AltF4, WindowManagerClose, Sigterm, Sigint, FailedStart };
    const std::pair<Way, const char *> ways[] = {
        {Way::Cancel, "Cancel"},
        {Way::AltF4, "Alt+F4"},
        {Way::WindowManagerClose, "the window manager's close"},
        {Way::Sigterm, "SIGTERM"},
        {Way::Sigint, "SIGINT"},
        {Way::FailedStart, "a failed start"}};
    for (const auto &[way, name] : ways) {
        QTemporaryDir dir;
        const QString folder = hangingInstallation(dir);
        const qint64 parent = 800000 + (::getpid() % 100000);
        QByteArray handOff = readFile(folder + "/lnh.ini");
        handOff.replace("[ExternApp]\n",
                        "[ExternApp]\nParent=" + QByteArray::number(parent) + "\n");
        if (way == Way::FailedStart)
            handOff += "ProfileItem=Item9\n"; // a preset the profile does not have
        writeFile(folder + "/lnh.ini", handOff);
        ParentListener listener(parent);
        ScriptedScope script; // every question: its first button ("Stop now", "Yes")
        QPointer<cordane::TfrmConvert> window = new cordane::TfrmConvert(folder);
        window->setAttribute(Qt::WA_DeleteOnClose);
        orm::OnTerminationRequest(window, [window] { window->TerminationRequested(); });
        if (way != Way::FailedStart) {
            ASSERT_TRUE(waitFor([&] { return encoderRunning(folder); })) << name;
        }

        switch (way) {
        case Way::Cancel: window->cancelButton()->click(); break;
        case Way::AltF4: {
            QKeyEvent altF4(QEvent::KeyPress, Qt::Key_F4, Qt::AltModifier);
            QApplication::sendEvent(window, &altF4);
            break;
        }
        case Way::WindowManagerClose: window->windowHandle()->close(); break;
        case Way::Sigterm:
        case Way::Sigint:
            QTimer::singleShot(0, [way] { ::raise(way == Way::Sigterm ? SIGTERM : SIGINT); });
            EXPECT_EQ(QApplication::exec(), 0);
            break;
        case Way::FailedStart: break;
        }
        EXPECT_TRUE(waitFor([&] { return window.isNull(); })) << name;
        EXPECT_TRUE(waitFor([&] { return listener.notices() > 0; })) << name;
        EXPECT_EQ(listener.notices(), 1) << name;
        EXPECT_FALSE(encoderRunning(folder)) << name;
        EXPECT_FALSE(QFile::exists(orm::UserFolders::jobFilesFolder() + "/~ConvertCore.bat"))
            << name;
        EXPECT_EQ(orm::IniFile(folder + "/lnh.ini").readString(u"ExternApp", u"RipResult", {}),
                  cordane::msg(cordane::Msg::MSG_CONVERT_ERROR))
            << name;
        if (way == Way::Cancel || way == Way::AltF4 || way == Way::WindowManagerClose) {
            ASSERT_FALSE(script->asked.isEmpty());
            EXPECT_EQ(script->asked[0].text, cordane::msg(cordane::Msg::MSG_ABORTENCODING)) << name;
        }
    }
}

TEST(CordaneStop, CancelAsksAndOnlyStopNowStops)
{
    app();
    QTemporaryDir dir;
    const QString folder = hangingInstallation(dir);
    ScriptedScope script;
    // Alt+F4: Cancel in the question; then the button: "Stop now".
    script->answers = {orm::IdCancel, orm::IdOk};
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
    EXPECT_FALSE(QFile::exists(orm::UserFolders::jobFilesFolder() + "/~ConvertCore.bat"));
    const orm::IniFile ini(folder + "/lnh.ini");
    EXPECT_EQ(ini.readString(u"ExternApp", u"RipResult", {}),
              cordane::msg(cordane::Msg::MSG_CONVERT_ERROR));
    EXPECT_EQ(ini.readString(u"ExternApp", u"RipOutputFile", {"unset"}), u"");
    EXPECT_EQ(ini.readInteger(u"FormConvert", u"width", 0), 531); // the place, kept with it
    // The stop the user chose is not reported back to him as an error.
    ASSERT_EQ(script->asked.size(), 2);
    EXPECT_EQ(script->asked[0].text, cordane::msg(cordane::Msg::MSG_ABORTENCODING));
    EXPECT_EQ(script->asked[1].text, cordane::msg(cordane::Msg::MSG_ABORTENCODING));
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
    EXPECT_FALSE(QFile::exists(orm::UserFolders::jobFilesFolder() + "/~ConvertCore.bat"));
    EXPECT_EQ(orm::IniFile(folder + "/lnh.ini").readString(u"ExternApp", u"RipResult", {}),
              cordane::msg(cordane::Msg::MSG_CONVERT_ERROR));
    // Neither a stop question nor an error box holds up the end.
    EXPECT_TRUE(script->asked.isEmpty());
}
