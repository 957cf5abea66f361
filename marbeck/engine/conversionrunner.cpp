#include "conversionrunner.h"

#include "jobvalues.h"
#include "lang/marbeckmessages.h"
#include "shared/batchscript.h"
#include "shared/conversionjob.h"
#include "shared/error.h"
#include "shared/failurereason.h"
#include "shared/outputcheck.h"

#include <QDir>
#include <QFileInfo>

namespace marbeck {

namespace {

bool holdsLineBreak(const QString &text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

} // namespace

// What the encoder's console text says of the running job: its own figures
// (cleared at its start, so a job is never measured by the previous one's
// lines) and its first error line.
class ConversionRunner::Console : public orm::JobListener {
public:
    void startJob(qint64) override
    {
        progress = {};
        firstError.clear();
        error = false;
    }
    bool errorOccurred() const override { return error; }
    void durationSeen(qint32 milliseconds) override { progress.durationMs = milliseconds; }
    void positionSeen(qint32 milliseconds) override { progress.positionMs = milliseconds; }
    void lineRead() override {}
    void errorLine(const QString &line) override
    {
        if (!error)
            firstError = line;
        error = true;
    }

    JobProgress progress;
    QString firstError;
    bool error = false;
};

struct ConversionRunner::Job {
    QString source;
    orm::ScriptJob script;
    orm::OutputGuard outputs;
};

ConversionRunner::ConversionRunner(int slot, ConversionSettings settings)
    : m_slot(slot), m_settings(std::move(settings)), m_console(std::make_unique<Console>()),
      m_conversion(std::make_unique<orm::ConversionJob>(*m_console))
{
    m_conversion->OnProgress = [this] {
        if (progressed)
            progressed(m_console->progress);
    };
    m_conversion->OnEnded = [this](const orm::JobEnd &end) { jobEnded(end); };
}

ConversionRunner::~ConversionRunner()
{
    // Stopping ends the job's own processes; the conversion's end waits for them.
    ended = nullptr;
    progressed = nullptr;
    const bool wasActive = m_conversion->Active();
    if (wasActive)
        m_conversion->Stop();
    m_conversion.reset();
    if (wasActive && m_job)
        m_job->outputs.removeCreated(); // the end notice will not come now
    orm::DeleteTempFiles(m_settings.programFolder, m_slot);
}

JobOutputs ConversionRunner::outputsOf(const BatchItem &item)
{
    auto job = std::make_unique<Job>();
    job->source = item.source;
    job->script.programFolder = m_settings.programFolder;
    job->script.profileFile = m_settings.profileFile;
    job->script.section = m_settings.section;
    job->script.slot = m_slot;
    job->script.values =
        JobPlaceholders(m_settings.programFolder, m_settings.outputFolder, item.source);
    // What the source holds is needed only by the check at the job's end: it
    // is read once the encoder has been started (start()).
    job->outputs.probeSourceLater();
    job->outputs.begin(job->script.profileFile, job->script.section, job->script.values);
    JobOutputs outputs{job->outputs.folder(), job->outputs.stems()};
    m_prepared = std::move(job);
    return outputs;
}

tl::expected<void, JobRefusal> ConversionRunner::start(const JobSpec &spec)
{
    if (!m_prepared || m_prepared->source != spec.item.source)
        outputsOf(spec.item);
    m_job = std::move(m_prepared);
    Job &job = *m_job;
    // The script inherits the folder: relative paths in templates resolve there.
    if (!QDir::setCurrent(m_settings.programFolder))
        return tl::unexpected(
            JobRefusal{QStringLiteral("I/O error: cannot change to the folder \"%1\".")
                           .arg(m_settings.programFolder)});
    orm::DeleteTempFiles(m_settings.programFolder, m_slot);
    job.script.pictureKnown = spec.item.hasVideo;
    job.script.aviSynthRoute = orm::TakesAviSynthRoute(job.source, m_settings.useDirectShow,
                                                       m_settings.aviSynthExtensions);
    QString script;
    try {
        script = orm::WriteJobScripts(job.script);
    } catch (const orm::Error &e) {
        orm::DeleteTempFiles(m_settings.programFolder, m_slot);
        // A name that cannot be passed safely, or a source the preset
        // refuses, fails its own job only.
        const bool sourceOnly =
            holdsLineBreak(job.source) || !orm::SourceRefusal(job.script).isEmpty();
        return tl::unexpected(JobRefusal{e.text(), sourceOnly});
    }
    try {
        m_conversion->Start(script, MapPriority(m_settings.priority), spec.item.fileSize,
                            job.outputs.privateFiles());
    } catch (const orm::Error &e) {
        orm::DeleteTempFiles(m_settings.programFolder, m_slot);
        return tl::unexpected(JobRefusal{e.text(), false});
    }
    // The list's probe saves the job a second one, unless the file has changed since.
    if (spec.item.facts && QFileInfo(job.source).size() == spec.item.fileSize)
        job.outputs.useSourceFacts(*spec.item.facts);
    else
        job.outputs.probeSource();
    return {};
}

void ConversionRunner::stop()
{
    m_conversion->Stop();
}

bool ConversionRunner::active() const
{
    return m_conversion->Active();
}

std::optional<QString> ConversionRunner::removeSource()
{
    // To the trash; a failure is passed over, a source changed meanwhile is kept.
    if (m_job && m_job->outputs.removeSource() == orm::SourceRemoval::Changed)
        return orm::SourceChangedText(m_job->source, outputText);
    return std::nullopt;
}

void ConversionRunner::jobEnded(const orm::JobEnd &jobEnd)
{
    if (!m_job)
        return;
    const orm::JobEnd end = orm::VerifiedJobEnd(m_job->outputs, jobEnd, outputText);
    orm::DeleteTempFiles(m_settings.programFolder, m_slot);
    JobResult result;
    result.outcome = end.outcome;
    if (end.outcome == orm::JobOutcome::Converted)
        result.outputs = end.outputs; // under their published names
    if (end.outcome == orm::JobOutcome::Failed) {
        // What the encoder said, when it said anything; otherwise the reason
        // the job was failed for (its exit status, or an output that did not pass).
        if (!m_console->firstError.isEmpty() || !end.recentLines.isEmpty()) {
            orm::FailureContext context;
            context.lines = end.recentLines;
            context.errorLine = m_job->outputs.shownText(m_console->firstError);
            context.exitStatus = end.exitStatus;
            context.inputFile = m_job->source;
            context.outputFolder = m_settings.outputFolder;
            result.failureText = orm::FailureReport(context, causeText);
        }
        if (result.failureText.isEmpty())
            result.failureText = orm::FailureMessage(end);
    }
    if (ended)
        ended(result);
}

} // namespace marbeck
