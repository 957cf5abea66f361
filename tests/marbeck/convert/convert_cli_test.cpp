// The built program as a script or a user runs it: the real encoder, no
// display, an installed copy whose user folders are the test's own.
#include "support/media.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

using namespace ormtest;

namespace {

// An installed copy of the stage (linked, not copied) with folders of its own
// for the user's settings, profiles and scripts.
class ConvertProgram {
public:
    ConvertProgram()
    {
        app = dir.filePath("app");
        runProcess("cp", {"-al", stageDir(), app});
        writeFile(app + "/installed.txt", "installed\n");
        for (const char *sub : {"home", "config", "runtime", "out", "in"})
            QDir(dir.path()).mkpath(sub);
        QFile::setPermissions(dir.filePath("runtime"), QFileDevice::ReadOwner |
                                                           QFileDevice::WriteOwner |
                                                           QFileDevice::ExeOwner);
        process.setWorkingDirectory(dir.filePath("in"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        env.insert("HOME", dir.filePath("home"));
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        env.insert("XDG_RUNTIME_DIR", dir.filePath("runtime"));
        process.setProcessEnvironment(env);
    }

    QString path(const QString &name) const { return dir.filePath(name); }
    QString userProfiles() const { return dir.filePath("config/ormolux/profiles"); }

    void start(const QStringList &arguments)
    {
        process.start(app + "/ormolux-convert", arguments);
        ASSERT_TRUE(process.waitForStarted(10000));
    }
    // Runs to the end; the exit status, with standard output and error apart.
    int run(const QStringList &arguments)
    {
        start(arguments);
        if (!process.waitForFinished(120000))
            process.kill();
        out = process.readAllStandardOutput();
        err = process.readAllStandardError();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QTemporaryDir dir;
    QString app;
    QProcess process;
    QByteArray out, err;
};

QJsonObject entryFor(const QJsonObject &summary, const QString &source)
{
    for (const QJsonValue &v : summary["sources"].toArray()) {
        if (v["source"].toString() == source)
            return v.toObject();
    }
    return {};
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

QStringList presetArguments(const QString &output)
{
    return {"--profile", "3GPP_Phone.ini", "--preset", "Item0", "--output", output};
}

} // namespace

TEST(ConvertProgram, BatchOfGoodBrokenAndOddNamesConvertsTheGoodOnes)
{
    ConvertProgram p;
    const QString clip = sharedClip("cli_2s.mp4", 2, {160, 120});
    const QString in = p.path("in");
    const QString hostile = in + "/a $(touch PWNED) ;touch PWN2; `touch PWN3` it's \"q\".mp4";
    const QString newline = in + "/two\nlines.mp4";
    QDir(in).mkpath("sub");
    for (const QString &name : {in + "/good.mp4", hostile, newline, in + "/sub/deep.mp4"})
        ASSERT_TRUE(QFile::copy(clip, name)) << name.toStdString();
    writeFile(in + "/broken.mp4", QByteArray(30000, 'x'));
    writeFile(in + "/notes.txt", "not a video\n");

    const int status = p.run(presetArguments(p.path("out")) +
                             QStringList{"--jobs", "2", "--json", "summary.json", "."});
    ASSERT_EQ(status, 1) << p.err.toStdString();

    const QJsonObject summary = QJsonDocument::fromJson(readFile(in + "/summary.json")).object();
    EXPECT_EQ(summary["sources"].toArray().size(), 5) << p.err.toStdString(); // not notes.txt
    QStringList made;
    for (const QString &good : {in + "/good.mp4", hostile, in + "/sub/deep.mp4"}) {
        const QJsonObject e = entryFor(summary, good);
        EXPECT_EQ(e["result"].toString(), "converted") << good.toStdString();
        for (const QJsonValue &output : e["outputs"].toArray()) {
            made << QFileInfo(output.toString()).fileName();
            EXPECT_EQ(probe(output.toString()).videoCodec(), "h263")
                << output.toString().toStdString();
        }
        EXPECT_TRUE(QFile::exists(good)) << "a source went without --delete-sources";
    }
    for (const QString &bad : {in + "/broken.mp4", newline}) {
        const QJsonObject e = entryFor(summary, bad);
        EXPECT_EQ(e["result"].toString(), "failed") << bad.toStdString();
        EXPECT_FALSE(e["reason"].toString().isEmpty()) << bad.toStdString();
        EXPECT_TRUE(e["outputs"].toArray().isEmpty());
    }
    EXPECT_TRUE(entryFor(summary, in + "/broken.mp4")["reason"].toString().contains("broken.mp4"));
    // Exactly the converted files, nothing half-made, nothing from a name run as a command.
    made.sort();
    EXPECT_EQ(filesIn(p.path("out")), made);
    EXPECT_EQ(made.size(), 3);
    for (const QString &folder : {p.app, in, p.path("out"), p.path("runtime")}) {
        for (const char *trap : {"PWNED", "PWN2", "PWN3"})
            EXPECT_FALSE(QFile::exists(folder + "/" + trap)) << folder.toStdString() << " " << trap;
    }
}

TEST(ConvertProgram, OneGoodFileExitsZeroWithItsSummaryOnStandardOutput)
{
    ConvertProgram p;
    const QString clip = p.path("in/clip.mp4");
    ASSERT_TRUE(QFile::copy(sharedClip("cli_2s.mp4", 2, {160, 120}), clip));
    ASSERT_EQ(p.run(presetArguments("../out") + QStringList{"--json", "-", "clip.mp4"}), 0)
        << p.err.toStdString();
    const QJsonObject summary = QJsonDocument::fromJson(p.out).object();
    EXPECT_EQ(summary["converted"].toInt(), 1) << p.out.toStdString();
    EXPECT_EQ(entryFor(summary, clip)["outputs"].toArray()[0].toString(), p.path("out/clip.3gp"));
    EXPECT_TRUE(p.err.contains("converted")) << p.err.toStdString();
}

TEST(ConvertProgram, BadUsageExitsTwoAndTouchesNothing)
{
    ConvertProgram p;
    QDir(p.path("in")).mkpath("empty");
    const QString out = p.path("out/new");
    const struct {
        QStringList arguments;
        const char *says;
    } lines[] = {
        {{"--fast"}, "unknown option"},
        {{"--profile", "Nothing.ini", "--preset", "Item0", "--output", out, "a.mp4"}, "no profile"},
        {{"--profile", "3GPP_Phone.ini", "--preset", "Item9", "--output", out, "a.mp4"},
         "no preset"},
        {presetArguments(out), "no sources"},
        {presetArguments(out) + QStringList{"empty"}, "no sources"},
    };
    for (const auto &line : lines) {
        EXPECT_EQ(p.run(line.arguments), 2) << line.arguments.join(' ').toStdString();
        EXPECT_TRUE(p.err.contains(line.says)) << p.err.toStdString();
    }
    EXPECT_TRUE(filesIn(p.path("out")).isEmpty());
    EXPECT_FALSE(QFile::exists(p.path("config/ormolux/vuzu.ini"))) << "settings are only read";
}

TEST(ConvertProgram, ListShowsTheUsersOwnProfiles)
{
    ConvertProgram p;
    QDir().mkpath(p.userProfiles());
    writeFile(p.userProfiles() + "/My_Phone.ini",
              "[Info]\nTitleE=My phone\n[Item0]\nTitleE=Tiny\nEXT=3gp\nCommand=x\n");
    ASSERT_EQ(p.run({"--list"}), 0) << p.err.toStdString();
    EXPECT_TRUE(p.out.contains("My_Phone.ini: My phone [yours]\n  Item0: Tiny\n"))
        << p.out.toStdString();
    EXPECT_TRUE(p.out.contains("3GPP_Phone.ini: 3GPP mobile phone (H.263 + AAC) [shipped]\n"));
    ASSERT_EQ(p.run({"--list", "--profile", "My phone"}), 0);
    EXPECT_EQ(p.out, "My_Phone.ini: My phone [yours]\n  Item0: Tiny\n");
}

TEST(ConvertProgram, CtrlCStopsAtOnceAndLeavesNothing)
{
    ConvertProgram p;
    // Read at the clip's own pace, so the jobs are surely running when stopped.
    QDir().mkpath(p.userProfiles());
    writeFile(p.userProfiles() + "/Slow.ini",
              "[Info]\nTitleE=Slow\n[Item0]\nTitleE=Real time\nEXT=3gp\n"
              "Command=<%AppPath%>/cores/avcore.dll -y -re -i \"<%InputFile%>\" -c:v h263 "
              "-s 176x144 -c:a aac -ac 1 -ar 22050 -f 3gp \"<%OutputFile%>.3gp\"\n");
    const QString clip = sharedClip("cli_20s.mp4", 20, {160, 120});
    for (const char *name : {"one.mp4", "two.mp4", "three.mp4"})
        ASSERT_TRUE(QFile::copy(clip, p.path("in/") + name));
    p.start({"--profile", "Slow.ini", "--preset", "Item0", "--output", p.path("out"), "--jobs", "2",
             "--json", "summary.json", "one.mp4", "two.mp4", "three.mp4"});
    QByteArray err;
    ASSERT_TRUE(waitFor(
        [&] {
            p.process.waitForReadyRead(50);
            err += p.process.readAllStandardError();
            return err.count("converting") == 2 && filesIn(p.path("out")).size() == 2;
        },
        30000))
        << err.toStdString();

    ::kill(pid_t(p.process.processId()), SIGINT);
    ASSERT_TRUE(p.process.waitForFinished(10000));
    EXPECT_EQ(p.process.exitCode(), 130) << (err + p.process.readAllStandardError()).toStdString();
    EXPECT_TRUE(filesIn(p.path("out")).isEmpty())
        << filesIn(p.path("out")).join(", ").toStdString();
    EXPECT_FALSE(encoderRunning(p.app));
    const QJsonObject summary =
        QJsonDocument::fromJson(readFile(p.path("in/summary.json"))).object();
    EXPECT_EQ(summary["stopped"].toInt(), 3);
    EXPECT_EQ(summary["exitStatus"].toInt(), 130);
}

TEST(ConvertProgram, LinksNoWindowLibrary)
{
    const ProcessResult ldd = runProcess("ldd", {ORM_CONVERT_PROGRAM});
    ASSERT_EQ(ldd.exitCode, 0) << ldd.output.toStdString();
    EXPECT_TRUE(ldd.output.contains("libQt6Core"));
    for (const char *library : {"libQt6Gui", "libQt6Widgets", "libQt6DBus"})
        EXPECT_FALSE(ldd.output.contains(library)) << library;
}
