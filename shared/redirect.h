#pragma once
// Runs a command line as a hidden console child and hands everything it
// prints to the main thread, chunk by chunk, then tells once that it ended.
//
// A reader thread waits on the child's output pipes and on its end. It never
// touches program data: it reads each chunk into a buffer of its own and
// hands the buffer over whole, through a queue, to the thread the redirector
// lives in, which runs the handlers on the chunks in order. So a buffer
// belongs to one thread at a time, handlers never overlap, and they run
// inside modal loops too. The end notice follows the last chunk. While much
// waits in the queue the reader stops reading, so a busy main thread holds
// up the child as a full pipe would.
#include <QByteArrayView>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace orm {

class TRedirector : public QObject {
    Q_OBJECT
public:
    using DataEvent = std::function<void(TRedirector &sender, const char *data, qsizetype count)>;
    using EndEvent = std::function<void(TRedirector &sender)>;

    explicit TRedirector(QObject *parent = nullptr);
    ~TRedirector() override;

    // Plain fields, written directly.
    QString ApplicationName;
    QString CurrentDirectory;
    bool KillOnDestroy = false;
    quint16 ShowCommand = 0; // how a window of the child would show; consoles have none here
    DataEvent OnStdOut;
    DataEvent OnStdErr;
    EndEvent OnTerminated;

    // Properties that cannot change under a running child.
    QString CommandLine() const;
    void setCommandLine(const QString &commandLine);
    bool DefaultErrorMode() const { return m_defaultErrorMode; }
    void setDefaultErrorMode(bool value);
    // 0 none (inherited), 1 idle, 2 normal, 3 high, 4 real-time.
    quint8 InitialPriority() const { return m_initialPriority; }
    void setInitialPriority(quint8 value);

    bool Active() const { return m_job != nullptr; }
    // The running child's process id, which also names its process group; -1 when idle.
    int ProcessId() const;
    // The child has ended; its last chunks may still be on their way.
    bool Exited() const;

    // Of the child that ended last, valid from its end notice on: its exit
    // status (128 + signal for a killed one), and whether the job ended
    // because a pipe could not be read or a handler failed.
    int ExitStatus() const { return m_exitStatus; }
    bool Failed() const { return !m_failure.isEmpty(); }
    QString FailureText() const { return m_failure; }

    void Execute();
    // Ends the child and everything it started at once; the end notice follows
    // as for a normal end. The exit code is kept for the interface's sake: a
    // killed child reports 128 + 9.
    void Terminate(int exitCode);

private:
    struct Job;
    enum class Stream { Out, Err };

    static void readerLoop(TRedirector *self, std::shared_ptr<Job> job);
    static void queueChunk(TRedirector *self, const std::shared_ptr<Job> &job, Stream stream,
                           QByteArray bytes);
    void deliverChunks(const std::shared_ptr<Job> &job);
    void ProcessTerminated(const std::shared_ptr<Job> &job);
    static void killChild(Job &job);

    QString m_commandLine;
    bool m_defaultErrorMode = false;
    quint8 m_initialPriority = 0;
    std::shared_ptr<Job> m_job;
    int m_exitStatus = 0;
    QString m_failure;
    bool m_exitedLast = false;
};

} // namespace orm
