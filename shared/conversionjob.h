#pragma once
// One conversion job: its script run by a redirector, the console text read
// into a progress model, and the end turned into an outcome. The batch driver
// and the single-file converter both run their jobs through it.
//
// A job's processes are the script's shell, the encoder and whatever they
// start; they all belong to one process group of the job's own. Stopping ends
// exactly these (never another program's encoder), and they also end when the
// program dies, even by SIGKILL. Each running job is recorded in the user's
// runtime folder with the files it writes under its own names; the start of
// either program (or its first job object) ends what a crashed earlier run
// left and removes its scripts and unfinished outputs.
#include "consoleparser.h"
#include "platform/jobrecord.h"
#include "progressmodel.h"
#include "redirect.h"

#include <QString>

#include <functional>

namespace orm {

struct JobEnd {
    JobOutcome outcome = JobOutcome::Failed;
    int exitStatus = 0;
    // For a failed job that printed no known error line: the encoder's own
    // last message, or the reason the job could not go on.
    QString message;
    // A converted job's outputs under the names they were published with.
    QStringList outputs;
    // The encoder's last message lines, oldest first: where a failure's most
    // telling line and its likely cause are found.
    QStringList recentLines;
};

class ConversionJob {
public:
    explicit ConversionJob(JobListener &listener);

    // After every chunk of console text: the window copies the model's changes.
    std::function<void()> OnProgress;
    // Once per job, after all its console text: the one place where a job's
    // end becomes its outcome.
    std::function<void(const JobEnd &end)> OnEnded;

    // Starts the script; `ownFiles` are the names it writes that only this
    // job uses, recorded so that a crashed run's are removed. Throws
    // orm::Error when it cannot be started.
    void Start(const QString &scriptPath, quint8 initialPriority, qint64 fileSize,
               const QStringList &ownFiles = {});
    // Ends the running job's own processes (its process group and everything
    // its script started) at once; its end follows as Stopped.
    void Stop();
    bool Active() const { return m_redirector.Active(); }
    TRedirector &redirector() { return m_redirector; }

private:
    void consoleText(const char *data, qsizetype count);
    void processEnded();

    JobListener &m_model;
    ConsoleParser m_parser;
    TRedirector m_redirector;
    platform::JobRecord m_record;
    bool m_stopped = false;
};

// Ends the processes, and removes the job files and unfinished outputs, that
// crashed runs of the programs left; once per process, at its start.
void EndLeftoversOfCrashedRuns();

// What the user is told about a failed job that showed no error line.
QString FailureMessage(const JobEnd &end);

} // namespace orm
