#pragma once
// Cordane's one job without its window: reads the hand-off, writes and starts
// the script, follows it, and on closing ends what still runs, removes the
// generated files, writes "RipResult" and notifies the parent. Close() runs
// once, whichever way the program is left (Cancel, the window's close, an end
// request from outside, a failed start, the job's own end); the window only
// asks the questions and shows the figures.
#include "handoff.h"
#include "parentnotice.h"
#include "shared/failurelog.h"
#include "shared/outputcheck.h"

#include <QString>

#include <functional>
#include <memory>

namespace orm {
class ConversionJob;
class ProgressModel;
struct JobEnd;
} // namespace orm

namespace cordane {

class ConvertRun {
public:
    explicit ConvertRun(const QString &programFolder);
    ~ConvertRun();
    ConvertRun(const ConvertRun &) = delete;
    ConvertRun &operator=(const ConvertRun &) = delete;

    const QString &handOffFile() const { return m_handOffFile; }
    const HandOff &handOff() const { return m_handOff; }
    orm::ProgressModel &model() { return *m_model; }

    // After every chunk of console text.
    std::function<void()> OnProgress;
    // The job has ended by itself, converted or not (its outcome is taken):
    // the program closes.
    std::function<void()> OnFinished;

    // Reads the job and starts it; false when nothing runs (the reason has
    // been shown and the result will be the error).
    bool Start();
    bool Active() const;
    bool Closed() const { return m_closed; }
    bool ErrorOccurred() const { return m_errorOccurred; }
    // The user chose to stop, or the program is ended from outside while the
    // job runs: the result is the error.
    void MarkStopped();

    // Ends the job's own processes, removes the generated files and reports
    // the result to the parent. Only the first call does anything.
    void Close();

private:
    bool ReadJob();
    // The one place where the job's end becomes Cordane's result.
    void JobEnded(const orm::JobEnd &jobEnd);
    void ReportResult();

    QString m_programFolder;
    QString m_handOffFile;
    HandOff m_handOff;
    QStringList m_avsExtensions;
    bool m_errorOccurred = false;
    QString m_errorLine; // the job's first error line
    bool m_closed = false;
    orm::FailureLog m_failures;     // what the user was told went wrong
    orm::OutputGuard m_outputGuard; // the job's output folder and names
    std::unique_ptr<orm::ProgressModel> m_model;
    std::unique_ptr<orm::ConversionJob> m_job;
    ParentLink m_parent;
};

} // namespace cordane
