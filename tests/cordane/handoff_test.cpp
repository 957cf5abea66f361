#include "cordane/handoff.h"
#include "cordane/parentnotice.h"
#include "shared/ini.h"
#include "support/testfiles.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <thread>

using namespace cordane;
using namespace ormtest;

TEST(HandOff, MissingKeysTakeTheirDefaults)
{
    QTemporaryDir dir;
    const HandOff none = HandOff::Read(dir.filePath("lnh.ini"));
    EXPECT_EQ(none.Parent, 0);
    EXPECT_EQ(none.TempFile, u"");
    EXPECT_EQ(none.ProfilePath, u"default_setting\\Transcoding_iPod.ini");
    EXPECT_EQ(none.ProfileItem, u"Item0");

    writeFile(dir.filePath("lnh.ini"),
              "[ExternApp]\nParent=4242\nTempFile=/in/a b.avi\nOutputFile=/out/a b.mp4\n"
              "ProfileItem=Item1\n[config]\nLanguagePath=lang\\\nLanguageFileName=french.ini\n");
    const HandOff h = HandOff::Read(HandOffFileName(dir.path()));
    EXPECT_EQ(h.Parent, 4242);
    EXPECT_EQ(h.TempFile, u"/in/a b.avi");
    EXPECT_EQ(h.OutputFile, u"/out/a b.mp4");
    EXPECT_EQ(h.ProfileItem, u"Item1");
    EXPECT_EQ(CordaneLanguageFile(dir.path(), h.LanguagePath, h.LanguageFileName),
              dir.path() + "/lang/french_Cordane.ini");
    EXPECT_EQ(CordaneLanguageFile("/opt/c/", "lang\\", "english"),
              u"/opt/c/lang/english_Cordane.ini");
    EXPECT_EQ(CordaneLanguageFile("/opt/c", "", ""), u"/opt/c/_Cordane.ini");
}

TEST(HandOff, TheProfileIsTheProgramsElseTheUsersOwn)
{
    QTemporaryDir dir;
    const QString app = dir.filePath("app");
    const QString config = dir.filePath("config");
    EnvScope configScope{"XDG_CONFIG_HOME", config};
    writeFile(app + "/installed.txt", "");
    writeFile(app + "/default_setting/Transcoding_iPod.ini", "[Info]\n");
    writeFile(config + "/ormolux/profiles/Mine.ini", "[Info]\n");

    EXPECT_EQ(ProfileFileOf(app, "default_setting\\Transcoding_iPod.ini"),
              app + "/default_setting/Transcoding_iPod.ini");
    EXPECT_EQ(ProfileFileOf(app, "profiles\\Mine.ini"), config + "/ormolux/profiles/Mine.ini");
    EXPECT_EQ(ProfileFileOf(app, config + "/ormolux/profiles/Mine.ini"),
              config + "/ormolux/profiles/Mine.ini");
    // Found nowhere: the program folder's name, which the missing-profile
    // message then shows.
    EXPECT_EQ(ProfileFileOf(app, "profiles\\Gone.ini"), app + "/profiles/Gone.ini");
}

TEST(HandOff, AviSynthListEndsAtTheFirstMissingNumber)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("avs.dat"), "[AVSExt]\n1=.rmvb\n3=.rm\n");
    EXPECT_EQ(ReadAviSynthExtensions(dir.filePath("avs.dat")), QStringList{".rmvb"});
    writeFile(dir.filePath("avs.dat"), "[AVSExt]\n1=.rm\n2=<none>\n3=.x\n");
    EXPECT_EQ(ReadAviSynthExtensions(dir.filePath("avs.dat")), QStringList{".rm"});
    EXPECT_TRUE(ReadAviSynthExtensions(dir.filePath("missing.dat")).isEmpty());
}

TEST(HandOff, JobValuesShareTheFiveDigits)
{
    const auto v = JobPlaceholders("/opt/cordane", "/in/clip.avi", "/out/clip.mp4");
    EXPECT_EQ(v.AppPath, u"/opt/cordane/");
    EXPECT_EQ(v.OutputPath, u"/out/");
    EXPECT_EQ(v.TemporaryFile, "/out/" + v.RandomNumber5);
    EXPECT_EQ(v.RandomNumber3.size(), 3);
    EXPECT_EQ(JobPlaceholders("/opt/c", "in.avi", "out.mp4").OutputPath, u"");
}

TEST(HandOff, TheResultIsWrittenBesideTheJob)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("lnh.ini"), "[ExternApp]\n");
    const QString file = HandOffFileName(dir.path());
    writeFile(file, "[ExternApp]\nTempFile=/in/x.avi\n");
    WriteRipResult(file, QString::fromUtf8("Conversion terminée !"), "/out/MAQ00042.MP4");
    const orm::IniFile ini(file);
    EXPECT_EQ(ini.readString(u"ExternApp", u"RipResult", {}),
              QString::fromUtf8("Conversion terminée !"));
    EXPECT_EQ(ini.readString(u"ExternApp", u"RipOutputFile", {}), u"/out/MAQ00042.MP4");
    EXPECT_EQ(ini.readString(u"ExternApp", u"TempFile", {}), u"/in/x.avi");

    // The parent's file is the output with the preset's extension, not the thumbnail.
    EXPECT_EQ(MainOutputFile({"/o/MAQ00042.THM", "/o/MAQ00042.MP4"}, "mp4"), u"/o/MAQ00042.MP4");
    EXPECT_EQ(MainOutputFile({"/o/a.jpg", "/o/a.webm"}, {}), u"/o/a.jpg");
    EXPECT_EQ(MainOutputFile({}, "mp4"), u"");
}

namespace {
// A parent listening on its socket: reads the notice, answers after `delayMs`
// (never, when negative).
class FakeParent {
public:
    explicit FakeParent(qint64 id, int delayMs) : m_path(ParentSocketPath(id))
    {
        ::unlink(m_path.toLocal8Bit().constData());
        m_fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, m_path.toLocal8Bit().constData(), sizeof addr.sun_path - 1);
        ::bind(m_fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
        ::listen(m_fd, 1);
        m_thread = std::thread([this, delayMs] {
            const int client = ::accept(m_fd, nullptr, nullptr);
            char buffer[64] = {};
            const ssize_t n = ::read(client, buffer, sizeof buffer - 1);
            received = QByteArray(buffer, int(std::max<ssize_t>(n, 0)));
            if (delayMs >= 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
                [[maybe_unused]] auto w = ::write(client, "ok\n", 3);
            }
            char rest[8];
            [[maybe_unused]] auto r = ::read(client, rest, sizeof rest); // until Cordane goes
            ::close(client);
        });
    }
    ~FakeParent()
    {
        m_thread.join();
        ::close(m_fd);
        ::unlink(m_path.toLocal8Bit().constData());
    }
    QByteArray received;

private:
    QString m_path;
    int m_fd;
    std::thread m_thread;
};
} // namespace

TEST(ParentNotice, TheParentHearsOnceAndAnswers)
{
    EXPECT_EQ(SendConvertDone(0), NoticeResult::NotSent);
    EXPECT_EQ(SendConvertDone(987654321), NoticeResult::NotSent);
    FakeParent parent(31337, 50);
    EXPECT_EQ(SendConvertDone(31337), NoticeResult::Answered);
}

TEST(ParentNotice, AParentThatNeverAnswersDoesNotHoldUsForever)
{
    FakeParent parent(31339, -1);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(SendConvertDone(31339, 300), NoticeResult::NoAnswer);
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_EQ(parent.received, "1224 0 0\n");
}
