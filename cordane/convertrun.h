#pragma once
// Cordane's one job without its window: reads the hand-off, writes and starts
// the script, follows it, and on closing ends what still runs, removes the
// generated files, writes "RipResult" and notifies the parent. Close() runs
// once, whichever way the program is left (Cancel, the window's close, an end
// request from outside, a failed start, the job's own end); the window only
// asks the questions and shows the figures.
#include "handoff.h"
#include "parentnotice.h"
#include "shared/batchscript.h"
#include "shared/failurelog.h"
#include "shared/outputcheck.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

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

    // Reads the job and starts it, doing first only what the conversion
    // needs; false when nothing runs (the reason has been shown and the
    // result will be the error).
    bool Start();
    // While the job runs: what the check of its outputs will need.
    void PrepareOutputCheck();
    bool Active() const;
    bool Closed() const { return m_closed; }
    bool ErrorOccurred() const { return m_errorOccurred; }
    // The user chose to stop, or the program is ended from outside while the
    // job runs: the result is the error, and no box tells of it.
    void MarkStopped();

    // What the window names: the source, the file the job writes (known
    // once it has started), and the title of the profile it uses.
    const QString &InputFile() const { return m_handOff.TempFile; }
    const QString &OutputFile() const { return m_outputFile; }
    const QString &ProfileTitle() const { return m_profileTitle; }

    // Ends the job's own processes, removes the generated files and reports
    // the result to the parent, keeping the window's place (when given) in
    // the same write. Only the first call does anything.
    void Close(const std::optional<orm::Placement> &placement = std::nullopt);

private:
    // Why the source cannot go through the preset (it has no picture and the
    // preset makes video); found once, while the job runs or at its end.
    const std::optional<QString> &pictureRefusal();
    bool ReadJob();
    // Why the installed encoder cannot run the preset, as far as is known
    // without asking it: only an answer an earlier run cached is used.
    QString CachedPresetHealth();
    // The one place where the job's end becomes Cordane's result.
    void JobEnded(const orm::JobEnd &jobEnd);
    void ReportResult(const std::optional<orm::Placement> &placement);

    QString m_programFolder;
    QString m_handOffFile;
    HandOff m_handOff;
    QStringList m_avsExtensions;
    QString m_profileFile;
    QString m_profileTitle;
    QString m_outputFile;
    bool m_healthKnown = false; // the encoder's abilities were known at the start
    orm::ScriptJob m_script;    // the job as started
    bool m_pictureChecked = false;
    std::optional<QString> m_pictureRefusal; // the source lacks the picture the preset needs
    bool m_errorOccurred = false;
    bool m_stopped = false;
    QString m_errorLine; // the job's first error line
    bool m_closed = false;
    orm::FailureLog m_failures;     // what the user was told went wrong
    orm::OutputGuard m_outputGuard; // the job's output folder and names
    std::unique_ptr<orm::ProgressModel> m_model;
    std::unique_ptr<orm::ConversionJob> m_job;
    ParentLink m_parent;
};

} // namespace cordane
