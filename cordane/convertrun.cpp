#include "convertrun.h"

#include "cordanemessages.h"
#include "parentnotice.h"
#include "platform/platform.h"
#include "shared/batchscript.h"
#include "shared/commandtemplate.h"
#include "shared/conversionjob.h"
#include "shared/error.h"
#include "shared/ini.h"
#include "shared/interaction.h"
#include "shared/presethealth.h"
#include "shared/utilfuncs.h"

#include <QDir>

namespace cordane {

namespace {

// Only a preset with at least one command line can convert anything.
bool hasCommands(const QString &profileFile, const QString &section)
{
    const orm::IniFile ini(profileFile);
    const QStringList keys = ini.keyNames(section);
    return std::any_of(keys.begin(), keys.end(), orm::IsCommandKey);
}

QString encoderOf(const QString &programFolder)
{
    return orm::IncludeBackslash(programFolder) + QStringLiteral("cores/avcore.dll");
}

// The profile's title, or its file's name where it has none.
QString titleOf(const QString &profileFile)
{
    const QString title = orm::IniFile(profileFile).readString(u"Info", u"TitleE", {});
    return title.isEmpty() ? orm::RemoveFileExt(orm::ExtractFileName(profileFile)) : title;
}

// The names the outputs take: the final names, where a private one stands for it.
QStringList pathsOf(const QList<orm::ExpectedOutput> &outputs)
{
    QStringList paths;
    for (const orm::ExpectedOutput &output : outputs)
        paths << (output.shownPath.isEmpty() ? output.path : output.shownPath);
    return paths;
}

} // namespace

ConvertRun::ConvertRun(const QString &programFolder)
    : m_programFolder(orm::ExcludeBackslash(programFolder)),
      m_handOffFile(HandOffFileName(programFolder)), m_handOff(HandOff::Read(m_handOffFile)),
      m_parent(m_handOff.Parent)
{
    m_avsExtensions = ReadAviSynthExtensions(orm::IncludeBackslash(m_programFolder) + "avs.dat");
    m_outputGuard.probeSourceLater();
    m_model = std::make_unique<orm::ProgressModel>(msg(Msg::MSG_ID_STATUS));
    // The job's first error line; the failure is told once, when the job has
    // ended and its most telling line is known.
    m_model->setErrorHandler([this](const QString &line) {
        if (m_errorLine.isEmpty())
            m_errorLine = line;
    });
    m_job = std::make_unique<orm::ConversionJob>(*m_model);
    m_job->OnProgress = [this] {
        if (OnProgress)
            OnProgress();
    };
    m_job->OnEnded = [this](const orm::JobEnd &end) { JobEnded(end); };
}

ConvertRun::~ConvertRun()
{
    // A run left without closing (its window destroyed) still reports.
    if (!m_closed) {
        if (Active())
            m_errorOccurred = true;
        Close();
    }
}

bool ConvertRun::Active() const
{
    return m_job->Active();
}

void ConvertRun::MarkStopped()
{
    m_errorOccurred = true;
    m_stopped = true;
}

void ConvertRun::PrepareOutputCheck()
{
    if (m_closed)
        return;
    m_outputGuard.probeSource();
    if (pictureRefusal() && m_job->Active())
        m_job->Stop(); // JobEnded reports the refusal
}

const std::optional<QString> &ConvertRun::pictureRefusal()
{
    if (m_pictureChecked)
        return m_pictureRefusal;
    m_pictureChecked = true;
    if (!m_outputGuard.sourceFacts())
        m_outputGuard.probeSource();
    // A video stream the media library sees is a picture; without one the
    // encoder is asked, as before a batch's job.
    if (m_outputGuard.sourceFacts() && m_outputGuard.sourceFacts()->video)
        return m_pictureRefusal;
    orm::ScriptJob check = m_script;
    check.pictureKnown = false;
    if (const QString reason = orm::SourceRefusal(check); !reason.isEmpty())
        m_pictureRefusal = reason;
    return m_pictureRefusal;
}

QString ConvertRun::CachedPresetHealth()
{
    // Asking the encoder for its abilities takes longer than starting the
    // job; without a cached answer a failed job asks (JobEnded).
    const auto health = orm::PresetHealth::Cached(encoderOf(m_programFolder),
                                                  orm::PresetHealth::DefaultCacheFile());
    m_healthKnown = health.has_value();
    return health ? health->missingFor(orm::IniFile(m_profileFile), m_handOff.ProfileItem)
                  : QString();
}

bool ConvertRun::Start()
{
    if (!ReadJob()) {
        m_errorOccurred = true;
        return false;
    }
    try {
        orm::ScriptJob job;
        job.programFolder = m_programFolder;
        job.profileFile = m_profileFile;
        job.section = m_handOff.ProfileItem;
        job.values = JobPlaceholders(m_programFolder, m_handOff.TempFile, m_handOff.OutputFile);
        m_outputGuard.begin(job.profileFile, job.section, job.values);
        m_outputFile =
            MainOutputFile(pathsOf(m_outputGuard.expectedOutputs()),
                           orm::IniFile(m_profileFile).readString(job.section, u"EXT", {}));
        job.aviSynthRoute = orm::TakesAviSynthRoute(m_handOff.TempFile, false, m_avsExtensions);
        // Missing, or no regular file (a FIFO or a device is never read).
        if (!orm::IniFile(job.profileFile).exists()) {
            orm::ShowMessageBox(
                QStringLiteral("The profile \"%1\" that ProfilePath names in \"%2\" "
                               "is missing or is not a file.")
                    .arg(QDir::toNativeSeparators(job.profileFile),
                         QDir::toNativeSeparators(m_handOffFile)),
                QStringLiteral("Error"), orm::mb::kIconExclamation);
            m_errorOccurred = true;
            return false;
        }
        if (!hasCommands(job.profileFile, job.section)) {
            orm::ShowMessageBox(QStringLiteral("The preset \"%1\" of the profile \"%2\" has no "
                                               "command to run.")
                                    .arg(job.section, job.profileFile),
                                QStringLiteral("Error"), orm::mb::kIconExclamation);
            m_errorOccurred = true;
            return false;
        }
        if (const QString reason = CachedPresetHealth(); !reason.isEmpty()) {
            m_errorOccurred = true;
            m_failures.add(m_handOff.TempFile, reason);
            orm::ShowMessageBox(reason, msg(Msg::MSG_ERROR), orm::mb::kIconExclamation);
            return false;
        }
        // Whether the source has the picture a video preset needs is found
        // while the job runs (pictureRefusal): the media library's first use
        // and, without a video stream, a run of the encoder would hold up
        // the start.
        m_script = job;
        job.pictureKnown = true;
        const QString script = orm::WriteJobScripts(job);
        m_job->Start(script, 2, 0, m_outputGuard.privateFiles());
        return true;
    } catch (const orm::Error &e) {
        // Nothing is left to run: the program closes with the error result.
        m_errorOccurred = true;
        m_failures.add(m_handOff.TempFile, e.text());
        orm::ShowMessageBox(e.text(), QStringLiteral("Error"), orm::mb::kIconError);
        return false;
    }
}

bool ConvertRun::ReadJob()
{
    QDir::setCurrent(m_programFolder);
    orm::DeleteTempFiles(m_programFolder);
    const HandOff job = HandOff::Read(m_handOffFile);
    m_handOff.TempFile = job.TempFile;
    m_handOff.OutputFile = job.OutputFile;
    m_handOff.ProfilePath = job.ProfilePath;
    m_handOff.ProfileItem = job.ProfileItem;
    m_profileFile = ProfileFileOf(m_programFolder, job.ProfilePath);
    m_profileTitle = titleOf(m_profileFile);
    const QString reinstall = QStringLiteral("\n\r\n\rTry to re-install this program!");
    if (job.TempFile.isEmpty()) {
        orm::ShowMessageBox(QStringLiteral("Can not read input file name.") + reinstall,
                            QStringLiteral("Error"), orm::mb::kIconExclamation);
        return false;
    }
    if (job.OutputFile.isEmpty()) {
        orm::ShowMessageBox(QStringLiteral("Can not read output file name.") + reinstall,
                            QStringLiteral("Error"), orm::mb::kIconExclamation);
        return false;
    }
    return true;
}

void ConvertRun::JobEnded(const orm::JobEnd &jobEnd)
{
    // Converted only when every output is there and whole; a failed job's new
    // files are removed.
    const bool refused = !m_closed && pictureRefusal().has_value();
    orm::JobEnd end = jobEnd;
    if (refused) {
        end.outcome = orm::JobOutcome::Failed; // its files go with the rest
        end.message = *m_pictureRefusal;
    }
    end = orm::VerifiedJobEnd(m_outputGuard, end, outputText);
    if (m_closed)
        return;
    if (refused) {
        m_errorOccurred = true;
        m_failures.add(m_handOff.TempFile, *m_pictureRefusal);
        orm::ShowMessageBox(*m_pictureRefusal, msg(Msg::MSG_ERROR), orm::mb::kIconExclamation);
    } else if (end.outcome != orm::JobOutcome::Converted) {
        m_errorOccurred = true;
        QString text;
        if (!m_errorLine.isEmpty() || !end.recentLines.isEmpty()) {
            orm::FailureContext context;
            context.lines = end.recentLines;
            context.errorLine = m_outputGuard.shownText(m_errorLine);
            context.exitStatus = end.exitStatus;
            context.inputFile = m_handOff.TempFile;
            context.outputFolder = orm::ExtractFilePath(m_handOff.OutputFile);
            text = orm::FailureReport(context, causeText);
        }
        if (text.isEmpty())
            text = orm::FailureMessage(end);
        // Without an answer at the start, the encoder is asked now whether it
        // has what the preset needs (which also keeps the answer for next time).
        if (!m_healthKnown && end.outcome == orm::JobOutcome::Failed) {
            const QString missing =
                orm::InstalledPresetHealth(encoderOf(m_programFolder))
                    .missingFor(orm::IniFile(m_profileFile), m_handOff.ProfileItem);
            if (!missing.isEmpty())
                text = missing + QStringLiteral("\n\n") + text;
        }
        m_failures.add(m_handOff.TempFile, text);
        orm::ShowMessageBox(text, msg(Msg::MSG_ERROR), orm::mb::kIconInformation);
    }
    if (OnFinished)
        OnFinished();
}

void ConvertRun::Close(const std::optional<orm::Placement> &placement)
{
    if (m_closed)
        return;
    m_closed = true;
    if (m_job->Active()) {
        m_errorOccurred = true;
        m_job->Stop();
    }
    if (m_errorOccurred)
        m_outputGuard.removeCreated();
    orm::DeleteTempFiles(m_programFolder);
    ReportResult(placement);
}

void ConvertRun::ReportResult(const std::optional<orm::Placement> &placement)
{
    // A stop the user chose needs no box; a failure says so and, where
    // something was written down, offers the log. The log file is written
    // either way, so that it never tells an older run's failures.
    if (m_errorOccurred && !m_stopped) {
        if (m_failures.isEmpty())
            orm::ShowMessageBox(msg(Msg::MSG_ANERROROCCURRED), msg(Msg::MSG_OOPS),
                                orm::mb::kIconExclamation);
        else
            orm::OfferFailureLog(m_failures,
                                 msg(Msg::MSG_ANERROROCCURRED) + u'\n' + msg(Msg::MSG_VIEWLOG),
                                 msg(Msg::MSG_OOPS));
    } else {
        orm::WriteFailureLog(m_failures);
    }
    QString writeError;
    try {
        // The file the job really wrote, whatever name the parent asked for.
        if (!m_errorOccurred)
            m_outputFile = MainOutputFile(
                m_outputGuard.published().isEmpty() ? pathsOf(m_outputGuard.expectedOutputs())
                                                    : m_outputGuard.published(),
                orm::IniFile(m_profileFile).readString(m_handOff.ProfileItem, u"EXT", {}));
        WriteRipResult(m_handOffFile,
                       msg(m_errorOccurred ? Msg::MSG_CONVERT_ERROR : Msg::MSG_CONVERT_COMPLETE),
                       m_errorOccurred ? QString() : m_outputFile,
                       placement ? &*placement : nullptr);
    } catch (const orm::Error &e) {
        writeError = e.text();
    }
    m_parent.SendConvertDone();
    if (!writeError.isEmpty())
        orm::ShowMessageBox(writeError, QStringLiteral("Error"), orm::mb::kIconError);
}

} // namespace cordane
