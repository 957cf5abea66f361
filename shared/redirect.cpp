#include "redirect.h"

#include "error.h"
#include "platform/childprocess.h"
#include "utilfuncs.h"

#include <QMetaObject>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
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
    Fd wake; // written to stop the reader

    std::atomic<bool> exited{false};
    std::atomic<bool> cancelled{false};

    std::mutex callMutex;
    std::condition_variable callDone;
    bool called = false;
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

void setNonBlocking(int fd)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

// A large pipe lets a talkative child write on while the main thread is busy,
// and each hand-over carry more: fewer round trips between the threads.
constexpr int kPipeSize = 1024 * 1024;
constexpr qsizetype kMinimumRead = 4096;

// What the pipe holds now (at least a small read, to see its end).
qsizetype availableBytes(int fd)
{
    int available = 0;
    if (::ioctl(fd, FIONREAD, &available) != 0 || available < kMinimumRead)
        return kMinimumRead;
    return available;
}

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
    const uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(m_job->wake.get(), &one, sizeof one);
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
    setNonBlocking(job->stdoutRead.get());
    setNonBlocking(job->stderrRead.get());
    // Refused beyond the system's limit: the default size then stays.
    ::fcntl(job->stdoutRead.get(), F_SETPIPE_SZ, kPipeSize);
    ::fcntl(job->stderrRead.get(), F_SETPIPE_SZ, kPipeSize);
    job->wake.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
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

bool TRedirector::deliver(TRedirector *self, const std::shared_ptr<Job> &job, Stream stream,
                          QByteArrayView bytes)
{
    {
        std::lock_guard lock(job->callMutex);
        job->called = false;
    }
    QMetaObject::invokeMethod(
        self,
        // The bytes stay in the job's buffer: the reader reads again only
        // after this call has run, or after the job was cancelled.
        [self, job, stream, bytes] {
            if (!job->cancelled) {
                const DataEvent &handler = stream == Stream::Out ? self->OnStdOut : self->OnStdErr;
                try {
                    if (handler)
                        handler(*self, bytes.data(), bytes.size());
                } catch (const std::exception &e) {
                    job->handlerError = QString::fromUtf8(e.what());
                } catch (...) {
                    job->handlerError = QStringLiteral("Unknown error in an output handler");
                }
            }
            {
                std::lock_guard lock(job->callMutex);
                job->called = true;
            }
            job->callDone.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(job->callMutex);
    job->callDone.wait(lock, [&] { return job->called || job->cancelled; });
    return job->handlerError.isEmpty() && !job->cancelled;
}

void TRedirector::readerLoop(TRedirector *self, std::shared_ptr<Job> job)
{
    Fd *pipes[2] = {&job->stdoutRead, &job->stderrRead};
    const char *readErrors[2] = {"Error reading STDOUT pipe : ", "Error reading STDERR pipe : "};
    bool open[2] = {true, true};
    QString failure;

    // One buffer for the whole job: each chunk is handed over and used up
    // before the next read.
    QByteArray buffer(kPipeSize, Qt::Uninitialized);

    // Reads what a pipe holds now; false when the job must end.
    auto drainPipe = [&](int i, bool &gotData) {
        for (;;) {
            const qsizetype size = std::min(availableBytes(pipes[i]->get()), buffer.size());
            const ssize_t n = ::read(pipes[i]->get(), buffer.data(), size_t(size));
            if (n > 0) {
                gotData = true;
                if (!deliver(self, job, i == 0 ? Stream::Out : Stream::Err,
                             QByteArrayView(buffer.constData(), n)))
                    return false;
                if (n < size)
                    return true;
                continue;
            }
            if (n == 0) {
                open[i] = false;
                return true;
            }
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return true;
            failure = QString::fromLatin1(readErrors[i]) + QString::number(errno);
            return false;
        }
    };

    const int exitFd = job->child.exitNotifier();
    bool ok = true;
    while (ok && !job->cancelled && !job->exited) {
        pollfd fds[4];
        int count = 0;
        int index[2] = {-1, -1};
        for (int i = 0; i < 2; ++i) {
            if (open[i]) {
                index[i] = count;
                fds[count++] = {pipes[i]->get(), POLLIN, 0};
            }
        }
        const int exitIndex = exitFd >= 0 ? count : -1;
        if (exitFd >= 0)
            fds[count++] = {exitFd, POLLIN, 0};
        fds[count++] = {job->wake.get(), POLLIN, 0};
        // Without a pidfd the end is looked for now and then.
        const int r = ::poll(fds, nfds_t(count), exitFd >= 0 ? -1 : 20);
        if (r < 0 && errno != EINTR) {
            failure = QStringLiteral("Error waiting for the process : ") + QString::number(errno);
            break;
        }
        for (int i = 0; i < 2 && ok; ++i) {
            if (index[i] >= 0 && (fds[index[i]].revents & (POLLIN | POLLHUP | POLLERR))) {
                bool gotData = false;
                ok = drainPipe(i, gotData);
            }
        }
        const bool exitSignalled = exitIndex >= 0 && (fds[exitIndex].revents & POLLIN);
        if (exitSignalled || exitFd < 0 || (!open[0] && !open[1])) {
            std::lock_guard lock(job->childMutex);
            if (job->child.poll()) {
                job->reaped = true;
                job->exited = true;
            }
        }
        if (!open[0] && !open[1] && !job->exited && ok) {
            // Output has ended; only the end itself is still to come.
            pollfd wait[2] = {{exitFd, POLLIN, 0}, {job->wake.get(), POLLIN, 0}};
            if (exitFd >= 0)
                ::poll(wait, 2, -1);
            else
                ::poll(&wait[1], 1, 20);
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
