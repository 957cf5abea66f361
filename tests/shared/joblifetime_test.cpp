// A conversion job's processes live and die with the program that started
// them. The program here is a copy of this test started as a job host.
#include "platform/childprocess.h"
#include "platform/jobrecord.h"
#include "platform/platform.h"
#include "platform/processes.h"
#include "shared/conversionjob.h"
#include "support/apps.h"
#include "support/testfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

using namespace ormtest;

namespace {

// A copy of this test program run with ORM_TEST_JOB_HOST=<script> starts that
// script as a conversion job and waits to be killed; with
// ORM_TEST_JOB_CLEANUP=1 it only makes a job object, which cleans up what a
// killed earlier run left, and ends.
const bool g_jobHost = [] {
    const char *script = std::getenv("ORM_TEST_JOB_HOST");
    const bool cleanup = std::getenv("ORM_TEST_JOB_CLEANUP") != nullptr;
    if (!script && !cleanup)
        return false;
    QCoreApplication &app = testApp();
    orm::ProgressModel model(QStringLiteral("Status"));
    orm::ConversionJob job(model);
    if (cleanup)
        ::_exit(0);
    job.Start(QString::fromUtf8(script), 0, 0);
    app.exec();
    ::_exit(0);
}();

struct Installation {
    Installation()
    {
        QDir().mkpath(dir.filePath("cores"));
        QDir().mkpath(runtime());
        QFile::copy(QStringLiteral(ORM_TEST_ENCODER), encoder());
        writeFile(script(), "\"" + encoder().toUtf8() +
                                "\" -y -i in.avi --duration=60 --steps=1 "
                                "--grandchild-hang \"" +
                                dir.filePath("out.mp4").toUtf8() + "\"\n");
    }
    QString encoder() const { return dir.filePath("cores/avcore.dll"); }
    QString script() const { return dir.filePath("~ConvertCore.bat"); }
    // The runtime folder of the test's programs: tests running at once keep
    // their records apart.
    QString runtime() const { return dir.filePath("runtime"); }
    // Processes running the encoder's file (the job's encoder and its child).
    int encoders() const
    {
        int count = 0;
        for (const QString &pid : QDir("/proc").entryList(QDir::Dirs))
            count += orm::platform::processProgramFile(pid.toInt()) == encoder().toStdString() &&
                     !orm::platform::isZombie(pid.toInt());
        return count;
    }
    // Job records that name the script.
    int records() const
    {
        const QString folder = runtime() + "/ormolux-jobs-" + QString::number(::getuid());
        int count = 0;
        for (const QString &name : QDir(folder).entryList(QDir::Files))
            count += readFile(folder + "/" + name).contains(script().toUtf8());
        return count;
    }
    QTemporaryDir dir;
};

void startHost(QProcess &host, const Installation &inst, bool cleanup = false)
{
    const QString script = inst.script();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", inst.runtime());
    env.insert(cleanup ? "ORM_TEST_JOB_CLEANUP" : "ORM_TEST_JOB_HOST", cleanup ? "1" : script);
    host.setProcessEnvironment(env);
    host.setProcessChannelMode(QProcess::ForwardedChannels);
    host.start(QString::fromStdString(orm::platform::programPath()), {});
}

void runCleanup(const Installation &inst)
{
    QProcess cleanup;
    startHost(cleanup, inst, true);
    EXPECT_TRUE(cleanup.waitForFinished(20000));
}

} // namespace

// However the program ends, its job ends with it; SIGKILL leaves only the
// record and the script, which the program's next start removes.
TEST(JobLifetime, AKilledProgramTakesItsJobAlongAndItsNextStartCleansUp)
{
    testApp();
    Installation inst;
    QProcess host;
    startHost(host, inst);
    // The record is written once the job has started.
    ASSERT_TRUE(waitFor([&] { return inst.encoders() == 2 && inst.records() == 1; }, 20000));

    ::kill(pid_t(host.processId()), SIGKILL);
    QElapsedTimer killed;
    killed.start();
    EXPECT_TRUE(waitFor([&] { return inst.encoders() == 0; }, 1000))
        << inst.encoders() << " encoder processes left after " << killed.elapsed() << " ms";
    host.waitForFinished();
    EXPECT_TRUE(QFile::exists(inst.script()));
    EXPECT_EQ(inst.records(), 1);

    runCleanup(inst);
    EXPECT_FALSE(QFile::exists(inst.script()));
    EXPECT_EQ(inst.records(), 0);
}

// Should the job outlive its program after all (here its holder is killed
// while the program is held stopped), the next start ends it from the record
// - and only it: another program running the same encoder file runs on.
TEST(JobLifetime, LeftoversOfACrashedRunAreEndedButNeverAnotherProgramsProcess)
{
    testApp();
    Installation inst;
    QProcess other;
    other.start(inst.encoder(), {"-i", "x", "--hang", inst.dir.filePath("other.mp4")});
    ASSERT_TRUE(other.waitForStarted());
    QProcess host;
    startHost(host, inst);
    ASSERT_TRUE(waitFor([&] { return inst.encoders() == 3 && inst.records() == 1; }, 20000))
        << inst.encoders() << " encoders, " << inst.records() << " records";

    // The job's leader is the build's holder program, not a fork of the program.
    const pid_t program = pid_t(host.processId());
    ::kill(program, SIGSTOP);
    const std::string holder = orm::platform::jobHolderPath();
    ASSERT_FALSE(holder.empty());
    int holders = 0;
    for (const int pid : orm::platform::descendantsOf(program)) {
        if (orm::platform::processProgramFile(pid) == holder)
            holders += ::kill(pid, SIGKILL) == 0;
    }
    EXPECT_EQ(holders, 1);
    ::kill(program, SIGKILL);
    host.waitForFinished();
    ASSERT_TRUE(waitFor([&] { return inst.encoders() == 3; }, 2000)) << "the job was left running";
    runCleanup(inst);
    EXPECT_TRUE(waitFor([&] { return inst.encoders() == 1; }, 2000));
    EXPECT_EQ(other.state(), QProcess::Running);
    EXPECT_FALSE(QFile::exists(inst.script()));
    EXPECT_EQ(inst.records(), 0);
    other.kill();
    other.waitForFinished();
}
