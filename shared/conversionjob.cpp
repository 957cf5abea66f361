#include "conversionjob.h"

#include "userfolders.h"

#include <mutex>

namespace orm {

ConversionJob::ConversionJob(JobListener &listener) : m_model(listener), m_parser(listener)
{
    EndLeftoversOfCrashedRuns();
    m_redirector.setDefaultErrorMode(true);
    m_redirector.KillOnDestroy = true;
    const auto onData = [this](TRedirector &, const char *data, qsizetype n) {
        consoleText(data, n);
    };
    m_redirector.OnStdOut = onData;
    m_redirector.OnStdErr = onData;
    m_redirector.OnTerminated = [this](TRedirector &) { processEnded(); };
}

void EndLeftoversOfCrashedRuns()
{
    static std::once_flag leftovers;
    std::call_once(leftovers, [] {
        platform::endLeftoverJobs();
        UserFolders::removeLeftoverJobFiles();
    });
}

void ConversionJob::Start(const QString &scriptPath, quint8 initialPriority, qint64 fileSize,
                          const QStringList &ownFiles)
{
    m_parser.reset();
    m_model.startJob(fileSize);
    m_stopped = false;
    m_redirector.setInitialPriority(initialPriority);
    m_redirector.setCommandLine(scriptPath);
    m_redirector.Execute();
    std::vector<std::string> files;
    for (const QString &file : ownFiles)
        files.push_back(file.toStdString());
    m_record =
        platform::JobRecord::create(m_redirector.ProcessId(), scriptPath.toStdString(), files);
}

void ConversionJob::Stop()
{
    if (!m_redirector.Active())
        return;
    m_stopped = true;
    m_redirector.Terminate(0);
}

void ConversionJob::consoleText(const char *data, qsizetype count)
{
    if (m_stopped)
        return;
    m_parser.feed(QByteArrayView(data, count), m_redirector.Exited());
    if (OnProgress)
        OnProgress();
}

void ConversionJob::processEnded()
{
    // The record stays until the end has been dealt with: the job's own files
    // are published or removed there, and a run killed before that leaves
    // them listed.
    const platform::JobRecord record = std::move(m_record);
    if (!m_stopped) {
        m_parser.finish();
        if (OnProgress)
            OnProgress();
    }
    JobEnd end;
    end.exitStatus = m_redirector.ExitStatus();
    end.outcome = m_redirector.Failed()
                      ? JobOutcome::Failed
                      : outcomeOf(m_model.errorOccurred(), end.exitStatus, m_stopped);
    if (end.outcome == JobOutcome::Failed && !m_model.errorOccurred())
        end.message = m_redirector.Failed() ? m_redirector.FailureText() : m_parser.lastMessage();
    if (end.outcome == JobOutcome::Failed)
        end.recentLines = m_parser.recentMessages();
    if (OnEnded)
        OnEnded(end);
}

QString FailureMessage(const JobEnd &end)
{
    if (!end.message.isEmpty())
        return end.message;
    return QStringLiteral("The encoder ended with exit status %1.").arg(end.exitStatus);
}

} // namespace orm
