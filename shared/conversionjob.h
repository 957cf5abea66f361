#pragma once
// One conversion job: its script run by a redirector, the console text read
// into a progress model, and the end turned into an outcome. The batch driver
// and the single-file converter both run their jobs through it.
#include "consoleparser.h"
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
    // The encoder's last message lines, oldest first: where a failure's most
    // telling line and its likely cause are found.
    QStringList recentLines;
};

class ConversionJob {
public:
    explicit ConversionJob(ProgressModel &model, QObject *parent = nullptr);

    // After every chunk of console text: the window copies the model's changes.
    std::function<void()> OnProgress;
    // Once per job, after all its console text.
    std::function<void(const JobEnd &end)> OnEnded;

    // Starts the script. Throws orm::Error when it cannot be started.
    void Start(const QString &scriptPath, quint8 initialPriority, qint64 fileSize);
    // Ends the running job and everything it started; its end follows as Stopped.
    void Stop();
    bool Active() const { return m_redirector.Active(); }
    TRedirector &redirector() { return m_redirector; }

private:
    void consoleText(const char *data, qsizetype count);
    void processEnded();

    ProgressModel &m_model;
    ConsoleParser m_parser;
    TRedirector m_redirector;
    bool m_stopped = false;
};

// What the user is told about a failed job that showed no error line.
QString FailureMessage(const JobEnd &end);

} // namespace orm
