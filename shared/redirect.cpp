#include "redirect.h"

#include "error.h"
#include "platform/childprocess.h"
#include "utilfuncs.h"

#include "platform/pipewait.h"

#include <QMetaObject>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace orm {

using platform::Fd;

// One child and what its reader thread shares with the main thread.
struct TRedirector::Job {
    // The reader thread waits for the child and reaps it; the main thread
    // kills it by its id, which stays valid until `reaped` is set.
    platform::ChildProcess child;
    int pid = -1;
    std::mutex childMutex;
    std::atomic<bool> reaped{false};
    Fd stdinWrite; // kept open and never written, like the console's input
    Fd stdoutRead;
    Fd stderrRead;
    platform::WakeEvent wake; // signalled to stop the reader

    std::atomic<bool> exited{false};
    std::atomic<bool> cancelled{false};

    // Read into and handed to the handlers by the main thread only.
    QByteArray buffer;
    std::mutex callMutex;
    std::condition_variable callDone;
    bool turnDone = false;
    QString handlerError;

    // Written by the reader before it posts the end notice.
    int exitStatus = 0;
    QString failure;

    std::thread thread;
};

namespace {

platform::ProcessPriority priorityOf(quint8 initialPriority)
{
    switch (initialPriority) {
    case 1: return platform::ProcessPriority::Idle;
    case 2: return platform::ProcessPriority::Normal;
    case 3: return platform::ProcessPriority::High;
    case 4: return platform::ProcessPriority::RealTime;
    default: return platform::ProcessPriority::Inherit;
    }
}

[[noreturn]] void raiseLastError(const char *text, int error)
{
    throw Error(QString::fromLatin1(text) + QString::number(error));
}

platform::Pipe createPipe(const char *text)
{
    int error = 0;
    auto pipe = platform::Pipe::create(error);
    if (!pipe)
        raiseLastError(text, error);
    return std::move(*pipe);
}

// A large pipe lets a talkative child write on while the main thread is busy,
// and each hand-over carry more: fewer round trips between the threads.
constexpr int kPipeSize = 1024 * 1024;
constexpr qsizetype kMinimumRead = 4096;

} // namespace

TRedirector::TRedirector(QObject *parent) : QObject(parent) {}

TRedirector::~TRedirector()
{
    if (!m_job)
        return;
    if (KillOnDestroy) {
        OnTerminated = nullptr;
        killChild(*m_job);
    }
    m_job->cancelled = true;
    m_job->wake.signal();
    {
        std::lock_guard lock(m_job->callMutex);
    }
    m_job->callDone.notify_all();
    if (m_job->thread.joinable())
        m_job->thread.join();
    // The reader has gone; a child that is to go on by itself is let go.
    if (!KillOnDestroy)
        m_job->child.abandon();
}

QString TRedirector::CommandLine() const
{
    return ApplicationName.isEmpty() ? m_commandLine : ApplicationName + u' ' + m_commandLine;
}

void TRedirector::setCommandLine(const QString &commandLine)
{
    if (Active() && commandLine.compare(CommandLine(), Qt::CaseInsensitive) != 0)
        throw Error(QStringLiteral("Cannot change Commandline while process is active"));
    m_commandLine = commandLine;
}

void TRedirector::setDefaultErrorMode(bool value)
{
    if (Active() && value != m_defaultErrorMode)
        throw Error(QStringLiteral("Cannot change DefaultErrorMode while process is active"));
    m_defaultErrorMode = value;
}

void TRedirector::setInitialPriority(quint8 value)
{
    if (Active())
        throw Error(QStringLiteral("Cannot change InititalPriority while process is active"));
    m_initialPriority = value;
}

int TRedirector::ProcessId() const
{
    return m_job ? m_job->pid : -1;
}

bool TRedirector::Exited() const
{
    return m_job ? m_job->exited.load() : m_exitedLast;
}

void TRedirector::Execute()
{
    if (Active())
        throw Error(QStringLiteral("Process is already active"));
    if (TrimControls(CommandLine()).isEmpty())
        throw Error(QStringLiteral("No commandline to run"));
    m_exitedLast = false;

    auto job = std::make_shared<Job>();
    platform::Pipe in = createPipe("Error on STDIN pipe creation : ");
    platform::Pipe out = createPipe("Error on STDOUT pipe creation : ");
    platform::Pipe err = createPipe("Error on STDERR pipe creation : ");

    platform::StartRequest request;
    request.applicationName = ApplicationName.trimmed().toStdString();
    request.commandLine = m_commandLine.toStdString();
    request.currentDirectory = CurrentDirectory.trimmed().toStdString();
    request.priority = priorityOf(m_initialPriority);
    // A child that is ended with its redirector also ends with the program.
    request.endWithParent = KillOnDestroy;
    int error = 0;
    job->child = platform::ChildProcess::start(request, in.readEnd.get(), out.writeEnd.get(),
                                               err.writeEnd.get(), error);
    if (!job->child.running())
        raiseLastError("Error creating process : ", error);
    job->pid = job->child.pid();

    // The child has its ends; ours must go, or the pipes would never report their end.
    job->stdinWrite = std::move(in.writeEnd);
    job->stdoutRead = std::move(out.readEnd);
    job->stderrRead = std::move(err.readEnd);
    platform::prepareReadEnd(job->stdoutRead.get(), kPipeSize);
    platform::prepareReadEnd(job->stderrRead.get(), kPipeSize);
    job->wake = platform::WakeEvent::create();
    job->buffer = QByteArray(kPipeSize, Qt::Uninitialized);
    m_failure.clear();
    m_exitStatus = 0;
    m_job = job;
    job->thread = std::thread(readerLoop, this, job);
}

void TRedirector::Terminate(int /*exitCode*/)
{
    if (!Active())
        throw Error(QStringLiteral("Cannot Terminate an inactive process"));
    killChild(*m_job);
}

void TRedirector::killChild(Job &job)
{
    std::lock_guard lock(job.childMutex);
    if (!job.reaped)
        platform::killProcessGroup(job.pid);
}

// What one read on the main thread gave.
struct TRedirector::Turn {
    platform::ReadStatus status = platform::ReadStatus::Empty;
    bool full = false;   // the read filled what was asked: more may wait
    bool handled = true; // the handler ran without failing
    bool cancelled = false;
    int error = 0;
};

TRedirector::Turn TRedirector::readChunk(TRedirector *self, const std::shared_ptr<Job> &job,
                                         Stream stream)
{
    {
        std::lock_guard lock(job->callMutex);
        job->turnDone = false;
    }
    auto result = std::make_shared<Turn>();
    QMetaObject::invokeMethod(
        self,
        [self, job, stream, result] {
            Turn turn;
            if (job->cancelled) {
                turn.cancelled = true;
            } else {
                const int fd = (stream == Stream::Out ? job->stdoutRead : job->stderrRead).get();
                const qsizetype size = std::min(qsizetype(platform::pendingBytes(fd, kMinimumRead)),
                                                job->buffer.size());
                const platform::ReadResult r =
                    platform::readAvailable(fd, job->buffer.data(), size_t(size));
                turn.status = r.status;
                turn.error = r.error;
                turn.full = qsizetype(r.count) == size;
                // A copy: the handler may destroy the redirector that holds it.
                const DataEvent handler = stream == Stream::Out ? self->OnStdOut : self->OnStdErr;
                try {
                    if (r.status == platform::ReadStatus::Data && handler)
                        handler(*self, job->buffer.constData(), qsizetype(r.count));
                } catch (const std::exception &e) {
                    job->handlerError = QString::fromUtf8(e.what());
                } catch (...) {
                    job->handlerError = QStringLiteral("Unknown error in an output handler");
                }
                turn.handled = job->handlerError.isEmpty();
            }
            {
                std::lock_guard lock(job->callMutex);
                *result = turn;
                job->turnDone = true;
            }
            job->callDone.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(job->callMutex);
    job->callDone.wait(lock, [&] { return job->turnDone || job->cancelled; });
    if (!job->turnDone) {
        Turn cancelled;
        cancelled.cancelled = true;
        return cancelled;
    }
    return *result;
}

void TRedirector::readerLoop(TRedirector *self, std::shared_ptr<Job> job)
{
    const char *readErrors[2] = {"Error reading STDOUT pipe : ", "Error reading STDERR pipe : "};
    const int pipes[2] = {job->stdoutRead.get(), job->stderrRead.get()};
    bool open[2] = {true, true};
    QString failure;

    // Has the main thread read what a pipe holds now; false when the job must end.
    auto drainPipe = [&](int i, bool &gotData) {
        for (;;) {
            const Turn turn = readChunk(self, job, i == 0 ? Stream::Out : Stream::Err);
            if (turn.cancelled || !turn.handled)
                return false;
            switch (turn.status) {
            case platform::ReadStatus::Data:
                gotData = true;
                if (!turn.full)
                    return true;
                continue;
            case platform::ReadStatus::End: open[i] = false; return true;
            case platform::ReadStatus::Empty: return true;
            case platform::ReadStatus::Failed:
                failure = QString::fromLatin1(readErrors[i]) + QString::number(turn.error);
                return false;
            }
        }
    };

    const int exitFd = job->child.exitNotifier();
    // Without a pidfd the end is looked for now and then.
    const int slice = exitFd >= 0 ? -1 : 20;
    bool ok = true;
    while (ok && !job->cancelled && !job->exited) {
        platform::WaitItem items[4] = {
            {open[0] ? pipes[0] : -1}, {open[1] ? pipes[1] : -1}, {exitFd}, {job->wake.fd()}};
        int error = 0;
        if (!platform::waitReadable(items, slice, error)) {
            failure = QStringLiteral("Error waiting for the process : ") + QString::number(error);
            break;
        }
        for (int i = 0; i < 2 && ok; ++i) {
            if (items[i].ready) {
                bool gotData = false;
                ok = drainPipe(i, gotData);
            }
        }
        if (items[2].ready || exitFd < 0 || (!open[0] && !open[1])) {
            std::lock_guard lock(job->childMutex);
            if (job->child.poll()) {
                job->reaped = true;
                job->exited = true;
            }
        }
        if (!open[0] && !open[1] && !job->exited && ok) {
            // Output has ended; only the end itself is still to come.
            platform::WaitItem end[2] = {{exitFd}, {job->wake.fd()}};
            platform::waitReadable(end, slice, error);
        }
    }

    if (ok && job->exited) {
        // The child has gone: hand over what its pipes still hold.
        bool gotData = true;
        while (ok && gotData && !job->cancelled) {
            gotData = false;
            for (int i = 0; i < 2 && ok; ++i) {
                if (open[i])
                    ok = drainPipe(i, gotData);
            }
        }
    }
    if (job->cancelled)
        return;
    if (!job->handlerError.isEmpty())
        failure = job->handlerError;
    if (!failure.isEmpty())
        killChild(*job); // a failed job releases its child
    {
        // The child has ended or has just been killed: this wait is short.
        std::lock_guard lock(job->childMutex);
        job->exitStatus = job->child.wait();
        job->reaped = true;
    }
    job->failure = failure;
    job->exited = true;
    QMetaObject::invokeMethod(
        self, [self, job] { self->ProcessTerminated(job); }, Qt::QueuedConnection);
}

void TRedirector::ProcessTerminated(const std::shared_ptr<Job> &job)
{
    if (job != m_job || job->cancelled)
        return;
    if (job->thread.joinable())
        job->thread.join();
    m_exitStatus = job->exitStatus;
    m_failure = job->failure;
    m_exitedLast = true;
    m_job.reset(); // closes the pipes
    if (OnTerminated)
        OnTerminated(*this);
}

} // namespace orm
