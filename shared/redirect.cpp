#include "redirect.h"

#include "error.h"
#include "handover.h"
#include "platform/childprocess.h"
#include "utilfuncs.h"

#include "platform/pipewait.h"

#include <QMetaObject>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

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
    std::atomic<bool> handlerFailed{false};

    // Chunks the reader has read and the main thread has not yet taken. Each
    // chunk is a buffer of its own, handed over whole: the reader does not
    // touch it again until the main thread gives it back as a spare.
    struct Chunk {
        Stream stream;
        QByteArray bytes;
        qsizetype held = 0; // the memory it holds, which the queue counts
    };
    std::mutex queueMutex;
    std::condition_variable roomFreed;
    std::deque<Chunk> queue;
    qsizetype queuedBytes = 0; // held by chunks not yet handled
    // Read buffers handled and given back, so that a talkative child costs
    // no allocation (and no fresh pages) per read.
    std::vector<QByteArray> spare;
    bool deliveryPosted = false;
    QString handlerError;

    // The main thread's own: a delivery under way (a handler may run a
    // nested loop), and an end notice that waits for it.
    bool delivering = false;
    bool endPending = false;

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

// A large pipe lets a talkative child write on while the reader is busy, and
// each read carry more.
constexpr int kPipeSize = 1024 * 1024;
// One read takes at most this much. A read of no more than kSmallRead (a
// line of progress) is copied into a chunk of its own size; a larger one
// hands its buffer over whole.
constexpr qsizetype kReadSize = 256 * 1024;
constexpr qsizetype kSmallRead = 16 * 1024;
constexpr std::size_t kSpareBuffers = 4;
// The reader stops reading while this much waits for the main thread: a busy
// main thread then holds up the child, as a full pipe would.
constexpr qsizetype kMostQueued = 4 * kPipeSize;

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
        std::lock_guard lock(m_job->queueMutex);
    }
    m_job->roomFreed.notify_all();
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

void TRedirector::queueChunk(TRedirector *self, const std::shared_ptr<Job> &job, Stream stream,
                             QByteArray bytes)
{
    bool post = false;
    {
        std::lock_guard lock(job->queueMutex);
        const qsizetype held = bytes.capacity();
        job->queuedBytes += held;
        job->queue.push_back({stream, std::move(bytes), held});
        post = !std::exchange(job->deliveryPosted, true);
    }
    // One call takes every chunk queued until it runs.
    if (post)
        QMetaObject::invokeMethod(self, HandedOver([self, job] { self->deliverChunks(job); }),
                                  Qt::QueuedConnection);
}

void TRedirector::deliverChunks(const std::shared_ptr<Job> &job)
{
    // A handler's nested loop may run this again: the outer call delivers
    // what arrives meanwhile, so handlers never overlap and keep the order.
    if (job != m_job || job->cancelled || job->delivering)
        return;
    job->delivering = true;
    for (;;) {
        std::deque<Job::Chunk> chunks;
        {
            std::lock_guard lock(job->queueMutex);
            chunks.swap(job->queue);
            job->deliveryPosted = false;
        }
        if (chunks.empty())
            break;
        for (Job::Chunk &chunk : chunks) {
            if (job->handlerFailed)
                break;
            // A copy: the handler may destroy the redirector that holds it.
            const DataEvent handler = chunk.stream == Stream::Out ? OnStdOut : OnStdErr;
            QString error;
            try {
                if (handler)
                    handler(*this, chunk.bytes.constData(), chunk.bytes.size());
            } catch (const std::exception &e) {
                error = QString::fromUtf8(e.what());
            } catch (...) {
                error = QStringLiteral("Unknown error in an output handler");
            }
            if (job->cancelled) {
                job->delivering = false;
                return; // the redirector has gone
            }
            {
                std::lock_guard lock(job->queueMutex);
                job->queuedBytes -= chunk.held;
                if (chunk.held >= kReadSize && job->spare.size() < kSpareBuffers)
                    job->spare.push_back(std::move(chunk.bytes));
                if (!error.isEmpty()) {
                    job->handlerError = error;
                    job->handlerFailed = true;
                }
            }
            job->roomFreed.notify_all();
            if (job->handlerFailed)
                job->wake.signal();
        }
        if (job->handlerFailed)
            break;
    }
    job->delivering = false;
    if (std::exchange(job->endPending, false))
        ProcessTerminated(job);
}

void TRedirector::readerLoop(TRedirector *self, std::shared_ptr<Job> job)
{
    const char *readErrors[2] = {"Error reading STDOUT pipe : ", "Error reading STDERR pipe : "};
    const int pipes[2] = {job->stdoutRead.get(), job->stderrRead.get()};
    bool open[2] = {true, true};
    QString failure;
    const auto readBuffer = [&job] {
        QByteArray buffer;
        {
            std::lock_guard lock(job->queueMutex);
            if (!job->spare.empty()) {
                buffer = std::move(job->spare.back());
                job->spare.pop_back();
            }
        }
        buffer.resize(kReadSize); // a spare keeps its memory: nothing is allocated
        return buffer;
    };
    QByteArray buffer = readBuffer();

    // Reads what a pipe holds now and queues it; false when the job must end.
    auto drainPipe = [&](int i, bool &gotData) {
        for (;;) {
            {
                std::unique_lock lock(job->queueMutex);
                job->roomFreed.wait(lock, [&] {
                    return job->queuedBytes < kMostQueued || job->cancelled || job->handlerFailed;
                });
            }
            if (job->cancelled || job->handlerFailed)
                return false;
            const platform::ReadResult r =
                platform::readAvailable(pipes[i], buffer.data(), size_t(kReadSize));
            const Stream stream = i == 0 ? Stream::Out : Stream::Err;
            switch (r.status) {
            case platform::ReadStatus::Data:
                gotData = true;
                if (qsizetype(r.count) <= kSmallRead) {
                    queueChunk(self, job, stream, QByteArray(buffer.data(), qsizetype(r.count)));
                } else {
                    buffer.resize(qsizetype(r.count));
                    queueChunk(self, job, stream, std::exchange(buffer, readBuffer()));
                }
                if (qsizetype(r.count) < kReadSize)
                    return true;
                continue;
            case platform::ReadStatus::End: open[i] = false; return true;
            case platform::ReadStatus::Empty: return true;
            case platform::ReadStatus::Failed:
                failure = QString::fromLatin1(readErrors[i]) + QString::number(r.error);
                return false;
            }
        }
    };

    const int exitFd = job->child.exitNotifier();
    // Without a pidfd the end is looked for now and then.
    const int slice = exitFd >= 0 ? -1 : 20;
    bool ok = true;
    while (ok && !job->cancelled && !job->exited && !job->handlerFailed) {
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
    {
        std::lock_guard lock(job->queueMutex);
        if (!job->handlerError.isEmpty())
            failure = job->handlerError;
    }
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
    QMetaObject::invokeMethod(self, HandedOver([self, job] { self->ProcessTerminated(job); }),
                              Qt::QueuedConnection);
}

void TRedirector::ProcessTerminated(const std::shared_ptr<Job> &job)
{
    if (job != m_job || job->cancelled)
        return;
    if (job->delivering) {
        job->endPending = true; // a handler is in a nested loop: the end follows it
        return;
    }
    // The last chunks come first.
    deliverChunks(job);
    if (job->cancelled || job->endPending)
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
