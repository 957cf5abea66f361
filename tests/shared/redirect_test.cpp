#include "shared/error.h"
#include "shared/redirect.h"
#include "support/apps.h"
#include "support/testfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <pthread.h>

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

using namespace orm;
using namespace ormtest;

namespace {

QCoreApplication &app()
{
    return ormtest::testApp<QCoreApplication>();
}

// What one child printed and how it ended, as the handlers saw it.
struct Recording {
    QByteArray out, err;
    QList<char> order; // 'o', 'e', 't' in arrival order
    int ends = 0;
    bool exitedDuringLastChunk = false;
    int exitStatus = -1;
};

void record(TRedirector &r, Recording &rec)
{
    r.OnStdOut = [&rec](TRedirector &s, const char *data, qsizetype n) {
        rec.out.append(data, n);
        rec.order << 'o';
        rec.exitedDuringLastChunk = s.Exited();
    };
    r.OnStdErr = [&rec](TRedirector &s, const char *data, qsizetype n) {
        rec.err.append(data, n);
        rec.order << 'e';
        rec.exitedDuringLastChunk = s.Exited();
    };
    r.OnTerminated = [&rec](TRedirector &s) {
        ++rec.ends;
        rec.order << 't';
        rec.exitStatus = s.ExitStatus();
    };
}

// Runs the event loop until the child has ended (and a little longer, to
// catch a second end notice), or until the time is up.
bool waitForEnd(const Recording &rec, int timeoutMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (rec.ends == 0 && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    QElapsedTimer grace;
    grace.start();
    while (grace.elapsed() < 50)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return rec.ends > 0;
}

QString script(QTemporaryDir &dir, const QByteArray &body, const QString &name = "~ConvertCore.bat")
{
    const QString path = dir.filePath(name);
    writeFile(path, body);
    return path;
}

int countEntries(const char *folder)
{
    int n = 0;
    DIR *d = opendir(folder);
    while (readdir(d))
        ++n;
    closedir(d);
    return n;
}

// Signalled processes die a moment after the signal: wait up to two seconds.
bool groupEnds(int group)
{
    QElapsedTimer t;
    t.start();
    while (!processesInGroup(group).isEmpty() && t.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return processesInGroup(group).isEmpty();
}

} // namespace

TEST(Redirector, AQuietChildGivesOneEndNoticeAndNoOutput)
{
    app();
    QTemporaryDir dir;
    TRedirector r;
    Recording rec;
    record(r, rec);
    r.setCommandLine(script(dir, "exit 0\n"));
    r.Execute();
    EXPECT_TRUE(r.Active());
    ASSERT_TRUE(waitForEnd(rec));
    EXPECT_EQ(rec.ends, 1);
    EXPECT_TRUE(rec.out.isEmpty());
    EXPECT_TRUE(rec.err.isEmpty());
    EXPECT_FALSE(r.Active());
    EXPECT_TRUE(r.Exited());
    EXPECT_EQ(rec.exitStatus, 0);
}

TEST(Redirector, OutputIsDeliveredWholeAndBeforeTheEnd)
{
    app();
    QTemporaryDir dir;
    TRedirector r;
    Recording rec;
    record(r, rec);
    // 300 KiB on standard output, a line on standard error, and the last bytes
    // in the same instant as the exit.
    r.setCommandLine(script(dir, "head -c 307200 /dev/zero | tr '\\0' x\n"
                                 "echo 'to stderr' >&2\nprintf 'last'\nexit 3\n"));
    r.Execute();
    ASSERT_TRUE(waitForEnd(rec));
    EXPECT_EQ(rec.ends, 1);
    EXPECT_EQ(rec.out.size(), 307200 + 4);
    EXPECT_TRUE(rec.out.endsWith("xlast"));
    EXPECT_EQ(rec.err, "to stderr\n");
    EXPECT_EQ(rec.order.last(), 't');
    EXPECT_EQ(rec.order.count('t'), 1);
    EXPECT_EQ(rec.exitStatus, 3);
}

TEST(Redirector, StandardErrorOnly)
{
    app();
    QTemporaryDir dir;
    TRedirector r;
    Recording rec;
    record(r, rec);
    r.setCommandLine(script(dir, "echo one >&2\necho two >&2\n"));
    r.Execute();
    ASSERT_TRUE(waitForEnd(rec));
    EXPECT_TRUE(rec.out.isEmpty());
    EXPECT_EQ(rec.err, "one\ntwo\n");
    EXPECT_FALSE(rec.order.contains('o'));
}

TEST(Redirector, PropertiesCannotChangeUnderARunningChild)
{
    app();
    QTemporaryDir dir;
    TRedirector r;
    Recording rec;
    record(r, rec);
    EXPECT_THROW(r.Execute(), Error); // no command line
    try {
        r.setCommandLine("   \t");
        r.Execute();
    } catch (const Error &e) {
        EXPECT_EQ(e.text(), u"No commandline to run");
    }
    try {
        r.Terminate(0);
    } catch (const Error &e) {
        EXPECT_EQ(e.text(), u"Cannot Terminate an inactive process");
    }

    const QString path = script(dir, "sleep 5\n", "Slow.bat");
    r.setCommandLine(path);
    r.setDefaultErrorMode(true);
    r.setInitialPriority(2);
    r.Execute();
    const auto expectError = [](auto &&call, const char *text) {
        try {
            call();
            ADD_FAILURE() << "no error: " << text;
        } catch (const Error &e) {
            EXPECT_EQ(e.text(), QString::fromLatin1(text));
        }
    };
    r.setCommandLine(path.toUpper().left(path.size() - 8) + path.right(8)); // same text, other case
    r.setCommandLine(path);
    expectError([&] { r.setCommandLine(path + "x"); },
                "Cannot change Commandline while process is active");
    r.setDefaultErrorMode(true);
    expectError([&] { r.setDefaultErrorMode(false); },
                "Cannot change DefaultErrorMode while process is active");
    expectError([&] { r.setInitialPriority(2); },
                "Cannot change InititalPriority while process is active");
    expectError([&] { r.Execute(); }, "Process is already active");
    r.Terminate(0);
    ASSERT_TRUE(waitForEnd(rec));
    EXPECT_EQ(rec.ends, 1);
    r.setInitialPriority(1);
    EXPECT_EQ(r.InitialPriority(), 1);
}

TEST(Redirector, AMissingProgramIsReportedAndLeavesItIdle)
{
    app();
    TRedirector r;
    r.setCommandLine("/nonexistent/~ConvertCore.bat");
    try {
        r.Execute();
        FAIL() << "a missing program started";
    } catch (const Error &e) {
        EXPECT_EQ(e.text(), u"Error creating process : 2");
    }
    EXPECT_FALSE(r.Active());
    r.setCommandLine("no-such-program-orm --version");
    EXPECT_THROW(r.Execute(), Error);
    EXPECT_FALSE(r.Active());
}

TEST(Redirector, TerminateEndsTheWholeGroup)
{
    app();
    QTemporaryDir dir;
    TRedirector r;
    Recording rec;
    record(r, rec);
    int group = 0;
    r.OnStdOut = [&](TRedirector &, const char *data, qsizetype n) {
        group = QByteArray(data, n).trimmed().toInt();
    };
    // The shell starts an encoder that starts a grandchild; all of them hang.
    r.setCommandLine(script(dir, "echo $$\nsh -c 'sleep 300 & sleep 300' &\nsleep 300\n"));
    r.Execute();
    QElapsedTimer t;
    t.start();
    while ((group == 0 || processesInGroup(group).size() < 4) && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_GT(group, 0);
    EXPECT_GE(processesInGroup(group).size(), 4);
    r.Terminate(0);
    ASSERT_TRUE(waitForEnd(rec));
    EXPECT_EQ(rec.ends, 1);
    EXPECT_EQ(rec.exitStatus, 128 + SIGKILL);
    EXPECT_TRUE(groupEnds(group));
}

TEST(Redirector, HandlersNeverOverlapEvenInsideModalLoops)
{
    app();
    QTemporaryDir dir;
    TRedirector r;
    Recording rec;
    record(r, rec);
    int depth = 0;
    int maxDepth = 0;
    int calls = 0;
    r.OnStdOut = [&](TRedirector &, const char *, qsizetype) {
        ++calls;
        maxDepth = std::max(maxDepth, ++depth);
        if (calls == 1) {
            // A modal box: a nested loop runs while the handler waits for the user.
            QEventLoop nested;
            QTimer::singleShot(200, &nested, &QEventLoop::quit);
            nested.exec();
        }
        --depth;
    };
    r.setCommandLine(script(dir, "for i in 1 2 3 4 5 6 7 8; do echo line$i; sleep 0.02; done\n"));
    r.Execute();
    ASSERT_TRUE(waitForEnd(rec));
    EXPECT_EQ(maxDepth, 1);
    EXPECT_GE(calls, 2);
    EXPECT_EQ(rec.ends, 1);
}

TEST(Redirector, AFailingHandlerEndsTheJobAndReleasesTheChild)
{
    app();
    QTemporaryDir dir;
    TRedirector r;
    Recording rec;
    record(r, rec);
    int group = 0;
    r.OnStdOut = [&](TRedirector &, const char *data, qsizetype n) {
        group = QByteArray(data, n).trimmed().toInt();
        throw std::runtime_error("handler broke");
    };
    r.setCommandLine(script(dir, "echo $$\nsleep 300\n"));
    r.Execute();
    ASSERT_TRUE(waitForEnd(rec));
    EXPECT_EQ(rec.ends, 1);
    EXPECT_TRUE(r.Failed());
    EXPECT_EQ(r.FailureText(), u"handler broke");
    EXPECT_FALSE(r.Active());
    EXPECT_TRUE(groupEnds(group));
}

TEST(Redirector, DestroyingItEndsARunningChild)
{
    app();
    QTemporaryDir dir;
    int shell = 0;
    int group = 0;
    Recording rec;
    {
        TRedirector r;
        record(r, rec);
        r.KillOnDestroy = true;
        r.OnStdOut = [&](TRedirector &, const char *data, qsizetype n) {
            shell = QByteArray(data, n).trimmed().toInt();
        };
        r.setCommandLine(script(dir, "echo $$\nsleep 300\n"));
        r.Execute();
        group = r.ProcessId();
        QElapsedTimer t;
        t.start();
        while (shell == 0 && t.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        // The shell runs in the child's group (under the child that holds the job).
        EXPECT_TRUE(processesInGroup(group).contains(shell));
    }
    ASSERT_GT(shell, 0);
    EXPECT_TRUE(groupEnds(group));
    EXPECT_EQ(rec.ends, 0); // no end notice from a destroyed redirector
}

// A handler may still be reading its chunk when its redirector goes (a window
// closed from a modal loop inside the handler): the chunk is neither refilled
// nor freed under it.
TEST(Redirector, AChunkStaysWholeWhileItsHandlerRunsEvenWhenTheRedirectorGoes)
{
    app();
    QTemporaryDir dir;
    auto *r = new TRedirector;
    r->KillOnDestroy = true;
    QByteArray before, after;
    r->OnStdOut = [&](TRedirector &, const char *data, qsizetype n) {
        if (!before.isEmpty())
            return;
        before = QByteArray(data, n);
        QEventLoop nested;
        QTimer::singleShot(0, &nested, [&] { delete r; });
        QTimer::singleShot(100, &nested, &QEventLoop::quit); // the child writes on meanwhile
        nested.exec();
        after = QByteArray(data, n);
    };
    r->setCommandLine(script(dir, "while :; do echo 0123456789abcdefghijklmnopqrstuvwxyz; done\n"));
    r->Execute();
    QElapsedTimer t;
    t.start();
    while (after.isEmpty() && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_FALSE(before.isEmpty());
    EXPECT_EQ(after, before);
}

TEST(Redirector, ThePriorityBecomesTheChildsNiceLevel)
{
    app();
    QTemporaryDir dir;
    TRedirector r;
    Recording rec;
    record(r, rec);
    r.setInitialPriority(1);
    r.setCommandLine(script(dir, "cut -d ')' -f 2 /proc/$$/stat | cut -d ' ' -f 18\n"));
    r.Execute();
    ASSERT_TRUE(waitForEnd(rec));
    EXPECT_EQ(rec.out.trimmed(), "19");
}

TEST(Redirector, TheChildStartsWithNothingBlockedAndSigpipeAtItsDefault)
{
    app();
    QTemporaryDir dir;
    // This program blocks SIGUSR1 and ignores SIGPIPE; its children must not.
    struct sigaction ignore = {}, savedPipe;
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &savedPipe);
    sigset_t usr1, savedMask;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    ::pthread_sigmask(SIG_BLOCK, &usr1, &savedMask);

    TRedirector direct; // a program, no shell between
    Recording masks;
    record(direct, masks);
    direct.setCommandLine("grep -E ^Sig(Blk|Ign) /proc/self/status");
    direct.Execute();
    ASSERT_TRUE(waitForEnd(masks));
    EXPECT_TRUE(masks.out.contains("SigBlk:\t0000000000000000")) << masks.out.toStdString();
    const qsizetype ign = masks.out.indexOf("SigIgn:\t");
    ASSERT_GE(ign, 0) << masks.out.toStdString();
    const quint64 ignored = masks.out.mid(ign + 8, 16).toULongLong(nullptr, 16);
    EXPECT_EQ(ignored & (1ull << (SIGPIPE - 1)), 0u) << masks.out.toStdString();

    // What it means for a pipeline: with SIGPIPE ignored, `yes` would
    // complain of a broken pipe instead of ending quietly.
    TRedirector r;
    Recording rec;
    record(r, rec);
    r.setCommandLine(script(dir, "yes | head -n 1\n"));
    r.Execute();
    ASSERT_TRUE(waitForEnd(rec));
    EXPECT_EQ(rec.out, "y\n");
    EXPECT_EQ(rec.err, "");

    ::pthread_sigmask(SIG_SETMASK, &savedMask, nullptr);
    ::sigaction(SIGPIPE, &savedPipe, nullptr);
}

TEST(Redirector, ManyRunsLeaveNoDescriptorOrThreadBehind)
{
    app();
    QTemporaryDir dir;
    TRedirector r;
    Recording rec;
    record(r, rec);
    r.setCommandLine(script(dir, "echo hello\n", "run me.bat"));
    // One run first, so that lazily made resources are counted before.
    r.Execute();
    ASSERT_TRUE(waitForEnd(rec));
    const int fds = countEntries("/proc/self/fd");
    const int threads = countEntries("/proc/self/task");
    for (int i = 0; i < 300; ++i) {
        const int before = rec.ends;
        r.Execute();
        QElapsedTimer t;
        t.start();
        while (rec.ends == before && t.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        ASSERT_EQ(rec.ends, before + 1) << "run " << i;
    }
    EXPECT_EQ(rec.out.count("hello\n"), 301);
    EXPECT_EQ(countEntries("/proc/self/fd"), fds);
    EXPECT_EQ(countEntries("/proc/self/task"), threads);
}

TEST(Redirector, AnEndHandlerMayStartTheNextChild)
{
    app();
    QTemporaryDir dir;
    TRedirector r;
    Recording rec;
    record(r, rec);
    int runs = 0;
    r.OnTerminated = [&](TRedirector &s) {
        ++rec.ends;
        if (++runs < 3)
            s.Execute();
    };
    r.setCommandLine(script(dir, "echo x\n"));
    r.Execute();
    QElapsedTimer t;
    t.start();
    while (runs < 3 && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    EXPECT_EQ(runs, 3);
    EXPECT_EQ(rec.out, "x\nx\nx\n");
}
